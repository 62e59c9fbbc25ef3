#pragma once
// Small helpers the command-line tools share: the tool's version line and printing wide text.

#include <cstdio>
#include <string>

namespace fennick {

extern const char* const kFennickVersion;

// Writes UTF-16 text to a stream as UTF-8.
void PrintText(std::FILE* stream, const std::u16string& text);
// Silences the libraries' own diagnostics, so only the system's messages reach the user.
void SilenceLibraryDiagnostics();

} // namespace fennick
