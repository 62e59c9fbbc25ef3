#pragma once
// SMergeOptions: the choices beyond the positional merge that the desktop program offers (fields matched by
// name, a field naming each record's input, coordinate systems converted, bad records skipped), as the user
// last made them. They are kept in the program's settings key and set on the engine before each check; all
// are off until the user turns them on.

#include <QString>

#include <cstdint>

namespace fennick {

class COXRegistryItem;
class CShpMerge;

struct SMergeOptions {
    bool matchNames = false;
    bool addSourceField = false;
    QString sourceField = QStringLiteral("SOURCE"); // kept while the field is turned off
    bool reproject = false;
    bool skipBadRecords = false;
    // The output's code page and that of inputs declaring none, by name (empty: the defaults), and the
    // target coordinate system (EPSG:CODE or a .prj file; empty: the first input's).
    QString outputEncoding;
    QString inputEncoding;
    QString targetCrs;
    // Whether "Add Folder..." and a dropped folder take the layers of subfolders too.
    bool includeSubfolders = false;
    // Skipping is for one merge unless kept; only a kept choice is stored.
    bool keepSkipBadRecords = false;
    // The list of the last run is listed again at start.
    bool restoreList = false;

    // Values of the settings key.
    static constexpr const char16_t* kMatchNamesValue = u"MatchNames";
    static constexpr const char16_t* kAddSourceFieldValue = u"AddSourceField";
    static constexpr const char16_t* kSourceFieldValue = u"SourceField";
    static constexpr const char16_t* kReprojectValue = u"Reproject";
    static constexpr const char16_t* kSkipBadRecordsValue = u"SkipBadRecords";
    static constexpr const char16_t* kOutputEncodingValue = u"OutputEncoding";
    static constexpr const char16_t* kInputEncodingValue = u"InputEncoding";
    static constexpr const char16_t* kTargetCrsValue = u"TargetCrs";
    static constexpr const char16_t* kIncludeSubfoldersValue = u"IncludeSubfolders";
    static constexpr const char16_t* kKeepSkipBadRecordsValue = u"KeepSkipBadRecords";
    static constexpr const char16_t* kRestoreListValue = u"RestoreList";

    // From the settings; a missing or unreadable value keeps its default.
    static SMergeOptions Read(COXRegistryItem& settings);
    // Into the settings; a value that cannot be written is left as it was.
    void Write(COXRegistryItem& settings) const;
    // Sets the engine's members for these choices.
    void ApplyTo(CShpMerge& merge) const;

    bool operator==(const SMergeOptions&) const = default;
};

// The options in force in one line for the main window: "Options: fields matched by name, ..." or
// "Options: none".
QString OptionsText(const SMergeOptions& options);

// The line the success message adds for records left out: "1 record was skipped." / "N records were ...".
QString SkippedRecordsText(int64_t count);

} // namespace fennick
