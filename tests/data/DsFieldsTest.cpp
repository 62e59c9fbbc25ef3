// The field table of a data source and the field lookup by name.

#include "data/DsFields.h"
#include "data/FindFieldIndex.h"
#include "data/GeoTypes.h"
#include "data/IString.h"

#include <gtest/gtest.h>

using namespace fennick;

namespace {

CDsFieldTable Table(std::vector<std::u16string> names) {
    CDsFieldTable table;
    for (auto& name : names)
        table.Add(SDsFields{std::move(name), FIELD_CHARACTER, 8, 0});
    return table;
}

// A description whose name reading fails from a given index on.
class CFailingNames final : public IFieldDesc {
public:
    CFailingNames(CDsFieldTable table, int failFrom) : m_table(std::move(table)), m_failFrom(failFrom) {}
    int GetFieldCount() override { return m_table.GetFieldCount(); }
    int GetFieldName(int index, IString* name) override {
        return index >= m_failFrom ? 0 : m_table.GetFieldName(index, name);
    }
    int GetFieldWidth(int index) override { return m_table.GetFieldWidth(index); }
    int GetFieldDecimals(int index) override { return m_table.GetFieldDecimals(index); }
    int GetFieldType(int index) override { return m_table.GetFieldType(index); }

private:
    CDsFieldTable m_table;
    int m_failFrom;
};

} // namespace

TEST(DsFieldTable, ReportsMembersAndZeroOutsideTheTable) {
    CDsFieldTable table;
    table.Add(SDsFields{u"NAME", FIELD_CHARACTER, 20, 0});
    table.Add(SDsFields{u"AREA", FIELD_REAL, 12, 4});
    EXPECT_EQ(table.GetFieldCount(), 2);
    CIString name(u"keep");
    ASSERT_EQ(table.GetFieldName(1, &name), 1);
    EXPECT_EQ(name.Str(), u"AREA");
    EXPECT_EQ(table.GetFieldType(1), FIELD_REAL);
    EXPECT_EQ(table.GetFieldWidth(1), 12);
    EXPECT_EQ(table.GetFieldDecimals(1), 4);
    for (const int index : {2, -1}) {
        CIString untouched(u"keep");
        EXPECT_EQ(table.GetFieldName(index, &untouched), 0) << index;
        EXPECT_EQ(untouched.Str(), u"keep");
        EXPECT_EQ(table.GetFieldWidth(index), 0) << index;
        EXPECT_EQ(table.GetFieldDecimals(index), 0) << index;
        EXPECT_EQ(table.GetFieldType(index), 0) << index;
    }
}

TEST(FindFieldIndex, MatchesWithoutRegardToLetterCase) {
    CDsFieldTable table = Table({u"ID", u"Name", u"NAME", u"ÉTAT", u"Город", u"x"});
    struct SCase {
        std::u16string query;
        int expected;
    };
    const SCase cases[] = {
        {u"id", 0},   {u"ID", 0},     {u"name", 1}, // the first of two names differing only in case
        {u"NAME", 1}, {u"état", 3},   {u"ГОРОД", 4}, {u"город", 4}, {u"X", 5},
        {u"nam", -1}, {u"names", -1}, {u"", -1},     {u"id ", -1},
    };
    for (const SCase& c : cases)
        EXPECT_EQ(FindFieldIndex(&table, c.query), c.expected) << "case " << (&c - cases);
}

TEST(FindFieldIndex, UnreadableNameStopsTheSearch) {
    CFailingNames fields(Table({u"A", u"B", u"C"}), 1);
    EXPECT_EQ(FindFieldIndex(&fields, u"a"), 0);
    EXPECT_EQ(FindFieldIndex(&fields, u"c"), -1);
    CDsFieldTable empty;
    EXPECT_EQ(FindFieldIndex(&empty, u"a"), -1);
    EXPECT_EQ(FindFieldIndex(nullptr, u"a"), -1);
}
