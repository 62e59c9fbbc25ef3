#include "ui/FileTreeRules.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

#include <fcntl.h>
#include <sys/stat.h>

namespace fennick {

namespace {

// Iterative wildcard match with one back-tracking point for the last "*"; linear in practice.
bool PatternMatches(QStringView pattern, QStringView name) {
    qsizetype p = 0, n = 0, starP = -1, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == u'?' || pattern[p].toCaseFolded() == name[n].toCaseFolded())) {
            ++p;
            ++n;
        } else if (starP >= 0) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

bool AttributeHides(const QFileInfo& entry, unsigned attributes) {
    return (attributes & kAttributeHidden) && entry.fileName().startsWith(u'.');
}

bool StatxAttribute(const QString& path, uint64_t attribute) {
    struct statx info {};
    const QByteArray native = QFile::encodeName(path);
    if (statx(AT_FDCWD, native.constData(), 0, STATX_BASIC_STATS, &info) != 0)
        return false;
    return (info.stx_attributes_mask & attribute) && (info.stx_attributes & attribute);
}

// Every entry of folder, hidden ones included, without "." and "..".
constexpr QDir::Filters kAllEntries = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;

} // namespace

std::vector<SMaskChoice> LayerMaskChoices() {
    // Folders often hold both kinds, so both are listed unless the user narrows the tree to one.
    return {
        {QStringLiteral("Shapefiles and MapInfo tables (*.shp, *.tab)"), QStringLiteral("*.shp;*.tab")},
        {QStringLiteral("*.SHP"), QStringLiteral("*.SHP")},
        {QStringLiteral("*.TAB"), QStringLiteral("*.TAB")},
        // Every layer the merge reads: the GDAL formats beside the two kinds.
        {QStringLiteral("All vector layers"),
         QStringLiteral("*.shp;*.tab;*.gpkg;*.geojson;*.geojsonl;*.geojsons;*.json;*.fgb;*.kml;*.kmz;*.gml;"
                        "*.mif;*.csv;*.sqlite;*.gdb")}};
}

bool MaskMatches(const QString& mask, const QString& name) {
    for (QStringView pattern : QStringView(mask).split(u';')) {
        pattern = pattern.trimmed();
        if (pattern.isEmpty())
            continue;
        if (pattern == u"*.*" || PatternMatches(pattern, name))
            return true;
    }
    return false;
}

bool IsLayerFolderName(const QString& name) {
    return name.endsWith(QStringLiteral(".gdb"), Qt::CaseInsensitive);
}

bool ShowFolderEntry(const QFileInfo& entry) {
    const QString name = entry.fileName();
    return entry.isDir() && name != u"." && name != u".." && !IsLayerFolderName(name);
}

bool ShowFileEntry(const QFileInfo& entry, const STreeListRules& rules) {
    const bool layer = entry.isDir() ? IsLayerFolderName(entry.fileName()) : entry.isFile();
    return rules.showFiles && layer && !AttributeHides(entry, rules.hidingAttributes);
}

bool TreeEntryLess(const STreeEntry& a, const STreeEntry& b) {
    if (a.isFile != b.isFile)
        return !a.isFile;
    const int order = QString::compare(a.name, b.name, Qt::CaseInsensitive);
    if (order != 0)
        return order < 0;
    return a.name < b.name;
}

std::vector<STreeEntry> ListFolder(const QString& folder, const STreeListRules& rules) {
    std::vector<STreeEntry> entries;
    QDirIterator it(folder, kAllEntries);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        if (ShowFolderEntry(info))
            entries.push_back({JoinTreePath(folder, info.fileName()), info.fileName(), false});
        else if (ShowFileEntry(info, rules) && MaskMatches(rules.mask, info.fileName()))
            entries.push_back({JoinTreePath(folder, info.fileName()), info.fileName(), true});
    }
    std::sort(entries.begin(), entries.end(), TreeEntryLess);
    return entries;
}

bool HasVisibleContent(const QString& path, const STreeListRules& rules) {
    if (IsLayerFolderName(QFileInfo(path).fileName()))
        return false; // a leaf, whatever its folder holds
    // A folder anywhere wins before a matching file is looked for.
    bool fileFound = false;
    QDirIterator it(path, kAllEntries);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        if (ShowFolderEntry(info))
            return true;
        if (!fileFound && ShowFileEntry(info, rules) && MaskMatches(rules.mask, info.fileName()))
            fileFound = true;
    }
    return fileFound;
}

bool PathIsFile(const QString& path) {
    const QFileInfo info(path);
    return info.exists() && (!info.isDir() || IsLayerFolderName(info.fileName()));
}

bool PathIsFolder(const QString& path) {
    const QFileInfo info(path);
    return info.exists() && info.isDir() && !IsLayerFolderName(info.fileName());
}

bool PathHasCompressedAttribute(const QString& path) {
    return StatxAttribute(path, STATX_ATTR_COMPRESSED);
}

bool PathHasEncryptedAttribute(const QString& path) {
    return StatxAttribute(path, STATX_ATTR_ENCRYPTED);
}

QString JoinTreePath(const QString& folder, const QString& name) {
    if (folder.endsWith(u'/'))
        return folder + name;
    return folder + u'/' + name;
}

} // namespace fennick
