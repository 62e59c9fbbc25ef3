#pragma once
// The first records of a layer as the merge would write them, for a look before merging: the fields the
// merge plans for the layer (names cut to the format's length, types, widths) and each record's values as
// texts, nulls kept apart from empty texts.

#include "merge/ShpMerge.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace fennick {

struct SRecordSample {
    std::u16string error; // why the layer cannot be shown; empty when it can
    std::vector<SPlannedField> fields;
    int64_t records = 0; // in the whole layer
    // One row per record read, a value per field; nullopt for a null.
    std::vector<std::vector<std::optional<std::u16string>>> rows;
};

// Reads at most limit records of the layer at path; never raises.
SRecordSample ReadRecordSample(const std::u16string& path, std::size_t limit);

} // namespace fennick
