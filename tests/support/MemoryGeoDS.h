#pragma once
// CMemoryGeoDS: a data source over a layer held in memory, for testing what is built on IGeoDS and
// IDirectAccess (record sets, selections, searches) without files. It derives from the same base classes as
// the real data sources, so it also exercises those. Options add what the real sources lack or make rare:
// a spatial index (exact, failing or listing given records), record deletion, records whose shape cannot
// be read; counters show which paths a selection took.

#include "LayerSpec.h"

#include "data/DsFields.h"
#include "data/Ref.h"
#include "search/GeoDataSource.h"
#include "search/QuadTreeIndex.h"

#include <cstdint>
#include <string>
#include <vector>

namespace fennick::test {

enum class EMemoryIndex {
    None,   // no spatial index
    Exact,  // marks the records whose bounds meet the query
    Listed, // marks SMemoryOptions::indexRecords whatever the query
    Fails,  // the query fails
    File,   // a quadtree index file read by CQuadTreeIndex (SMemoryOptions::indexPath)
};

struct SMemoryOptions {
    int sourceKind = SOURCE_SHAPEFILE;
    EMemoryIndex index = EMemoryIndex::None;
    std::vector<int> indexRecords{}; // for Listed
    std::u16string indexPath{};      // for File
    int indexSize = -1;              // bit set size the index reports; -1: the record count
    bool supportsDelete = false;
    std::vector<int> unreadable{}; // records whose ReadShape fails
    int failingBounds = -1;        // a record whose bounds raise a bad format, as a damaged file would
    bool* destroyed = nullptr;     // set when the data source is destroyed
    int codePage = 0;
};

class CMemoryGeoDS final : public CGeoDataSource {
public:
    CMemoryGeoDS(SLayerSpec layer, SMemoryOptions options = {});
    ~CMemoryGeoDS() override;

    int GetSourceKind() override;
    int GetShapeType() override;
    int GetBounds(CGeoRect* bounds) override;
    void Close() override;

    int GetFieldCount() override;
    int GetFieldName(int index, IString* name) override;
    int GetFieldWidth(int index) override;
    int GetFieldDecimals(int index) override;
    int GetFieldType(int index) override;

    int GetRecordCount() override;
    int ReadShape(int record, IShapeEx* shape) override;
    int GetAttributes(int record, IShapeAttr** attributes) override;
    int GetRecordBounds(int record, CGeoRect* bounds) override;
    int DeleteRecord(int record) override;

    // How often each path was taken.
    int indexQueries = 0;
    int readShapeCalls = 0;
    int recordBoundsCalls = 0;

protected:
    bool HasSpatialIndex() override;
    int QuerySpatialIndex(const CGeoRect& query, std::vector<bool>& bits) override;

private:
    bool ValidRecord(int record) const;

    SLayerSpec m_layer;
    SMemoryOptions m_options;
    CGeoRect m_bounds;
    CDsFieldTable m_fields;
    std::vector<std::vector<uint8_t>> m_contents;
    std::vector<CGeoRect> m_recordBounds;
    CQuadTreeIndex m_index;
    bool m_closed = false;
};

// A memory data source holding its first reference.
CRef<CMemoryGeoDS> MakeMemoryGeoDS(SLayerSpec layer, SMemoryOptions options = {});

} // namespace fennick::test
