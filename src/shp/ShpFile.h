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
// any files of the output's name only then (COutputFiles). When anything fails, or the object is destroyed
// without a successful CloseOutput, the temporary files are deleted and existing files are left as they were.
//
// Fields: the template's fields are copied in order, except those named "shp_data" or "shapedata" (any
// case); a template without attribute records gets the single integer field "ID", numbered 1, 2, 3 ...
// across all appended record sets. Values are matched to output fields by position, unless the caller gives
// the fields and, for each record set, which of its fields feeds each (SetFieldLayout). Names and texts are
// encoded with the output's code page; a character it cannot hold fails the operation (CAttributeWriter).
//
// Shapes: points, multipoints, polylines and polygons are written in the output's variant (SetShapeVariant):
// a record read in that variant, measures included, is copied as its bytes; any other gets z 0 and m "no
// data" where it has none (and loses what the variant cannot hold). Null shapes and shapes of any other type
// become null records, which leave the file's shape type alone.
//
// Coordinate systems: with a point conversion set (SetPointConversion), every point of the records appended
// is converted on the way, heights too, and the boxes follow the converted points; no record is copied as its
// bytes then.
//
// Stored records: a shapefile input walked whole without a filter, into an XY output without conversion, has
// its shape records copied as they are stored (CShpWriter::AppendStored) and its attribute records in runs
// where the fields allow, each record checked first; a record the copy cannot take is written as below. The
// files are byte for byte what writing record by record gives.
//
// Threads: a large shapefile input (kTwoThreadRecords and more, walked without a filter) is appended by two
// threads, the calling one for the shapes and a second one, joined before AppendRecordset returns, for the
// attributes (and the copy of stored shapes writes from a third); the files written are the same as one
// thread writes, and so is the failure reported. A smaller input's stored records are copied in the calling
// thread alone.

#include "data/GeoTypes.h"
#include "data/Ref.h"
#include "platform/ByteBuffer.h"
#include "shp/AttributeWriter.h"
#include "shp/OutputFiles.h"
#include "shp/ShpWriter.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace fennick {

class CException;
class CRecordRelay;
class IDirectAccess;
class IPointConversion;
class IRecordNumberWalk;
class IRecset;
class IShape;
class IShapeAttr;
class IStoredRecords;
struct SStoredShapeFiles;

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
    void SetCodePage(int codePage) {
        m_codePage = codePage;
        m_attributes.SetCodePage(codePage);
    }
    int GetCodePage() const { return m_codePage; }
    // Whether the .dbf's header declares the code page too, in its language driver byte, where one stands
    // for it (not for UTF-8). Set after SetCodePage, before CreateOutput.
    void SetLanguageDriver(bool declare);

    // The variant (ShapeVariant) of every shape written: VARIANT_XY (the default), VARIANT_M or VARIANT_Z.
    // Set before the first append.
    void SetShapeVariant(int variant) { m_variant = variant; }
    // The shape type (a ShapeType code) the inputs' headers state, which the output's header states in the
    // output's variant whatever its records are; set before CloseOutput. Without it the header takes the
    // type of the last shape written.
    void SetShapeType(int type) { m_shapeType = type; }

    // Whether an existing output may be replaced (the default). When not, CreateOutput fails if any file of
    // the output's set exists, checked under the output's lock. Set before CreateOutput.
    void SetOverwrite(bool overwrite) { m_overwrite = overwrite; }
    // Whether the new files reach the disk before they take their names (the default; COutputFiles::SetSync).
    // Set before CreateOutput.
    void SetSync(bool sync) { m_sync = sync; }

    // Gives the output these fields instead of the template's (set before CreateOutput, which then needs no
    // template record). Each record set appended must then be preceded by SetSourceFields.
    void SetFieldLayout(std::vector<SOutputField> fields) {
        m_layout = std::move(fields);
        m_byLayout = true;
    }
    // For the next record set, after SetFieldLayout: which of its fields feeds each output field, or
    // CAttributeWriter::kNoSource (a null) or kConstant (the text constant). False, with the failure kept
    // for the caller (platform/Boundary.h), when the constant cannot be written into its field.
    bool SetSourceFields(const std::vector<int>& sources, std::u16string_view constant);
    // Converts the points of the records appended from now on, as SetPointConversion(nullptr) (the default)
    // ends it. The caller keeps the object alive while it is set. A record with a point that cannot be
    // converted fails the append, naming the record.
    void SetPointConversion(IPointConversion* conversion) { m_conversion = conversion; }
    // When set, a record that cannot be read or written (its shape or attributes unreadable, a value that
    // does not fit or cannot be encoded, a shape that cannot be written) is left out of all three files,
    // which stay aligned, and reported here with its number in the input (from 1) and why; the append goes
    // on in one thread. Write errors, the size limit and lost memory still fail the append. Unset (the
    // default), the first such record fails it.
    void SetSkipBadRecords(std::function<void(long long record, const std::u16string& reason)> onSkipped) {
        m_onSkipped = std::move(onSkipped);
    }
    // When set, called on the calling thread every kProgressRecords records of each append with the number
    // of its records done so far, so that a progress display can follow records within an input.
    void SetRecordProgress(std::function<void(long long done)> onRecords) {
        m_onRecords = std::move(onRecords);
    }
    static constexpr long long kProgressRecords = 4096;

    // Copies a file byte for byte to a temporary file that CloseOutput renames to the output's name with the
    // given extension (".prj", ".cpg"; the dot may be left out). Only after a successful CreateOutput and
    // before CloseOutput. False, with the failure kept for the caller, when it cannot be copied; the output
    // is not affected then.
    bool AddCompanionCopy(const std::u16string& sourcePath, const std::u16string& extension);
    // The same for a companion whose bytes are given (a ".prj" from a coordinate system text).
    bool AddCompanionText(const std::string& bytes, const std::u16string& extension);

    // The records written since CreateOutput (records left out through SetSkipBadRecords not counted).
    int32_t GetRecordCount() const { return m_record + 1; }
    // Whether the last record set appended came from a table that declares no code page and brought texts
    // that are not ASCII into an output that declares one (they pass as their bytes).
    bool UndeclaredTextPassed() const { return m_attributes.UndeclaredTextPassed(); }

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

    void Create(const std::u16string& path, IRecset* templateSet);
    void Append(IRecset* recordset);
    // Append for a set that walks a source's record numbers, where the source reads its shapes and its
    // stored attribute records from files of their own: the attributes are written by a second thread.
    // False, with nothing done, when that thread cannot be started.
    bool AppendInTwoThreads(IRecset& records, IRecordNumberWalk& walk, IDirectAccess& source,
                            IStoredRecords& stored);
    // Whether the walk's shapes can be copied as stored (CShpWriter::AppendStored): a plain shapefile walked
    // whole, nothing converted, and the XY variant; files then names its files.
    bool CopiesShapes(IRecordNumberWalk& walk, IDirectAccess& source, SStoredShapeFiles& files) const;
    // FENNICK_SHP_COPY: 0 (no copy), 1 (the copy in threads for inputs of any size) or -1 (the default).
    static int StoredCopySetting();
    // The attributes of count walked records as output records from first, runs of them copied as stored;
    // done counts the records written.
    void WriteStoredRun(IDirectAccess& source, IStoredRecords& stored, int32_t first, int32_t count,
                        int32_t& done);
    // Append with the shapes copied as stored while a second thread writes the attributes (for a small input,
    // one after the other in the calling thread); a record the copy cannot take sends the shapes record by
    // record. False, with nothing done, when the thread cannot start.
    bool AppendCopyingShapes(IRecset& records, IRecordNumberWalk& walk, IDirectAccess& source,
                             IStoredRecords& stored, const SStoredShapeFiles& files);
    // The same walk in the calling thread alone, for sets too small to pay for a second thread: the shape
    // and then the attributes of each record, read and written as the two threads do.
    void AppendWalked(IRecset& records, IRecordNumberWalk& walk, IDirectAccess& source,
                      IStoredRecords& stored);
    // The second thread's part: the attributes of the relayed record numbers, as output records from first.
    void WriteRelayedAttributes(IDirectAccess& source, IStoredRecords& stored, CRecordRelay& relay,
                                int32_t first, int32_t& done);
    // What a walk reads its shapes into, kept from record to record.
    struct SWalkedShapes;
    // The shapes of the walk's records from where it stands to its end, each record number relayed first when
    // there is a relay (the walk stops when it is stopped); done counts the shapes written.
    void WriteWalkedShapes(IRecset& records, IRecordNumberWalk& walk, IDirectAccess& source,
                           CRecordRelay* relay, int32_t& done);
    // The shape of a walked record (inputRecord counts from 1, for messages).
    void WriteWalkedShape(IRecset& records, IDirectAccess& source, int record, SWalkedShapes& shapes,
                          long long inputRecord);
    // The attributes of a walked record as output record output; written counts the walk's records done
    // before it, the first of which plans the copy of stored bytes.
    void WriteStoredAttributes(IDirectAccess& source, IStoredRecords& stored, int record, int32_t output,
                               int32_t written, CRef<IShapeAttr>& attributes);
    void Close();
    // Takes back the output record m_record, begun at mark, and reports it; raises when the failure was
    // not the record's own or the files cannot be kept aligned.
    void SkipRecord(const CShpWriter::SMark& mark, IRecset& records, long long inputRecord,
                    const CException& failure);
    // record counts the input's records from 1, for messages.
    void WriteShape(IShape* shape, long long record);
    // WriteShape for an output of the M or Z variant.
    void WriteVariantShape(IShape* shape);
    // WriteShape with the point conversion.
    void WriteConvertedShape(IShape* shape, long long record);
    void WriteCpg(const std::u16string& path) const;
    static void WriteText(const std::u16string& path, const std::string& text);
    // Runs one entry point's work when the writer is in the required state: 1 on success; 0 after an error,
    // which gives the output up and is kept for the caller (platform/Boundary.h), naming the output's files
    // by their final names.
    template <class Body> int Run(State required, Body&& body);
    // Marks the output failed and removes its temporary files for good.
    void GiveUp();
    // The extension of a companion to add now; raises when the output is not open or it is no companion.
    std::u16string CompanionToAdd(const std::u16string& extension) const;
    void RemoveTemporaries();

    COutputFiles m_files; // first, so that it goes last
    CShpWriter m_writer;
    CAttributeWriter m_attributes;
    int32_t m_record = -1;

    int m_codePage = 0;
    int m_variant = 0;
    int m_shapeType = SHAPE_NULL;
    bool m_overwrite = true;
    bool m_sync = true;
    State m_state = State::empty;
    bool m_byLayout = false;
    std::vector<SOutputField> m_layout;
    std::function<void(long long record, const std::u16string& reason)> m_onSkipped;
    std::function<void(long long done)> m_onRecords;
    std::vector<int32_t> m_partCounts; // of the shape being written; reused for every record
    CByteBuffer m_content;             // a record converted to the output's variant; reused likewise
    IPointConversion* m_conversion = nullptr;
    std::vector<CGeoPoint> m_points; // a record's points being converted; reused likewise
    std::vector<double> m_heights;   // and their z values
};

// The entry points answer 1, or 0 with the failure kept for the caller (platform/Boundary.h: RethrowKept,
// TakeFailureReason), naming the output's files by their final names.
//
// Creates the output files from the fields of the template's first attribute record. The fourth argument
// is not used. 1, or 0 on any failure (nothing then remains on disk).
int CreateOutput(const std::u16string& path, CShpFile& file, IRecset* templateSet, int reserved = 0);
// Appends every record of the set (shape and attributes). 1 (also for an empty set), or 0 on any failure;
// a failed append leaves the output unusable, so CloseOutput fails too.
int AppendRecordset(CShpFile& file, IRecset* recordset);
// Finishes all files and renames them into place. 1, or 0 when anything failed (nothing then remains).
int CloseOutput(CShpFile& file);

} // namespace fennick
