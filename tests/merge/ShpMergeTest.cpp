#include "merge/ShpMerge.h"

#include "OgrLayer.h"
#include "TempDir.h"
#include "WriterFakes.h"
#include "data/IProgressMeter.h"
#include "platform/CodePage.h"
#include "platform/Exceptions.h"
#include "shp/ShpFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <sstream>

using namespace fennick;
using namespace fennick::test;

namespace {

// Records the engine's calls; answers "cancel" at the given IsCancelled call (1-based, 0 never).
class CRecordingMeter final : public IProgressMeter {
public:
    explicit CRecordingMeter(int cancelAt = 0) : m_cancelAt(cancelAt) {}
    int Step() override {
        calls += "S";
        return 0;
    }
    int IsCancelled() override {
        calls += "C";
        return ++m_asked == m_cancelAt ? 1 : 0;
    }
    std::string calls;

private:
    int m_cancelAt;
    int m_asked = 0;
};

const std::vector<SOgrField> kFields = {{"NAME", 'C', 20, 0}, {"POP", 'N', 10, 0}, {"AREA", 'F', 12, 3}};

std::string Square(double x, double y) {
    return "POLYGON ((" + std::to_string(x) + " " + std::to_string(y) + "," + std::to_string(x) + " " +
           std::to_string(y + 1) + "," + std::to_string(x + 1) + " " + std::to_string(y + 1) + "," +
           std::to_string(x + 1) + " " + std::to_string(y) + "," + std::to_string(x) + " " +
           std::to_string(y) + "))";
}

class ShpMergeTest : public testing::Test {
protected:
    // A polygon shapefile with the standard fields and one record per name.
    std::string Layer(const std::string& name, const std::vector<std::string>& names,
                      const std::vector<SOgrField>& fields = kFields, const std::string& type = "POLYGON") {
        std::vector<SOgrFeature> features;
        int i = 0;
        for (const auto& n : names) {
            SOgrFeature f{type == "POINT" ? "POINT (" + std::to_string(i) + " 0)" : Square(i, 0), {n}};
            for (std::size_t k = 1; k < fields.size(); ++k)
                f.values.push_back(std::to_string(100 * (i + 1) + static_cast<int>(k)));
            features.push_back(std::move(f));
            ++i;
        }
        const std::string path = dir.Path(name + ".shp");
        WriteOgrLayer(path, type, fields, features, {"ENCODING=UTF-8"});
        return path;
    }

    std::u16string Run(CShpMerge& engine, const std::string& output, IProgressMeter* meter = nullptr) {
        try {
            engine.Merge(FromUtf8(output), meter);
        } catch (const CException& e) {
            return e.Message();
        }
        return u"";
    }

    std::u16string CheckText(CShpMerge& engine, IProgressMeter* meter = nullptr) {
        try {
            engine.Check(meter);
        } catch (const CException& e) {
            return e.Message();
        }
        return u"";
    }

    // The failure's message and detail; empty when action succeeds.
    template <class F> static std::u16string FailureOf(F&& action) {
        try {
            action();
        } catch (const CException& e) {
            return e.FullText();
        }
        return {};
    }

    static CShpMerge& Add(CShpMerge& engine, const std::vector<std::string>& paths) {
        for (const auto& p : paths)
            engine.AddFile(FromUtf8(p));
        return engine;
    }

    std::vector<std::string> Names(const std::string& shp) {
        std::vector<std::string> names;
        const nlohmann::json dump = OgrDump(shp);
        for (const auto& f : dump["features"])
            names.push_back(f["values"][0].is_null() ? "<null>" : f["values"][0].get<std::string>());
        return names;
    }

    CTempDir dir;
};

} // namespace

TEST_F(ShpMergeTest, OneFileIsRefusedBeforeAnythingIsOpened) {
    CShpMerge engine;
    engine.AddFile(u"/nonexistent/a.shp");
    EXPECT_EQ(CheckText(engine), u"Two or more files is required.");
    EXPECT_EQ(Run(engine, dir.Path("out.shp")), u"Two or more files is required.");
    EXPECT_FALSE(std::filesystem::exists(dir.Path("out.shp")));
}

TEST_F(ShpMergeTest, MessagesNameTheFileThatFailed) {
    const std::string a = Layer("a", {"x"});
    const std::string points = Layer("p", {"x"}, kFields, "POINT");
    const std::string fewer = Layer("f", {"x"}, {{"NAME", 'C', 20, 0}, {"POP", 'N', 10, 0}});
    const std::string wider =
        Layer("w", {"x"}, {{"NAME", 'C', 21, 0}, {"POP", 'N', 10, 0}, {"AREA", 'F', 12, 3}});
    const std::string missing = dir.Path("missing.shp");
    const auto check = [&](const std::vector<std::string>& files) {
        CShpMerge engine;
        return CheckText(Add(engine, files));
    };
    EXPECT_EQ(check({missing, a}), u"Can't open main file.: " + FromUtf8(missing) + u".");
    EXPECT_EQ(check({a, missing}), u"Can't open file.: " + FromUtf8(missing) + u".");
    EXPECT_EQ(check({a, points}), FromUtf8(points) + u": Different shape types..");
    EXPECT_EQ(check({a, fewer}), FromUtf8(fewer) + u": Different column definitions..");
    EXPECT_EQ(check({a, wider}), FromUtf8(wider) + u": Different column definitions..");
    EXPECT_EQ(check({a, a, a}), u"");
}

// Many inputs are opened ahead by a second thread: the first fault in order is still the one named, and the
// records come out in the inputs' order.
TEST_F(ShpMergeTest, InputsOpenedAheadKeepTheirOrder) {
    std::vector<std::string> inputs;
    std::vector<std::string> names;
    for (int i = 0; i < 12; ++i) {
        names.push_back(std::to_string(i));
        inputs.push_back(Layer("n" + names.back(), {names.back()}));
    }
    CShpMerge merge;
    ASSERT_EQ(Run(Add(merge, inputs), dir.Path("many.shp")), u"");
    EXPECT_EQ(Names(dir.Path("many.shp")), names);

    const std::string a = inputs[0];
    const std::string points = Layer("p", {"x"}, kFields, "POINT");
    const std::string fewer = Layer("f", {"x"}, {{"NAME", 'C', 20, 0}, {"POP", 'N', 10, 0}});
    const std::string missing = dir.Path("missing.shp");
    dir.Write("Amb.PRJ", "GEOGCS[\"GCS_WGS_1984\"]");
    std::filesystem::copy_file(dir.Path("Amb.PRJ"), dir.Path("Amb.Prj"));
    for (const char* ext : {".shp", ".shx", ".dbf"})
        std::filesystem::copy_file(dir.Path(std::string("n0") + ext), dir.Path(std::string("Amb") + ext));
    const std::string ambiguous = dir.Path("Amb.shp");
    for (const auto& [bad, text] : std::vector<std::pair<std::string, std::u16string>>{
             {missing, u"Can't open file.: " + FromUtf8(missing) + u"."},
             {fewer, FromUtf8(fewer) + u": Different column definitions.."},
             {ambiguous, u"Can't open file.: " + FromUtf8(ambiguous) + u"."}}) {
        std::vector<std::string> files(12, a);
        files[7] = bad;
        files[9] = points;
        CShpMerge engine;
        EXPECT_EQ(CheckText(Add(engine, files)), text);
    }
}

// The check compares each column's type, width and decimals by position, and never its name: a row per
// property, each changing one column of the second input.
TEST_F(ShpMergeTest, TheCheckComparesEveryColumnPropertyButTheName) {
    const std::string a = Layer("a", {"x"});
    const struct {
        const char* what;
        std::size_t column;
        SOgrField field;
        const char* difference; // empty: the check passes
    } rows[] = {
        {"name", 1, {"PEOPLE", 'N', 10, 0}, ""},
        {"type", 1, {"POP", 'C', 10, 0}, "column 2: POP integer(10) in "},
        {"width", 1, {"POP", 'N', 11, 0}, "column 2: POP integer(10) in "},
        {"decimals", 2, {"AREA", 'F', 12, 4}, "column 3: AREA real(12.3) in "},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        std::vector<SOgrField> fields = kFields;
        fields[row.column] = row.field;
        const std::string b = Layer(std::string("b_") + row.what, {"y"}, fields);
        CShpMerge engine;
        const std::string failure = ToUtf8(FailureOf([&] { Add(engine, {a, b}).Check(nullptr); }));
        if (*row.difference == '\0')
            EXPECT_EQ(failure, "");
        else
            EXPECT_NE(failure.find(std::string("Different column definitions..\n") + row.difference),
                      std::string::npos)
                << failure;
    }
}

TEST_F(ShpMergeTest, ValuesLandByPositionWhateverTheFieldNames) {
    const std::string a = Layer("a", {"alpha", "beta"});
    const std::string b =
        Layer("b", {"gamma"}, {{"LABEL", 'C', 20, 0}, {"COUNT", 'N', 10, 0}, {"SIZE", 'F', 12, 3}});
    CShpMerge engine;
    CRecordingMeter meter;
    Add(engine, {a, b});
    ASSERT_EQ(CheckText(engine), u"");
    ASSERT_EQ(Run(engine, dir.Path("out.shp"), &meter), u"");
    // A checked engine steps once per input and asks for cancellation from the second on.
    EXPECT_EQ(meter.calls, "SCS");
    const auto out = OgrDump(dir.Path("out.shp"));
    ASSERT_EQ(out["count"], 3);
    EXPECT_EQ(engine.RecordsWritten(), 3);
    EXPECT_EQ(out["fields"][0][0], "NAME");
    EXPECT_EQ(out["features"][2]["values"], (nlohmann::json{"gamma", 101, 102.0}));
    EXPECT_EQ(out["features"][0]["wkt"], "POLYGON ((0 0,0 1,1 1,1 0,0 0))");
}

TEST_F(ShpMergeTest, FreshEngineStepsOnceMoreThanTheInputs) {
    const std::string a = Layer("a", {"x"});
    const std::string b = Layer("b", {"y"});
    const std::string c = Layer("c", {"z"});
    CShpMerge engine;
    CRecordingMeter meter;
    ASSERT_EQ(Run(Add(engine, {a, b, c}), dir.Path("out.shp"), &meter), u"");
    EXPECT_EQ(meter.calls, "SSCSCS");
    EXPECT_EQ(Names(dir.Path("out.shp")), (std::vector<std::string>{"x", "y", "z"}));
}

// An output without the first input's attributes would drop every later input's: a first input without a
// readable table merges only with inputs that have none either.
TEST_F(ShpMergeTest, FirstInputWithoutReadableTableMergesOnlyWithInputsWithoutColumns) {
    const std::string a = Layer("a", {"x"}), b = Layer("b", {"y"}, {{"OTHER", 'N', 5, 0}});
    const std::string c = Layer("c", {"z"}), d = Layer("d", {"w"});
    std::filesystem::remove(dir.Path("a.dbf"));
    std::filesystem::remove(dir.Path("c.dbf"));
    dir.Write("d.dbf", CTempDir::Read(dir.Path("d.dbf")).substr(0, 40)); // present, but no header
    const auto check = [&](const std::vector<std::string>& files) {
        return FailureOf([&] {
            CShpMerge engine;
            Add(engine, files).Check(nullptr);
        });
    };
    EXPECT_EQ(check({a, b}), FromUtf8(b) + u": Different column definitions..\n0 columns in " + FromUtf8(a) +
                                 u", 1 in " + FromUtf8(b));
    EXPECT_EQ(check({d, b}),
              u"Can't open main file.: " + FromUtf8(d) + u".\n" + FromUtf8(dir.Path("d.dbf")) +
                  u" has a bad format. (field descriptor 1 (byte 32) passes the end of the file)");
    EXPECT_EQ(check({b, d}).substr(0, 17), u"Can't open file.:");
    CShpMerge engine;
    ASSERT_EQ(Run(Add(engine, {a, c}), dir.Path("out.shp")), u"");
    const auto out = OgrDump(dir.Path("out.shp"));
    EXPECT_EQ(out["count"], 2);
    EXPECT_EQ(out["fields"][0][0], "ID");
}

// Files from Windows keep upper-case extensions: every companion is found in any letter case, the exact name
// first; two names that differ only in letter case fail the input and are both named.
TEST_F(ShpMergeTest, CompanionsAreFoundInAnyLetterCase) {
    WriteOgrLayer(dir.Path("t.shp"), "POINT", kFields, {{"POINT (1 2)", {"Zürich", "7", "1.5"}}},
                  {"ENCODING=UTF-8"});
    dir.Write("t.prj", "GEOGCS[\"GCS_WGS_1984\"]");
    const std::string b = Layer("b", {"Bern"}, kFields, "POINT");
    // Each name a copy of t's file of that extension, the first the input; then the ambiguous names.
    const std::vector<std::pair<std::vector<std::string>, std::vector<std::string>>> cases = {
        {{"A.SHP", "A.SHX", "A.DBF", "A.PRJ", "A.CPG"}, {}},
        {{"a.shp", "a.SHX", "a.Dbf", "a.PRJ", "a.cPg"}, {}},
        {{"a.shp", "a.shx", "a.dbf", "a.DBF", "a.prj", "a.Prj", "a.cpg"}, {}},
        {{"a.shp", "a.shx", "a.DBF", "a.dbF"}, {"a.DBF", "a.dbF"}},
        {{"a.shp", "a.shx", "a.dbf", "a.PRJ", "a.Prj"}, {"a.PRJ", "a.Prj"}},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const auto& [names, ambiguous] = cases[i];
        const std::string sub = dir.Path("case" + std::to_string(i)) + "/";
        std::filesystem::create_directory(sub);
        for (const std::string& name : names) {
            std::string ext = name.substr(name.rfind('.'));
            std::transform(ext.begin(), ext.end(), ext.begin(), [](char ch) { return std::tolower(ch); });
            std::filesystem::copy_file(dir.Path("t" + ext), sub + name);
        }
        SCOPED_TRACE(sub + names[2]);
        const std::u16string failure = FailureOf([&] {
            Add(*std::make_unique<CShpMerge>(), {sub + names[0], b})
                .Merge(FromUtf8(sub + "out.shp"), nullptr);
        });
        if (ambiguous.empty()) {
            ASSERT_EQ(failure, u"");
            EXPECT_EQ(OgrDump(sub + "out.shp")["fields"].size(), 3u);
            EXPECT_EQ(Names(sub + "out.shp"), (std::vector<std::string>{"Zürich", "Bern"}));
            EXPECT_EQ(CTempDir::Read(sub + "out.prj"), CTempDir::Read(dir.Path("t.prj")));
            continue;
        }
        EXPECT_EQ(failure.substr(0, failure.find(u'\n')),
                  u"Can't open main file.: " + FromUtf8(sub + names[0]) + u".");
        for (const std::string& name : ambiguous)
            EXPECT_NE(failure.find(FromUtf8(sub + name)), std::u16string::npos) << ToUtf8(failure);
    }
}

// A table that claims no records cannot give the output its fields; merging on with a lone ID field would
// drop the attributes of every input while reporting success.
TEST_F(ShpMergeTest, FirstInputWhoseTableCannotGiveTheFirstRecordFails) {
    const std::string a = Layer("a", {"x", "y"});
    const std::string b = Layer("b", {"z"});
    std::string dbf = CTempDir::Read(dir.Path("a.dbf"));
    std::fill(dbf.begin() + 4, dbf.begin() + 8, '\0'); // record count 0
    dir.Write("a.dbf", dbf);
    CShpMerge engine;
    EXPECT_EQ(Run(Add(engine, {a, b}), dir.Path("out.shp")),
              u"An error occurred while adding data from file.: " + FromUtf8(a) + u".");
    EXPECT_FALSE(std::filesystem::exists(dir.Path("out.shp")));
}

TEST_F(ShpMergeTest, CancelDuringTheLastInputLeavesNoOutputAndNoPrj) {
    const std::string a = Layer("a", {"x"});
    const std::string b = Layer("b", {"y"});
    dir.Write("a.prj", "PROJCS[\"whatever\"]");
    dir.Write("old.shp", "previous output");
    CShpMerge engine;
    CRecordingMeter meter(1);
    Add(engine, {a, b});
    ASSERT_EQ(CheckText(engine), u"");
    EXPECT_EQ(Run(engine, dir.Path("old.shp"), &meter), u"The action has been cancelled.");
    EXPECT_EQ(meter.calls, "SC");
    EXPECT_EQ(CTempDir::Read(dir.Path("old.shp")), "previous output");
    EXPECT_FALSE(std::filesystem::exists(dir.Path("old.prj")));
    EXPECT_FALSE(std::filesystem::exists(dir.Path("old.dbf")));
    // Nothing temporary is left behind either.
    int files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path()))
        ++files;
    EXPECT_EQ(files, 10); // a and b (.shp .shx .dbf .cpg) + a.prj + old.shp
}

TEST_F(ShpMergeTest, FirstInputsPrjIsCopiedByteForByteAndReplacesAnOldOne) {
    const std::string a = Layer("a", {"x"});
    const std::string b = Layer("b", {"y"});
    const std::string prj =
        "GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_1984\",6378137,298.257223563]],"
        "PRIMEM[\"Greenwich\",0],UNIT[\"Degree\",0.017453292519943295]]\r\n\xFF";
    dir.Write("a.prj", prj);
    dir.Write("out.prj", "old");
    CShpMerge engine;
    ASSERT_EQ(Run(Add(engine, {a, b}), dir.Path("out.shp")), u"");
    EXPECT_EQ(CTempDir::Read(dir.Path("out.prj")), prj);
}

TEST_F(ShpMergeTest, NoPrjWhenOnlyALaterInputHasOne) {
    const std::string a = Layer("a", {"x"});
    const std::string b = Layer("b", {"y"});
    dir.Write("b.prj", "PROJCS[\"b\"]");
    // A projection file left from an earlier output of that name would mislabel the new data.
    dir.Write("out.prj", "stale");
    CShpMerge engine;
    ASSERT_EQ(Run(Add(engine, {a, b}), dir.Path("out.shp")), u"");
    EXPECT_FALSE(std::filesystem::exists(dir.Path("out.prj")));
}

TEST_F(ShpMergeTest, FilterValuesKeepTheirBlanksAndSkipEmptyPieces) {
    const std::string a = Layer("a", {"Alpha", " beta", "gamma ", "delta"});
    const std::string b = Layer("b", {"ALPHA", "beta", "Delta"});
    CShpMerge engine;
    Add(engine, {a, b});
    engine.m_filterField = u"name";
    engine.m_filterValuesText = u",alpha,, beta,DELTA ,";
    ASSERT_EQ(Run(engine, dir.Path("out.shp")), u"");
    // Text values are read without their surrounding blanks, so " beta" and "DELTA " match nothing.
    EXPECT_EQ(Names(dir.Path("out.shp")), (std::vector<std::string>{"Alpha", "ALPHA"}));
    // Only the records that passed the filter are counted; a failed merge counts none.
    EXPECT_EQ(engine.RecordsWritten(), 2);
    ASSERT_NE(Run(engine, dir.Path("missing/out.shp")), u"");
    EXPECT_EQ(engine.RecordsWritten(), 0);
}

TEST_F(ShpMergeTest, FilterSetupMessages) {
    const std::string a = Layer("a", {"x"});
    const std::string b = Layer("b", {"y"});
    const auto run = [&](const std::u16string& field, const std::u16string& values) {
        CShpMerge engine;
        Add(engine, {a, b});
        engine.m_filterField = field;
        engine.m_filterValuesText = values;
        return Run(engine, dir.Path("out.shp"));
    };
    EXPECT_EQ(run(u"NOPE", u"x"), u"Invalid filter field name.");
    EXPECT_EQ(run(u"NAME", u""), u"No filter values.");
    EXPECT_EQ(run(u"NAME", u",,,"), u"No filter values parsed.");
    EXPECT_FALSE(std::filesystem::exists(dir.Path("out.shp")));
}

// An output that is one of the inputs is refused, and the input stays as it was.
TEST_F(ShpMergeTest, AnInputNamedAsTheOutputIsRefused) {
    const std::string a = Layer("a", {"one", "two"});
    const std::string b = Layer("b", {"three"});
    CShpMerge engine;
    EXPECT_EQ(Run(Add(engine, {a, b}), a), u"Can't create shapefile.: " + FromUtf8(a) + u".");
    EXPECT_EQ(Names(a), (std::vector<std::string>{"one", "two"}));
}

TEST_F(ShpMergeTest, TextKeepsTheFirstInputsCodePageAndBigIntegersSurvive) {
    const std::vector<SOgrField> fields = {{"NAME", 'C', 20, 0}, {"BIG", 'B', 12, 0}};
    WriteOgrLayer(dir.Path("a.shp"), "POINT", fields, {{"POINT (1 1)", {"Москва", "3000000000"}}},
                  {"ENCODING=CP1251"});
    dir.Write("a.cpg", "1251\r\n");
    WriteOgrLayer(dir.Path("b.shp"), "POINT", fields, {{"POINT (2 2)", {"Київ", "-2147483648"}}},
                  {"ENCODING=UTF-8"});
    WriteOgrLayer(dir.Path("c.shp"), "POINT", fields, {{"POINT (3 3)", {"北京", "1"}}}, {"ENCODING=UTF-8"});
    {
        CShpMerge engine;
        ASSERT_EQ(Run(Add(engine, {dir.Path("a.shp"), dir.Path("b.shp")}), dir.Path("out.shp")), u"");
        const auto out = OgrDump(dir.Path("out.shp"));
        EXPECT_EQ(out["encoding"], "CP1251");
        EXPECT_EQ(CTempDir::Read(dir.Path("out.cpg")), "1251\r\n");
        EXPECT_EQ(out["features"][0]["values"], (nlohmann::json{"Москва", 3000000000LL}));
        EXPECT_EQ(out["features"][1]["values"], (nlohmann::json{"Київ", -2147483648LL}));
    }
    // Chinese text cannot be written in code page 1251: that input's append fails and nothing is replaced.
    CShpMerge engine;
    EXPECT_EQ(Run(Add(engine, {dir.Path("a.shp"), dir.Path("c.shp")}), dir.Path("out.shp")),
              u"An error occurred while adding data from file.: " + FromUtf8(dir.Path("c.shp")) + u".");
    EXPECT_EQ(OgrDump(dir.Path("out.shp"))["count"], 2);
}

TEST_F(ShpMergeTest, TabAndShapefileInputsMix) {
    const std::vector<SOgrField> fields = {{"NAME", 'C', 20, 0}};
    WriteOgrLayer(dir.Path("a.shp"), "POLYGON", fields, {{Square(0, 0), {"Zürich"}}}, {"ENCODING=UTF-8"});
    WriteOgrLayer(dir.Path("b.tab"), "POLYGON", fields,
                  {{"POLYGON ((5 5,5 9,9 9,9 5,5 5),(6 6,8 6,8 8,6 8,6 6))", {"Genève"}}},
                  {"ENCODING=CP1252", "BOUNDS=-1000,-1000,1000,1000"});
    CShpMerge engine;
    ASSERT_EQ(Run(Add(engine, {dir.Path("a.shp"), dir.Path("b.tab")}), dir.Path("out.shp")), u"");
    const auto out = OgrDump(dir.Path("out.shp"));
    ASSERT_EQ(out["count"], 2);
    EXPECT_EQ(out["features"][1]["values"][0], "Genève");
    EXPECT_EQ(out["features"][1]["wkt"], "POLYGON ((5 5,5 9,9 9,9 5,5 5),(6 6,8 6,8 8,6 8,6 6))");
}

// Inputs of thousands of records have their attributes written by a second thread while the shapes are
// written. The output must hold every record in input order, as OGR reads the inputs, and be byte for byte
// what the one-thread path writes (a filter that keeps every record takes that path).
TEST_F(ShpMergeTest, LargeInputsKeepEveryRecordInOrderAsTheOneThreadPathWritesThem) {
    const int kRecords = CShpFile::kTwoThreadRecords + 1000;
    const std::vector<SOgrField> fields = {
        {"NAME", 'C', 16, 0}, {"KIND", 'C', 4, 0}, {"POP", 'N', 10, 0}, {"AREA", 'F', 14, 4}};
    std::vector<std::string> inputs;
    for (int layer = 0; layer < 2; ++layer) {
        std::vector<SOgrFeature> features;
        for (int i = 0; i < kRecords; ++i) {
            const int n = layer * kRecords + i;
            // Every 1000th record has no geometry, and texts of several lengths and blanks inside.
            features.push_back(
                {n % 1000 == 999 ? "" : Square(n % 100, n / 100),
                 {"n " + std::to_string(n * 7919 % 100003), "all", std::to_string(n * 31 - 50000),
                  std::to_string(n) + "." + std::to_string(n % 10000)}});
        }
        inputs.push_back(dir.Path("big" + std::to_string(layer) + ".shp"));
        WriteOgrLayer(inputs.back(), "POLYGON", fields, features, {"ENCODING=UTF-8"});
    }
    CShpMerge whole;
    ASSERT_EQ(Run(Add(whole, inputs), dir.Path("whole.shp")), u"");
    CShpMerge filtered;
    Add(filtered, inputs);
    filtered.m_filterField = u"KIND";
    filtered.m_filterValuesText = u"all";
    ASSERT_EQ(Run(filtered, dir.Path("filtered.shp")), u"");
    for (const char* ext : {".shp", ".shx", ".dbf"})
        EXPECT_EQ(CTempDir::Read(dir.Path(std::string("whole") + ext)),
                  CTempDir::Read(dir.Path(std::string("filtered") + ext)))
            << ext;

    const nlohmann::json out = OgrDump(dir.Path("whole.shp"));
    ASSERT_EQ(out["count"], 2 * kRecords);
    std::size_t at = 0;
    for (const std::string& input : inputs) {
        const nlohmann::json in = OgrDump(input);
        ASSERT_EQ(in["count"], kRecords);
        for (const auto& feature : in["features"]) {
            const auto& written = out["features"][at++];
            ASSERT_EQ(written["wkt"], feature["wkt"]) << "record " << at;
            ASSERT_EQ(written["values"], feature["values"]) << "record " << at;
        }
    }
}

namespace {

// A .dbf of the given fields (name, letter, width, decimals) and records, each value given as the bytes
// stored (already of the field's width), the deletion flag first.
std::string DbfBytes(const std::vector<SOgrField>& fields, const std::vector<std::string>& records) {
    std::string out(32, '\0');
    uint16_t recordLength = 1;
    for (const auto& f : fields)
        recordLength = static_cast<uint16_t>(recordLength + f.width);
    const uint16_t headerLength = static_cast<uint16_t>(32 * (fields.size() + 1) + 1);
    out[0] = 0x03;
    out[1] = 124;
    out[2] = 1;
    out[3] = 1;
    const uint32_t count = static_cast<uint32_t>(records.size());
    for (int i = 0; i < 4; ++i)
        out[4 + i] = static_cast<char>(count >> (8 * i));
    out[8] = static_cast<char>(headerLength & 0xFF);
    out[9] = static_cast<char>(headerLength >> 8);
    out[10] = static_cast<char>(recordLength & 0xFF);
    out[11] = static_cast<char>(recordLength >> 8);
    for (const auto& f : fields) {
        std::string d(32, '\0');
        d.replace(0, f.name.size(), f.name);
        d[11] = f.type;
        d[16] = static_cast<char>(f.width);
        d[17] = static_cast<char>(f.precision);
        out += d;
    }
    out += '\x0D';
    for (const auto& r : records)
        out += r;
    out += '\x1A';
    return out;
}

} // namespace

// A table merged with itself comes out as stored, byte for byte, on the two-thread path (the whole table) and
// the one-thread path (a filter): blanks around values, zero bytes, bytes beyond ASCII, signs, leading zeros,
// exponents, more or fewer decimals than declared, decimal commas, blank numbers, deleted records, whatever
// code page the table declares.
class ShpMergeStoredBytes : public testing::TestWithParam<const char*> {};

TEST_P(ShpMergeStoredBytes, PlainAndOtherRecordsComeOutAsTheOneThreadPathWritesThem) {
    CTempDir dir;
    const std::vector<SOgrField> fields = {{"NAME", 'C', 10, 0},
                                           {"KIND", 'C', 3, 0},
                                           {"POP", 'N', 6, 0},
                                           {"AREA", 'N', 8, 2},
                                           {"RATE", 'F', 9, 3}};
    // Ten bytes: one word of eight and two more, where zero bytes and high bytes are looked for apart.
    const std::vector<std::string> names = {"abc       ",
                                            "  abc     ",
                                            "       abc",
                                            "          ",
                                            std::string("a\0b       ", 10),
                                            "caf\xe9      ",
                                            "x y z     ",
                                            "ABCDEFGHIJ",
                                            " \x80        ",
                                            "caf\xc3\xa9     ",
                                            std::string("abcdefgh\0 ", 10),
                                            "abcdefgh\x80 "};
    const std::vector<std::string> pops = {"    12", "12    ", "  0012", "    -0", "   +12", "      ",
                                           "   1e3", "-12345", "999999", "     0", "  -  1"};
    const std::vector<std::string> areas = {"   12.50", " 12.50  ",
                                            "   -0.00", "    0.10",
                                            "  012.30", "12345.67",
                                            "        ", "   1.234",
                                            "    -1.5", " 1234.5 ",
                                            " 12.3456", "0.00e+00",
                                            "  68,500", std::string("1.5\0\0\0\0\0", 8)};
    const std::vector<std::string> rates = {"    1.000", "   -2.500", "  0.12345", "         ",
                                            "      1e2", "   12.000", "1.107e+01", "1.3945E02"};
    const int count = CShpFile::kTwoThreadRecords + 1000;
    std::vector<SOgrFeature> points;
    std::vector<std::string> records;
    for (int i = 0; i < count; ++i) {
        points.push_back({"POINT (" + std::to_string(i) + " 0)", {"all"}});
        // One field at a time takes an edge value, the others plain ones, so that each value alone decides
        // whether its record is copied; copies and records taken through their values alternate.
        const std::size_t at = static_cast<std::size_t>(i / 4);
        records.push_back(std::string(i % 7 == 6 ? "*" : " ") +
                          (i % 4 == 0 ? names[at % names.size()] : names[0]) + "all" +
                          (i % 4 == 1 ? pops[at % pops.size()] : pops[0]) +
                          (i % 4 == 2 ? areas[at % areas.size()] : areas[0]) +
                          (i % 4 == 3 ? rates[at % rates.size()] : rates[0]));
    }
    WriteOgrLayer(dir.Path("in.shp"), "POINT", {{"KIND", 'C', 3, 0}}, points);
    std::filesystem::remove(dir.Path("in.cpg"));
    dir.Write("in.dbf", DbfBytes(fields, records));
    if (*GetParam() != '\0')
        dir.Write("in.cpg", GetParam());

    const std::vector<std::string> inputs = {dir.Path("in.shp"), dir.Path("in.shp")};
    CShpMerge whole;
    for (const auto& p : inputs)
        whole.AddFile(FromUtf8(p));
    ASSERT_NO_THROW(whole.Merge(FromUtf8(dir.Path("whole.shp")), nullptr));
    CShpMerge filtered;
    for (const auto& p : inputs)
        filtered.AddFile(FromUtf8(p));
    filtered.m_filterField = u"KIND";
    filtered.m_filterValuesText = u"all";
    ASSERT_NO_THROW(filtered.Merge(FromUtf8(dir.Path("filtered.shp")), nullptr));
    const std::string dbf = CTempDir::Read(dir.Path("whole.dbf"));
    ASSERT_EQ(dbf.size(), 32u * 6 + 1 + 2u * count * 37);
    for (std::size_t k = 0; k < 2u * count; ++k)
        ASSERT_EQ(dbf.substr(32 * 6 + 1 + 37 * k + 1, 36), records[k % count].substr(1)) << "record " << k;
    EXPECT_EQ(dbf, CTempDir::Read(dir.Path("filtered.dbf")));
    EXPECT_EQ(CTempDir::Read(dir.Path("whole.shp")), CTempDir::Read(dir.Path("filtered.shp")));
}

INSTANTIATE_TEST_SUITE_P(CodePages, ShpMergeStoredBytes, testing::Values("", "1252", "UTF-8", "1251"));

namespace {

// A point layer whose table is given as stored values, each padded to its field's width (numbers on the
// left), with the .cpg given (none when empty).
std::string StoredLayer(CTempDir& dir, const std::string& name, const std::vector<SOgrField>& fields,
                        const std::vector<std::vector<std::string>>& rows, const std::string& cpg) {
    std::vector<SOgrFeature> points;
    std::vector<std::string> records;
    for (const auto& row : rows) {
        points.push_back({"POINT (" + std::to_string(points.size()) + " 0)", {"x"}});
        std::string record = " ";
        for (std::size_t f = 0; f < fields.size(); ++f) {
            const std::string pad(static_cast<std::size_t>(fields[f].width) - row[f].size(), ' ');
            record += fields[f].type == 'N' || fields[f].type == 'F' ? pad + row[f] : row[f] + pad;
        }
        records.push_back(record);
    }
    WriteOgrLayer(dir.Path(name + ".shp"), "POINT", {{"K", 'C', 1, 0}}, points);
    std::filesystem::remove(dir.Path(name + ".cpg"));
    dir.Write(name + ".dbf", DbfBytes(fields, records));
    if (!cpg.empty())
        dir.Write(name + ".cpg", cpg);
    return dir.Path(name + ".shp");
}

// The WKT of record `record` of layer `layer`: kind POINT, MULTIPOINT, LINESTRING (two parts) or POLYGON
// (with a hole), dims "", "Z", "M" or "ZM". Every vertex has a z and an m of its own.
std::string ZmWkt(const std::string& kind, const std::string& dims, int layer, int record) {
    int vertex = 0;
    const auto at = [&](double x, double y) {
        std::ostringstream s;
        s.precision(17);
        s << x << ' ' << y;
        if (dims.find('Z') != std::string::npos)
            s << ' ' << layer * 1000 + record + vertex * 0.25;
        if (dims.find('M') != std::string::npos)
            s << ' ' << -(layer * 100.0 + record) - vertex * 0.5;
        ++vertex;
        return s.str();
    };
    const double x = record % 50, y = record / 50 + 100 * layer;
    const std::string head = kind == "LINESTRING" ? "MULTILINESTRING" : kind;
    const std::string open = head + (dims.empty() ? "" : " " + dims) + " (";
    if (kind == "POINT")
        return open + at(x, y) + ")";
    if (kind == "MULTIPOINT")
        return open + "(" + at(x, y) + "),(" + at(x + 1, y) + "),(" + at(x, y + 1) + "))";
    if (kind == "LINESTRING")
        return open + "(" + at(x, y) + "," + at(x + 1, y) + "),(" + at(x, y + 1) + "," + at(x + 1, y + 1) +
               "," + at(x + 1, y + 2) + "))";
    std::string outer = at(x, y);
    const std::string ring = "(" + outer + "," + at(x, y + 1) + "," + at(x + 1, y + 1) + "," + at(x + 1, y);
    std::string inner = at(x + 0.25, y + 0.25);
    return open + ring + "," + outer + "),(" + inner + "," + at(x + 0.75, y + 0.25) + "," +
           at(x + 0.75, y + 0.75) + "," + at(x + 0.25, y + 0.75) + "," + inner + "))";
}

} // namespace

// Stored nulls (blank or asterisk numbers, blank or zero dates, "?" and blank logicals) and dates come out as
// GDAL reads them from the input, whether records are copied as bytes or written through their values, on
// the one-thread path and on the two-thread path.
class ShpMergeNulls : public testing::TestWithParam<int> {};

TEST_P(ShpMergeNulls, NullsAndDatesComeOutAsGdalReadsTheInput) {
    CTempDir dir;
    const std::vector<SOgrField> fields = {{"NAME", 'C', 6, 0}, {"POP", 'N', 6, 0},  {"AREA", 'N', 8, 2},
                                           {"RATE", 'F', 9, 3}, {"SEEN", 'D', 8, 0}, {"OK", 'L', 1, 0}};
    const std::vector<std::vector<std::string>> kinds = {
        {"Bonn", "12", "12.50", "1.000", "20240131", "T"},
        {"", "", "", "", "", "?"},
        {"x", "******", "********", "*********", "00000000", ""},
        {"y", "-7", "0.10", "2.5", "19991231", "F"},
    };
    std::vector<std::vector<std::string>> rows;
    for (int i = 0; i < GetParam(); ++i)
        rows.push_back(kinds[static_cast<std::size_t>(i) % kinds.size()]);
    const std::string in = StoredLayer(dir, "in", fields, rows, "");
    CShpMerge engine;
    engine.AddFile(FromUtf8(in));
    engine.AddFile(FromUtf8(in));
    ASSERT_NO_THROW(engine.Merge(FromUtf8(dir.Path("out.shp")), nullptr));

    const nlohmann::json input = OgrDump(in);
    const nlohmann::json output = OgrDump(dir.Path("out.shp"));
    ASSERT_EQ(output["count"], 2 * GetParam());
    EXPECT_EQ(output["fields"], input["fields"]);
    for (std::size_t i = 0; i < output["features"].size(); ++i) {
        ASSERT_EQ(output["features"][i]["values"], input["features"][i % rows.size()]["values"]) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, ShpMergeNulls, testing::Values(8, CShpFile::kTwoThreadRecords + 8));

// A field that is the same in the input and the output arrives as its stored bytes, whatever their form; a
// value printed again (another field letter, another code page) reads back as the same value. Texts pass as
// their bytes when the code pages agree or the input declares none (into UTF-8 only when they are UTF-8), and
// are otherwise decoded and encoded again. What cannot be kept so fails the merge naming the record, the
// field and the value.
TEST(ShpMergeTexts, TextsAndNumbersAreKeptOrTheMergeFails) {
    const std::string e20(20, '\xE9');
    struct Case {
        std::string firstCpg, cpg, name, area;
        char areaLetter;    // of the second input's AREA; the first's is N(10,2)
        std::string stored; // the name's and the area's bytes in the output, when the merge succeeds
        std::string failure;
    } cases[] = {
        {"1252", "1252", "caf\x81", "1.50", 'N', "caf\x81",
         ""}, // not defined in 1252: the same page keeps it
        {"", "", "caf\xE9", "1.50", 'N', "caf\xE9", ""},
        {"1252", "", "caf\xE9", "1.50", 'N', "caf\xE9", ""}, // no code page declared: the bytes as stored
        {"UTF-8", "", "Au\xC3\x9F", "1.50", 'N', "Au\xC3\x9F", ""},
        {"UTF-8", "", "caf\xE9", "1.50", 'N', "", "Record 1, field NAME: the text 63 61 66 E9 is not UTF-8"},
        {"CP1252", "UTF8",
         "Au\xC3\x9F"
         "ersihl",
         "1.50", 'N',
         "Au\xDF"
         "ersihl",
         ""},
        {"1252", "UTF-8", "caf\xE9", "1.50", 'N', "",
         "Record 1, field NAME: the text 63 61 66 E9 cannot be read"},
        {"UTF-8", "windows-1252", e20, "1.50", 'N', "", "Record 1, field NAME: the text needs a width of 40"},
        // Numbers: the same field as stored; another letter printed again, exactly.
        {"", "", "ok", "1.0e+300", 'N', "ok", ""},
        {"", "", "ok", "12.3456", 'N', "ok", ""},
        {"", "", "ok", "  68,500", 'N', "ok", ""},
        {"", "", "ok", "1.3945E+02", 'F', "ok", ""},
        {"", "", "ok", "   1.25", 'F', "ok", ""},
        {"", "", "ok", "0.00001234", 'F', "ok", ""},
        {"", "", "ok", "68,500", 'F', "", "Record 1, field AREA: the stored text \"68,500\" is not a number"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cpg + " " + c.name + " " + c.area);
        CTempDir dir;
        CShpMerge engine;
        const std::vector<SOgrField> fields = {{"NAME", 'C', 20, 0}, {"AREA", 'N', 10, 2}};
        const std::vector<SOgrField> other = {{"NAME", 'C', 20, 0}, {"AREA", c.areaLetter, 10, 2}};
        engine.AddFile(FromUtf8(StoredLayer(dir, "a", fields, {{"first", "1.00"}}, c.firstCpg)));
        engine.AddFile(FromUtf8(StoredLayer(dir, "b", other, {{c.name, c.area}}, c.cpg)));
        std::string failure;
        try {
            engine.Merge(FromUtf8(dir.Path("out.shp")), nullptr);
        } catch (const CException& e) {
            failure = ToUtf8(e.FullText());
        }
        if (!c.failure.empty()) {
            EXPECT_NE(failure.find(c.failure), std::string::npos) << failure;
            continue;
        }
        ASSERT_EQ(failure, "");
        // Bytes of a table without code page that are not ASCII, into an output with one, are said once.
        const bool undeclared = !c.firstCpg.empty() && c.cpg.empty() &&
                                std::any_of(c.name.begin(), c.name.end(), [](char b) { return b & 0x80; });
        ASSERT_EQ(engine.Warnings().size(), undeclared ? 1u : 0u);
        if (undeclared) {
            EXPECT_EQ(
                ToUtf8(engine.Warnings()[0]).find(dir.Path("b.shp") + ": its table declares no code page"),
                0u);
        }
        const std::string dbf = CTempDir::Read(dir.Path("out.dbf"));
        const std::size_t second = 32 * 3 + 1 + 31 + 1;
        EXPECT_EQ(dbf.substr(second, 20), c.stored + std::string(20 - c.stored.size(), ' '));
        // The same field keeps its stored bytes; another one reads back as the same number.
        const std::string area = dbf.substr(second + 20, 10);
        const std::string input = std::string(10 - std::min<std::size_t>(10, c.area.size()), ' ') + c.area;
        if (c.areaLetter == 'N')
            EXPECT_EQ(area, input.substr(0, 10));
        else
            EXPECT_EQ(std::stod(area), std::stod(c.area)) << area;
    }
}

// Z and M survive: the output takes the widest variant of its inputs (Z, which carries M, over M over
// 2-D), in the one-thread and the two-thread path. A record without Z gets 0, one without M no M or
// the no-data value (below -1e38, which GDAL reads as it stands); the header's Z and M ranges cover
// what was written.
TEST_F(ShpMergeTest, ZAndMAreKeptInTheWidestVariantOfTheInputs) {
    const int kBig = CShpFile::kTwoThreadRecords + 10;
    const struct {
        const char* kind;
        const char* first;
        const char* second;
        uint32_t shpType;
        int records;
    } rows[] = {
        {"POINT", "", "Z", 11, 9},        {"POINT", "M", "ZM", 11, 9},    {"LINESTRING", "M", "", 23, 9},
        {"LINESTRING", "Z", "ZM", 13, 9}, {"POLYGON", "ZM", "Z", 15, 9},  {"POLYGON", "M", "M", 25, 9},
        {"MULTIPOINT", "Z", "M", 18, 9},  {"MULTIPOINT", "", "M", 28, 9}, {"POLYGON", "", "Z", 15, kBig},
    };
    for (const auto& row : rows) {
        const std::string what = std::string(row.kind) + " " + row.first + " + " + row.second;
        std::vector<std::string> inputs;
        for (int layer = 0; layer < 2; ++layer) {
            const std::string dims = layer == 0 ? row.first : row.second;
            std::vector<SOgrFeature> features;
            for (int i = 0; i < row.records; ++i)
                features.push_back({i % 7 == 5 ? "" : ZmWkt(row.kind, dims, layer, i), {"k"}});
            inputs.push_back(dir.Path("in" + std::to_string(layer) + ".shp"));
            WriteOgrLayer(inputs.back(), row.kind + dims, {{"NAME", 'C', 4, 0}}, features);
        }
        CShpMerge engine;
        ASSERT_EQ(Run(Add(engine, inputs), dir.Path("out.shp")), u"") << what;
        if (row.records == kBig) {
            CShpMerge filtered;
            Add(filtered, inputs);
            filtered.m_filterField = u"NAME";
            filtered.m_filterValuesText = u"k";
            ASSERT_EQ(Run(filtered, dir.Path("one.shp")), u"") << what;
            EXPECT_EQ(CTempDir::Read(dir.Path("out.shp")), CTempDir::Read(dir.Path("one.shp"))) << what;
        }

        const std::string shp = CTempDir::Read(dir.Path("out.shp"));
        ASSERT_GE(shp.size(), 100u) << what;
        EXPECT_EQ(LittleEndian32(shp, 32), row.shpType) << what;
        EXPECT_EQ(CTempDir::Read(dir.Path("out.shx")).substr(28, 72), shp.substr(28, 72)) << what;
        const bool outZ = row.shpType < 20;
        const nlohmann::json out = OgrDump(dir.Path("out.shp"));
        ASSERT_EQ(out["count"], 2 * row.records) << what;
        double range[4] = {HUGE_VAL, -HUGE_VAL, HUGE_VAL, -HUGE_VAL}; // z min, z max, m min, m max
        std::size_t at = 0;
        for (const std::string& input : inputs) {
            const nlohmann::json in = OgrDump(input);
            for (const auto& feature : in["features"]) {
                const auto& written = out["features"][at++];
                ASSERT_EQ(written["wkt"].is_null(), feature["wkt"].is_null()) << what << " record " << at;
                ASSERT_EQ(written["points"].size(), feature["points"].size()) << what << " record " << at;
                for (std::size_t v = 0; v < feature["points"].size(); ++v) {
                    const auto& p = feature["points"][v];
                    const auto& q = written["points"][v];
                    ASSERT_EQ(q[0], p[0]) << what << " record " << at;
                    ASSERT_EQ(q[1], p[1]) << what << " record " << at;
                    if (outZ) {
                        const double z = p[2].is_null() ? 0.0 : p[2].get<double>();
                        ASSERT_EQ(q[2], z) << what << " record " << at;
                        range[0] = std::min(range[0], z);
                        range[1] = std::max(range[1], z);
                    } else {
                        ASSERT_TRUE(q[2].is_null()) << what << " record " << at;
                    }
                    if (!p[3].is_null()) {
                        ASSERT_EQ(q[3], p[3]) << what << " record " << at;
                        range[2] = std::min(range[2], p[3].get<double>());
                        range[3] = std::max(range[3], p[3].get<double>());
                    } else if (!q[3].is_null()) {
                        ASSERT_LT(q[3].get<double>(), -1e38) << what << " record " << at;
                    }
                }
            }
        }
        // No measure at all gives the range 0 to 0, as GDAL writes it.
        if (range[2] > range[3])
            range[2] = range[3] = 0.0;
        if (!outZ)
            range[0] = range[1] = 0.0;
        for (int k = 0; k < 4; ++k)
            EXPECT_EQ(LittleEndianDouble(shp, 68 + 8 * static_cast<std::size_t>(k)), range[k])
                << what << " " << k;
    }
}

// Fields by name with a source field, on the one-thread path and on the two-thread path, whose byte copy
// takes an input in the output's order (a), in another order (c), and not at all when a field is missing (b):
// every value lands under its name as GDAL reads the input, a missing field as a null.
class ShpMergeByName : public testing::TestWithParam<int> {};

TEST_P(ShpMergeByName, ValuesLandUnderTheirNamesWithTheSourceFile) {
    CTempDir dir;
    const std::vector<std::vector<std::string>> kinds = {
        {"Bonn", "12", "20240131", "1.500"}, {"", "", "", ""}, {"x", "-7", "19991231", "-2.250"}};
    const SOgrField name{"NAME", 'C', 6, 0}, pop{"POP", 'N', 6, 0}, seen{"SEEN", 'D', 8, 0},
        area{"AREA", 'F', 12, 3};
    const std::vector<std::vector<int>> orders = {{0, 1, 2, 3}, {1, 0, 3}, {2, 3, 0, 1}}; // of a, b, c
    std::vector<std::string> inputs;
    for (const auto& order : orders) {
        std::vector<SOgrField> fields;
        for (const int f : order)
            fields.push_back(std::vector<SOgrField>{name, pop, seen, area}[static_cast<std::size_t>(f)]);
        std::vector<std::vector<std::string>> rows;
        for (int i = 0; i < GetParam(); ++i) {
            rows.emplace_back();
            for (const int f : order)
                rows.back().push_back(
                    kinds[static_cast<std::size_t>(i) % kinds.size()][static_cast<std::size_t>(f)]);
        }
        inputs.push_back(
            StoredLayer(dir, std::string(1, static_cast<char>('a' + inputs.size())), fields, rows, ""));
    }
    CShpMerge engine;
    engine.m_matchNames = true;
    engine.m_sourceField = u"SRC";
    for (const std::string& input : inputs)
        engine.AddFile(FromUtf8(input));
    ASSERT_NO_THROW(engine.Merge(FromUtf8(dir.Path("out.shp")), nullptr));

    const nlohmann::json output = OgrDump(dir.Path("out.shp"));
    ASSERT_EQ(output["count"], 3 * GetParam());
    ASSERT_EQ(output["fields"], nlohmann::json::parse(R"([["NAME","String",6,0],["POP","Integer",6,0],
        ["SEEN","Date",10,0],["AREA","Real",12,3],["SRC","String",5,0]])"));
    // The inputs store AREA as F, which the output keeps (a reader sees N and F alike).
    EXPECT_EQ(CTempDir::Read(dir.Path("out.dbf")).at(32 + 3 * 32 + 11), 'F');
    std::size_t at = 0;
    for (std::size_t k = 0; k < inputs.size(); ++k) {
        const nlohmann::json input = OgrDump(inputs[k]);
        for (const auto& feature : input["features"]) {
            nlohmann::json expected = {nullptr, nullptr, nullptr, nullptr,
                                       std::string(1, static_cast<char>('a' + k)) + ".shp"};
            for (std::size_t f = 0; f < orders[k].size(); ++f)
                expected[static_cast<std::size_t>(orders[k][f])] = feature["values"][f];
            ASSERT_EQ(output["features"][at]["values"], expected) << "record " << at;
            ++at;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, ShpMergeByName, testing::Values(8, CShpFile::kTwoThreadRecords + 8));

// An integer field met as a real elsewhere becomes real with room for both, and keeps every digit (printed,
// not taken through a double); a filter finds its field by name in each input, and an input without it has
// no record that passes.
TEST_F(ShpMergeTest, FieldsByNameWidenIntegersExactlyAndFilterEachInputByName) {
    const std::string a = StoredLayer(dir, "a", {{"KIND", 'C', 1, 0}, {"BIG", 'N', 19, 0}},
                                      {{"x", "1234567890123456789"}, {"y", "-5"}}, "");
    const std::string b =
        StoredLayer(dir, "b", {{"BIG", 'F', 8, 2}, {"KIND", 'C', 1, 0}}, {{"1.25", "x"}}, "");
    const std::string c = StoredLayer(dir, "c", {{"BIG", 'N', 3, 0}}, {{"7"}}, "");
    CShpMerge engine;
    engine.m_matchNames = true;
    ASSERT_EQ(Run(Add(engine, {a, b, c}), dir.Path("out.shp")), u"");
    const std::string dbf = CTempDir::Read(dir.Path("out.dbf"));
    // Records of KIND (1) and BIG (22, right-aligned), each after its deletion flag.
    const std::string records = std::string(" x1234567890123456789.00 y")
                                    .append(17, ' ')
                                    .append("-5.00 x")
                                    .append(18, ' ')
                                    .append("1.25");
    EXPECT_NE(dbf.find(records), std::string::npos);
    EXPECT_EQ(OgrDump(dir.Path("out.shp"))["fields"][1], (nlohmann::json{"BIG", "Real", 22, 2}));

    CShpMerge filtered;
    filtered.m_matchNames = true;
    filtered.m_filterField = u"kind";
    filtered.m_filterValuesText = u"x";
    ASSERT_EQ(Run(Add(filtered, {a, b, c}), dir.Path("x.shp")), u"");
    const auto out = OgrDump(dir.Path("x.shp"));
    ASSERT_EQ(out["count"], 2);
    EXPECT_EQ(out["features"][1]["values"], (nlohmann::json{"x", 1.25}));
}
