#pragma once
// CxBaseWriter: writes a new xBase (.dbf) table, one record at a time.
//
// Usage (the shapefile writer):
//
//     CFileException error(CFileException::none, {});
//     auto dbf = CxBaseWriter::Create(u"out.dbf", &error);  // null when the file cannot be created
//     dbf->SetCodePage(1252);                               // for WriteText and wide names; < 0: low bytes
//     dbf->AddField(u"NAME", CxBaseWriter::typeText, 20, 0);     // -> field index, or -1 when refused
//     dbf->AddField(u"POP", CxBaseWriter::typeInteger, 10, 0);
//     for (int32_t r = 0; r < n; ++r) {                     // a new record starts with the next record
//     number
//         dbf->WriteText(r, 0, name[r]);                    // raises when the code page cannot hold a
//         character dbf->WriteInt64(r, 1, pop[r]);
//     }
//     dbf->Close();                                         // header, last record, date and record count
//
// Layout written: a 32-byte header (0x03, date 95/7/26 once a value was written, record count, header length
// 32 * (fields + 1) + 1, record length 1 + sum of widths, no language driver), 32 bytes per field, 0x0D, then
// the records, each starting with a space as its deletion flag; no end-of-file byte and no .cpg.
//
// Values go into one reused record buffer and reach the file when another record becomes current or at
// Close; whole records are gathered into one output block, so appending costs no allocation and few system
// calls. Every write is checked: a failed or short write raises CFileException (at the latest from Close),
// so a full disk never passes as success. Fields can be added only before the first value is written.

#include "platform/Exceptions.h"
#include "platform/SysFile.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace fennick {

class CxBaseWriter {
public:
    // Field kinds of AddField and the letters they are written with.
    enum FieldKind : int {
        typeText = 0,    // C
        typeInteger = 1, // N without decimals
        typeReal = 2,    // N with decimals
        typeLogical = 3, // L
        typeDate = 4,    // D, 8 wide: YYYYMMDD
        typeFloat = 5,   // F, a real number with or without decimals
    };

    // Creates (or truncates) the file. Null when it cannot be opened; error then tells why.
    // With writeBehind, the data is written out to the disk every few MB as it is written
    // (CFile::osWriteBehind).
    static std::unique_ptr<CxBaseWriter> Create(const std::u16string& path, CFileException* error = nullptr,
                                                bool writeBehind = false);

    // Finishes the table when Close was not called, ignoring errors.
    ~CxBaseWriter();
    CxBaseWriter(const CxBaseWriter&) = delete;
    CxBaseWriter& operator=(const CxBaseWriter&) = delete;

    // The code page WriteText and the wide AddField encode with: a Windows code page number (0 is the
    // byte-preserving ISO-8859-1 here), or a negative value for the low byte of every UTF-16 unit.
    // The default is -1.
    void SetCodePage(int codePage) { m_codePage = codePage; }
    int GetCodePage() const { return m_codePage; }
    // The language driver byte the header declares its code page with (0, the default, declares none).
    void SetLanguageDriver(uint8_t id) { m_languageDriver = id; }

    // Adds a field; returns its index, or -1 when refused: a record or the header already exists, a kind
    // other than typeReal with decimals, an unknown kind, a date not 8 wide, or a width or decimal count the
    // format cannot store (above 255, or above 65535 for text; a record longer than 65535 bytes; more than
    // 2046 fields). The name's first 10 bytes are kept; the wide form encodes it with the code page (cut on a
    // character boundary) and raises CGenericEx when the code page cannot hold it.
    int AddField(std::string_view name, int kind, int width, int decimals);
    int AddField(std::u16string_view name, int kind, int width, int decimals);

    int GetFieldCount() const { return static_cast<int>(m_fields.size()); }
    int32_t GetRecordCount() const { return m_recordCount; }

    // Value writers: record is 0-based and may be any existing record or the next one (GetRecordCount()),
    // which starts a new record of spaces. They return 1, or 0 when the record number is outside
    // 0 .. GetRecordCount(), the field index is out of range, or the value does not fit the field (the field
    // is then left as it was: nothing is ever stored cut). File errors raise.
    //
    // Numeric fields (N, F) print right-aligned so that the text reads back as the same number: with the
    // field's decimals when that is exact (a whole number without decimals as an integer, WriteInt64
    // exactly), else the shortest text that reads back the same (in exponent form where that is shorter);
    // a value no such text of the width holds, or one that is not finite, does not fit. Text and date fields
    // (C, D) take the text padded with spaces. Logical fields (L) store a first character T, F or ? and
    // ignore anything else. A number written to a text or logical field goes in as its shortest text; a text
    // written to a numeric field is read as a number first (an empty one is a null).
    int WriteInteger(int32_t record, int field, int32_t value);
    int WriteInt64(int32_t record, int field, int64_t value);
    int WriteDouble(int32_t record, int field, double value);
    // 8-bit text, written as it is.
    int WriteString(int32_t record, int field, std::string_view text);
    // A number already in the printed form of the field (see IsPlainInteger and IsPlainFixed, with the
    // field's decimals): stored as WriteInt64 or WriteDouble would store its value, without reading and
    // printing it again. Other texts would be stored unchecked. Into a text field it goes like WriteString.
    int WriteNumberText(int32_t record, int field, std::string_view text);
    // Bytes of exactly the field's width, stored as they stand (a field copied from a table where it is the
    // same field); 0 when the length is not the width.
    int WriteFieldBytes(int32_t record, int field, std::string_view bytes);
    // A null as GDAL's shapefile driver stores one: asterisks in a number, zeros in a date, "?" in a
    // logical, blanks in a text.
    int WriteNull(int32_t record, int field);
    // Wide text encoded with the code page. A character the code page cannot hold raises CGenericEx and
    // leaves the record as it was.
    int WriteText(int32_t record, int field, std::u16string_view text);

    // The bytes of record (deletion flag first), selected as the value writers select it and counted as
    // written, for a caller that stores field bytes already in the form the value writers would give them.
    // Valid until the next call; null when the record number is out of range or there are no fields.
    uint8_t* EditRecord(int32_t record);
    // Appends up to count records of another table of this record length as they are stored there, from
    // offset from of the file in (length bytes long), their bytes moved inside the kernel: records up to the
    // first that is marked deleted (it would be written active) or lies beyond the file. Returns the records
    // appended; raises on a write error.
    int32_t AppendCopied(int in, uint64_t from, uint64_t length, int32_t count);
    // Forgets the newest record while it is the current one, so that nothing of it reaches the file; false
    // (nothing done) when the current record is another or is already on its way to the file.
    bool DropNewestRecord();
    // Where a field lies in a record, its width and its type letter; false for an index out of range.
    bool GetFieldLayout(int field, uint32_t* offset, uint32_t* width, char* type) const;

    // Writes the header if it is not written yet, the current record, and, when any value was written, the
    // date 95/7/26 and the record count; then closes the file. Raises on a write or close error. Later calls
    // do nothing.
    void Close();

private:
    struct SField {
        uint32_t offset = 1;
        uint32_t width = 0;
        uint32_t decimals = 0;
        char type = 'C';
    };

    CxBaseWriter() = default;

    // Makes record current (starting it when it is the next one); false when the number is out of range.
    bool SelectRecord(int32_t record, int field);
    void WriteHeader();
    void WriteBackCurrent();
    void FlushPending();
    // Each stores a value into the current record; false, with nothing stored, when it does not fit.
    bool StoreNumberText(const SField& f, const char* text, std::size_t length);
    bool StoreText(const SField& f, std::string_view text);
    bool StoreDouble(const SField& f, double value);
    bool StoreInt64(const SField& f, int64_t value);
    void StoreNull(const SField& f);
    void MarkWritten();

    CSysFile m_file;
    bool m_open = false;
    int m_codePage = -1;
    uint8_t m_languageDriver = 0;
    int32_t m_recordCount = 0;
    uint32_t m_recordLength = 1;
    uint32_t m_headerLength = 33;
    std::vector<SField> m_fields;
    std::vector<uint8_t> m_descriptors; // 32 bytes per field, as written
    int32_t m_current = -1;
    bool m_modified = false;
    std::vector<uint8_t> m_record; // the current record's bytes
    bool m_headerPending = true;
    bool m_updated = false;
    // Whole records waiting to be written at m_pendingStart, contiguous.
    std::vector<uint8_t> m_pending;
    uint64_t m_pendingStart = 0;
    std::string m_scratch;             // encoded text, reused
    std::vector<uint8_t> m_copyBuffer; // AppendCopied's records when they are read rather than mapped
};

} // namespace fennick
