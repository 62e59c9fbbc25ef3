#include "merge/OutputSize.h"

#include "platform/CodePage.h"
#include "platform/GenericEx.h"

namespace fennick {

namespace {

std::u16string Bytes(uint64_t bytes) {
    return Utf16Number(static_cast<long long>(bytes)) + u" bytes";
}

} // namespace

COutputSize::COutputSize(uint64_t dbfHeader, uint64_t recordLength)
    : m_dbfHeader(dbfHeader), m_recordLength(recordLength) {}

void COutputSize::AddInput(uint64_t records, uint64_t shpBytes, bool widened) {
    m_records += records;
    if (shpBytes < 100) {
        m_shpKnown = false;
        return;
    }
    // A record widened to Z or M gains a range and a value per point: at most its own size again and the
    // ranges' 32 bytes.
    const uint64_t body = shpBytes - 100;
    m_shp += widened ? 2 * body + 32 * records : body;
    if (widened)
        m_exact = false;
}

void COutputSize::Judge(std::vector<std::u16string>& warnings) const {
    const uint64_t shx = 100 + 8 * m_records;
    const uint64_t dbf = m_dbfHeader + m_recordLength * m_records;
    struct SFile {
        const char16_t* name;
        uint64_t size;
        uint64_t limit;
        bool known;
    } files[] = {
        {u".shp", m_shp, kShapefileLimit, m_shpKnown},
        {u".shx", shx, kShapefileLimit, true},
        {u".dbf", dbf, UINT64_MAX, true},
    };
    if (m_records > kRecordLimit) {
        const std::u16string detail = u"The inputs hold " + Utf16Number(static_cast<long long>(m_records)) +
                                      u" records; a .dbf counts at most " +
                                      Utf16Number(static_cast<long long>(kRecordLimit)) + u".";
        if (m_exact)
            ThrowGenericError(u"The output's .dbf", u"The shapefile would pass the format's record limit.",
                              detail);
        warnings.push_back(u"the output may pass the format's record limit. " + detail);
    }
    for (const SFile& f : files) {
        if (!f.known)
            continue;
        const std::u16string size = (m_exact ? u"would take " : u"may take up to ") + Bytes(f.size);
        if (f.size > f.limit) {
            if (m_exact)
                ThrowGenericError(std::u16string(u"The output's ") + f.name,
                                  u"The shapefile would pass the format's size limit of 4 GB.",
                                  u"It " + size + u"; the format holds " + Bytes(f.limit) + u".");
            warnings.push_back(std::u16string(u"the output's ") + f.name + u" " + size +
                               u", past the format's limit of " + Bytes(f.limit) +
                               u"; the merge fails if it does.");
        } else if (f.size > kReadersLimit) {
            warnings.push_back(std::u16string(u"the output's ") + f.name + u" " + size +
                               u"; some programs read no further than 2 GB.");
        }
    }
}

} // namespace fennick
