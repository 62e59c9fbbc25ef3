// Walking a layer with GetShape(fresh = 0) allocates nothing per record. This binary counts every
// operator new, so the test lives in a file of its own.

#include "MemoryGeoDS.h"

#include "data/IRecset.h"
#include "data/IShape.h"
#include "platform/Variant.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

// The replacements below pair malloc with free on both sides; GCC cannot see that once they are inlined.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {
std::atomic<long> g_allocations{0};
}

void* operator new(std::size_t size) {
    ++g_allocations;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

using namespace fennick;
using namespace fennick::test;

TEST(ShapeRecsetAllocation, WalkingWithTheCachedShapeAllocatesNothingPerRecord) {
    SLayerSpec layer{SHAPE_POLYGON, {}, {}};
    for (int i = 0; i < 1000; ++i)
        layer.records.push_back(SquareRecord(i, i % 7, 1 + i % 3));
    CRef<CMemoryGeoDS> ds = MakeMemoryGeoDS(layer);
    for (const bool filtered : {false, true}) {
        CRef<IRecset> recset;
        if (filtered) {
            const CGeoRect query{-1, 100, 2000, -1}; // not a cover: every record's bounds are tested
            ASSERT_EQ(ds->SelectByRect(&query, recset.Put()), 1);
        } else {
            ASSERT_EQ(ds->SelectAll(recset.Put()), 1);
        }
        ASSERT_EQ(recset->MoveFirst(), 1);
        IShape* shape = nullptr;
        ASSERT_EQ(recset->GetShape(&shape, 0), 1); // the first fill may size the shape's buffer
        shape->Release();
        CVariant bookmark;
        CGeoRect bounds;
        int records = 1;
        double area = 0;
        const long before = g_allocations.load();
        while (recset->MoveNext()) {
            ASSERT_EQ(recset->GetShape(&shape, 0), 1);
            ASSERT_EQ(recset->GetRecordBounds(&bounds), 1);
            ASSERT_EQ(recset->GetBookmark(&bookmark), 1);
            int points = 0;
            shape->GetPointCount(&points);
            area += (bounds.right - bounds.left) * points;
            shape->Release();
            ++records;
        }
        EXPECT_EQ(g_allocations.load() - before, 0) << (filtered ? "filtered" : "all");
        // The count does see allocations: a fresh shape is a new object.
        ASSERT_EQ(recset->MoveFirst(), 1);
        const long beforeFresh = g_allocations.load();
        ASSERT_EQ(recset->GetShape(&shape, 1), 1);
        shape->Release();
        EXPECT_GT(g_allocations.load() - beforeFresh, 0);
        EXPECT_EQ(records, 1000);
        EXPECT_GT(area, 0);
    }
}
