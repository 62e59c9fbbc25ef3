// What a table's .dat and .map bytes say of themselves: the live rows and the shape type of the header's
// object counts.

#include "TempDir.h"

#include "platform/CodePage.h"
#include "platform/Exceptions.h"
#include "tab/MiTabFiles.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace fennick;

namespace {

void Put32(std::string& bytes, std::size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + static_cast<std::size_t>(i)] = static_cast<char>(value >> (8 * i));
}

// A .dat of one 4-byte text column with a row per flag; tail bytes are cut from (negative) or added to the
// end.
std::string Dat(const std::string& flags, int tail = 0) {
    const uint32_t headerBytes = 32 + 32 + 1;
    const uint32_t rowBytes = 5;
    std::string bytes(headerBytes, '\0');
    bytes[0] = 3;
    Put32(bytes, 4, static_cast<uint32_t>(flags.size()));
    bytes[8] = static_cast<char>(headerBytes);
    bytes[10] = static_cast<char>(rowBytes);
    for (char flag : flags)
        bytes += std::string(1, flag) + "abcd";
    bytes.resize(static_cast<std::size_t>(static_cast<long long>(bytes.size()) + tail), ' ');
    return bytes;
}

} // namespace

TEST(TabDatRows, DeletedRowsAreLeftOutWhereverTheyLie) {
    const struct {
        std::string flags;
        std::vector<int32_t> numbers; // empty: every row is live
        int32_t live;
    } rows[] = {
        {"   ", {}, 3},   {"*  ", {2, 3}, 2}, {"  *", {1, 2}, 2}, {"* * *", {2, 4}, 2},
        {"** *", {3}, 1}, {"***", {}, 0},     {"", {}, 0},
    };
    test::CTempDir dir;
    for (const auto& row : rows) {
        const STabLiveRows live = ReadTabLiveRows(FromUtf8(dir.Write("t.dat", Dat(row.flags))));
        EXPECT_EQ(live.numbers, row.numbers) << '"' << row.flags << '"';
        EXPECT_EQ(live.live, row.live) << '"' << row.flags << '"';
        EXPECT_EQ(live.declared, static_cast<int32_t>(row.flags.size())) << '"' << row.flags << '"';
    }
}

TEST(TabDatRows, DamagedFilesFailWithWhatIsWrong) {
    std::string hugeCount = Dat("  ");
    Put32(hugeCount, 4, 0x80000000u);
    const struct {
        std::string bytes;
        const char16_t* detail;
    } rows[] = {
        {Dat("   ", -1), u"its header declares 3 rows, the file holds 2"},
        {Dat("   ", -15), u"its header declares 3 rows, the file holds 0"},
        {Dat("   ").substr(0, 11), u"its header is no table's"},
        {Dat(" x "), u"row 2 is marked neither live nor deleted"},
        {hugeCount, u"its header declares 2147483648 rows"},
    };
    test::CTempDir dir;
    for (const auto& row : rows) {
        const std::string path = dir.Write("t.dat", row.bytes);
        try {
            ReadTabLiveRows(FromUtf8(path));
            ADD_FAILURE() << ToUtf8(row.detail);
        } catch (const CException& e) {
            EXPECT_NE(e.FullText().find(row.detail), std::u16string::npos) << ToUtf8(e.FullText());
            EXPECT_NE(e.FullText().find(FromUtf8(path)), std::u16string::npos) << ToUtf8(e.FullText());
        }
    }
}

TEST(TabMapHeader, ObjectsOfOneKindTellTheShapeType) {
    const struct {
        uint32_t points, lines, regions, texts;
        int type;
    } rows[] = {
        {5, 0, 0, 0, 0},  {0, 7, 0, 0, 1},  {0, 0, 9, 0, 2},  {1, 0, 9, 0, -1},
        {0, 2, 9, 0, -1}, {0, 0, 9, 1, -1}, {0, 0, 0, 0, -1},
    };
    for (const auto& row : rows) {
        std::string header(kTabMapHeaderBytes, '\0');
        Put32(header, 0x100, 42424242);
        Put32(header, 0x13C, row.points);
        Put32(header, 0x140, row.lines);
        Put32(header, 0x144, row.regions);
        Put32(header, 0x148, row.texts);
        const auto* bytes = reinterpret_cast<const uint8_t*>(header.data());
        EXPECT_EQ(TabMapHeaderShapeType(bytes, header.size()), row.type)
            << row.points << " " << row.lines << " " << row.regions << " " << row.texts;
        // Short bytes and a header without its mark tell nothing.
        EXPECT_EQ(TabMapHeaderShapeType(bytes, header.size() - 1), -1);
        header[0x100] ^= 1;
        EXPECT_EQ(TabMapHeaderShapeType(bytes, header.size()), -1);
    }
}
