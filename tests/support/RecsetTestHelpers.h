#pragma once
// Helpers for record-set tests: walking a set, a rectangle region and a value filter.

#include "data/IExpression.h"
#include "data/IRecset.h"
#include "data/ISearchRegion.h"
#include "data/IShape.h"
#include "data/IShapeAttr.h"
#include "data/RectOperations.h"
#include "data/RefCounted.h"
#include "platform/Variant.h"

#include <gtest/gtest.h>

#include <vector>

namespace fennick::test {

// The record numbers a record set yields from MoveFirst on, read through GetBookmark.
inline std::vector<int> WalkRecords(IRecset* recset) {
    std::vector<int> records;
    CVariant bookmark;
    for (int more = recset->MoveFirst(); more; more = recset->MoveNext()) {
        if (!recset->GetBookmark(&bookmark))
            ADD_FAILURE() << "no bookmark on a current record";
        records.push_back(bookmark.lVal);
    }
    return records;
}

// A region that tests bounding rectangles only: intersection when the shape's bounds meet the rectangle,
// containment when they lie inside it.
class CRectRegion final : public CUnknownImpl<ISearchRegion> {
public:
    explicit CRectRegion(const CGeoRect& rect) : m_rect(rect) {}
    CGeoRect* GetBounds(CGeoRect* bounds) override {
        *bounds = m_rect;
        return bounds;
    }
    int IntersectsShape(IShape* const& shape) override {
        CGeoRect b;
        return shape->GetBounds(&b) && RectsMeet(m_rect, b) ? 1 : 0;
    }
    int IntersectsRect(const CGeoRect* rect) override { return RectsMeet(m_rect, *rect) ? 1 : 0; }
    int IntersectsPoint(const CGeoPoint* point) override { return PointInRect(m_rect, *point) ? 1 : 0; }
    int ContainsShape(IShape* const& shape) override {
        CGeoRect b;
        return shape->GetBounds(&b) && RectInRect(m_rect, b) ? 1 : 0;
    }
    int ContainsRect(const CGeoRect* rect) override { return RectInRect(m_rect, *rect) ? 1 : 0; }
    int ContainsPoint(const CGeoPoint* point) override { return PointInRect(m_rect, *point) ? 1 : 0; }

private:
    CGeoRect m_rect;
};

// Passes the records whose integer field holds one of the given values, and notes the order in which it
// saw the records.
class CValueExpression final : public CUnknownImpl<IExpression> {
public:
    CValueExpression(int field, std::vector<int> values) : m_field(field), m_values(std::move(values)) {}
    int ReservedA(int, int) override { return 0; }
    int Evaluate(IShapeAttr* attributes, int* result) override {
        int value = 0;
        CVariant bookmark;
        if (attributes->GetBookmark(&bookmark))
            seen.push_back(bookmark.lVal);
        if (!attributes->GetInteger(m_field, &value))
            return 0;
        *result = 0;
        for (const int v : m_values)
            *result |= v == value ? 1 : 0;
        return 1;
    }
    void ReservedB(int) override {}

    std::vector<int> seen;

private:
    int m_field;
    std::vector<int> m_values;
};

} // namespace fennick::test
