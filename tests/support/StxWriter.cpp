#include "StxWriter.h"

#include <algorithm>
#include <cstring>
#include <set>

namespace fennick::test {

namespace {

void PutInt(std::string& out, int32_t v) {
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>(static_cast<uint32_t>(v) >> (8 * i));
}

void PutDouble(std::string& out, double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    for (int i = 0; i < 8; ++i)
        out += static_cast<char>(bits >> (8 * i));
}

bool Contains(const CGeoRect& outer, const CGeoRect& inner) {
    return inner.left >= outer.left && inner.right <= outer.right && inner.bottom >= outer.bottom &&
           inner.top <= outer.top;
}

bool Meets(const CGeoRect& a, const CGeoRect& b) {
    if (a.IsEmpty() || b.IsEmpty())
        return false;
    return a.left <= b.right && b.left <= a.right && a.bottom <= b.top && b.bottom <= a.top;
}

void Insert(SStxNode& node, const std::vector<CGeoRect>& records, int32_t record, int depth) {
    if (depth > 0) {
        const double midX = (node.rect.left + node.rect.right) / 2;
        const double midY = (node.rect.bottom + node.rect.top) / 2;
        const CGeoRect quadrants[4] = {
            {node.rect.left, node.rect.top, midX, midY},
            {midX, node.rect.top, node.rect.right, midY},
            {node.rect.left, midY, midX, node.rect.bottom},
            {midX, midY, node.rect.right, node.rect.bottom},
        };
        for (const CGeoRect& q : quadrants) {
            if (!Contains(q, records[static_cast<std::size_t>(record)]))
                continue;
            auto child = std::find_if(node.children.begin(), node.children.end(), [&](const SStxNode& c) {
                return c.rect.left == q.left && c.rect.top == q.top;
            });
            if (child == node.children.end()) {
                node.children.push_back({q, {}, {}});
                child = node.children.end() - 1;
            }
            Insert(*child, records, record, depth - 1);
            return;
        }
    }
    node.records.push_back(record);
}

void Collect(const SStxNode& node, const CGeoRect& query, std::set<int32_t>& out) {
    if (!Meets(node.rect, query))
        return;
    out.insert(node.records.begin(), node.records.end());
    for (const SStxNode& child : node.children)
        Collect(child, query, out);
}

} // namespace

std::string StxNodeBytes(const SStxNode& node) {
    std::string children;
    for (const SStxNode& child : node.children)
        children += StxNodeBytes(child);
    std::string out;
    PutInt(out, static_cast<int32_t>(children.size()));
    PutDouble(out, node.rect.left);
    PutDouble(out, node.rect.top);
    PutDouble(out, node.rect.right);
    PutDouble(out, node.rect.bottom);
    PutInt(out, static_cast<int32_t>(node.records.size()));
    for (int32_t r : node.records)
        PutInt(out, r);
    PutInt(out, static_cast<int32_t>(node.children.size()));
    return out + children;
}

std::string StxFileBytes(const SStxNode& root, int32_t recordCount, int32_t secondValue, char version) {
    std::string out = "STX1";
    out += version;
    PutInt(out, recordCount);
    PutInt(out, secondValue);
    return out + StxNodeBytes(root);
}

SStxNode BuildQuadTree(const std::vector<CGeoRect>& records, int maxDepth) {
    SStxNode root;
    for (const CGeoRect& r : records) {
        if (root.rect.IsEmpty()) {
            root.rect = r;
            continue;
        }
        root.rect.left = std::min(root.rect.left, r.left);
        root.rect.right = std::max(root.rect.right, r.right);
        root.rect.bottom = std::min(root.rect.bottom, r.bottom);
        root.rect.top = std::max(root.rect.top, r.top);
    }
    for (int32_t i = 0; i < static_cast<int32_t>(records.size()); ++i)
        Insert(root, records, i, maxDepth);
    return root;
}

std::vector<int32_t> CandidatesOf(const SStxNode& root, const CGeoRect& query) {
    std::set<int32_t> found;
    Collect(root, query, found);
    return {found.begin(), found.end()};
}

} // namespace fennick::test
