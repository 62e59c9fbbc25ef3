#pragma once
// Small in-memory record sets, shapes and attribute records for feeding the shapefile writer in tests.

#include "data/IFieldDesc.h"
#include "data/IRecset.h"
#include "data/IShape.h"
#include "data/IShapeAttr.h"
#include "data/RefCounted.h"
#include "platform/Variant.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace fennick::test {

// A shape of any type code made of parts of points.
class CFakeShape : public CUnknownImpl<IShape> {
public:
    // With reversed, the parts' points are stored last part first, so that they do not follow each other in
    // part order.
    CFakeShape(int type, std::vector<std::vector<CGeoPoint>> parts, bool reversed = false);

    int GetType() override { return m_type; }
    int GetBounds(CGeoRect* bounds) override;
    int GetCenter(CGeoPoint*) override { return 0; }
    int GetPartCount() override;
    int GetPartPointCount(int part, int* count) override;
    int GetPointCount(int* count) override;
    CGeoPoint* GetPartPoints(int part) override;
    int CopyPoints(int, CGeoPoint*, int) override { return 0; }
    void SetBounds(const CGeoRect&) override {}
    int GetPartRingKind(int) override { return 0; }
    int ReservedA() override { return 0; }

private:
    int m_type;
    std::vector<CGeoPoint> m_points;
    std::vector<int> m_starts;
    std::vector<int> m_counts;
};

CRef<IShape> Point(double x, double y);
CRef<IShape> MultiPoint(std::vector<CGeoPoint> points);
// type: 1 polyline, 2 polygon.
CRef<IShape> Poly(int type, std::vector<std::vector<CGeoPoint>> parts);
// The same with the parts stored last part first.
CRef<IShape> ReversedStoragePoly(int type, std::vector<std::vector<CGeoPoint>> parts);
CRef<IShape> NullShape();

struct SFakeField {
    std::u16string name;
    int type = 1; // FieldType code
    int width = 10;
    int decimals = 0;
};

// One record's values: VT_BSTR for text, logical and date fields, VT_I4 or VT_DECIMAL for integers, VT_R8 for
// reals. GetString gives the text form of any of them.
class CFakeAttr : public CUnknownImpl<IShapeAttr>, public IFieldDesc {
public:
    CFakeAttr(std::shared_ptr<const std::vector<SFakeField>> fields, std::vector<CVariant> values);

    int GetString(int field, IString* value) override;
    int GetInteger(int field, int* value) override;
    int GetDouble(int field, double* value) override;
    int GetValue(int field, CVariant* value) override;
    int GetBookmark(CVariant*) override { return 0; }

    int GetFieldCount() override { return static_cast<int>(m_fields->size()); }
    int GetFieldName(int index, IString* name) override;
    int GetFieldWidth(int index) override { return Valid(index) ? (*m_fields)[index].width : 0; }
    int GetFieldDecimals(int index) override { return Valid(index) ? (*m_fields)[index].decimals : 0; }
    int GetFieldType(int index) override { return Valid(index) ? (*m_fields)[index].type : 0; }

private:
    bool Valid(int index) const { return index >= 0 && index < static_cast<int>(m_fields->size()); }

    std::shared_ptr<const std::vector<SFakeField>> m_fields;
    std::vector<CVariant> m_values;
};

// A record set over a list of records (shape, and attributes or none).
class CFakeRecset : public CUnknownImpl<IRecset> {
public:
    struct SRecord {
        CRef<IShape> shape;
        CRef<IShapeAttr> attributes;
    };

    explicit CFakeRecset(std::vector<SRecord> records) : m_records(std::move(records)) {}

    // Makes GetShape fail at that record (0-based); -1 for never.
    void FailShapeAt(int record) { m_failShapeAt = record; }
    // Makes MoveNext onto that record fail, as a damaged file would, keeping the reason.
    void FailWalkAt(int record) { m_failWalkAt = record; }

    int MoveFirst() override;
    int MoveNext() override;
    int ReservedA(int) override { return 0; }
    int GetShape(IShape** shape, int fresh) override;
    int GetAttributes(IShapeAttr** attributes) override;
    int GetRecordBounds(CGeoRect*) override { return 0; }
    int GetCount() override { return static_cast<int>(m_records.size()); }
    int MoveToBookmark(const CVariant&) override { return 0; }
    int SetPosition(int) override { return 0; }
    int GetBookmark(CVariant*) override { return 0; }
    int ReservedB() override { return 0; }
    int SortByDistance(CGeoPoint) override { return 0; }
    int GetBounds(CGeoRect*) override { return 0; }
    int ReservedC(int, int) override { return 0; }
    int ReservedD() override { return 0; }
    int DeleteCurrent() override { return 0; }

private:
    std::vector<SRecord> m_records;
    std::size_t m_position = 0;
    int m_failShapeAt = -1;
    int m_failWalkAt = -1;
};

// Builds a record set of the given fields from rows of values, one shape per row.
class CFakeTable {
public:
    explicit CFakeTable(std::vector<SFakeField> fields)
        : m_fields(std::make_shared<const std::vector<SFakeField>>(std::move(fields))) {}
    CFakeTable& Add(CRef<IShape> shape, std::vector<CVariant> values);
    // A record without attribute record (a source without table).
    CFakeTable& AddBare(CRef<IShape> shape);
    CRef<CFakeRecset> Build() const;

private:
    std::shared_ptr<const std::vector<SFakeField>> m_fields;
    std::vector<CFakeRecset::SRecord> m_records;
};

CVariant Text(const std::u16string& text);
CVariant Int(int32_t value);
CVariant BigInt(int64_t value);
CVariant Real(double value);

// A shapefile as GDAL reads it (through its Python bindings): {"geom_type", "extent" [minx, maxx, miny,
// maxy], "count", "encoding" (the code page GDAL took from the .cpg, or ""), "fields" [[name, type, width,
// precision]...], "features" [{"wkt" (ISO WKT or null), "values" [...], "points" [[x, y, z or null, m or
// null]...] of every part in order}...]}. Null when GDAL cannot open it.
nlohmann::json OgrDump(const std::string& shpPath);

// Reads integers out of file bytes.
uint32_t BigEndian32(const std::string& bytes, std::size_t offset);
uint32_t LittleEndian32(const std::string& bytes, std::size_t offset);
double LittleEndianDouble(const std::string& bytes, std::size_t offset);

} // namespace fennick::test
