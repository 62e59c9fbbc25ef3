#include "ui/MergeCommand.h"

#include <algorithm>

namespace fennick {

std::vector<std::string> MergeCommandOf(const QStringList& files, const SMergeOptions& options,
                                        const QString& output) {
    std::vector<std::string> command{"fennick-merge"};
    const auto add = [&command](const char* option, const QString& value) {
        command.emplace_back(option);
        if (!value.isNull())
            command.push_back(value.toStdString());
    };
    if (output.isEmpty())
        add("--check", {});
    if (options.matchNames)
        add("--match-names", {});
    if (options.addSourceField && !options.sourceField.trimmed().isEmpty())
        add("--source-field", options.sourceField.trimmed());
    if (options.reproject)
        add("--reproject", {});
    if (options.skipBadRecords)
        add("--skip-bad-records", {});
    if (!options.outputEncoding.trimmed().isEmpty())
        add("--encoding", options.outputEncoding.trimmed());
    if (!options.inputEncoding.trimmed().isEmpty())
        add("--input-encoding", options.inputEncoding.trimmed());
    if (!options.targetCrs.trimmed().isEmpty())
        add("--target-crs", options.targetCrs.trimmed());
    if (!output.isEmpty()) {
        add("--overwrite", {});
        add("-o", output);
    }
    // A file whose name begins with "-" would read as an option.
    if (std::any_of(files.begin(), files.end(), [](const QString& file) { return file.startsWith(u'-'); }))
        add("--", {});
    for (const QString& file : files)
        command.push_back(file.toStdString());
    return command;
}

} // namespace fennick
