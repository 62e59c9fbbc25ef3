#pragma once
// CxBaseDatabase: reads an xBase (.dbf) table: header, field descriptors, code page (language driver byte,
// then a .cpg side file), and one record at a time as a counted CxBaseRecord. It is also the IFieldDesc of
// its fields, with names decoded in the table's code page.
//
// The header length gives the data start and the room for descriptors, (length - 33) / 32 of them; a 0x0D
// where a descriptor would start ends them early (a trailing area follows), and after a full set the header
// ends with 0x0D, 0x0A or a zero byte. A table without fields holds deletion flags alone. Records are located
// by the descriptors' widths; the header's record length is not used.
//
// Every structural fault raises a format error that says what is wrong (which byte, which count): a short
// header, a header length below 33, a data start beyond 2^31 - 1, a descriptor without a zero byte in its
// name area or with an unknown type letter, a record longer than 65535 bytes, another byte where the header
// ends, a short record.

#include "data/IFieldDesc.h"
#include "data/Ref.h"
#include "platform/IFile.h"
#include "platform/SysFile.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace fennick {

class CxBaseRecord;

// One field as described in the table's header.
struct SDbfField {
    char name[11] = {}; // up to 10 bytes, zero-terminated; cut at the first space
    char type = 'C';
    uint16_t offset = 0; // within the record; the deletion flag is byte 0
    uint16_t width = 0;
    uint16_t decimals = 0;
};

// What a record knows of its table.
class CxBaseRecordSink {
public:
    virtual IFile* GetFile() = 0;
    virtual int64_t GetDataStart() = 0;
    virtual uint16_t GetRecordLength() = 0;
    virtual int GetFieldCount() = 0;
    virtual void GetFieldInfo(SDbfField& field, int index) = 0;
    virtual int GetCodePage() = 0;
    virtual void Open(const std::u16string& path, unsigned mode, unsigned extraMode,
                      std::u16string_view password) = 0;

protected:
    ~CxBaseRecordSink() = default;
};

class CxBaseDatabase : public CxBaseRecordSink, public IFieldDesc {
public:
    static constexpr uint64_t kCacheSize = 10240;

    CxBaseDatabase();
    // Closes the table. Records still alive are cut off from it: their operations then return 0.
    ~CxBaseDatabase();
    CxBaseDatabase(const CxBaseDatabase&) = delete;
    CxBaseDatabase& operator=(const CxBaseDatabase&) = delete;

    // Opens the table (mode | extraMode; the shapefile source passes 0x40 and 0) and reads its header. A
    // table already open raises a not-supported error; a file that cannot be opened, or any structural
    // fault, raises a format error and leaves the table closed. With a non-empty password the file is read
    // through decryption.
    void Open(const std::u16string& path, unsigned mode, unsigned extraMode,
              std::u16string_view password) override;
    // Open, except that a file that does not exist gives false, nothing open, instead of an error.
    bool OpenIfExists(const std::u16string& path, unsigned mode, unsigned extraMode,
                      std::u16string_view password);
    // Closes the file (aborting it when closing fails) and returns to the initial state.
    void Close();
    bool IsOpen() const { return m_open; }

    // A new record (holding one reference for the caller). A number not below the record count raises a
    // not-supported error; a short record raises a format error.
    CRef<CxBaseRecord> GetRecord(uint32_t record);
    // Reads the bytes of a record as they are stored (deletion flag first, GetRecordLength() of them) into
    // buffer, for callers that copy values without taking them apart. False, with nothing raised, where
    // GetRecord would fail.
    bool ReadRecordBytes(uint32_t record, uint8_t* buffer);
    // The file, where its records start, its length and its records, for a caller that copies records as
    // they are stored; false when they are read through decryption or cannot be read.
    bool GetPlainRecords(int& fd, uint64_t& dataStart, uint64_t& length, uint32_t& records) const;
    // Whether the layout lets records be read: 1 to 65535 fields, record length plus field count at most
    // 65535.
    bool RecordsReadable() const;
    // Reads the stored bytes of a record into buffer (GetRecordLength() of them); raises a format error for a
    // short record.
    void ReadStoredRecord(uint32_t record, uint8_t* buffer);

    uint32_t GetRecordCount() const { return m_recordCount; }
    uint8_t GetVersion() const { return m_version; }
    // The code page names and text values are decoded with; 0 is the system's default.
    int GetCodePage() override { return m_codePage; }
    void SetCodePage(int codePage) { m_codePage = codePage; }
    const SDbfField& Field(int index) const { return m_fields[static_cast<std::size_t>(index)]; }

    // CxBaseRecordSink
    IFile* GetFile() override { return m_reader.get(); }
    int64_t GetDataStart() override { return m_dataStart; }
    uint16_t GetRecordLength() override { return m_recordLength; }
    void GetFieldInfo(SDbfField& field, int index) override;

    // IFieldDesc (an index outside the fields returns 0)
    int GetFieldCount() override { return static_cast<int>(m_fields.size()); }
    int GetFieldName(int index, IString* name) override;
    int GetFieldWidth(int index) override;
    int GetFieldDecimals(int index) override;
    int GetFieldType(int index) override;

    // The field type code (FieldType) of a type letter and decimal count.
    static int FieldTypeOf(char type, int decimals);
    // The code page a language driver byte stands for; 0 when it names none.
    static int CodePageOfLanguageDriver(uint8_t id);
    // The first language driver byte that stands for the code page; 0 when none does (UTF-8).
    static uint8_t LanguageDriverOf(int codePage);
    // The code page the first line of a .cpg file names (CodePageOfName); 0 for an empty line, -1 for a text
    // that names no code page known here.
    static int CodePageOfCpgText(std::string_view line);

private:
    friend class CxBaseRecord;

    void ReadHeader(const std::u16string& path);
    void ResetState();
    // Records in use link themselves here so that closing the table can cut them off; one released record
    // is kept for the next GetRecord, so walking a table costs no allocation per record.
    void Attach(CxBaseRecord* record);
    void Detach(CxBaseRecord* record);
    bool Recycle(CxBaseRecord* record);
    void DetachAll();

    int m_codePage = 0;
    CSysFile m_file;
    std::unique_ptr<IFile> m_reader;
    bool m_open = false;
    int64_t m_tableStart = 0;
    int64_t m_dataStart = 0;
    uint16_t m_recordLength = 0;
    uint32_t m_recordCount = 0;
    std::vector<SDbfField> m_fields;
    uint8_t m_version = 3;
    CxBaseRecord* m_live = nullptr;
    CxBaseRecord* m_spare = nullptr;
};

} // namespace fennick
