#include "data/QuickRecset.h"

#include "data/RecsetBookmark.h"
#include "platform/Variant.h"
#include "shp/ShapeImpl.h"

#include <algorithm>

namespace fennick {

CQuickRecset::CQuickRecset(IDirectAccess* access, const CGeoRect& query)
    : CBaseRecset(access), m_query(query), m_shape(MakeRef<CShapeImpl>().Detach()) {}

CQuickRecset::~CQuickRecset() {
    m_shape->Release();
}

void CQuickRecset::CountSelected() {
    m_selected = static_cast<int>(std::count(m_bits.begin(), m_bits.end(), true));
}

int CQuickRecset::MoveFirst() {
    try {
        if (m_access->GetRecordCount() <= 0)
            return 0;
        m_current = -1;
        m_visited = 0;
        return MoveNext();
    } catch (...) {
        return 0;
    }
}

int CQuickRecset::MoveNext() {
    try {
        if (m_visited >= m_selected)
            return 0;
        // An index may cover more records than the source holds; those records do not exist.
        const int size = std::min(static_cast<int>(m_bits.size()), m_access->GetRecordCount());
        int next = m_current + 1;
        while (next < size && !m_bits[static_cast<std::size_t>(next)])
            ++next;
        if (next >= size)
            return 0;
        m_current = next;
        ++m_visited;
        return 1;
    } catch (...) {
        return 0;
    }
}

int CQuickRecset::ReservedA(int) {
    return 0;
}

int CQuickRecset::GetShape(IShape** shape, int fresh) {
    try {
        if (!InRange(m_access->GetRecordCount()))
            return 0;
        return DeliverShape(m_current, m_shape, shape, fresh);
    } catch (...) {
        return 0;
    }
}

int CQuickRecset::GetAttributes(IShapeAttr** attributes) {
    try {
        if (!InRange(m_access->GetRecordCount()))
            return 0;
        return m_access->GetAttributes(m_current, attributes);
    } catch (...) {
        return 0;
    }
}

int CQuickRecset::GetRecordBounds(CGeoRect* bounds) {
    try {
        if (!InRange(m_access->GetRecordCount()))
            return 0;
        return m_access->GetRecordBounds(m_current, bounds);
    } catch (...) {
        return 0;
    }
}

int CQuickRecset::GetCount() {
    return -1;
}

int CQuickRecset::MoveToBookmark(const CVariant& bookmark) {
    try {
        const int value = BookmarkValue(bookmark);
        if (value < 0 || value >= m_access->GetRecordCount())
            return 0;
        if (static_cast<std::size_t>(value) >= m_bits.size() || !m_bits[static_cast<std::size_t>(value)])
            return 0;
        m_current = value;
        return 1;
    } catch (...) {
        return 0;
    }
}

int CQuickRecset::SetPosition(int position) {
    return MoveToBookmark(CVariant::FromI4(position));
}

int CQuickRecset::GetBookmark(CVariant* bookmark) {
    try {
        if (!bookmark || !InRange(m_access->GetRecordCount()))
            return 0;
        SetBookmark(bookmark, m_current);
        return 1;
    } catch (...) {
        return 0;
    }
}

int CQuickRecset::ReservedB() {
    return 1;
}

int CQuickRecset::SortByDistance(CGeoPoint) {
    return 0;
}

int CQuickRecset::GetBounds(CGeoRect* bounds) {
    if (bounds)
        *bounds = m_query;
    return 1;
}

int CQuickRecset::ReservedC(int, int) {
    return 0;
}

int CQuickRecset::ReservedD() {
    return 0;
}

int CQuickRecset::DeleteCurrent() {
    return 0;
}

} // namespace fennick
