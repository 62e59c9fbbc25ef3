#include "search/QuadTreeIndex.h"

#include "data/RectOperations.h"
#include "platform/Boundary.h"

#include <algorithm>
#include <cstring>

namespace fennick {

namespace {

constexpr int64_t kHeaderSize = 13;
constexpr int64_t kNodeHead = 40; // child bytes, rectangle, record count
constexpr int64_t kMinNode = 44;  // with the child count
// Record numbers are read in pieces of at most this many, so a huge count costs no huge buffer.
constexpr uint32_t kRecordChunk = 16384;

int32_t Le32(const uint8_t* p) {
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                                static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24);
}

double LeDouble(const uint8_t* p) {
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i)
        bits = bits << 8 | p[i];
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

} // namespace

CQuadTreeIndex::CQuadTreeIndex() = default;

CQuadTreeIndex::~CQuadTreeIndex() {
    Close();
}

void CQuadTreeIndex::Close() {
    if (m_file)
        m_file->Abort();
    m_reader.reset();
    m_file.reset();
    m_recordCount = 0;
    m_secondValue = 0;
    m_fileLength = 0;
}

void CQuadTreeIndex::ReadExact(void* buffer, uint32_t count) {
    if (m_reader->Read(buffer, count) != count)
        ThrowBadFormat(m_file->GetFilePath());
}

int CQuadTreeIndex::Open(const std::u16string& path) {
    Close();
    const int opened = Guarded([&] {
        m_file = std::make_unique<CSysFile>();
        if (!m_file->Open(path, CSysFile::kReadDenyWrite)) {
            Close();
            return 0;
        }
        m_reader = std::make_unique<CCachedFile>(*m_file, kCacheSize);
        uint8_t header[kHeaderSize];
        ReadExact(header, sizeof header);
        if (std::memcmp(header, "STX1", 4) != 0 || header[4] != '0')
            ThrowBadFormat(path);
        m_recordCount = Le32(header + 5);
        m_secondValue = Le32(header + 9);
        m_fileLength = static_cast<int64_t>(m_file->GetLength());
        // The bit set of a query must not be larger than the file itself: an index lists each record it
        // covers in 4 bytes, so a larger count can only come from a damaged header.
        if (m_recordCount < 0 || m_recordCount / 8 > m_fileLength)
            ThrowBadFormat(path);
        return 1;
    });
    if (!opened)
        Close();
    return opened;
}

int CQuadTreeIndex::Query(const CGeoRect& query, std::vector<bool>& bits, int32_t* found) {
    int32_t count = 0;
    if (found != nullptr)
        *found = 0;
    if (!Guarded([&] {
            if (!IsOpen())
                ThrowNotSupported();
            bits.assign(static_cast<std::size_t>(m_recordCount), false);
            Walk(query, bits, count);
            return 1;
        })) {
        bits.clear();
        return 0;
    }
    if (found != nullptr)
        *found = count;
    return 1;
}

void CQuadTreeIndex::Walk(const CGeoRect& query, std::vector<bool>& bits, int32_t& found) {
    // Depth first without recursion, so that a deeply nested file cannot exhaust the stack.
    m_stack.clear();
    m_stack.push_back({m_fileLength, 1, true});
    int64_t position = m_reader->Seek(kHeaderSize, 0);
    while (!m_stack.empty()) {
        SFrame& parent = m_stack.back();
        if (parent.childrenLeft == 0) {
            if (!parent.root && position != parent.end) // children that do not fill their parent's space
                ThrowBadFormat(m_file->GetFilePath());
            m_stack.pop_back();
            continue;
        }
        --parent.childrenLeft;

        uint8_t head[kNodeHead];
        ReadExact(head, sizeof head);
        const int32_t childBytes = Le32(head);
        CGeoRect rect;
        rect.left = LeDouble(head + 4);
        rect.top = LeDouble(head + 12);
        rect.right = LeDouble(head + 20);
        rect.bottom = LeDouble(head + 28);
        const int32_t n = Le32(head + 36);
        if (childBytes < 0 || n < 0)
            ThrowBadFormat(m_file->GetFilePath());
        const int64_t nodeEnd = position + kMinNode + 4 * static_cast<int64_t>(n) + childBytes;
        if (nodeEnd > parent.end)
            ThrowBadFormat(m_file->GetFilePath());

        if (rect.IsEmpty() || !RectsMeet(rect, query)) {
            position = m_reader->Seek(static_cast<int64_t>(childBytes) + 4 * static_cast<int64_t>(n) + 4, 1);
            continue;
        }

        for (uint32_t left = static_cast<uint32_t>(n); left > 0;) {
            const uint32_t take = std::min(left, kRecordChunk);
            if (m_records.size() < take)
                m_records.resize(take);
            ReadExact(m_records.data(), take * 4);
            for (uint32_t i = 0; i < take; ++i) {
                const int32_t record = Le32(reinterpret_cast<const uint8_t*>(&m_records[i]));
                if (record < 0 || record >= m_recordCount)
                    ThrowBadFormat(m_file->GetFilePath());
                auto bit = bits[static_cast<std::size_t>(record)];
                if (!bit) {
                    bit = true;
                    ++found;
                }
            }
            left -= take;
        }
        uint8_t countBytes[4];
        ReadExact(countBytes, 4);
        const int32_t children = Le32(countBytes);
        if (children < 0 || static_cast<int64_t>(children) * kMinNode > childBytes)
            ThrowBadFormat(m_file->GetFilePath());
        position = nodeEnd - childBytes;
        m_stack.push_back({nodeEnd, children, false});
    }
}

} // namespace fennick
