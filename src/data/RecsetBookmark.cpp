#include "data/RecsetBookmark.h"

#include "platform/Variant.h"

namespace fennick {

int BookmarkValue(const CVariant& bookmark) {
    if (bookmark.vt == VT_I4)
        return bookmark.lVal;
    CVariant converted;
    if (VariantChangeType(&converted, &bookmark, VT_I4) == 0)
        return converted.lVal;
    return bookmark.lVal;
}

void SetBookmark(CVariant* bookmark, int record) {
    VariantClear(bookmark);
    bookmark->vt = VT_I4;
    bookmark->lVal = record;
}

} // namespace fennick
