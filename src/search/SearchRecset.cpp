#include "search/SearchRecset.h"

#include "data/RecsetBookmark.h"
#include "data/RectOperations.h"
#include "data/ShapeImpl.h"
#include "platform/Boundary.h"
#include "platform/Exceptions.h"
#include "platform/Variant.h"
#include "search/DistanceToShape.h"

#include <algorithm>
#include <cmath>

namespace fennick {

CSearchRecset::CSearchRecset(IDirectAccess* access) : CBaseRecset(access) {}

void CSearchRecset::Add(int record, const CGeoRect& bounds) {
    m_records.push_back(record);
    UniteRect(m_bounds, bounds);
}

int CSearchRecset::ListedRecord() const {
    if (!PositionValid())
        ThrowInvalidArg();
    return m_records[static_cast<std::size_t>(m_position)];
}

int CSearchRecset::MoveFirst() {
    m_position = 0;
    return 1;
}

int CSearchRecset::MoveNext() {
    if (static_cast<std::size_t>(m_position + 1) >= m_records.size())
        return 0;
    ++m_position;
    return 1;
}

int CSearchRecset::ReservedA(int value) {
    return m_access->ReservedA(ListedRecord(), value);
}

int CSearchRecset::GetShape(IShape** shape, int) {
    if (!shape)
        return 0;
    return Guarded([&] {
        const int record = ListedRecord();
        CRef<CShapeImpl> fresh = MakeRef<CShapeImpl>();
        if (m_access->ReadShape(record, fresh.Get())) {
            *shape = fresh.Detach();
            return 1;
        }
        fresh.Reset();
        return m_access->CreateShape(record, shape) ? 1 : 0;
    });
}

int CSearchRecset::GetAttributes(IShapeAttr** attributes) {
    return m_access->GetAttributes(ListedRecord(), attributes);
}

int CSearchRecset::GetRecordBounds(CGeoRect* bounds) {
    return m_access->GetRecordBounds(ListedRecord(), bounds);
}

int CSearchRecset::GetCount() {
    return static_cast<int>(m_records.size());
}

int CSearchRecset::MoveToBookmark(const CVariant& bookmark) {
    return Guarded([&] {
        const int value = BookmarkValue(bookmark);
        const auto found = std::find(m_records.begin(), m_records.end(), value);
        if (found == m_records.end())
            return 0;
        m_position = static_cast<int>(found - m_records.begin());
        return 1;
    });
}

int CSearchRecset::SetPosition(int position) {
    if (position < 0 || static_cast<std::size_t>(position) >= m_records.size())
        return 0;
    m_position = position;
    return 1;
}

int CSearchRecset::GetBookmark(CVariant* bookmark) {
    if (!bookmark || !PositionValid())
        return 0;
    SetBookmark(bookmark, m_records[static_cast<std::size_t>(m_position)]);
    return 1;
}

int CSearchRecset::ReservedB() {
    return 1;
}

int CSearchRecset::SortByDistance(CGeoPoint point) {
    return Guarded([&] {
        CRef<CShapeImpl> scratch = MakeRef<CShapeImpl>();
        std::vector<SSortRec> sorted(m_records.size());
        // Records without a measurable distance go after all others, in list order.
        std::vector<int> unmeasured;
        std::size_t measured = 0;
        for (const int record : m_records) {
            double distance = 0.0;
            bool known = false;
            if (m_access->ReadShape(record, scratch.Get())) {
                distance = DistanceToShape(point, scratch.Get());
                known = true;
            } else {
                CRef<IShape> created;
                if (m_access->CreateShape(record, created.Put()) && created) {
                    distance = DistanceToShape(point, created.Get());
                    known = true;
                }
            }
            if (known && !std::isnan(distance))
                sorted[measured++] = SSortRec{record, distance};
            else
                unmeasured.push_back(record);
        }
        sorted.resize(measured);
        std::stable_sort(sorted.begin(), sorted.end(),
                         [](const SSortRec& a, const SSortRec& b) { return a.distance < b.distance; });
        std::vector<int> reordered;
        reordered.reserve(m_records.size());
        for (const SSortRec& entry : sorted)
            reordered.push_back(entry.record);
        reordered.insert(reordered.end(), unmeasured.begin(), unmeasured.end());
        m_records.swap(reordered);
        return 1;
    });
}

int CSearchRecset::GetBounds(CGeoRect* bounds) {
    if (bounds)
        *bounds = m_bounds;
    return 1;
}

int CSearchRecset::ReservedC(int a, int b) {
    return m_access->ReservedC(ListedRecord(), a, b);
}

int CSearchRecset::ReservedD() {
    if (!PositionValid())
        return 0;
    return m_access->ReservedD(m_records[static_cast<std::size_t>(m_position)]);
}

int CSearchRecset::DeleteCurrent() {
    if (!PositionValid())
        return 0;
    if (!m_access->DeleteRecord(m_records[static_cast<std::size_t>(m_position)]))
        return 0;
    m_records.erase(m_records.begin() + m_position);
    if (static_cast<std::size_t>(m_position) >= m_records.size())
        --m_position;
    return 1;
}

} // namespace fennick
