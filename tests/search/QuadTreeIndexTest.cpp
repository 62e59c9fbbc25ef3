#include "search/QuadTreeIndex.h"

#include "StxWriter.h"
#include "TempDir.h"

#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

using namespace fennick;
using fennick::test::CTempDir;
using fennick::test::SStxNode;
using fennick::test::StxFileBytes;

namespace {

CGeoRect Rect(double left, double top, double right, double bottom) {
    return {left, top, right, bottom};
}

std::vector<int32_t> SetBits(const std::vector<bool>& bits) {
    std::vector<int32_t> out;
    for (std::size_t i = 0; i < bits.size(); ++i)
        if (bits[i])
            out.push_back(static_cast<int32_t>(i));
    return out;
}

struct Index {
    CTempDir dir;
    CQuadTreeIndex index;
    int Open(const std::string& bytes) {
        dir.Write("a.stx", bytes);
        return index.Open(dir.WPath("a.stx"));
    }
};

// Root {0..100} with records 0 and 5, a pure branching child and two leaves; record 3 is listed twice.
SStxNode SmallTree() {
    SStxNode root{Rect(0, 100, 100, 0), {0, 5}, {}};
    SStxNode branch{Rect(0, 50, 50, 0), {}, {}};
    branch.children.push_back({Rect(0, 25, 25, 0), {1, 3}, {}});
    branch.children.push_back({Rect(25, 50, 50, 25), {2}, {}});
    root.children.push_back(branch);
    root.children.push_back({Rect(50, 100, 100, 50), {3, 4}, {}});
    return root;
}

} // namespace

TEST(QuadTreeIndex, OpensOnlyItsOwnFormat) {
    const SStxNode root = SmallTree();
    struct Case {
        std::string what;
        std::string bytes;
        int expected;
    } cases[] = {
        {"valid", StxFileBytes(root, 6, 77), 1},
        {"version 1", StxFileBytes(root, 6, 0, '1'), 0},
        {"other magic", "STX2" + StxFileBytes(root, 6).substr(4), 0},
        {"short header", StxFileBytes(root, 6).substr(0, 12), 0},
        {"negative record count", StxFileBytes(root, -1), 0},
        {"bit set larger than the file", StxFileBytes(root, 1 << 30), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Index x;
        EXPECT_EQ(x.Open(c.bytes), c.expected);
        EXPECT_EQ(x.index.IsOpen(), c.expected == 1);
    }
    Index x;
    ASSERT_EQ(x.Open(StxFileBytes(root, 6, 77)), 1);
    EXPECT_EQ(x.index.GetRecordCount(), 6);
    EXPECT_EQ(x.index.GetSecondValue(), 77);
    EXPECT_EQ(x.index.Open(x.dir.WPath("missing.stx")), 0);
    EXPECT_FALSE(x.index.IsOpen());
    std::vector<bool> bits(3, true);
    EXPECT_EQ(x.index.Query(Rect(0, 100, 100, 0), bits), 0);
    EXPECT_TRUE(bits.empty());
}

TEST(QuadTreeIndex, QueriesCollectTheRecordsOfMeetingNodesOnce) {
    Index x;
    ASSERT_EQ(x.Open(StxFileBytes(SmallTree(), 8)), 1);
    struct Case {
        CGeoRect query;
        std::vector<int32_t> expected;
    } cases[] = {
        {Rect(-10, 110, 110, -10), {0, 1, 2, 3, 4, 5}},
        {Rect(60, 90, 70, 80), {0, 3, 4, 5}},
        {Rect(1, 2, 3, 1), {0, 1, 3, 5}},        // through the branching node to one leaf
        {Rect(25, 25, 25, 25), {0, 1, 2, 3, 5}}, // a point on shared edges meets both leaves
        {Rect(50, 50, 50, 50), {0, 2, 3, 4, 5}},
        {Rect(200, 300, 300, 200), {}},
        {Rect(10, 0, 0, 10), {}}, // an empty query meets nothing
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.query.left << "," << c.query.top);
        std::vector<bool> bits(3, true);
        int32_t found = -1;
        ASSERT_EQ(x.index.Query(c.query, bits, &found), 1);
        EXPECT_EQ(bits.size(), 8u);
        EXPECT_EQ(SetBits(bits), c.expected);
        EXPECT_EQ(found, static_cast<int32_t>(c.expected.size()));
    }
}

TEST(QuadTreeIndex, EmptyNodeRectanglesNeverMeet) {
    SStxNode root{Rect(0, 10, 10, 0), {}, {}};
    root.children.push_back({CGeoRect(), {1}, {}}); // {1, 0, 0, 1}
    root.children.push_back({Rect(0, 10, 10, 0), {2}, {}});
    Index x;
    ASSERT_EQ(x.Open(StxFileBytes(root, 3)), 1);
    std::vector<bool> bits;
    ASSERT_EQ(x.index.Query(Rect(-100, 100, 100, -100), bits), 1);
    EXPECT_EQ(SetBits(bits), (std::vector<int32_t>{2}));
}

// Whatever follows the root's first 40 bytes is not read when the root does not meet the query.
TEST(QuadTreeIndex, ANonMeetingRootIsSkippedAfterItsFirst40Bytes) {
    std::string bytes = StxFileBytes(SmallTree(), 6);
    for (std::size_t i = 13 + 40; i < bytes.size(); ++i)
        bytes[i] = '\xFF'; // negative counts and record numbers everywhere
    Index x;
    ASSERT_EQ(x.Open(bytes), 1);
    std::vector<bool> bits;
    int32_t found = -1;
    EXPECT_EQ(x.index.Query(Rect(500, 600, 600, 500), bits, &found), 1);
    EXPECT_EQ(bits.size(), 6u);
    EXPECT_EQ(found, 0);
    EXPECT_EQ(x.index.Query(Rect(0, 100, 100, 0), bits), 0); // reading into it fails
    EXPECT_TRUE(bits.empty());
}

TEST(QuadTreeIndex, MatchesAWalkOfTheTreeForRandomData) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> coord(0, 1000), size(0, 40);
    std::vector<CGeoRect> records;
    for (int i = 0; i < 500; ++i) {
        const double x = coord(rng), y = coord(rng);
        records.push_back(Rect(x, y + size(rng), x + size(rng), y));
    }
    const SStxNode root = test::BuildQuadTree(records, 5);
    Index x;
    ASSERT_EQ(x.Open(StxFileBytes(root, 500)), 1);
    std::vector<bool> bits;
    for (int q = 0; q < 50; ++q) {
        const double qx = coord(rng), qy = coord(rng), w = size(rng) * 5;
        const CGeoRect query = Rect(qx, qy + w, qx + w, qy);
        ASSERT_EQ(x.index.Query(query, bits), 1);
        EXPECT_EQ(SetBits(bits), test::CandidatesOf(root, query));
        // The candidates hold every record whose rectangle meets the query.
        for (int32_t r = 0; r < 500; ++r) {
            const CGeoRect& b = records[static_cast<std::size_t>(r)];
            if (b.left <= query.right && query.left <= b.right && b.bottom <= query.top &&
                query.bottom <= b.top) {
                EXPECT_TRUE(bits[static_cast<std::size_t>(r)]) << r;
            }
        }
    }
}

TEST(QuadTreeIndex, DamagedFilesFailTheQuery) {
    const SStxNode root = SmallTree();
    const std::string good = StxFileBytes(root, 6);
    auto patched = [&](std::size_t at, int32_t value) {
        std::string b = good;
        for (int i = 0; i < 4; ++i)
            b[at + i] = static_cast<char>(static_cast<uint32_t>(value) >> (8 * i));
        return b;
    };
    // Offsets in the root: child bytes at 13, n at 49, records at 53 and 57, child count at 61.
    struct Case {
        std::string what;
        std::string bytes;
    } cases[] = {
        {"record number beyond the count", StxFileBytes(root, 5)},
        {"negative record number", patched(53, -1)},
        {"negative record count in a node", patched(49, -3)},
        {"record list beyond the file", patched(49, 0x3FFFFFFF)},
        {"negative child bytes", patched(13, -8)},
        {"child bytes beyond the file", patched(13, 1 << 20)},
        {"child bytes too small for the children", patched(13, 44)},
        {"child bytes larger than the children",
         patched(13, static_cast<int32_t>(good.size() - 13 - 52 + 4)) + std::string(4, '\0')},
        {"more children than bytes", patched(61, 9)},
        {"negative child count", patched(61, -1)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Index x;
        ASSERT_EQ(x.Open(c.bytes), 1);
        std::vector<bool> bits(2, true);
        EXPECT_EQ(x.index.Query(Rect(-1, 101, 101, -1), bits), 0);
        EXPECT_TRUE(bits.empty());
    }
    // Every truncation of the nodes fails a query that reads them all.
    for (std::size_t length = 13; length < good.size(); ++length) {
        SCOPED_TRACE(length);
        Index x;
        ASSERT_EQ(x.Open(good.substr(0, length)), 1);
        std::vector<bool> bits;
        EXPECT_EQ(x.index.Query(Rect(-1, 101, 101, -1), bits), 0);
    }
}

TEST(QuadTreeIndex, DeepNestingNeedsNoDeepStack) {
    // A chain of 20000 nested nodes; record 0 at the root, record 1 in the deepest node.
    const int depth = 20000;
    auto put = [](std::string& s, int32_t v) {
        for (int i = 0; i < 4; ++i)
            s += static_cast<char>(static_cast<uint32_t>(v) >> (8 * i));
    };
    auto size = [&](int level) { return 44 + (level == 0 || level == depth - 1 ? 4 : 0); };
    std::vector<int32_t> below(depth + 1, 0); // bytes of the nodes deeper than each level
    for (int level = depth - 1; level >= 0; --level)
        below[level] = below[level + 1] + size(level);
    std::string bytes = "STX10";
    put(bytes, 2);
    put(bytes, 0);
    const double rect[4] = {0, 1, 1, 0};
    for (int level = 0; level < depth; ++level) {
        put(bytes, below[level + 1]);
        bytes.append(reinterpret_cast<const char*>(rect), sizeof rect);
        const bool hasRecord = level == 0 || level == depth - 1;
        put(bytes, hasRecord ? 1 : 0);
        if (hasRecord) {
            put(bytes, level == 0 ? 0 : 1);
        }
        put(bytes, level < depth - 1 ? 1 : 0);
    }
    Index x;
    ASSERT_EQ(x.Open(bytes), 1);
    std::vector<bool> bits;
    ASSERT_EQ(x.index.Query(Rect(0, 1, 1, 0), bits), 1);
    EXPECT_EQ(SetBits(bits), (std::vector<int32_t>{0, 1}));
}
