#include "ui/MergeOptions.h"

#include "merge/ShpMerge.h"
#include "ui/OXRegistryItem.h"
#include "ui/OutputChoices.h"

#include <algorithm>

#include <QFileInfo>
#include <QLocale>
#include <QStringList>

namespace fennick {

namespace {

// A choice is stored as the text "1" or "0"; anything else leaves the default.
bool ReadChoice(COXRegistryItem& settings, const char16_t* name, bool fallback) {
    const std::u16string text = settings.ReadStringValue(name, true, true, fallback ? u"1" : u"0");
    return text == u"1" ? true : text == u"0" ? false : fallback;
}

// A text value; a missing one, or one that check refuses, leaves the default.
QString ReadText(COXRegistryItem& settings, const char16_t* name, bool (*check)(const QString&)) {
    const QString text = QString::fromStdU16String(settings.ReadStringValue(name, false, false, u""));
    return check(text) ? text : QString();
}

} // namespace

SMergeOptions SMergeOptions::Read(COXRegistryItem& settings) {
    SMergeOptions options;
    options.matchNames = ReadChoice(settings, kMatchNamesValue, options.matchNames);
    options.addSourceField = ReadChoice(settings, kAddSourceFieldValue, options.addSourceField);
    const std::u16string field =
        settings.ReadStringValue(kSourceFieldValue, false, false, options.sourceField.toStdU16String());
    if (!field.empty())
        options.sourceField = QString::fromStdU16String(field);
    options.reproject = ReadChoice(settings, kReprojectValue, options.reproject);
    options.keepSkipBadRecords = ReadChoice(settings, kKeepSkipBadRecordsValue, options.keepSkipBadRecords);
    options.skipBadRecords =
        options.keepSkipBadRecords && ReadChoice(settings, kSkipBadRecordsValue, options.skipBadRecords);
    options.restoreList = ReadChoice(settings, kRestoreListValue, options.restoreList);
    const auto codePage = [](const QString& name) { return CodePageOfChoice(name) >= 0; };
    options.outputEncoding = ReadText(settings, kOutputEncodingValue, codePage);
    options.inputEncoding = ReadText(settings, kInputEncodingValue, codePage);
    // A .prj file that has gone since is still shown, so that the dialog can say so.
    options.targetCrs = ReadText(settings, kTargetCrsValue, [](const QString&) { return true; });
    options.includeSubfolders = ReadChoice(settings, kIncludeSubfoldersValue, options.includeSubfolders);
    return options;
}

void SMergeOptions::Write(COXRegistryItem& settings) const {
    const auto choice = [](bool on) { return std::u16string(on ? u"1" : u"0"); };
    settings.WriteStringValue(choice(matchNames), kMatchNamesValue);
    settings.WriteStringValue(choice(addSourceField), kAddSourceFieldValue);
    settings.WriteStringValue(sourceField.toStdU16String(), kSourceFieldValue);
    settings.WriteStringValue(choice(reproject), kReprojectValue);
    settings.WriteStringValue(choice(skipBadRecords && keepSkipBadRecords), kSkipBadRecordsValue);
    settings.WriteStringValue(choice(keepSkipBadRecords), kKeepSkipBadRecordsValue);
    settings.WriteStringValue(choice(restoreList), kRestoreListValue);
    settings.WriteStringValue(outputEncoding.toStdU16String(), kOutputEncodingValue);
    settings.WriteStringValue(inputEncoding.toStdU16String(), kInputEncodingValue);
    settings.WriteStringValue(targetCrs.toStdU16String(), kTargetCrsValue);
    settings.WriteStringValue(choice(includeSubfolders), kIncludeSubfoldersValue);
}

void SMergeOptions::ApplyTo(CShpMerge& merge) const {
    merge.m_matchNames = matchNames;
    merge.m_sourceField = addSourceField ? sourceField.trimmed().toStdU16String() : std::u16string();
    merge.m_reproject = reproject;
    merge.m_skipBadRecords = skipBadRecords;
    // As fennick-merge's --encoding, --input-encoding and --target-crs.
    const int output = CodePageOfChoice(outputEncoding);
    merge.m_outputCodePage = output > 0 ? output : -1;
    merge.m_inputCodePage = std::max(CodePageOfChoice(inputEncoding), 0);
    merge.m_targetCrs = targetCrs.trimmed().toStdU16String();
}

QString OptionsText(const SMergeOptions& options) {
    QStringList named;
    if (options.matchNames)
        named << QStringLiteral("fields matched by name");
    if (options.addSourceField)
        named << QStringLiteral("file names in field %1").arg(options.sourceField.trimmed());
    if (options.reproject)
        named << QStringLiteral("coordinates converted");
    if (options.skipBadRecords)
        named << QStringLiteral("bad records skipped");
    if (!options.targetCrs.trimmed().isEmpty())
        named << QStringLiteral("converted into %1").arg(QFileInfo(options.targetCrs.trimmed()).fileName());
    if (!options.outputEncoding.trimmed().isEmpty())
        named << QStringLiteral("output code page %1").arg(options.outputEncoding.trimmed());
    if (!options.inputEncoding.trimmed().isEmpty())
        named << QStringLiteral("undeclared inputs read as %1").arg(options.inputEncoding.trimmed());
    return QStringLiteral("Options: %1").arg(named.isEmpty() ? QStringLiteral("none") : named.join(u", "));
}

QString SkippedRecordsText(int64_t count) {
    return count == 1 ? QStringLiteral("1 record was skipped.")
                      : QStringLiteral("%1 records were skipped.").arg(QLocale().toString(qlonglong(count)));
}

} // namespace fennick
