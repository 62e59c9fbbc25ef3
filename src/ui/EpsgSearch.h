#pragma once
// A search over the built-in EPSG catalogue for the options dialog: people find a target system by its code
// or by words of its name ("lv95", "utm 32n").

#include <QString>

#include <cstddef>
#include <vector>

namespace fennick {

struct SEpsgMatch {
    int code = 0;
    QString name;
    bool projected = false;

    bool operator==(const SEpsgMatch&) const = default;
};

// The catalogue's systems whose code begins with the query's digits, or whose name holds every word of the
// query (letter case ignored); an exact code first, then by code; at most limit. None for an empty query.
std::vector<SEpsgMatch> SearchEpsgCatalogue(const QString& query, std::size_t limit);

// How a match is listed: "EPSG:2056  CH1903+ / LV95".
QString EpsgMatchText(const SEpsgMatch& match);

} // namespace fennick
