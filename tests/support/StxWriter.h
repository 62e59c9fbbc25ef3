#pragma once
// Writes quadtree index files (".stx"/".ttx") for tests: nodes given explicitly, or a tree built from record
// rectangles (each record goes into the smallest quadrant cell that holds it).

#include "data/GeoTypes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace fennick::test {

struct SStxNode {
    CGeoRect rect;
    std::vector<int32_t> records;
    std::vector<SStxNode> children;
};

// The bytes of a node and its subtree.
std::string StxNodeBytes(const SStxNode& node);
// A whole file: "STX1", the version byte, the record count, the second value, the root node.
std::string StxFileBytes(const SStxNode& root, int32_t recordCount, int32_t secondValue = 0,
                         char version = '0');

// A quadtree over the records' rectangles, split into four quadrants down to maxDepth levels.
SStxNode BuildQuadTree(const std::vector<CGeoRect>& records, int maxDepth = 5);

// The records of every node whose rectangle meets the query (edges inclusive), found by walking the
// node tree in memory, with each record once.
std::vector<int32_t> CandidatesOf(const SStxNode& root, const CGeoRect& query);

} // namespace fennick::test
