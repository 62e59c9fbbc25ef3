#include "cli/CliText.h"

#include "coordsys/GdalModule.h"
#include "coordsys/ProjModule.h"
#include "platform/BuildStamp.h"
#include "platform/CodePage.h"
#include "platform/Exceptions.h"

#include <algorithm>

namespace fennick {

const char* const kFennickVersion = "1.0.1.0";

void PrintText(std::FILE* stream, const std::u16string& text) {
    const std::string utf8 = ToUtf8(text);
    std::fwrite(utf8.data(), 1, utf8.size(), stream);
}

void PrintFailure(std::FILE* stream, const std::u16string& message, const std::u16string& reason) {
    std::u16string text = message + u"\n";
    if (!reason.empty()) {
        // One line, whatever the reason holds.
        std::u16string line = reason;
        std::replace(line.begin(), line.end(), u'\n', u' ');
        text += u"  " + line + u"\n";
    }
    PrintText(stream, text);
}

void PrintFailure(std::FILE* stream, const CException& failure) {
    PrintFailure(stream, failure.Message(), failure.Detail());
}

void PrintVersion(const char* tool) {
    std::string stamp = kBuildStamp;
    const std::size_t plus = stamp.find('+');
    const std::string revision = plus == std::string::npos ? "unknown" : stamp.substr(plus + 1);
    std::printf("%s (Fennick) %s, revision %s\n", tool, kFennickVersion, revision.c_str());
    if (const SGdalModuleEntries* gdal = GdalModule())
        std::printf("GDAL %s\n", gdal->libraryVersion());
    else
        std::printf("GDAL: not loaded (%s)\n", GdalModuleError().c_str());
    if (const SProjModuleEntries* proj = ProjModule())
        std::printf("PROJ %s\n", proj->info().version);
    else
        std::printf("PROJ: not loaded (%s)\n", ProjModuleError().c_str());
}

void SilenceLibraryDiagnostics() {
    QuietGdalDiagnostics();
    QuietProjDiagnostics();
}

} // namespace fennick
