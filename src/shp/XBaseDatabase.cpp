#include "shp/XBaseDatabase.h"

#include "data/GeoTypes.h"
#include "data/IString.h"
#include "platform/Boundary.h"
#include "platform/CachedFile.h"
#include "platform/CodePage.h"
#include "platform/EncCachedFile.h"
#include "platform/FileSystem.h"
#include "platform/PathFunctions.h"
#include "shp/XBaseNumbers.h"
#include "shp/XBaseRecord.h"

#include <cerrno>
#include <cstring>
#include <limits>

namespace fennick {

CxBaseDatabase::CxBaseDatabase() = default;

CxBaseDatabase::~CxBaseDatabase() {
    Close();
    DetachAll();
    m_reader.reset();
}

void CxBaseDatabase::ResetState() {
    m_open = false;
    m_tableStart = 0;
    m_dataStart = 0;
    m_recordLength = 0;
    m_recordCount = 0;
    m_fields.clear();
    m_codePage = 0;
    m_version = 3;
}

void CxBaseDatabase::Close() {
    if (m_open) {
        try {
            m_reader->Close();
        } catch (const CException&) {
            m_reader->Abort();
        }
    }
    DetachAll();
    ResetState();
}

void CxBaseDatabase::Open(const std::u16string& path, unsigned mode, unsigned extraMode,
                          std::u16string_view password) {
    if (!OpenIfExists(path, mode, extraMode, password))
        ThrowBadFormatBecause(u"it cannot be opened: " + FromUtf8(std::strerror(ENOENT)), path);
}

bool CxBaseDatabase::OpenIfExists(const std::u16string& path, unsigned mode, unsigned extraMode,
                                  std::u16string_view password) {
    if (m_open)
        ThrowNotSupported();
    DetachAll(); // records of an earlier opening must not see the new layout
    m_reader.reset();
    CFileException refused(CFileException::none, path);
    if (!m_file.Open(path, mode | extraMode, &refused)) {
        if (refused.HasOwnDetail()) // a pipe or a device: refused, never waited on
            throw refused;
        if (refused.GetOsError() == ENOENT)
            return false;
        if (refused.GetOsError() == 0)
            ThrowBadFormat(path);
        ThrowBadFormatBecause(u"it cannot be opened: " + FromUtf8(std::strerror(refused.GetOsError())), path);
    }
    if (!password.empty())
        m_reader = std::make_unique<CEncCachedFile>(m_file, kCacheSize, password);
    else
        m_reader = std::make_unique<CCachedFile>(m_file, kCacheSize, 0); // just opened: at its start
    try {
        ReadHeader(path);
    } catch (...) {
        m_file.Abort();
        ResetState();
        throw;
    }
    return true;
}

namespace {

uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

bool IsKnownType(char type) {
    return type != '\0' && std::strchr("CNLMGDFP", type) != nullptr;
}

std::u16string HexByte(uint8_t byte) {
    static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    return std::u16string(u"0x") + kDigits[byte >> 4] + kDigits[byte & 15];
}

} // namespace

void CxBaseDatabase::ReadHeader(const std::u16string& path) {
    IFile& reader = *m_reader;
    m_tableStart = reader.Seek(0, 1);
    uint8_t header[32];
    if (reader.Read(header, 32) != 32)
        ThrowBadFormatBecause(u"its header is shorter than 32 bytes", path);
    m_recordCount = Le32(header + 4);
    m_version = header[0];
    const int headerLength = Le16(header + 8);
    if (headerLength < 33)
        ThrowBadFormatBecause(u"its header length of " + Utf16Number(headerLength) + u" bytes is below 33",
                              path);
    // The descriptors the header length has room for; a table without fields is a table of deletion flags.
    int count = (headerLength - 33) / 32;
    const int64_t dataStart = m_tableStart + headerLength;
    if (m_tableStart < 0 || dataStart > std::numeric_limits<int32_t>::max())
        ThrowBadFormat(path);
    m_dataStart = dataStart;

    m_fields.assign(static_cast<std::size_t>(count), SDbfField());
    uint32_t offset = 1;
    bool ended = false; // the terminator came where a descriptor would start: the rest is a trailing area
    for (int k = 0; k < count; ++k) {
        uint8_t d[32];
        const std::u16string descriptor = u"field descriptor " + Utf16Number(k + 1) + u" (byte " +
                                          Utf16Number(32 + 32 * static_cast<long long>(k)) + u")";
        if (reader.Read(d, 1) != 1 || (d[0] != 0x0D && reader.Read(d + 1, 31) != 31))
            ThrowBadFormatBecause(descriptor + u" passes the end of the file", path);
        if (d[0] == 0x0D) {
            count = k;
            m_fields.resize(static_cast<std::size_t>(k));
            ended = true;
            break;
        }
        if (std::memchr(d, 0, 11) == nullptr)
            ThrowBadFormatBecause(descriptor + u" has no zero byte in its 11 name bytes", path);
        if (!IsKnownType(static_cast<char>(d[11])))
            ThrowBadFormatBecause(descriptor + u" has the type byte " + HexByte(d[11]) +
                                      u", which is none of C N L M G D F P",
                                  path);
        SDbfField& field = m_fields[static_cast<std::size_t>(k)];
        std::size_t nameLength = 0;
        while (nameLength < 10 && d[nameLength] != 0 && d[nameLength] != ' ')
            ++nameLength;
        std::memcpy(field.name, d, nameLength);
        field.name[nameLength] = '\0';
        field.type = static_cast<char>(d[11]);
        field.offset = static_cast<uint16_t>(offset);
        field.width = d[16];
        field.decimals = d[17];
        offset += field.width;
        if (offset > 65535)
            ThrowBadFormatBecause(u"its records would be longer than 65535 bytes at " + descriptor, path);
    }
    m_recordLength = static_cast<uint16_t>(offset);

    // Read just after the file was opened, so its length then is its length now.
    if (m_recordCount > 0 && static_cast<uint64_t>(m_dataStart) > m_file.OpenedLength())
        ThrowBadFormatBecause(u"its header length of " + Utf16Number(headerLength) +
                                  u" bytes puts its records past its end at byte " +
                                  Utf16Number(static_cast<long long>(m_file.OpenedLength())),
                              path);

    // Writers end the descriptors with 0x0D; some write 0x0A or a zero byte, which readers take as well.
    uint8_t terminator = 0;
    if (!ended) {
        const long long at = 32 + 32LL * count;
        if (reader.Read(&terminator, 1) != 1)
            ThrowBadFormatBecause(u"it ends at byte " + Utf16Number(at) + u", before its header's end", path);
        if (terminator != 0x0D && terminator != 0x0A && terminator != 0x00)
            ThrowBadFormatBecause(u"byte " + Utf16Number(at) + u", where its header ends, is " +
                                      HexByte(terminator) + u", not 0x0D",
                                  path);
    }

    if (const int cp = CodePageOfLanguageDriver(header[29]); cp != 0)
        m_codePage = cp;
    const std::u16string cpgPath = FindCompanion(path, u"cpg");
    try {
        if (!cpgPath.empty()) {
            if (const auto line = ReadFirstLine(cpgPath)) {
                const int cp = CodePageOfCpgText(*line);
                // A code page that cannot be told would garble every text: the table is not read.
                if (cp < 0)
                    ThrowBadFormatBecause(u"its .cpg file names no code page known here: \"" +
                                              FromUtf8(*line) + u"\"",
                                          cpgPath);
                if (cp > 0)
                    m_codePage = cp;
            } else if (IsPipeOrDevice(cpgPath)) {
                ThrowNotRegularFile(cpgPath); // a pipe is refused, never waited on
            }
        }
    } catch (const CException&) {
        throw;
    } catch (const std::exception&) {
        // An unreadable .cpg leaves the code page as the header gave it.
    }
    m_open = true;
}

namespace {

// Language driver bytes and the code pages they stand for.
struct SPair {
    uint8_t id;
    uint16_t codePage;
};
constexpr SPair kTable[] = {
    {1, 437},    {2, 850},    {3, 1252},   {8, 865},   {9, 437},   {10, 850},  {11, 437},   {13, 437},
    {14, 850},   {15, 437},   {16, 850},   {17, 437},  {18, 850},  {19, 932},  {20, 850},   {21, 437},
    {22, 850},   {23, 865},   {24, 437},   {25, 437},  {26, 850},  {27, 437},  {28, 863},   {29, 850},
    {31, 852},   {34, 852},   {35, 852},   {36, 860},  {37, 850},  {38, 866},  {55, 850},   {64, 852},
    {77, 936},   {78, 949},   {79, 950},   {80, 874},  {87, 1252}, {88, 1252}, {89, 1252},  {100, 852},
    {101, 866},  {102, 865},  {103, 861},  {106, 737}, {107, 857}, {108, 863}, {120, 950},  {121, 949},
    {122, 936},  {123, 932},  {124, 874},  {134, 737}, {135, 852}, {136, 857}, {200, 1250}, {201, 1251},
    {202, 1254}, {203, 1253}, {204, 1257},
};

} // namespace

uint8_t CxBaseDatabase::LanguageDriverOf(int codePage) {
    for (const SPair& p : kTable)
        if (p.codePage == codePage)
            return p.id;
    return 0;
}

int CxBaseDatabase::CodePageOfLanguageDriver(uint8_t id) {
    for (const SPair& p : kTable)
        if (p.id == id)
            return p.codePage;
    return 0;
}

int CxBaseDatabase::CodePageOfCpgText(std::string_view line) {
    auto space = [](char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
    };
    if (line.starts_with("\xEF\xBB\xBF"))
        line.remove_prefix(3); // a byte-order mark some editors write
    while (!line.empty() && space(line.front()))
        line.remove_prefix(1);
    while (!line.empty() && space(line.back()))
        line.remove_suffix(1);
    return line.empty() ? 0 : CodePageOfName(line);
}

int CxBaseDatabase::FieldTypeOf(char type, int decimals) {
    switch (type) {
    case 'C':
        return FIELD_CHARACTER;
    case 'N':
        return decimals > 0 ? FIELD_REAL : FIELD_INTEGER;
    case 'F':
        return FIELD_REAL;
    case 'L':
        return FIELD_LOGICAL;
    case 'D':
        return FIELD_DATE;
    default:
        return FIELD_NONE;
    }
}

void CxBaseDatabase::GetFieldInfo(SDbfField& field, int index) {
    if (index < 0 || index >= GetFieldCount())
        ThrowInvalidArg();
    field = m_fields[static_cast<std::size_t>(index)];
}

int CxBaseDatabase::GetFieldName(int index, IString* name) {
    if (index < 0 || index >= GetFieldCount() || name == nullptr)
        return 0;
    return Guarded([&] {
        name->SetFromMultiByte(m_fields[static_cast<std::size_t>(index)].name, m_codePage);
        return 1;
    });
}

int CxBaseDatabase::GetFieldWidth(int index) {
    return index >= 0 && index < GetFieldCount() ? m_fields[static_cast<std::size_t>(index)].width : 0;
}

int CxBaseDatabase::GetFieldDecimals(int index) {
    return index >= 0 && index < GetFieldCount() ? m_fields[static_cast<std::size_t>(index)].decimals : 0;
}

int CxBaseDatabase::GetFieldType(int index) {
    if (index < 0 || index >= GetFieldCount())
        return 0;
    const SDbfField& f = m_fields[static_cast<std::size_t>(index)];
    return FieldTypeOf(f.type, f.decimals);
}

CRef<CxBaseRecord> CxBaseDatabase::GetRecord(uint32_t record) {
    if (!m_open || record >= m_recordCount)
        ThrowNotSupported();
    CxBaseRecord* r = m_spare != nullptr ? std::exchange(m_spare, nullptr) : nullptr;
    if (r != nullptr)
        Attach(r);
    else
        r = new CxBaseRecord(this);
    CRef<CxBaseRecord> ref(r);
    ref->Load(record); // on an error the reference goes and the record with it
    return ref;
}

bool CxBaseDatabase::RecordsReadable() const {
    const std::size_t count = m_fields.size();
    return count < 65536 && m_recordLength + count <= 65535;
}

void CxBaseDatabase::ReadStoredRecord(uint32_t record, uint8_t* buffer) {
    const uint32_t length = m_recordLength;
    m_reader->Seek(m_dataStart + static_cast<int64_t>(record) * length, 0);
    if (m_reader->Read(buffer, length) != length)
        ThrowBadFormat(m_file.GetFilePath());
}

bool CxBaseDatabase::GetPlainRecords(int& fd, uint64_t& dataStart, uint64_t& length,
                                     uint32_t& records) const {
    if (!m_open || !RecordsReadable() || dynamic_cast<const CEncCachedFile*>(m_reader.get()) != nullptr)
        return false;
    fd = m_file.Handle();
    dataStart = static_cast<uint64_t>(m_dataStart);
    length = m_file.OpenedLength();
    records = m_recordCount;
    return true;
}

bool CxBaseDatabase::ReadRecordBytes(uint32_t record, uint8_t* buffer) {
    if (!m_open || record >= m_recordCount || !RecordsReadable())
        return false;
    try {
        ReadStoredRecord(record, buffer);
        return true;
    } catch (const CException&) {
        return false;
    }
}

void CxBaseDatabase::Attach(CxBaseRecord* record) {
    record->m_prev = nullptr;
    record->m_next = m_live;
    if (m_live != nullptr)
        m_live->m_prev = record;
    m_live = record;
}

void CxBaseDatabase::Detach(CxBaseRecord* record) {
    if (record->m_prev != nullptr)
        record->m_prev->m_next = record->m_next;
    else if (m_live == record)
        m_live = record->m_next;
    if (record->m_next != nullptr)
        record->m_next->m_prev = record->m_prev;
    record->m_prev = record->m_next = nullptr;
}

bool CxBaseDatabase::Recycle(CxBaseRecord* record) {
    if (m_spare != nullptr || !m_open)
        return false;
    Detach(record);
    m_spare = record;
    return true;
}

void CxBaseDatabase::DetachAll() {
    while (m_live != nullptr) {
        CxBaseRecord* r = m_live;
        m_live = r->m_next;
        r->Cut();
    }
    if (m_spare != nullptr) {
        CxBaseRecord* spare = std::exchange(m_spare, nullptr);
        spare->m_table = nullptr;
        delete spare;
    }
}

} // namespace fennick
