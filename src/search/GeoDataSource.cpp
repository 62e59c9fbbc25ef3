#include "search/GeoDataSource.h"

#include "search/RecsetSelection.h"

namespace fennick {

HRESULT CGeoDataSource::QueryInterface(const SGuid& iid, void** object) {
    return CBaseDirectAccess::QueryInterface(iid, object);
}

int32_t CGeoDataSource::AddRef() {
    return CBaseDirectAccess::AddRef();
}

int32_t CGeoDataSource::Release() {
    return CBaseDirectAccess::Release();
}

int CGeoDataSource::SelectByRect(const CGeoRect* rect, IRecset** recset) {
    if (!rect)
        return 0;
    SpatialIndexQuery index;
    if (HasSpatialIndex())
        index = [this](const CGeoRect& query, std::vector<bool>& bits) {
            return QuerySpatialIndex(query, bits);
        };
    return SelectRecordsByRect(this, this, *rect, index, recset);
}

int CGeoDataSource::Search(CSearchSpec* spec, IRecset** recset) {
    return SearchRecords(this, this, spec, recset);
}

int CGeoDataSource::SelectAll(IRecset** recset) {
    CGeoRect bounds;
    GetBounds(&bounds);
    return SelectByRect(&bounds, recset);
}

int CGeoDataSource::QuerySpatialIndex(const CGeoRect&, std::vector<bool>&) {
    return 0;
}

} // namespace fennick
