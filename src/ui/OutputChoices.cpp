#include "ui/OutputChoices.h"

#include "merge/MergeReport.h"
#include "platform/CodePage.h"
#include "shp/XBaseDatabase.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace fennick {

QStringList CodePageChoices() {
    // The pages .cpg files most often name, spelled as the merge report spells them.
    static const int kPages[] = {65001, 1252,  1250,  1251,  1253,  1254,  1255,  1256,  1257,
                                 1258,  28591, 28592, 28593, 28594, 28595, 28597, 28599, 437,
                                 850,   852,   866,   874,   932,   936,   949,   950};
    QStringList names;
    for (const int page : kPages)
        if (IsCodePageSupported(page))
            names << QString::fromStdString(CodePageJson(page).get<std::string>());
    return names;
}

int CodePageOfChoice(const QString& name) {
    return CxBaseDatabase::CodePageOfCpgText(name.toStdString());
}

QString TargetCrsProblem(const QString& text) {
    const QString target = text.trimmed();
    if (target.isEmpty())
        return {};
    static const QRegularExpression epsg(QStringLiteral("^EPSG:[0-9]{1,9}$"),
                                         QRegularExpression::CaseInsensitiveOption);
    if (epsg.match(target).hasMatch())
        return {};
    if (!target.endsWith(QStringLiteral(".prj"), Qt::CaseInsensitive))
        return QStringLiteral("Give EPSG:CODE or the path of a .prj file.");
    if (!QFileInfo(target).isFile())
        return QStringLiteral("%1 does not exist.").arg(target);
    return {};
}

} // namespace fennick
