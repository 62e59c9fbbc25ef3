#pragma once
// The fennick-merge command that does what the desktop program does, named in its merge reports so that a
// report reads the same whichever program wrote it, and a merge can be repeated from the shell.

#include "ui/MergeOptions.h"

#include <QStringList>

#include <string>
#include <vector>

namespace fennick {

// "fennick-merge" with the options in force, then "-o OUTPUT" (the desktop program replaces an output the
// user agreed to replace, so --overwrite too) and the files; an empty output gives "--check" instead.
std::vector<std::string> MergeCommandOf(const QStringList& files, const SMergeOptions& options,
                                        const QString& output);

} // namespace fennick
