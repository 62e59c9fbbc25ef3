#include "tab/MiTabFiles.h"

#include "platform/CodePage.h"
#include "platform/Exceptions.h"
#include "platform/SysFile.h"

#include <algorithm>
#include <limits>

namespace fennick {

namespace {

uint32_t Little16(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8;
}

uint32_t Little32(const uint8_t* p) {
    return Little16(p) | Little16(p + 2) << 16;
}

// The header, the end mark and one field's 32-byte description at the least.
constexpr uint32_t kSmallestHeader = 32 + 32 + 1;
// Rows are scanned a block at a time; only their flag bytes are looked at.
constexpr std::size_t kScanBlock = 256 * 1024;

} // namespace

bool ParseTabDatHeader(const uint8_t* bytes, std::size_t size, STabDatHeader& header) {
    if (bytes == nullptr || size < 12)
        return false;
    header.records = Little32(bytes + 4);
    header.headerBytes = Little16(bytes + 8);
    header.rowBytes = Little16(bytes + 10);
    return header.headerBytes >= kSmallestHeader && header.rowBytes >= 1;
}

STabLiveRows ReadTabLiveRows(const std::u16string& datPath) {
    CSysFile file;
    CFileException error(CFileException::none, datPath);
    if (!file.Open(datPath, CSysFile::kReadDenyNone, &error))
        throw error;
    uint8_t head[12];
    STabDatHeader header;
    if (file.Read(head, sizeof head) != sizeof head || !ParseTabDatHeader(head, sizeof head, header))
        ThrowBadFormatBecause(u"its header is no table's", datPath);
    if (header.records > static_cast<uint32_t>(std::numeric_limits<int32_t>::max()))
        ThrowBadFormatBecause(u"its header declares " + Utf16Number(static_cast<long long>(header.records)) +
                                  u" rows",
                              datPath);
    // 64 bits: rows below 2^31 of at most 65535 bytes each.
    const uint64_t needed =
        header.headerBytes + static_cast<uint64_t>(header.records) * static_cast<uint64_t>(header.rowBytes);
    const int64_t size = file.Seek(0, 2);
    if (size < 0 || static_cast<uint64_t>(size) < needed) {
        const uint64_t whole = size <= header.headerBytes
                                   ? 0
                                   : (static_cast<uint64_t>(size) - header.headerBytes) / header.rowBytes;
        ThrowBadFormatBecause(u"its header declares " + Utf16Number(static_cast<long long>(header.records)) +
                                  u" rows, the file holds " + Utf16Number(static_cast<long long>(whole)),
                              datPath);
    }

    STabLiveRows rows;
    rows.declared = static_cast<int32_t>(header.records);
    file.Seek(header.headerBytes, 0);
    // Whole rows per block, so a row never straddles two reads.
    const std::size_t perBlock = std::max<std::size_t>(1, kScanBlock / header.rowBytes);
    std::vector<uint8_t> block(perBlock * header.rowBytes);
    uint32_t row = 0;
    bool deletions = false;
    while (row < header.records) {
        const std::size_t count = std::min<std::size_t>(perBlock, header.records - row);
        const auto bytes = static_cast<uint32_t>(count * header.rowBytes);
        if (file.Read(block.data(), bytes) != bytes)
            ThrowBadFormatBecause(u"it ends inside row " + Utf16Number(static_cast<long long>(row) + 1),
                                  datPath);
        for (std::size_t i = 0; i < count; ++i, ++row) {
            const uint8_t flag = block[i * header.rowBytes];
            if (flag == ' ') {
                // Numbers are kept only once a row is missing; until then the rows are 1 to live.
                if (deletions)
                    rows.numbers.push_back(static_cast<int32_t>(row) + 1);
                ++rows.live;
            } else if (flag == '*') {
                if (!deletions) {
                    deletions = true;
                    rows.numbers.reserve(header.records - 1);
                    for (int32_t n = 1; n <= rows.live; ++n)
                        rows.numbers.push_back(n);
                }
            } else {
                ThrowBadFormatBecause(u"row " + Utf16Number(static_cast<long long>(row) + 1) +
                                          u" is marked neither live nor deleted",
                                      datPath);
            }
        }
    }
    return rows;
}

int TabMapHeaderShapeType(const uint8_t* bytes, std::size_t size) {
    constexpr uint32_t kMagic = 42424242;
    if (bytes == nullptr || size < kTabMapHeaderBytes || Little32(bytes + 0x100) != kMagic)
        return -1;
    const uint32_t points = Little32(bytes + 0x13C);
    const uint32_t lines = Little32(bytes + 0x140);
    const uint32_t regions = Little32(bytes + 0x144);
    const uint32_t texts = Little32(bytes + 0x148);
    if (texts != 0)
        return -1;
    if (points != 0 && lines == 0 && regions == 0)
        return 0;
    if (lines != 0 && points == 0 && regions == 0)
        return 1;
    if (regions != 0 && points == 0 && lines == 0)
        return 2;
    return -1;
}

int ReadTabMapHeaderShapeType(const std::u16string& mapPath) {
    CSysFile file;
    if (!file.Open(mapPath, CSysFile::kReadDenyNone))
        return -1;
    uint8_t head[kTabMapHeaderBytes];
    try {
        if (file.Read(head, sizeof head) != sizeof head)
            return -1;
    } catch (const CException&) {
        return -1;
    }
    return TabMapHeaderShapeType(head, sizeof head);
}

} // namespace fennick
