#pragma once
// CGeoDataSource: the common ground of the data source classes, joining CBaseGeoDS (the IGeoDS and
// IFieldDesc facets) and CBaseDirectAccess (the IDirectAccess facet and the one reference count) into one
// counted object, and adding what every data source does alike: SelectByRect (the shared choice of record
// set, with the spatial index when the subclass has one), Search (the shared search), SelectAll (the layer's
// bounds through SelectByRect) and CreateShape (0).
//
// A subclass implements:
//   - IGeoDS: GetSourceKind, GetShapeType, GetBounds, Close;
//   - IFieldDesc: GetFieldCount, GetFieldName, GetFieldWidth, GetFieldDecimals, GetFieldType;
//   - IDirectAccess: GetRecordCount, ReadShape, GetAttributes, GetRecordBounds;
//   - when it has a spatial index: HasSpatialIndex and QuerySpatialIndex.
// Make one with MakeRef<Subclass>(...) (count 0 at construction, the factory adds the first reference).
// Hand it out as IGeoDS with AsGeoDS() and its record-number facet with AsDirectAccess().

#include "data/BaseDirectAccess.h"
#include "data/BaseGeoDS.h"

#include <vector>

namespace fennick {

class CGeoDataSource : public CBaseGeoDS, public CBaseDirectAccess {
public:
    // Both facets count on the one counter of CBaseDirectAccess.
    HRESULT QueryInterface(const SGuid& iid, void** object) override;
    int32_t AddRef() override;
    int32_t Release() override;

    int SelectByRect(const CGeoRect* rect, IRecset** recset) override;
    int Search(CSearchSpec* spec, IRecset** recset) override;
    int SelectAll(IRecset** recset) override;

    IGeoDS* AsGeoDS() { return this; }
    IDirectAccess* AsDirectAccess() { return this; }

protected:
    CGeoDataSource() = default;
    ~CGeoDataSource() override = default;

    // Whether a spatial index with content is open.
    virtual bool HasSpatialIndex() { return false; }
    // Marks in bits the records the index finds for the rectangle; 1 on success, 0 on failure (the selection
    // then tests every record's bounds).
    virtual int QuerySpatialIndex(const CGeoRect& query, std::vector<bool>& bits);
};

} // namespace fennick
