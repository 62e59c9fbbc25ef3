#pragma once
// CAttributeWriter: writes the output's attribute table (.dbf): its fields, taken from a template record,
// and one record per shape, in one of three ways: the ID number alone, the source record's values, or the
// source record's stored bytes copied whole.
//
// Fields: the template's fields are copied in order, except those named "shp_data" or "shapedata" (any
// case); a template without fields (or with only those) gets the single integer field "ID". Values are
// matched to output fields by position. Names and texts are encoded with the output's code page; a character
// it cannot hold fails the operation.
//
// Nothing is altered on the way. A field whose output field is the same field (type letter, width and
// decimals; for texts, the same code page or none declared by the input) is copied as its stored bytes,
// whatever their form: exponents, blanks, zero bytes and nulls arrive as stored. Any other value is printed
// again so that it reads back as the same value; a stored text that is no number, a text that cannot be
// decoded or needs more bytes than its field holds, and a number no text of its field's width holds fail the
// append. The texts of a table that declares no code page pass as their bytes; into an output that declares
// one they are noted (UndeclaredTextPassed), and into a UTF-8 output bytes that are no UTF-8 fail.
//
// The byte copy of whole records (PlanCopy, CopyStored) serves sources whose every field is the same field.
//
// One thread at a time; the two-thread append hands the whole table to its attribute thread.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <typeinfo>
#include <vector>

namespace fennick {

class CIString;
class CxBaseWriter;
class IFieldDesc;
class IShapeAttr;
class IStoredRecord;
class IStoredRecords;
struct CVariant;

// One field of an output whose layout the caller gives (DefineLayout): a FieldType, width and decimals as
// the inputs declare them.
struct SOutputField {
    std::u16string name;
    int type = 0;
    int width = 0;
    int decimals = 0;
    char letter = 0; // 'F' keeps a real field's letter; 0 writes the type's own
};

class CAttributeWriter {
public:
    CAttributeWriter();
    ~CAttributeWriter();
    CAttributeWriter(const CAttributeWriter&) = delete;
    CAttributeWriter& operator=(const CAttributeWriter&) = delete;

    // Encodes text with the code page (rules of CShpFile::SetCodePage), cut on a character boundary so it
    // takes at most maxBytes bytes. False when a character cannot be encoded.
    static bool EncodeText(int codePage, std::u16string_view text, std::size_t maxBytes, std::string& out);

    // The code page names and texts are encoded with (rules of CShpFile::SetCodePage); set before Create.
    void SetCodePage(int codePage) { m_codePage = codePage; }
    // The language driver byte the table's header declares (0: none); set before Create.
    void SetLanguageDriver(uint8_t id) { m_languageDriver = id; }
    // Creates the table file at path. Raises on failure.
    // With writeBehind, written out to the disk every few MB as it is written.
    void Create(const std::u16string& path, bool writeBehind = false);
    // Whether a field of this name is left out of the output ("shp_data", "shapedata", any case).
    static bool IsSkippedField(std::u16string_view name);
    // Bytes a field name takes at most; a longer name is cut on a character boundary.
    static constexpr std::size_t kNameBytes = 10;

    // Adds the fields of the template record (null: none), and the ID field when that leaves none.
    void DefineFields(IShapeAttr* templateRecord);
    // Adds the given fields instead (and the ID field when there are none). Each source then states which of
    // its fields feeds which output field (SetSourceFields) instead of matching them by position.
    void DefineLayout(const std::vector<SOutputField>& fields);
    // For the records of the next source, after DefineLayout: output field i takes source field sources[i],
    // or a null when that is kNoSource, or the text constant when it is kConstant. Raises when the constant
    // cannot be encoded or is wider than its field.
    static constexpr int kNoSource = -1;
    static constexpr int kConstant = -2;
    void SetSourceFields(const std::vector<int>& sources, std::u16string_view constant);
    // Whether records of the source are read for their values: false when every output field is a null or
    // the constant (WriteFixed then writes them).
    bool ReadsSource() const { return !m_byLayout || m_readsSource; }
    // Writes an output record of nulls and the constant alone.
    void WriteFixed(int32_t record);
    // Whether records take their values from the source: false for a table of the ID field alone.
    bool TakesValues() const;
    bool HasIdField() const { return m_idField; }
    // Writes an output record of the ID field.
    void WriteId(int32_t record, int32_t number);

    // Starts the records of another source: record objects it hands out may take the last one's addresses,
    // and its stored records are not planned for yet.
    void BeginSource();
    // Matches the fields of a record of the source to the output's fields; before Write.
    void MapFields(IShapeAttr* record);
    // Writes a record's values as an output record.
    void Write(int32_t record, IShapeAttr* values);
    // Prepares CopyStored for the source's stored records, after MapFields: only when every mapped field is
    // the same field in the source and the output.
    void PlanCopy(IStoredRecords& table);
    // Copies a stored record's field bytes as Write would copy them; false, with nothing written, when there
    // is no plan or the record must be written through Write (a text of an undeclared code page that is not
    // ASCII, which Write notes and checks).
    bool CopyStored(IStoredRecords& table, uint32_t record, int32_t output);
    // When the plan copies whole records unchanged (the same fields in the same places, nothing added, no
    // text to check), appends up to count records from record on as output records from output (the next
    // one) as CopyStored would, their bytes moved inside the kernel; stops at a record marked deleted.
    // Returns the records appended, 0 when the plan or the table does not allow it.
    int32_t CopyStoredRun(IStoredRecords& table, uint32_t record, int32_t output, int32_t count);
    // Whether a text of the source's table, which declares no code page, went into an output that declares
    // one as bytes that are not ASCII, since BeginSource.
    bool UndeclaredTextPassed() const { return m_undeclaredPassed; }

    // Takes back output record `record`, the newest, whose writing failed, so that the next record takes its
    // number; messages go on counting the input's records. False when it already reached the file.
    bool Retract(int32_t record);

    // Finishes the table file and closes it. Raises on a write error.
    void Close();
    // Closes the table file as it is, for a writer that deletes it.
    void Discard();

private:
    // One output field fed from a source field.
    struct SFieldMap {
        int source = 0;
        int output = 0;
        int type = 0; // FieldType of the source field, or kIntegerAsReal
        int width = 0;
        int decimals = 0;        // of the output field
        std::u16string name;     // for messages
        bool same = false;       // the same field in source and output: copied as its stored bytes
        bool undeclared = false; // a text of a table without code page into an output with one
    };

    // An integer source field written into a real output field: never as its stored text.
    static constexpr int kIntegerAsReal = -1;

    // The form in which a field's stored text is written as it is, when the text is plain.
    enum class EStoredForm { none, integer, fixed, date, text };
    static EStoredForm StoredFormOf(const SFieldMap& field, char storedType);
    // Adds one output field of a FieldType (a real one as F when letter is 'F'); raises for a type the table
    // cannot hold or a name the code page cannot write.
    void AddOutputField(std::u16string_view name, int type, int width, int decimals, char letter = 0);
    // Marks field same when the stored record's field is the output's own (letter, width, decimals, code
    // page).
    void MarkSame(SFieldMap& field, IFieldDesc& desc, const IStoredRecord* stored) const;
    // Copies a same field's stored bytes.
    void CopySame(int32_t record, const SFieldMap& field, const IStoredRecord& stored);
    // Notes a text of an undeclared code page passing into a declared output; fails bytes that are no UTF-8
    // for a UTF-8 output.
    void PassUndeclared(int32_t record, const SFieldMap& field, std::string_view bytes);
    // The single integer field "ID" for a table that has no field otherwise.
    void AddIdFieldWhenEmpty();
    // MapFields for a source by layout.
    void MapByLayout(IFieldDesc& desc);
    // Writes the nulls and the constant of a source by layout into an output record.
    void WriteFilled(int32_t record);

    // Which stored texts of a source code page are written as exactly their bytes.
    enum class EPassage { none, ascii, any };
    EPassage TextPassage(int sourceCodePage);

    std::unique_ptr<CxBaseWriter> m_dbf;
    int m_codePage = 0;
    uint8_t m_languageDriver = 0;
    int m_skipped = 0;
    bool m_idField = false;
    std::vector<int> m_outputWidths;
    std::vector<int> m_outputDecimals;
    std::vector<int> m_outputTypes; // FieldType, with DefineLayout

    // The source's fields by layout (DefineLayout, SetSourceFields); all unused when matched by position.
    bool m_byLayout = false;
    bool m_readsSource = true;
    std::vector<int> m_sourceOf;   // per output field: a source field, kNoSource or kConstant
    std::vector<int> m_nullFields; // output fields written as nulls
    int m_constantField = -1;
    std::string m_constant; // encoded and padded to its field's width

    // Reused for every record.
    std::vector<SFieldMap> m_fieldMap;
    std::unique_ptr<CIString> m_text;
    std::unique_ptr<CVariant> m_value;
    std::string m_bytes;
    std::u16string m_wide;
    bool m_asciiOutput = false; // the output code page writes ASCII characters as their bytes
    int m_asciiCodePage = 0;    // the source code page m_asciiSource was found for
    bool m_asciiSource = true;  // ... whose ASCII bytes decode to the same characters
    // Fails the append for a value of field at output record: "Record N, field F: why", N counted in the
    // input.
    [[noreturn]] void FailValue(int32_t record, const SFieldMap& field, const std::u16string& why) const;
    // The same for a value the input could not deliver, with the reader's reason when it left one.
    [[noreturn]] void FailRead(int32_t record, const SFieldMap& field) const;
    // Fails the append when a value writer refused text (the value as stored, or empty) for not fitting.
    void Check(int32_t record, const SFieldMap& field, int written, std::string_view text) const;

    // Writes a field from the source's stored text when its form allows; false when the value must be
    // taken through the record's values instead.
    bool WriteStored(int32_t record, const SFieldMap& field, const IStoredRecord& stored);
    // Writes a field from the record's typed value or text.
    void WriteValue(int32_t record, const SFieldMap& field, IShapeAttr* values);
    // Encodes text with the output's code page and writes it; fails when it cannot be held or does not fit.
    void EncodeAndWrite(int32_t record, const SFieldMap& field, std::u16string_view text);
    void WriteTextBytes(int32_t record, const SFieldMap& field, std::string_view bytes);

    int32_t m_sourceStart = -1;          // the output record of the input's first record
    IShapeAttr* m_queriedFrom = nullptr; // the record object last seen, and its stored side (or null)
    const IStoredRecord* m_queried = nullptr;
    const std::type_info* m_plainType = nullptr; // a record type that keeps no stored form

    // Fields a stored record's bytes are copied for (empty: no copying), and the record read for it.
    struct SPlainField {
        uint32_t from = 0; // offset in the source record
        uint32_t to = 0;   // offset in the output record
        uint32_t width = 0;
        bool asciiOnly = false; // a text of an undeclared code page: copied here only when ASCII
    };
    std::vector<SPlainField> m_plainFields;
    std::vector<SPlainField> m_copiedFields; // m_plainFields, and the constant from behind the record
    std::vector<uint8_t> m_plainRecord;
    bool m_wholeRecords = false; // the plan copies every byte of a record behind its flag, in place
    bool m_undeclaredPassed = false;
};

} // namespace fennick
