// The quadtree index reader: open, then queries for everything, a corner, a point and an empty rectangle.
//
// Input: the .stx bytes.

#include "FuzzSupport.h"

#include "platform/CodePage.h"
#include "search/QuadTreeIndex.h"

#include <cstring>

using namespace fennick;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::QuietLibraries();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > fuzz::kMaxInput)
        return -1;
    auto& scratch = fuzz::CScratch::Fresh();
    const std::string path =
        scratch.Write("index.stx", std::string_view(reinterpret_cast<const char*>(data), size));

    CQuadTreeIndex index;
    if (!index.Open(FromUtf8(path)))
        return 0;
    // The root's own rectangle (at byte 17) makes the queries meet the tree where the data says it is.
    CGeoRect root;
    if (size >= 49)
        std::memcpy(&root, data + 17, sizeof root);
    const CGeoRect queries[] = {
        {-1e300, 1e300, 1e300, -1e300},
        root,
        {root.left, root.top, (root.left + root.right) / 2, (root.top + root.bottom) / 2},
        {root.left, root.top, root.left, root.top},
        CGeoRect(),
    };
    std::vector<bool> bits;
    for (const CGeoRect& query : queries) {
        int32_t found = 0;
        if (index.Query(query, bits, &found) && static_cast<int64_t>(bits.size()) != index.GetRecordCount())
            __builtin_trap();
    }
    index.Close();
    return 0;
}
