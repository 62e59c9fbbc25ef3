#include "cli/CliText.h"

#include "coordsys/ProjModule.h"
#include "data/GdalModule.h"
#include "platform/CodePage.h"

namespace fennick {

const char* const kFennickVersion = "1.0.1.0";

void PrintText(std::FILE* stream, const std::u16string& text) {
    const std::string utf8 = ToUtf8(text);
    std::fwrite(utf8.data(), 1, utf8.size(), stream);
}

void SilenceLibraryDiagnostics() {
    QuietGdalDiagnostics();
    QuietProjDiagnostics();
}

} // namespace fennick
