#include "shp/XBaseWriter.h"

#include "platform/CodePage.h"
#include "platform/FileMapping.h"
#include "platform/GenericEx.h"
#include "shp/XBaseNumbers.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <unistd.h>

namespace fennick {

namespace {

constexpr std::size_t kPendingLimit = 64 * 1024;

void PutLe16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void PutLe32(uint8_t* p, uint32_t v) {
    PutLe16(p, v);
    PutLe16(p + 2, v >> 16);
}

bool IsNumberLetter(char type) {
    return type == 'N' || type == 'F';
}

std::u16string CodePageText(int codePage) {
    char digits[16];
    const std::size_t n = PrintInt64(digits, codePage);
    return std::u16string(digits, digits + n);
}

} // namespace

std::unique_ptr<CxBaseWriter> CxBaseWriter::Create(const std::u16string& path, CFileException* error,
                                                   bool writeBehind) {
    std::unique_ptr<CxBaseWriter> writer(new CxBaseWriter());
    if (!writer->m_file.Open(path,
                             CFile::modeCreate | CFile::modeReadWrite | CFile::shareExclusive |
                                 (writeBehind ? CFile::osWriteBehind : 0u),
                             error))
        return nullptr;
    writer->m_open = true;
    writer->m_record.assign(1, ' ');
    return writer;
}

CxBaseWriter::~CxBaseWriter() {
    if (!m_open)
        return;
    try {
        Close();
    } catch (const CException&) {
        m_file.Abort();
    }
}

int CxBaseWriter::AddField(std::string_view name, int kind, int width, int decimals) {
    if (!m_open || m_recordCount > 0 || !m_headerPending)
        return -1;
    if (kind != typeReal && kind != typeFloat && decimals != 0)
        return -1;
    char letter;
    switch (kind) {
    case typeText:
        letter = 'C';
        break;
    case typeInteger:
    case typeReal:
        letter = 'N';
        break;
    case typeFloat:
        letter = 'F';
        break;
    case typeLogical:
        letter = 'L';
        break;
    case typeDate:
        letter = 'D';
        if (width != 8)
            return -1;
        break;
    default:
        return -1;
    }
    // Refuse what the header cannot hold instead of writing wrapped values.
    const int widthLimit = letter == 'C' ? 65535 : 255;
    if (width < 0 || width > widthLimit || decimals < 0 || decimals > 255 ||
        m_recordLength + static_cast<uint32_t>(width) > 65535 || m_headerLength + 32 > 65535)
        return -1;

    SField field;
    field.offset = m_recordLength;
    field.width = static_cast<uint32_t>(width);
    field.decimals = static_cast<uint32_t>(decimals);
    field.type = letter;
    m_fields.push_back(field);
    m_recordLength += field.width;
    m_headerLength += 32;

    uint8_t d[32] = {};
    std::memcpy(d, name.data(), std::min<std::size_t>(name.size(), 10));
    d[11] = static_cast<uint8_t>(letter);
    if (letter == 'C') {
        d[16] = static_cast<uint8_t>(field.width % 256);
        d[17] = static_cast<uint8_t>(field.width / 256);
    } else {
        d[16] = static_cast<uint8_t>(field.width);
        d[17] = static_cast<uint8_t>(field.decimals);
    }
    m_descriptors.insert(m_descriptors.end(), d, d + 32);
    m_updated = false;
    m_record.resize(m_recordLength, ' ');
    return static_cast<int>(m_fields.size()) - 1;
}

int CxBaseWriter::AddField(std::u16string_view name, int kind, int width, int decimals) {
    if (m_codePage < 0)
        return AddField(WideToLowBytes(name), kind, width, decimals);
    std::string encoded;
    std::size_t units = name.size();
    // Keep whole characters: drop trailing characters until the name fits in 10 bytes.
    for (;;) {
        encoded.clear();
        if (units > 0 && WideCharToMultiByte(m_codePage, name.data(), static_cast<int>(units), encoded) == 0)
            ThrowGenericError(u"The field name cannot be written in code page " + CodePageText(m_codePage) +
                              u".");
        if (encoded.size() <= 10 || units == 0)
            break;
        --units;
        if (units > 0 && name[units - 1] >= 0xD800 && name[units - 1] <= 0xDBFF)
            --units; // do not split a surrogate pair
    }
    return AddField(std::string_view(encoded), kind, width, decimals);
}

void CxBaseWriter::WriteHeader() {
    m_headerPending = false;
    uint8_t header[32] = {};
    header[0] = 0x03;
    header[29] = m_languageDriver;
    PutLe16(header + 8, m_headerLength);
    PutLe16(header + 10, m_recordLength);
    m_file.Seek(0, CFile::begin);
    m_file.Write(header, 32);
    if (!m_descriptors.empty())
        m_file.Write(m_descriptors.data(), static_cast<unsigned>(m_descriptors.size()));
    if (m_headerLength > 32 * (m_fields.size() + 1)) {
        const uint8_t terminator = 0x0D;
        m_file.Write(&terminator, 1);
    }
}

void CxBaseWriter::FlushPending() {
    if (m_pending.empty())
        return;
    m_file.Seek(static_cast<int64_t>(m_pendingStart), CFile::begin);
    m_file.Write(m_pending.data(), static_cast<unsigned>(m_pending.size()));
    m_pending.clear();
}

void CxBaseWriter::WriteBackCurrent() {
    if (!m_modified || m_current < 0)
        return;
    const uint64_t at = m_headerLength + static_cast<uint64_t>(m_current) * m_recordLength;
    if (!m_pending.empty() &&
        (at != m_pendingStart + m_pending.size() || m_pending.size() + m_recordLength > kPendingLimit))
        FlushPending();
    if (m_pending.empty()) {
        m_pendingStart = at;
        if (m_pending.capacity() < kPendingLimit)
            m_pending.reserve(std::max<std::size_t>(kPendingLimit, m_recordLength));
    }
    m_pending.insert(m_pending.end(), m_record.begin(), m_record.end());
    m_modified = false;
    if (m_pending.size() >= kPendingLimit)
        FlushPending();
}

bool CxBaseWriter::SelectRecord(int32_t record, int field) {
    if (!m_open || record < 0 || record > m_recordCount || field < 0 || field >= GetFieldCount())
        return false;
    if (m_headerPending)
        WriteHeader();
    if (record == m_recordCount) {
        if (m_recordCount == std::numeric_limits<int32_t>::max())
            return false;
        WriteBackCurrent();
        ++m_recordCount;
        std::memset(m_record.data(), ' ', m_record.size());
        m_current = record;
        MarkWritten(); // a started record reaches the file even when its first value is refused
    } else if (record != m_current) {
        WriteBackCurrent();
        FlushPending(); // the record may be among the pending bytes
        m_file.Seek(static_cast<int64_t>(m_headerLength + static_cast<uint64_t>(record) * m_recordLength),
                    CFile::begin);
        if (m_file.Read(m_record.data(), m_recordLength) != m_recordLength)
            ThrowBadFormat(m_file.GetFilePath());
        m_current = record;
    }
    return true;
}

void CxBaseWriter::MarkWritten() {
    m_modified = true;
    m_updated = true;
}

bool CxBaseWriter::StoreNumberText(const SField& f, const char* text, std::size_t length) {
    if (length > f.width)
        return false;
    uint8_t* field = m_record.data() + f.offset;
    const std::size_t pad = f.width - length;
    std::memset(field, ' ', pad);
    std::memcpy(field + pad, text, length);
    return true;
}

void CxBaseWriter::StoreNull(const SField& f) {
    uint8_t* field = m_record.data() + f.offset;
    switch (f.type) {
    case 'N':
    case 'F':
        std::memset(field, '*', f.width);
        break;
    case 'D':
        std::memset(field, '0', f.width);
        break;
    case 'L':
        std::memset(field, ' ', f.width);
        if (f.width > 0)
            field[0] = '?';
        break;
    default:
        std::memset(field, ' ', f.width);
        break;
    }
}

bool CxBaseWriter::StoreDouble(const SField& f, double value) {
    char text[kNumberTextSize];
    if (!IsNumberLetter(f.type))
        return StoreText(f, std::string_view(text, PrintShortest(text, value)));
    if (!std::isfinite(value))
        return false;
    if (value == 0.0)
        value = 0.0; // no "-0"
    // The field's own form first, when it reads back as the value; else the shortest text that does.
    std::size_t length = 0;
    if (f.decimals > 0) {
        length = PrintFixed(text, value, static_cast<int>(f.decimals));
        if (ParseXBaseDouble(std::string_view(text, length)) != value)
            length = 0;
    } else if (value == std::trunc(value)) {
        length = std::fabs(value) <= 9.2e18 ? PrintInt64(text, static_cast<int64_t>(value))
                                            : PrintFixed(text, value, 0);
    }
    if (length > 0 && length <= f.width)
        return StoreNumberText(f, text, length);
    length = PrintShortest(text, value);
    return StoreNumberText(f, text, length);
}

bool CxBaseWriter::StoreInt64(const SField& f, int64_t value) {
    if (!IsNumberLetter(f.type)) {
        char text[kNumberTextSize];
        return StoreText(f, std::string_view(text, PrintInt64(text, value)));
    }
    char text[kNumberTextSize];
    const std::size_t digits = PrintInt64(text, value);
    // Exact digits, then the decimal zeros where they fit.
    if (f.decimals > 0 && digits + 1 + f.decimals <= f.width) {
        text[digits] = '.';
        std::memset(text + digits + 1, '0', f.decimals);
        return StoreNumberText(f, text, digits + 1 + f.decimals);
    }
    return StoreNumberText(f, text, digits);
}

bool CxBaseWriter::StoreText(const SField& f, std::string_view text) {
    uint8_t* field = m_record.data() + f.offset;
    switch (f.type) {
    case 'N':
    case 'F':
        if (text.empty()) {
            StoreNull(f);
            return true;
        }
        return StoreDouble(f, ParseXBaseDouble(text));
    case 'L':
        if (f.width >= 1 && !text.empty() && (text[0] == 'F' || text[0] == 'T' || text[0] == '?'))
            field[0] = static_cast<uint8_t>(text[0]);
        return true;
    default:
        if (text.size() > f.width)
            return false;
        std::memset(field, ' ', f.width);
        std::memcpy(field, text.data(), text.size());
        return true;
    }
}

int CxBaseWriter::WriteInteger(int32_t record, int field, int32_t value) {
    return WriteDouble(record, field, static_cast<double>(value));
}

int CxBaseWriter::WriteInt64(int32_t record, int field, int64_t value) {
    if (!SelectRecord(record, field))
        return 0;
    if (!StoreInt64(m_fields[static_cast<std::size_t>(field)], value))
        return 0;
    MarkWritten();
    return 1;
}

int CxBaseWriter::WriteDouble(int32_t record, int field, double value) {
    if (!SelectRecord(record, field))
        return 0;
    if (!StoreDouble(m_fields[static_cast<std::size_t>(field)], value))
        return 0;
    MarkWritten();
    return 1;
}

int CxBaseWriter::WriteString(int32_t record, int field, std::string_view text) {
    if (!SelectRecord(record, field))
        return 0;
    if (!StoreText(m_fields[static_cast<std::size_t>(field)], text))
        return 0;
    MarkWritten();
    return 1;
}

int CxBaseWriter::WriteNumberText(int32_t record, int field, std::string_view text) {
    if (!SelectRecord(record, field))
        return 0;
    const SField& f = m_fields[static_cast<std::size_t>(field)];
    if (!(IsNumberLetter(f.type) ? StoreNumberText(f, text.data(), text.size()) : StoreText(f, text)))
        return 0;
    MarkWritten();
    return 1;
}

int CxBaseWriter::WriteFieldBytes(int32_t record, int field, std::string_view bytes) {
    if (!SelectRecord(record, field))
        return 0;
    const SField& f = m_fields[static_cast<std::size_t>(field)];
    if (bytes.size() != f.width)
        return 0;
    std::memcpy(m_record.data() + f.offset, bytes.data(), bytes.size());
    MarkWritten();
    return 1;
}

int CxBaseWriter::WriteNull(int32_t record, int field) {
    if (!SelectRecord(record, field))
        return 0;
    StoreNull(m_fields[static_cast<std::size_t>(field)]);
    MarkWritten();
    return 1;
}

uint8_t* CxBaseWriter::EditRecord(int32_t record) {
    if (!SelectRecord(record, 0))
        return nullptr;
    MarkWritten();
    return m_record.data();
}

namespace {

// The records of one mapped window whose deletion flag is a space, counted from the window's first.
struct SActiveRun {
    const uint8_t* records = nullptr;
    uint32_t length = 0;
    int32_t count = 0;
    int32_t active = 0;
};

void CountActive(void* context) {
    auto& run = *static_cast<SActiveRun*>(context);
    while (run.active < run.count && run.records[static_cast<std::size_t>(run.active) * run.length] == ' ')
        ++run.active;
}

} // namespace

int32_t CxBaseWriter::AppendCopied(int in, uint64_t from, uint64_t length, int32_t count) {
    if (!m_open || m_fields.empty() || from > length || count <= 0)
        return 0;
    count = static_cast<int32_t>(
        std::min<uint64_t>({static_cast<uint64_t>(count), (length - from) / m_recordLength,
                            static_cast<uint64_t>(std::numeric_limits<int32_t>::max() - m_recordCount)}));
    if (m_headerPending)
        WriteHeader();
    WriteBackCurrent();
    FlushPending();
    m_current = -1;
    // A window of records at a time: their flags checked through a mapping, then the window copied.
    const auto window = static_cast<int32_t>(std::max<uint32_t>(1, (4u << 20) / m_recordLength));
    int32_t done = 0;
    while (done < count) {
        SActiveRun run;
        run.length = m_recordLength;
        run.count = std::min(window, count - done);
        const uint64_t offset = from + static_cast<uint64_t>(done) * m_recordLength;
        const uint64_t bytes = static_cast<uint64_t>(run.count) * m_recordLength;
        // A window that is the whole run is read into memory: for a small table that costs less than a
        // mapping.
        CMappedRange mapped;
        if (run.count == count - done && done == 0) {
            m_copyBuffer.resize(static_cast<std::size_t>(bytes));
            if (!ReadFullyAt(in, m_copyBuffer.data(), static_cast<unsigned>(bytes), offset))
                break;
            run.records = m_copyBuffer.data();
            CountActive(&run);
        } else {
            if (!mapped.Map(in, offset, static_cast<std::size_t>(bytes)))
                break;
            run.records = mapped.Data();
            if (!RunMappedAccess(CountActive, &run))
                break;
        }
        if (run.active == 0)
            break;
        // Written from the mapping itself: a page the file lost meanwhile fails the write, not the process.
        const uint64_t at = m_headerLength + static_cast<uint64_t>(m_recordCount) * m_recordLength;
        const auto size = static_cast<std::size_t>(run.active) * m_recordLength;
        if (const int err = WriteAllAt(m_file.Handle(), run.records, size, at)) {
            m_file.SetLength(at);
            if (err == EFAULT)
                return done; // the input was cut meanwhile: the record path reports it
            throw CFileException(CFileException::CauseFromErrno(err), m_file.GetFilePath(), err);
        }
        m_recordCount += run.active;
        done += run.active;
        m_updated = true;
        if (run.active < run.count)
            break;
    }
    return done;
}

bool CxBaseWriter::DropNewestRecord() {
    if (!m_open || !m_modified || m_current < 0 || m_current != m_recordCount - 1)
        return false;
    --m_recordCount;
    m_current = -1;
    m_modified = false;
    return true;
}

bool CxBaseWriter::GetFieldLayout(int field, uint32_t* offset, uint32_t* width, char* type) const {
    if (field < 0 || field >= GetFieldCount())
        return false;
    const SField& f = m_fields[static_cast<std::size_t>(field)];
    *offset = f.offset;
    *width = f.width;
    *type = f.type;
    return true;
}

int CxBaseWriter::WriteText(int32_t record, int field, std::u16string_view text) {
    // Encode before touching the record, so that a refused text changes nothing.
    if (m_codePage < 0) {
        m_scratch.resize(text.size());
        for (std::size_t i = 0; i < text.size(); ++i)
            m_scratch[i] = static_cast<char>(text[i] & 0xFF);
    } else {
        m_scratch.clear();
        if (!text.empty() &&
            WideCharToMultiByte(m_codePage, text.data(), static_cast<int>(text.size()), m_scratch) == 0)
            ThrowGenericError(u"A text value cannot be written in code page " + CodePageText(m_codePage) +
                              u".");
    }
    return WriteString(record, field, m_scratch);
}

void CxBaseWriter::Close() {
    if (!m_open)
        return;
    try {
        if (m_headerPending)
            WriteHeader();
        WriteBackCurrent();
        FlushPending();
        if (m_updated) {
            uint8_t header[32] = {};
            header[0] = 0x03;
            header[1] = 95;
            header[2] = 7;
            header[3] = 26;
            header[29] = m_languageDriver;
            PutLe32(header + 4, static_cast<uint32_t>(m_recordCount));
            PutLe16(header + 8, m_headerLength);
            PutLe16(header + 10, m_recordLength);
            m_file.Seek(0, CFile::begin);
            m_file.Write(header, 32);
        }
        m_open = false;
        m_file.Close();
    } catch (...) {
        m_open = false;
        m_file.Abort();
        throw;
    }
}

} // namespace fennick
