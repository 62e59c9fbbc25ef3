// fennick-merge: checks and merges two or more layers into one new shapefile from the shell.

#include "cli/CliText.h"
#include "cli/LayerReport.h"
#include "cli/TerminalProgress.h"
#include "coordsys/GdalModule.h"
#include "data/IGeoDS.h"
#include "data/Ref.h"
#include "merge/InputList.h"
#include "merge/MergeReport.h"
#include "merge/OpenGeoDS.h"
#include "merge/ShpMerge.h"
#include "platform/CodePage.h"
#include "platform/Exceptions.h"
#include "platform/FileSystem.h"
#include "shp/OutputFiles.h"
#include "shp/XBaseDatabase.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

using namespace fennick;

namespace {

const char* const kUsage =
    "Usage: fennick-merge [--check] [--where FIELD=V1,V2,...] [--match-names] [--source-field NAME] "
    "[--reproject]\n"
    "                     [--skip-bad-records] [--overwrite] [--no-sync] [--quiet] [-v] [--json]\n"
    "                     [--recursive] [--encoding NAME] [--input-encoding NAME] [--target-crs CRS]\n"
    "                     [--report FILE.json] [--skip-field NAME]... [--csv-xy X,Y]\n"
    "                     -o OUTPUT INPUT INPUT [INPUT...]\n";

const char* const kHelp =
    "Merges two or more layers with the same shape type and column layout into one new shapefile (.shp,\n"
    ".shx, .dbf, and the first input's .prj), input after input in the order given. A layer is a shapefile,\n"
    "a MapInfo TAB table, or a layer of any vector format GDAL reads (GeoPackage, GeoJSON, FlatGeobuf, KML,\n"
    "GML, MapInfo MIF, CSV, File Geodatabase .gdb folders ...); a source with several layers is named with\n"
    "its layer, SOURCE:LAYER (roads.gpkg:rails).\n"
    "With --match-names the column layouts may differ: fields are matched by name.\n"
    "\n"
    "Options:\n"
    "  -o, --output OUTPUT   the new shapefile (.shp)\n"
    "      --check           only check that the inputs can be merged, and show what was read from each\n"
    "      --where F=V1,V2   copy only records whose field F equals one of the values (letter case ignored;\n"
    "                        values are split at commas and kept with their blanks)\n"
    "      --match-names     match fields by name, letter case ignored, instead of by position: the output\n"
    "                        has the first input's fields, then each field a later input adds; a field\n"
    "                        takes the width, decimals and type that hold every input's values (integer\n"
    "                        and real give real); an input without a field gets nulls there\n"
    "      --source-field NAME\n"
    "                        add a text field NAME, last, holding each record's input file name\n"
    "      --reproject       convert the records of an input whose coordinate system differs from the first\n"
    "                        input's into the first input's (through PROJ, datums included); an input\n"
    "                        without one then fails the check\n"
    "      --skip-bad-records\n"
    "                        leave out a record that cannot be read or written (a damaged shape, a value\n"
    "                        that does not fit or cannot be decoded) instead of failing; each is named on\n"
    "                        stderr and their number follows the success text, e.g.\n"
    "                          fennick-merge --skip-bad-records -o all.shp a.shp b.shp\n"
    "      --overwrite       replace an existing OUTPUT\n"
    "      --no-sync         do not wait for the new files to reach the disk before they take their names\n"
    "                        (for scratch work: after a power loss they may be empty)\n"
    "  -v, --verbose         print the output's fields before merging (as --check does)\n"
    "      --json            with --check: print the plan, the inputs' facts and the verdict as one JSON\n"
    "                        object\n"
    "      --recursive       a folder among the inputs stands for its layers and its subfolders' too\n"
    "      --encoding NAME   the output's code page (UTF-8, 1252, ISO-8859-2 ...; every name a .cpg may\n"
    "                        hold), written as its .cpg; a text it cannot hold fails the merge, and\n"
    "                        --check lists every such text first\n"
    "      --input-encoding NAME\n"
    "                        the code page of inputs that declare none (else their bytes pass unconverted)\n"
    "      --target-crs EPSG:CODE|FILE.prj\n"
    "                        convert every input into this coordinate system and write its .prj\n"
    "      --report FILE.json\n"
    "                        write what the run did, whatever its outcome, as one JSON object\n"
    "      --skip-field NAME leave out the field NAME of vector layers (a list or binary field, which no\n"
    "                        shapefile field keeps, is refused otherwise); may be given more than once\n"
    "      --csv-xy X,Y      read a CSV file's points from the columns X and Y (else from its WKT column)\n"
    "  -q, --quiet           no progress bar\n"
    "  -h, --help            this text\n"
    "      --version         the version\n"
    "\n"
    "An input whose coordinate system (its .prj, or a TAB table's own) differs from the first input's is\n"
    "named in a warning on stderr, with both systems; without --reproject its coordinates are merged as\n"
    "they are.\n"
    "\n"
    "An INPUT may be a folder, standing for every layer (.shp, .tab) in it in natural order (b2 before "
    "b10),\n"
    "or @FILE, a list of input paths, one a line (blank lines and lines starting with # are left out; @-\n"
    "reads the list from standard input).\n"
    "\n"
    "--check prints the output's fields: the name as written (cut to 10 bytes), type and width, and where\n"
    "each comes from and what happened to it (\"widened from N(9) in a.shp to N(10) for b.shp\").\n"
    "\n"
    "Examples:\n"
    "  fennick-merge -o all.shp 2019.shp 2020.shp 2021.shp\n"
    "  fennick-merge --check 2019.shp roads.tab\n"
    "  fennick-merge --where TYPE=park,garden -o green.shp north.shp south.shp\n"
    "  fennick-merge --match-names -o all.shp 2019.shp 2020.shp    (2020 has its fields in another order)\n"
    "  fennick-merge --source-field SOURCE -o all.shp north.shp south.shp    (SOURCE: north.shp, south.shp)\n"
    "  fennick-merge --overwrite -q -o all.shp 2019.shp 2020.shp\n"
    "  fennick-merge -o all.shp wgs84.shp nad27.shp\n"
    "    fennick-merge: warning: nad27.shp: its coordinate system (NAD27) differs from the first input's\n"
    "    (WGS 84); its coordinates are merged unconverted.\n"
    "  fennick-merge --reproject -o all.shp wgs84.shp nad27.shp     (nad27.shp's records in WGS 84)\n"
    "  fennick-merge --recursive --match-names -o all.shp districts/    (every layer under districts/)\n"
    "  fennick-merge --encoding UTF-8 --report merge.json -o all.shp @layers.txt\n"
    "  fennick-merge --check --json --target-crs EPSG:2056 a.shp b.tab\n"
    "  fennick-merge --match-names -o all.shp parcels.gpkg:north south.geojson east.fgb\n"
    "\n"
    "Exit status: 0 success, 1 the check or the merge failed (the reason is printed) or was cancelled,\n"
    "2 wrong usage. Ctrl+C cancels the merge after the input being copied; no output is left. A second\n"
    "Ctrl+C ends the program at once, as the signal does (the shell shows 130).\n";

struct SOptions {
    bool check = false;
    bool overwrite = false;
    bool sync = true;
    bool quiet = false;
    bool reproject = false;
    bool haveWhere = false;
    bool matchNames = false;
    std::string sourceField;
    bool skipBadRecords = false;
    std::string output;
    std::string whereField;
    std::string whereValues;
    std::vector<std::string> inputs;
    bool verbose = false;
    bool json = false;
    bool recursive = false;
    int encoding = -1;
    int inputEncoding = 0;
    std::string targetCrs;
    std::string report;
    std::vector<std::string> skipFields;
    std::string csvX;
    std::string csvY;
};

// A code page named as a .cpg names it; -1 when it names none known here.
int CodePageArgument(const std::string& value) {
    const int codePage = CxBaseDatabase::CodePageOfCpgText(value);
    return codePage > 0 ? codePage : -1;
}

int UsageError(const std::string& why) {
    std::fprintf(stderr, "fennick-merge: %s\n%sTry 'fennick-merge --help' for more information.\n",
                 why.c_str(), kUsage);
    return 2;
}

// Reads the command line into options. An exit status when the program ends here (help, version, a usage
// error, all printed), else nothing.
std::optional<int> ParseArguments(int argc, char** argv, SOptions& options) {
    bool endOfOptions = false;
    std::vector<std::string> seen;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (!endOfOptions && arg.size() > 1 && arg[0] == '-' && arg != "--") {
            // Given twice, an option would silently lose one of its values.
            std::string name = arg.substr(0, arg.find('='));
            name = name == "-o" ? "--output" : name == "-q" ? "--quiet" : name == "-v" ? "--verbose" : name;
            if (name != "--skip-field" && std::find(seen.begin(), seen.end(), name) != seen.end())
                return UsageError("option '" + name + "' given twice");
            seen.push_back(name);
        }
        if (endOfOptions || arg.empty() || arg[0] != '-' || arg == "-") {
            options.inputs.push_back(arg);
        } else if (arg == "--") {
            endOfOptions = true;
        } else if (arg == "-h" || arg == "--help") {
            std::printf("%s\n%s", kUsage, kHelp);
            return 0;
        } else if (arg == "--version") {
            PrintVersion("fennick-merge");
            return 0;
        } else if (arg == "--check") {
            options.check = true;
        } else if (arg == "--skip-bad-records") {
            options.skipBadRecords = true;
        } else if (arg == "--overwrite") {
            options.overwrite = true;
        } else if (arg == "--no-sync") {
            options.sync = false;
        } else if (arg == "--reproject") {
            options.reproject = true;
        } else if (arg == "-q" || arg == "--quiet") {
            options.quiet = true;
        } else if (arg == "--match-names") {
            options.matchNames = true;
        } else if (arg == "-v" || arg == "--verbose") {
            options.verbose = true;
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "--recursive") {
            options.recursive = true;
        } else if (const std::string key = arg.substr(0, arg.find('='));
                   key == "-o" || key == "--output" || key == "--where" || key == "--source-field" ||
                   key == "--encoding" || key == "--input-encoding" || key == "--target-crs" ||
                   key == "--report" || key == "--skip-field" || key == "--csv-xy") {
            // The value follows either after "=" or as the next argument.
            const auto eqSign = arg.find('=');
            const std::string name = arg.substr(0, eqSign);
            std::string value;
            if (eqSign != std::string::npos)
                value = arg.substr(eqSign + 1);
            else if (i + 1 < argc)
                value = argv[++i];
            else
                return UsageError("option '" + arg + "' needs a value");
            if (name == "--where") {
                const auto eq = value.find('=');
                if (eq == std::string::npos || eq == 0 || eq + 1 == value.size())
                    return UsageError("--where needs FIELD=VALUES");
                options.haveWhere = true;
                options.whereField = value.substr(0, eq);
                options.whereValues = value.substr(eq + 1);
            } else if (name == "--skip-field") {
                if (value.empty())
                    return UsageError("--skip-field needs a field name");
                options.skipFields.push_back(value);
            } else if (name == "--csv-xy") {
                const auto comma = value.find(',');
                if (comma == std::string::npos || comma == 0 || comma + 1 == value.size())
                    return UsageError("--csv-xy needs X,Y");
                options.csvX = value.substr(0, comma);
                options.csvY = value.substr(comma + 1);
            } else if (name == "--source-field") {
                if (value.empty())
                    return UsageError("--source-field needs a field name");
                options.sourceField = value;
            } else if (name == "--encoding" || name == "--input-encoding") {
                const int codePage = CodePageArgument(value);
                if (codePage < 0)
                    return UsageError(name + ": '" + value + "' names no code page known here");
                (name == "--encoding" ? options.encoding : options.inputEncoding) = codePage;
            } else if (name == "--target-crs" || name == "--report") {
                if (value.empty())
                    return UsageError(name + " needs a value");
                (name == "--target-crs" ? options.targetCrs : options.report) = value;
            } else {
                options.output = value;
            }
        } else {
            return UsageError("unknown option '" + arg + "'");
        }
    }
    if (options.inputs.empty())
        return UsageError("no input layers given");
    if (options.json && !options.check)
        return UsageError("--json goes with --check");
    if (!options.check && options.output.empty())
        return UsageError("no output given (-o OUTPUT)");

    return std::nullopt;
}

// The exit status once the result is printed: a result or progress that could not be written (a full disk,
// a closed pipe) fails the run, so a script never takes an unreported result for success.
int FinishOutput() {
    const bool outFailed = std::fflush(stdout) != 0 || std::ferror(stdout);
    const int err = errno;
    const bool errFailed = std::fflush(stderr) != 0 || std::ferror(stderr);
    if (outFailed)
        std::fprintf(stderr, "fennick-merge: the result cannot be written: %s\n", std::strerror(err));
    return outFailed || errFailed ? 1 : 0;
}

// What the check read from each input, one line each.
void PrintLayerSummaries(const std::vector<std::u16string>& inputs, const CShpMerge& engine) {
    SVectorLayerOptions vector;
    vector.skipFields = engine.m_skipFields;
    vector.csvX = engine.m_csvX;
    vector.csvY = engine.m_csvY;
    vector.keepFirstKind = engine.m_skipBadRecords;
    for (const std::u16string& input : inputs) {
        CRef<IGeoDS> source;
        const std::string path = ToUtf8(input);
        if (OpenGeoDS(input, nullptr, source.Put(), nullptr, &vector) && source)
            std::printf("  %s: %s\n", path.c_str(),
                        LayerSummary(DescribeLayer(source.Get(), path, false)).c_str());
    }
}

// The text form of the texts the output cannot hold: one line each, then how many more there are.
void PrintUnwritableTexts(const std::vector<SUnwritableText>& texts, int64_t count) {
    for (const SUnwritableText& text : texts) {
        std::u16string line = u"  " + text.path;
        line.append(u", record ").append(Utf16Number(text.record)).append(u", field ").append(text.field);
        line.append(u": \"").append(text.value).append(u"\" (").append(text.why).append(u")\n");
        PrintText(stdout, line);
    }
    if (count > static_cast<int64_t>(texts.size()))
        std::printf("  ... and %lld more\n",
                    static_cast<long long>(count) - static_cast<long long>(texts.size()));
}

// --check --json: the verdict, the inputs' facts, the plan and the texts the output cannot hold.
int PrintCheckJson(const CShpMerge& engine, const CException* failure,
                   const std::vector<SUnwritableText>& texts, int64_t textCount) {
    nlohmann::ordered_json verdict = {{"mergeable", failure == nullptr && textCount == 0}};
    if (failure != nullptr) {
        verdict["message"] = ToUtf8(failure->Message());
        verdict["reason"] = ToUtf8(failure->Detail());
    } else if (textCount > 0) {
        verdict["message"] = "The output's code page cannot hold every text.";
    }
    nlohmann::ordered_json warnings = nlohmann::ordered_json::array();
    for (const std::u16string& warning : engine.Warnings())
        warnings.push_back(ToUtf8(warning));
    const nlohmann::ordered_json check = {{"verdict", std::move(verdict)},
                                          {"inputs", InputsJson(engine, false)},
                                          {"fields", FieldPlanJson(engine.FieldPlan())},
                                          {"output_code_page", CodePageJson(engine.OutputCodePage())},
                                          {"unwritable_texts", UnwritableTextsJson(texts)},
                                          {"unwritable_text_count", textCount},
                                          {"warnings", std::move(warnings)}};
    std::printf("%s\n", check.dump(2).c_str());
    const int status = FinishOutput();
    return failure != nullptr || textCount > 0 ? 1 : status;
}

// How many texts --check lists before it only counts them.
constexpr std::size_t kListedTexts = 100;

int Run(const SOptions& options, CShpMerge& engine, std::optional<CMergeReport>& report) {
    // Failures before the engine runs are reported as the engine's are.
    const auto fail = [&](const std::u16string& message, const std::u16string& reason, int status) {
        PrintFailure(stderr, message, reason);
        if (report)
            report->Failed(engine, message, reason);
        return status;
    };
    // The files written are always <folder>/<base>.shp and its companions, whatever extension was typed.
    const std::u16string output = COutputFiles::MainFilePath(FromUtf8(options.output));
    if (!options.check && output.empty())
        return UsageError("'" + options.output +
                          "' names no file for the output (a folder, or no base name)");
    std::vector<std::u16string> arguments;
    for (const std::string& input : options.inputs)
        arguments.push_back(FromUtf8(input));
    std::vector<std::u16string> inputs;
    std::vector<SInputSource> sources;
    try {
        inputs = ExpandInputs(arguments, options.recursive, output, &sources);
    } catch (const CException& e) {
        return fail(e.Message(), e.Detail(), 1);
    }
    if (inputs.size() < 2) {
        // A folder or a list that yields a single layer says so.
        for (const SInputSource& source : sources)
            if (source.expanded)
                return UsageError(ToUtf8(source.argument) + " yields " + std::to_string(source.layers) +
                                  " layer; two or more input layers are needed");
        return UsageError("two or more input layers are needed");
    }
    for (const std::u16string& input : inputs)
        engine.AddFile(input);
    if (!options.check) {
        if (const std::u16string why = engine.InputReplacedBy(output); !why.empty()) {
            PrintText(stderr, why + u"\n");
            if (report)
                report->Failed(engine, why, {});
            return 2;
        }
    }
    // A commit a killed merge left is finished first, under the lock; only then do the members count.
    if (!options.check && !options.overwrite && !COutputFiles::HasLeftovers(output)) {
        // Any file of the output's set counts: replacing report.shp would take report.dbf along.
        const std::vector<std::u16string> existing = COutputFiles::ExistingSetMembers(output);
        if (!existing.empty()) {
            const std::u16string line = existing.front() + u" already exists; use --overwrite to replace it.";
            PrintText(stderr, line + u"\n");
            if (report)
                report->Failed(engine, line, {});
            return 1;
        }
    }

    engine.m_overwrite = options.overwrite;
    engine.m_sync = options.sync;
    engine.m_matchNames = options.matchNames;
    engine.m_sourceField = FromUtf8(options.sourceField);
    engine.m_reproject = options.reproject;
    engine.m_outputCodePage = options.encoding;
    engine.m_inputCodePage = options.inputEncoding;
    engine.m_targetCrs = FromUtf8(options.targetCrs);
    if (options.haveWhere) {
        engine.m_filterField = FromUtf8(options.whereField);
        engine.m_filterValuesText = FromUtf8(options.whereValues);
    }
    engine.m_skipBadRecords = options.skipBadRecords;
    for (const std::string& field : options.skipFields)
        engine.m_skipFields.push_back(FromUtf8(field));
    engine.m_csvX = FromUtf8(options.csvX);
    engine.m_csvY = FromUtf8(options.csvY);
    engine.m_onSkipped = [](const std::u16string& path, int64_t record, const std::u16string& reason) {
        std::u16string line = u"fennick-merge: skipped record ";
        line.append(Utf16Number(record)).append(u" of ").append(path).append(u": ").append(reason);
        line += u'\n';
        PrintText(stderr, line);
    };

    const bool show = !options.quiet && ::isatty(STDERR_FILENO);
    const int total = static_cast<int>(inputs.size());
    try {
        // The check only listens for Ctrl+C; the bar belongs to the merge.
        CTerminalProgress checkMeter(total, false);
        try {
            engine.Check(&checkMeter);
        } catch (const CException& e) {
            if (options.json) {
                PrintFailure(stderr, e);
                if (report)
                    report->Failed(engine, e);
                return PrintCheckJson(engine, &e, {}, 0);
            }
            throw;
        }
        if (!options.json)
            for (const std::u16string& warning : engine.Warnings())
                PrintText(stderr, u"fennick-merge: warning: " + warning + u"\n");
        if (options.check) {
            std::vector<SUnwritableText> texts;
            const int64_t textCount = engine.FindUnwritableTexts(kListedTexts, texts, &checkMeter);
            if (options.json) {
                if (report && textCount > 0)
                    report->Failed(engine, u"The output's code page cannot hold every text.",
                                   Utf16Number(textCount) + (textCount == 1 ? u" text" : u" texts"));
                else if (report)
                    report->Succeeded(engine, {});
                return PrintCheckJson(engine, nullptr, texts, textCount);
            }
            if (textCount > 0) {
                std::printf("Texts the output's code page cannot hold:\n");
                PrintUnwritableTexts(texts, textCount);
                FinishOutput();
                return fail(u"The output's code page cannot hold every text.",
                            Utf16Number(textCount) + (textCount == 1 ? u" text" : u" texts"), 1);
            }
            if (report)
                report->Succeeded(engine, {});
            std::printf("The files can be merged.\n");
            if (!options.quiet)
                PrintLayerSummaries(inputs, engine);
            if (!options.quiet) {
                std::printf("Fields of the output:\n");
                PrintText(stdout, FieldPlanText(engine.FieldPlan()));
            }
            return FinishOutput();
        }
        if (options.verbose) {
            std::printf("Fields of the output:\n");
            PrintText(stdout, FieldPlanText(engine.FieldPlan()));
            std::fflush(stdout);
        }
        CTerminalProgress meter(total, show);
        const std::size_t checkWarnings = engine.Warnings().size();
        engine.Merge(output, &meter);
        meter.Finish();
        for (std::size_t i = checkWarnings; i < engine.Warnings().size(); ++i)
            PrintText(stderr, u"fennick-merge: warning: " + engine.Warnings()[i] + u"\n");
    } catch (const CException& e) {
        std::fflush(stdout);
        PrintFailure(stderr, e);
        if (report)
            report->Failed(engine, e);
        // Without its GDAL module the tool cannot read MapInfo tables and vector layers; say why unless the
        // reason did.
        if (GdalModuleMissing() && e.Detail().empty())
            std::fprintf(stderr, "fennick-merge: MapInfo tables and vector layers cannot be read: %s\n",
                         GdalModuleError().c_str());
        return 1;
    }
    if (report)
        report->Succeeded(engine, output);
    PrintText(stdout, u"The files have been merged successfully.\n" + output + u"\n");
    if (options.skipBadRecords) {
        const int64_t skipped = engine.SkippedRecords();
        std::printf(skipped == 1 ? "%lld record was skipped.\n" : "%lld records were skipped.\n",
                    static_cast<long long>(skipped));
    }
    return FinishOutput();
}

} // namespace

int main(int argc, char** argv) {
    SilenceLibraryDiagnostics();
    // Past a file-size limit a write must fail (and the merge with it, leaving no output) instead of the
    // signal ending the process with its temporary files in place.
    std::signal(SIGXFSZ, SIG_IGN);
    // A closed pipe is a write error that fails the run, not a signal that kills it.
    std::signal(SIGPIPE, SIG_IGN);
    SOptions options;
    if (const std::optional<int> status = ParseArguments(argc, argv, options))
        return *status;
    std::optional<CMergeReport> report;
    if (!options.report.empty())
        report.emplace(std::vector<std::string>(argv, argv + argc));
    CShpMerge engine;
    int status = Run(options, engine, report);
    std::u16string why;
    if (report && !report->Report().empty() && !report->Write(FromUtf8(options.report), why)) {
        PrintFailure(stderr, u"The report cannot be written.: " + FromUtf8(options.report) + u".", why);
        status = status == 0 ? 1 : status;
    }
    return status;
}
