// fennick-info: a reader's view of one layer, or of a coordinate system by EPSG code or WKT file.

#include "cli/CliText.h"
#include "cli/LayerReport.h"
#include "coordsys/CommonCoordSysImpl.h"
#include "data/ICoordSys.h"
#include "data/IGeoDS.h"
#include "data/Ref.h"
#include "merge/LayerCoordSys.h"
#include "merge/OpenGeoDS.h"
#include "platform/Boundary.h"
#include "platform/CodePage.h"
#include "platform/Exceptions.h"
#include "platform/TextCase.h"
#include "shp/OutputFiles.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

using namespace fennick;

namespace {

const char* const kUsage = "Usage: fennick-info [--records] [--json] LAYER\n"
                           "       fennick-info [--json] --epsg CODE\n"
                           "       fennick-info [--json] --wkt FILE\n"
                           "       fennick-info [--json] --compare LAYER OTHER\n";

const char* const kHelp =
    "Shows what Fennick reads from a shapefile, a MapInfo TAB table or a layer of any other vector format "
    "GDAL\n"
    "reads (roads.gpkg, or roads.gpkg:rails for a source of several layers): kind, shape type, record "
    "count,\n"
    "bounds, code page, fields and coordinate system; with --records also every record's geometry and "
    "values.\n"
    "--epsg and --wkt describe a coordinate system: its EPSG code, whether it is projected, its PROJ "
    "string.\n"
    "--compare says whether OTHER's coordinate system (its .prj, or a TAB table's own) is LAYER's, both\n"
    "named in short; systems are compared as PROJ reads them, not as texts, so a check before merging\n"
    "finds what fennick-merge would warn about. Example:\n"
    "  fennick-info --compare wgs84.shp nad27.shp\n"
    "    nad27.shp: coordinate system NAD27, not that of wgs84.shp (WGS 84)\n"
    "\n"
    "Options:\n"
    "  --json        one JSON object on stdout instead of text\n"
    "  --records     list every record\n"
    "  --epsg CODE   describe an EPSG coordinate system\n"
    "  --wkt FILE    describe the coordinate system of a .prj or .tpj file\n"
    "  --compare     compare the coordinate systems of two layers\n"
    "  -h, --help    this text\n"
    "  --version     the version\n"
    "\n"
    "Exit status: 0 success (with --compare: the systems match), 1 a layer or definition could not be\n"
    "read, 2 wrong usage, 3 with --compare: the systems differ.\n";

int UsageError(const std::string& why) {
    std::fprintf(stderr, "fennick-info: %s\n%sTry 'fennick-info --help' for more information.\n", why.c_str(),
                 kUsage);
    return 2;
}

void Emit(const nlohmann::json& value, bool asJson, const std::string& text) {
    if (asJson)
        std::printf("%s\n", value.dump(2).c_str());
    else
        std::fputs(text.c_str(), stdout);
}

struct SOptions {
    bool asJson = false;
    bool records = false;
    bool compare = false;
    std::string epsg;
    std::string wkt;
    std::string layer;
    std::string other; // with --compare
};

// Reads the command line into options. An exit status when the program ends here (help, version, a usage
// error, all printed), else nothing.
std::optional<int> ParseArguments(int argc, char** argv, SOptions& options) {
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            std::printf("%s\n%s", kUsage, kHelp);
            return 0;
        } else if (arg == "--version") {
            PrintVersion("fennick-info");
            return 0;
        } else if (arg == "--json") {
            options.asJson = true;
        } else if (arg == "--records") {
            options.records = true;
        } else if (arg == "--compare") {
            options.compare = true;
        } else if (arg == "--epsg" || arg == "--wkt") {
            if (i + 1 >= argc)
                return UsageError("option '" + arg + "' needs a value");
            (arg == "--epsg" ? options.epsg : options.wkt) = argv[++i];
        } else if (!arg.empty() && arg[0] == '-') {
            return UsageError("unknown option '" + arg + "'");
        } else {
            (positional == 0 ? options.layer : options.other) = arg;
            ++positional;
        }
    }
    if (options.compare) {
        if (positional != 2 || options.records || !options.epsg.empty() || !options.wkt.empty())
            return UsageError("--compare needs two layers and nothing else");
        return std::nullopt;
    }
    const int modes =
        (positional > 0 ? 1 : 0) + (options.epsg.empty() ? 0 : 1) + (options.wkt.empty() ? 0 : 1);
    if (modes != 1 || positional > 1)
        return UsageError("give one LAYER, or --epsg CODE, or --wkt FILE");
    if (options.records && positional == 0)
        return UsageError("--records needs a LAYER");

    return std::nullopt;
}

// Opens a layer, or prints why it cannot be opened.
CRef<IGeoDS> OpenLayer(const std::string& layer) {
    CRef<IGeoDS> source;
    if (OpenGeoDS(FromUtf8(layer), nullptr, source.Put(), nullptr) && source)
        return source;
    const std::u16string why = KeptMessage();
    const std::u16string message =
        FromUtf8(layer) + u": " +
        (why.empty() ? std::u16string(u"not a shapefile, MapInfo TAB table or vector layer.") : why);
    // The second line only when it says more than the first.
    const std::u16string reason = OpenFailureReason(FromUtf8(layer));
    PrintFailure(stderr, message, reason == why ? std::u16string() : reason);
    return CRef<IGeoDS>();
}

// --compare: 0 when other's system is layer's, 3 when not, 1 when either cannot be read.
int CompareCoordSys(const std::string& layer, const std::string& other, bool asJson) {
    CLayerCoordSys systems[2];
    const std::string* paths[2] = {&layer, &other};
    for (int i = 0; i < 2; ++i) {
        CRef<IGeoDS> source = OpenLayer(*paths[i]);
        if (!source)
            return 1;
        try {
            systems[i].Load(FromUtf8(*paths[i]), source.Get());
        } catch (const CException& e) {
            PrintFailure(stderr, e);
            return 1;
        }
    }
    const bool match = systems[1].Matches(systems[0]);
    const std::string first = ToUtf8(systems[0].ShortName());
    const std::string second = ToUtf8(systems[1].ShortName());
    const nlohmann::json value = {{"match", match},
                                  {"layer", {{"path", layer}, {"coordsys", first}}},
                                  {"other", {{"path", other}, {"coordsys", second}}}};
    std::string text = other + ": coordinate system " + second;
    text += match ? ", the same as that of " : ", not that of ";
    text += layer + " (" + first + ")\n";
    Emit(value, asJson, text);
    return match ? 0 : 3;
}

} // namespace

int main(int argc, char** argv) {
    SilenceLibraryDiagnostics();
    SOptions options;
    if (const std::optional<int> status = ParseArguments(argc, argv, options))
        return *status;
    const bool asJson = options.asJson;
    const bool records = options.records;
    const std::string& epsg = options.epsg;
    const std::string& wkt = options.wkt;
    const std::string& layer = options.layer;
    if (options.compare)
        return CompareCoordSys(layer, options.other, asJson);

    if (!epsg.empty() || !wkt.empty()) {
        CRef<CCommonCoordSysImpl> cs;
        CreateCoordSys(cs.Put());
        char* end = nullptr;
        const long code = epsg.empty() ? 0 : std::strtol(epsg.c_str(), &end, 10);
        if (!epsg.empty() && (end == epsg.c_str() || *end != '\0' || code <= 0 || code > 0x7FFFFFFF))
            return UsageError("--epsg needs a positive number");
        const bool ok = cs && (epsg.empty() ? cs->LoadFromFile(FromUtf8(wkt).c_str())
                                            : cs->SetFromCode(static_cast<int>(code)));
        if (!ok) {
            if (epsg.empty())
                PrintFailure(stderr, FromUtf8(wkt) + u": the coordinate system cannot be read.",
                             TakeFailureReason());
            else
                std::fprintf(stderr, "EPSG %s: unknown coordinate system code.\n", epsg.c_str());
            return 1;
        }
        // The file's own text, as a layer's description gives its .prj.
        std::string text;
        if (!wkt.empty()) {
            std::ifstream file(wkt, std::ios::binary);
            text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        }
        const nlohmann::json description = DescribeCoordSys(cs.Get(), text);
        Emit(description, asJson, CoordSysText(description));
        return 0;
    }

    // A merge killed inside its commit may have left this layer half replaced.
    if (const std::u16string mainPath = COutputFiles::MainFilePath(FromUtf8(layer));
        !mainPath.empty() && EqualIgnoringAsciiCase(mainPath, FromUtf8(layer)))
        if (const std::u16string journal = COutputFiles::PendingJournal(mainPath); !journal.empty())
            PrintText(stderr, u"fennick-info: " + mainPath +
                                  u": a merge to it was stopped inside its commit (" + journal +
                                  u" is pending); the next merge to this output finishes or undoes it.\n");
    CRef<IGeoDS> source = OpenLayer(layer);
    if (!source)
        return 1;
    nlohmann::json description;
    try {
        description = DescribeLayer(source.Get(), layer, records);
    } catch (const CException& e) {
        PrintFailure(stderr, FromUtf8(layer) + u": " + e.Message(), e.Detail());
        return 1;
    }
    Emit(description, asJson, LayerText(description));
    return 0;
}
