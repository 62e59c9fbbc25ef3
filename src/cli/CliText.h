#pragma once
// Small helpers the command-line tools share: the tool's version line and printing wide text.

#include <cstdio>
#include <string>

namespace fennick {

class CException;

extern const char* const kFennickVersion;

// Prints the tool's version line: Fennick's version and revision, and the GDAL and PROJ versions it runs
// with (their modules are loaded for this alone).
void PrintVersion(const char* tool);
// Writes UTF-16 text to a stream as UTF-8.
void PrintText(std::FILE* stream, const std::u16string& text);
// Writes a failure: its fixed message on the first line, and the reason, when there is one, on a second line
// indented by two spaces.
void PrintFailure(std::FILE* stream, const CException& failure);
// The same for a message and a reason given as texts.
void PrintFailure(std::FILE* stream, const std::u16string& message, const std::u16string& reason);
// Silences the libraries' own diagnostics, so only the system's messages reach the user.
void SilenceLibraryDiagnostics();

} // namespace fennick
