#include "ui/EpsgSearch.h"

#include "coordsys/EpsgCatalogue.h"

#include <QStringList>

#include <algorithm>

namespace fennick {

std::vector<SEpsgMatch> SearchEpsgCatalogue(const QString& query, std::size_t limit) {
    QString text = query.trimmed();
    if (text.startsWith(QStringLiteral("EPSG:"), Qt::CaseInsensitive))
        text = text.mid(5).trimmed();
    const QStringList words = text.split(u' ', Qt::SkipEmptyParts);
    std::vector<SEpsgMatch> found;
    if (words.isEmpty() || limit == 0)
        return found;
    bool isNumber = false;
    text.toInt(&isNumber);
    const auto consider = [&](int code, const char* name, bool projected) {
        const QString named = QString::fromUtf8(name);
        const bool matches = isNumber ? QString::number(code).startsWith(text)
                                      : std::all_of(words.begin(), words.end(), [&](const QString& word) {
                                            return named.contains(word, Qt::CaseInsensitive);
                                        });
        if (matches)
            found.push_back({code, named, projected});
    };
    for (std::size_t i = 0; i < kEpsgGeographicRowCount; ++i)
        consider(kEpsgGeographicRows[i].code, kEpsgGeographicRows[i].name, false);
    for (std::size_t i = 0; i < kEpsgProjectedRowCount; ++i)
        consider(kEpsgProjectedRows[i].code, kEpsgProjectedRows[i].name, true);
    // Web Mercator lives outside the generated table.
    for (const int code : {3857, 3785})
        if (const SEpsgProjectedRow* row = FindEpsgProjected(code))
            consider(row->code, row->name, true);
    const int exact = isNumber ? text.toInt() : -1;
    std::stable_sort(found.begin(), found.end(), [exact](const SEpsgMatch& a, const SEpsgMatch& b) {
        if ((a.code == exact) != (b.code == exact))
            return a.code == exact;
        return a.code < b.code;
    });
    if (found.size() > limit)
        found.resize(limit);
    return found;
}

QString EpsgMatchText(const SEpsgMatch& match) {
    return QStringLiteral("EPSG:%1  %2").arg(match.code).arg(match.name);
}

} // namespace fennick
