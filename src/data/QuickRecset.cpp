#include "data/QuickRecset.h"

#include "data/RecsetBookmark.h"
#include "data/ShapeImpl.h"
#include "platform/Boundary.h"
#include "platform/Variant.h"

#include <algorithm>

namespace fennick {

CQuickRecset::CQuickRecset(IDirectAccess* access, const CGeoRect& query)
    : CRecordNumberRecset(access, query) {}

void CQuickRecset::CountSelected() {
    m_selected = static_cast<int>(std::count(m_bits.begin(), m_bits.end(), true));
}

int CQuickRecset::MoveFirst() {
    return Guarded([&] {
        if (m_access->GetRecordCount() <= 0)
            return 0;
        m_current = -1;
        m_visited = 0;
        return MoveNext();
    });
}

int CQuickRecset::MoveNext() {
    return Guarded([&] {
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
    });
}

int CQuickRecset::ReservedA(int) {
    return 0;
}

int CQuickRecset::GetCount() {
    return -1;
}

int CQuickRecset::MoveToBookmark(const CVariant& bookmark) {
    return Guarded([&] {
        const int value = BookmarkValue(bookmark);
        if (value < 0 || value >= m_access->GetRecordCount())
            return 0;
        if (static_cast<std::size_t>(value) >= m_bits.size() || !m_bits[static_cast<std::size_t>(value)])
            return 0;
        m_current = value;
        return 1;
    });
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
