#pragma once
// CQuadTreeIndex: reads a quadtree spatial index side file (".stx" beside a ".shp", ".ttx" beside a ".tab")
// and answers which records may lie in a rectangle. Read only.
//
// File layout, little-endian: "STX1" "0", record count (int32), a second value (int32, kept, not
// interpreted), then the root node. A node is: child bytes c (int32, the size of all its child nodes),
// its rectangle (four doubles: left, top, right, bottom), n (int32), n record numbers (int32), the child
// count (int32) and the child nodes; it occupies 44 + 4n + c bytes.
//
// A query visits the nodes depth first and skips a whole subtree with one relative seek when its
// rectangle does not meet the query (edges inclusive; an empty rectangle never meets). The file is
// untrusted: counts and sizes that do not fit the file or their parent node, a truncated file and record
// numbers outside 0 .. record count - 1 fail the query instead of reading outside the file or the set.

#include "data/GeoTypes.h"
#include "platform/CachedFile.h"
#include "platform/SysFile.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace fennick {

class CQuadTreeIndex {
public:
    static constexpr uint64_t kCacheSize = 10240;

    CQuadTreeIndex();
    virtual ~CQuadTreeIndex();
    CQuadTreeIndex(const CQuadTreeIndex&) = delete;
    CQuadTreeIndex& operator=(const CQuadTreeIndex&) = delete;

    // Opens the index file (read only, others may not write); 1, or 0 for a missing or unreadable file, a
    // wrong magic, a negative record count or one whose bit set would be larger than the file. An index
    // already open is closed first; a failure leaves the index closed.
    int Open(const std::u16string& path);
    // Closes the file, ignoring errors. Never fails.
    void Close();
    bool IsOpen() const { return m_reader != nullptr; }

    // Resizes bits to the record count, all clear, and sets the bit of every record listed in a node whose
    // rectangle meets query. 1 on success; 0 (with bits emptied) when the index is closed or the file is
    // truncated or inconsistent. found, when given, receives the number of bits set.
    int Query(const CGeoRect& query, std::vector<bool>& bits, int32_t* found = nullptr);

    int32_t GetRecordCount() const { return m_recordCount; }
    int32_t GetSecondValue() const { return m_secondValue; }

private:
    struct SFrame {
        int64_t end; // where the node's children end
        int32_t childrenLeft;
        bool root;
    };

    void Walk(const CGeoRect& query, std::vector<bool>& bits, int32_t& found);
    void ReadExact(void* buffer, uint32_t count);

    int32_t m_recordCount = 0;
    int32_t m_secondValue = 0;
    std::unique_ptr<CSysFile> m_file;
    std::unique_ptr<CCachedFile> m_reader;
    int64_t m_fileLength = 0;
    std::vector<int32_t> m_records; // a node's record list, reused
    std::vector<SFrame> m_stack;    // the open nodes of a walk, reused
};

} // namespace fennick
