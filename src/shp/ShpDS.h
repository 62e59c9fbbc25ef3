#pragma once
// CShpDS: the read-only data source over one shapefile: the .shp with the geometry, the .shx with one
// entry per record, and the optional .dbf (attributes), .stx (spatial index) and .prj (coordinate system).
// It is at once the layer's IGeoDS, IFieldDesc and IDirectAccess, counted on one shared counter, and the
// IStoredRecords of its .dbf and the IStoredShapes and IShapeVariantSource of its .shp.

#include "data/IStoredShape.h"
#include "data/ShapeLayout.h"
#include "platform/IFile.h"
#include "platform/SysFile.h"
#include "search/GeoDataSource.h"
#include "search/QuadTreeIndex.h"
#include "shp/IStoredRecords.h"
#include "shp/XBaseDatabase.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace fennick {

class CShpDS final : public CGeoDataSource,
                     public IStoredRecords,
                     public IStoredShapes,
                     public IShapeVariantSource {
public:
    // Capacities of the readers over the .shp and the .shx.
    static constexpr uint64_t kShpCache = 30720;
    static constexpr uint64_t kShxCache = 10240;

    CShpDS() = default;

    // Opens the shapefile whose main file is path; its companions are found in any letter case
    // (FindCompanion). A missing or unreadable .shp or .shx raises a file error, a .shp without the shapefile
    // header a format error, and so does a .shx cut short of its header's file length or with fewer entries
    // than the .dbf has rows. A .dbf that is present but cannot be read raises its error; a missing one
    // leaves the source without attributes, .stx and .prj. A non-empty password reads the .shp and .dbf
    // through decryption.
    void Open(const std::u16string& path, std::u16string_view password, bool useIndex);

    // IGeoDS
    int GetSourceKind() override { return SOURCE_SHAPEFILE; }
    int GetShapeType() override;
    int GetBounds(CGeoRect* bounds) override;
    void Close() override;
    // The .prj is read when the coordinate system is first asked for: reading WKT loads GDAL, which costs
    // more than merging the layer. A system stored before that replaces the file's.
    int SetCoordSys(ICoordSys* coordSys) override;
    ICoordSys* GetCoordSys() override;
    // Also sets the attribute table's code page when the table is open.
    void SetCodePage(int codePage) override;

    // IFieldDesc: 0 for everything while the attribute table is closed.
    int GetFieldCount() override;
    int GetFieldName(int index, IString* name) override;
    int GetFieldWidth(int index) override;
    int GetFieldDecimals(int index) override;
    int GetFieldType(int index) override;

    // IDirectAccess
    int GetRecordCount() override { return m_recordCount; }
    int ReadShape(int record, IShapeEx* shape) override;
    int GetAttributes(int record, IShapeAttr** attributes) override;
    // Reads only the record header, shape type and box (44 bytes). 0 for a null record.
    int GetRecordBounds(int record, CGeoRect* bounds) override;

    // IStoredRecords: the .dbf, when it is open.
    bool HasStoredRecords() override { return m_dbf.IsOpen(); }
    int StoredCodePage() override { return m_dbf.GetCodePage(); }
    int StoredFieldCount() override { return m_dbf.GetFieldCount(); }
    SStoredField StoredField(int field) override;
    uint32_t StoredRecordLength() override { return m_dbf.GetRecordLength(); }
    bool ReadStoredBytes(uint32_t record, uint8_t* buffer) override {
        return m_dbf.ReadRecordBytes(record, buffer);
    }
    bool GetStoredTableFile(SStoredTableFile& file) override {
        return m_dbf.GetPlainRecords(file.fd, file.dataStart, file.length, file.records);
    }

    // IStoredShapes: reads the record's index entry and its first 52 bytes.
    bool ReadStoredShapeHead(int record, SStoredShapeHead& head) override;
    uint64_t StatedShapeBytes() override;
    bool GetStoredShapeFiles(SStoredShapeFiles& files) override;

    // IShapeVariantSource: the variant of the shape type in the .shp header.
    int GetShapeVariant() override {
        int32_t type;
        std::memcpy(&type, m_header + 32, sizeof type);
        return ShapeVariantOfShpType(type);
    }

    bool HasAttributeTable() const { return m_dbf.IsOpen(); }
    // Whether a .stx not older than the .shp was loaded; it is looked for at the first question.
    bool HasIndex();

protected:
    ~CShpDS() override;
    bool HasSpatialIndex() override { return HasIndex(); }
    int QuerySpatialIndex(const CGeoRect& query, std::vector<bool>& bits) override;

private:
    // Seeks the .shp reader to record's content as its index entry gives it; raises on a short entry. The
    // position sought.
    int64_t SeekRecord(int record);

    CSysFile m_shpFile;
    CSysFile m_shxFile;
    CxBaseDatabase m_dbf;
    std::u16string m_dbfPath;
    std::unique_ptr<IFile> m_shp;
    std::unique_ptr<IFile> m_shx;
    CQuadTreeIndex m_index;
    bool m_hasIndex = false;
    uint8_t m_header[100] = {};
    int32_t m_recordCount = 0;
    uint64_t m_shpLength = 0;
    std::u16string m_indexPath; // the .shp whose .stx is still to be looked for
    bool m_prjPending = false;  // the .prj not looked for yet
};

// The size of the error text buffers of OpenShpDS and OpenGeoDS, terminator included.
inline constexpr std::size_t kErrorTextSize = 260;

// Opens a shapefile as a data source holding one reference for the caller. On failure returns 0, keeps the
// exception for the caller (platform/Boundary.h) and, when errorText is given, writes the error's message
// into it (cut to kErrorTextSize - 1 units and terminated).
int OpenShpDS(const std::u16string& path, const char16_t* password, IGeoDS** source, char16_t* errorText);

} // namespace fennick
