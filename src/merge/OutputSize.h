#pragma once
// COutputSize: what the output's .shp, .shx and .dbf will take, predicted by the check from the inputs'
// headers before anything is written, so that a merge past the format's limits is refused at once rather
// than after gigabytes. A size is exact where every record keeps its form (all records taken, none widened
// to Z or M, every input a shapefile whose header states its length), else a bound.

#include <cstdint>
#include <string>
#include <vector>

namespace fennick {

class COutputSize {
public:
    // The largest .shp or .shx the format addresses (its lengths count 16-bit words in 31 bits), the most
    // records the .dbf writer counts, and the size past which some programs stop reading.
    static constexpr uint64_t kShapefileLimit = 2ull * 0x7FFFFFFF;
    static constexpr uint64_t kRecordLimit = 0x7FFFFFFF;
    static constexpr uint64_t kReadersLimit = 1ull << 31;

    // The .dbf's header and record lengths, from the output's fields.
    COutputSize(uint64_t dbfHeader, uint64_t recordLength);
    // An input of `records` records: a shapefile whose .shp header states shpBytes (0 when it is no
    // shapefile), whose records are widened to the output's Z or M when widened.
    void AddInput(uint64_t records, uint64_t shpBytes, bool widened);
    // Makes every size a bound: records may be left out (a filter, bad records skipped).
    void SetBound() { m_exact = false; }

    // Raises when an exact size passes a limit; a bound past one, or a size past 2 GB, is a warning line.
    void Judge(std::vector<std::u16string>& warnings) const;

private:
    uint64_t m_dbfHeader, m_recordLength;
    uint64_t m_records = 0;
    uint64_t m_shp = 100;
    bool m_exact = true;
    bool m_shpKnown = true; // every input states its .shp length
};

} // namespace fennick
