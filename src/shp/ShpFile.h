#pragma once
// CShpFile: writes one new shapefile (.shp, .shx, .dbf, and optionally .cpg and copied companions such as
// the .prj) from record sets.
//
// Usage (the merge):
//
//     CShpFile out;
//     out.SetCodePage(firstInputCodePage);           // before CreateOutput; > 0 also writes a .cpg
//     if (!CreateOutput(path, out, templateRecset))  // fields from the template's first attribute record
//         fail;
//     out.AddCompanionCopy(firstInputPrj, u".prj");  // optional, before CloseOutput
//     for each input: if (!AppendRecordset(out, recset)) fail;
//     if (!CloseOutput(out)) fail;                   // only now do the files appear under their names
//
// Whole or nothing: every file is written under a temporary name in the output's folder (hidden, derived
// from the output's name) and CloseOutput renames them all into place once everything was written, replacing
// any files of the output's name only then. When anything fails, or the object is destroyed without a
// successful CloseOutput, the temporary files are deleted and existing files are left as they were.
//
// Fields: the template's fields are copied in order, except those named "shp_data" or "shapedata" (any
// case); a template without attribute records gets the single integer field "ID", numbered 1, 2, 3 ...
// across all appended record sets. Values are matched to output fields by position. Names and texts are
// encoded with the output's code page; a character it cannot hold fails the operation.
//
// Shapes: points, multipoints, polylines and polygons are written in 2-D; null shapes and shapes of any other
// type become null records, which leave the file's shape type alone.
//
// Threads: a large shapefile input (kTwoThreadRecords and more, walked without a filter) is appended by two
// threads, the calling one for the shapes and a second one, joined before AppendRecordset returns, for the
// attributes; the files written are the same as one thread writes, and so is the failure reported.

#include "shp/ShpWriter.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace fennick {

class CxBaseDatabase;
class CxBaseRecord;
class CxBaseWriter;
class CShpDS;
class CRecordNumberRecset;
class CRecordRelay;
class IDirectAccess;
class IRecset;
class IShape;
class IShapeAttr;
class IFieldDesc;
class CIString;
struct CVariant;

class CShpFile {
public:
    // Shapefile inputs with at least this many records are appended in two threads, shapes and attributes
    // side by side; smaller ones in one, since starting a thread costs more than it saves.
    static constexpr int kTwoThreadRecords = 4096;

    // An empty writer: no files.
    CShpFile();
    // Deletes the temporary files unless CloseOutput succeeded.
    virtual ~CShpFile();
    CShpFile(const CShpFile&) = delete;
    CShpFile& operator=(const CShpFile&) = delete;

    // The code page of the output's field names and texts: a Windows code page number above 0, or 0 (the
    // default) for the byte-preserving rule, which writes characters U+0000..U+00FF and the signed-byte
    // units U+FF80..U+FFFF as single bytes. Set before CreateOutput. Above 0, the output gets a .cpg
    // declaring it unless a .cpg is given through AddCompanionCopy.
    void SetCodePage(int codePage) { m_codePage = codePage; }
    int GetCodePage() const { return m_codePage; }

    // Copies a file byte for byte to a temporary file that CloseOutput renames to the output's name with the
    // given extension (".prj", ".cpg"; the dot may be left out). Only after a successful CreateOutput and
    // before CloseOutput. False when it cannot be copied; the output is not affected then.
    bool AddCompanionCopy(const std::u16string& sourcePath, const std::u16string& extension);

    // The message of the last failure of CreateOutput, AppendRecordset, CloseOutput or AddCompanionCopy;
    // empty when the failure carried no text.
    const std::u16string& GetLastError() const { return m_lastError; }

    // The .cpg text declaring a code page, in the form GDAL and this program's .cpg reader both accept where
    // one exists ("UTF-8" for 65001, the number for Windows and DOS code pages, ESRI's "8859N" names for
    // ISO 8859 pages); empty for code pages of 0 and below.
    static std::string CpgText(int codePage);

    // Encodes text with the code page (rules of SetCodePage), cut on a character boundary so it takes at most
    // maxBytes bytes. False when a character cannot be encoded.
    static bool EncodeText(int codePage, std::u16string_view text, std::size_t maxBytes, std::string& out);

private:
    friend int CreateOutput(const std::u16string& path, CShpFile& file, IRecset* templateSet, int reserved);
    friend int AppendRecordset(CShpFile& file, IRecset* recordset);
    friend int CloseOutput(CShpFile& file);

    enum class State { empty, created, closed, failed };

    // A file written under a temporary name and renamed to its final name by the commit.
    struct SPlaced {
        std::u16string temp;
        std::u16string final;
    };

    // One output field fed from a source field.
    struct SFieldMap {
        int source = 0;
        int output = 0;
        int type = 0;
        int width = 0;
        int decimals = 0;    // of the output field
        std::u16string name; // for messages
    };

    void Create(const std::u16string& path, IRecset* templateSet);
    void Append(IRecset* recordset);
    // Append for a set whose walk and shapes touch only the geometry files of a source that reads its
    // attributes from a file of their own: the attributes are written by a second thread. False, with
    // nothing done, when that thread cannot be started.
    bool AppendInTwoThreads(CRecordNumberRecset* records, CShpDS* source);
    // The second thread's part: the attributes of the relayed record numbers, as output records from first.
    void WriteRelayedAttributes(CShpDS* source, CRecordRelay& relay, int32_t first, int32_t& done);
    // Prepares CopyPlainRecord for a table once the field map is built: every mapped field must be one
    // whose stored bytes, when in plain form, are exactly what WriteAttributes would write for them.
    void PlanPlainCopy(CxBaseDatabase& table);
    // Copies a record's field bytes as they are stored when each is in that plain form (texts that pass
    // through as their bytes without blanks to trim, numbers in printed form); false, with nothing written,
    // when the record cannot be copied so and must take the way through its values.
    bool CopyPlainRecord(CxBaseDatabase& table, uint32_t record, int32_t output);
    void Close();
    void AddFields(IShapeAttr* attributes);
    void BuildFieldMap(IShapeAttr* attributes);
    void WriteShape(IShape* shape);
    void WriteAttributes(int32_t record, IShapeAttr* attributes);
    // Whether a table text of the given code page is written as exactly its bytes (cut to the width).
    bool PassesThrough(int sourceCodePage, std::string_view text);
    void WriteCpg(const std::u16string& path) const;
    void Commit();
    // Runs one entry point's work when the writer is in the required state: 1 on success; 0 after an error,
    // which is kept as the last error and removes the temporary files for good.
    template <class Body> int Guard(State required, Body&& body);
    void RemoveTemporaries();
    std::u16string TempPath(const std::u16string& extension) const;

    CShpWriter m_writer;
    std::unique_ptr<CxBaseWriter> m_dbf;
    std::u16string m_dbfPath;
    int32_t m_record = -1;
    int32_t m_skipped = 0;
    bool m_idField = false;

    int m_codePage = 0;
    State m_state = State::empty;
    std::u16string m_lastError;
    std::u16string m_outputDir;  // folder of the output, with its separator
    std::u16string m_outputBase; // base name of the output
    std::u16string m_tempBase;   // base name of the temporary files
    std::vector<SPlaced> m_placed;
    bool m_cpgGiven = false;

    // Reused for every record.
    std::vector<SFieldMap> m_fieldMap;
    std::vector<int> m_outputWidths;
    std::vector<int> m_outputDecimals;
    std::vector<int32_t> m_partCounts; // of the shape being written
    std::unique_ptr<CIString> m_text;
    std::unique_ptr<CVariant> m_value;
    std::string m_bytes;
    bool m_asciiOutput = false;       // the output code page writes ASCII characters as their bytes
    int m_asciiCodePage = 0;          // the source code page m_asciiSource was found for
    bool m_asciiSource = true;        // ... whose ASCII bytes decode to the same characters
    IShapeAttr* m_castFrom = nullptr; // the attribute object last seen, and it as a table record (or null)
    CxBaseRecord* m_castTo = nullptr;

    // Fields a record's bytes are copied for (empty: no copying), and the record read for it.
    struct SPlainField {
        uint32_t from = 0; // offset in the source record
        uint32_t to = 0;   // offset in the output record
        uint32_t width = 0;
        int decimals = 0;
        enum Kind { text, integer, fixed } kind = text;
    };
    std::vector<SPlainField> m_plainFields;
    std::vector<uint8_t> m_plainRecord;
    bool m_plainAsciiOnly = false; // texts pass through only when ASCII
};

// Creates the output files from the fields of the template's first attribute record. The fourth argument
// is not used. 1, or 0 on any failure (nothing then remains on disk).
int CreateOutput(const std::u16string& path, CShpFile& file, IRecset* templateSet, int reserved = 0);
// Appends every record of the set (shape and attributes). 1 (also for an empty set), or 0 on any failure;
// a failed append leaves the output unusable, so CloseOutput fails too.
int AppendRecordset(CShpFile& file, IRecset* recordset);
// Finishes all files and renames them into place. 1, or 0 when anything failed (nothing then remains).
int CloseOutput(CShpFile& file);

} // namespace fennick
