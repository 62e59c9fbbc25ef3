#include "cli/CliText.h"

#include "coordsys/ProjModule.h"
#include "coordsys/GdalModule.h"
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

void SilenceLibraryDiagnostics() {
    QuietGdalDiagnostics();
    QuietProjDiagnostics();
}

} // namespace fennick
