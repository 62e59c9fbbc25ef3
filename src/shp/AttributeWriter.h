#pragma once
// CAttributeWriter: writes the output's attribute table (.dbf): its fields, taken from a template record,
// and one record per shape, in one of three ways: the ID number alone, the source record's values, or the
// source record's stored bytes copied whole.
//
// Fields: the template's fields are copied in order, except those named "shp_data" or "shapedata" (any
// case); a template without fields (or with only those) gets the single integer field "ID". Values are
// matched to output fields by position. Names and texts are encoded with the output's code page; a character
// it cannot hold fails the operation. Nothing is altered on the way: a stored text whose code page is the
// output's passes as its bytes; one that cannot be decoded, or needs more bytes than its field holds, fails
// the append; a null is written as a null; a number that does not fit its field fails.
//
// Stored texts: a field of a record that offers its stored texts (IStoredRecord) is written from its text,
// without the round trip through wide text and typed values, when the text is what writing its value would
// give. StoredFormOf alone decides for which fields that may be so; the byte copy of whole records
// (PlanCopy, CopyStored) rests on the same choice, so both ways write the same bytes.
//
// One thread at a time; the two-thread append hands the whole table to its attribute thread.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace fennick {

class CIString;
class CxBaseWriter;
class IShapeAttr;
class IStoredRecord;
class IStoredRecords;
struct CVariant;

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
    // Creates the table file at path. Raises on failure.
    void Create(const std::u16string& path);
    // Adds the fields of the template record (null: none), and the ID field when that leaves none.
    void DefineFields(IShapeAttr* templateRecord);
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
    // Prepares CopyStored for the source's stored records, after MapFields: every mapped field must be one
    // whose stored bytes, when in plain form, are exactly what Write would write for them.
    void PlanCopy(IStoredRecords& table);
    // Copies a stored record's field bytes when each is in that plain form (texts that pass through as their
    // bytes without blanks to trim, numbers in printed form); false, with nothing written, when the record
    // cannot be copied so and must be written through its values.
    bool CopyStored(IStoredRecords& table, uint32_t record, int32_t output);

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
        int type = 0; // FieldType of the source field
        int width = 0;
        int decimals = 0;    // of the output field
        std::u16string name; // for messages
    };

    // The form in which a field's stored text is written as it is, when the text is plain.
    enum class EStoredForm { none, integer, fixed, date, text };
    static EStoredForm StoredFormOf(const SFieldMap& field, char storedType);

    // Which stored texts of a source code page are written as exactly their bytes.
    enum class EPassage { none, ascii, any };
    EPassage TextPassage(int sourceCodePage);

    std::unique_ptr<CxBaseWriter> m_dbf;
    int m_codePage = 0;
    int m_skipped = 0;
    bool m_idField = false;
    std::vector<int> m_outputWidths;
    std::vector<int> m_outputDecimals;

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

    // Fields a stored record's bytes are copied for (empty: no copying), and the record read for it.
    struct SPlainField {
        uint32_t from = 0; // offset in the source record
        uint32_t to = 0;   // offset in the output record
        uint32_t width = 0;
        int decimals = 0;
        EStoredForm form = EStoredForm::text;
    };
    std::vector<SPlainField> m_plainFields;
    std::vector<uint8_t> m_plainRecord;
    bool m_plainAsciiOnly = false; // texts pass through only when ASCII
};

} // namespace fennick
