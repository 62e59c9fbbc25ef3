#pragma once
// CShpMerge: checks that two or more layers (shapefiles or TAB tables) share shape type and column layout,
// and merges them, input after input, into one new shapefile. Every failure raises CGenericEx with the text
// the user sees. The engine is also the attribute filter (IExpression) its own searches evaluate.

#include "data/GeoTypes.h"
#include "data/IExpression.h"
#include "data/Ref.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace fennick {

class CShpFile;
class IGeoDS;
class IRecset;
class IProgressMeter;
class CLayerCoordSys;
class COpenAhead;
struct SVectorLayerOptions;

// One field of the output as the check plans it: its name as written (cut to the format's 10 bytes), its
// type (FieldType), width and decimals, its letter as written (C, N, F, D, L), and what happened to it on the
// way, in words ("widened from N(9) in a.shp to N(10) for b.shp").
struct SPlannedField {
    std::u16string name;
    int type = 0;
    int width = 0;
    int decimals = 0;
    char letter = 'C';
    std::vector<std::u16string> notes;
};

// What an input is and what became of it: its facts from the check, its counts from the merge.
struct SInputFacts {
    std::u16string path;
    int shapeType = 0;
    int variant = 0;
    int64_t records = 0; // as its header states
    CGeoRect bounds;     // as its header states
    int codePage = 0;    // as its texts are read: declared, or named for inputs that declare none
    bool codePageDeclared = false;
    std::u16string coordSys; // in short, as PROJ names it
    bool converted = false;  // its points are converted into the target system
    int64_t written = 0;
    std::vector<std::pair<int64_t, std::u16string>> skipped; // record (from 1) and why
};

// A text of an input the output's code page cannot hold, or that does not fit its field once encoded.
struct SUnwritableText {
    std::u16string path;
    int64_t record = 0; // from 1
    std::u16string field;
    std::u16string value;
    std::u16string why;
};

class CShpMerge : public IExpression {
public:
    CShpMerge();
    virtual ~CShpMerge();
    CShpMerge(const CShpMerge&) = delete;
    CShpMerge& operator=(const CShpMerge&) = delete;

    // Not counted: the owner keeps the engine on its stack.
    HRESULT QueryInterface(const SGuid&, void**) override { return E_ABORT; }
    int32_t AddRef() override { return 0; }
    int32_t Release() override { return 0; }
    int ReservedA(int, int) override { return 0; }
    // Passes a record whose filter field's text equals one of the filter values, ignoring letter case.
    int Evaluate(IShapeAttr* attributes, int* result) override;
    void ReservedB(int) override {}

    // Appends an input path (the first is the main file) and invalidates an earlier check.
    void AddFile(const std::u16string& path);
    // Validates the inputs; progress may be null.
    void Check(IProgressMeter* progress);
    // Writes the output; runs the check first when it has not passed yet. The output appears whole or not at
    // all: it is written under temporary names and renamed into place only when everything succeeded.
    void Merge(const std::u16string& outputPath, IProgressMeter* progress);

    const std::vector<std::u16string>& Files() const { return m_files; }
    bool IsValidated() const { return m_validated; }

    // The optional attribute filter: one field name and the accepted values, comma separated.
    std::u16string m_filterField;
    std::u16string m_filterValuesText;
    // Whether an existing output is replaced (its whole file set); when not, any existing member of the set
    // fails the merge. The check is made under the output's lock, so two merges never mix their files.
    bool m_overwrite = true;
    // Whether the new files are written out to the disk before they take their names (CShpFile::SetSync).
    bool m_sync = true;
    // Empty when the output may be written, else why not: a member of its set is, or would replace, one of
    // the inputs' files (COutputFiles::ReplacedInput). Merge refuses such an output with this text as well.
    std::u16string InputReplacedBy(const std::u16string& outputPath) const;

    // Options beyond the positional merge; each is off by default, which keeps the merge as described above.
    // Fields are matched by name, letter case ignored, instead of by position: the output has the first
    // input's fields, then each field a later input adds, widened so that every input's values fit.
    bool m_matchNames = false;
    // When not empty: a character field of this name, added last, holding each record's input file name.
    std::u16string m_sourceField;
    // Records of an input whose coordinate system differs from the first input's are converted into it.
    bool m_reproject = false;
    // A record that cannot be read or written is left out and reported instead of failing its input.
    bool m_skipBadRecords = false;
    // When set, called as Merge appends the records of input index (from 0), every few thousand records:
    // the records of it done so far and its record count as its header states. A channel beside the
    // progress meter, whose steps come once per input.
    std::function<void(std::size_t input, int64_t done, int64_t total)> m_onRecords;
    // Called for each record left out: the input's path, the record's number in it (from 1) and why.
    std::function<void(const std::u16string& path, int64_t record, const std::u16string& reason)> m_onSkipped;

    // Fields of vector layers (GeoPackage, GeoJSON ...) left out, by name, letter case ignored.
    std::vector<std::u16string> m_skipFields;
    // The columns a CSV file's points are read from; empty: its WKT geometry column.
    std::u16string m_csvX;
    std::u16string m_csvY;

    // The output's code page: a Windows code page number, or -1 (the default) for the first input's when it
    // declares one (else the byte-preserving rule). Set before Check.
    int m_outputCodePage = -1;
    // The code page of inputs whose table declares none; 0 (the default) passes their bytes unconverted.
    int m_inputCodePage = 0;
    // When not empty, the system every input is converted into and whose .prj the output gets:
    // "EPSG:CODE" or the path of a .prj file. Empty keeps the first input's system as the target.
    std::u16string m_targetCrs;

    // After Check: the output's fields, the inputs' facts (their counts after Merge), and the output's code
    // page.
    const std::vector<SPlannedField>& FieldPlan() const { return m_plan; }
    // The systems' names are read by PROJ on the first call, so that a merge nobody asks about never loads
    // it.
    const std::vector<SInputFacts>& InputFacts() const;
    int OutputCodePage() const { return m_codePage; }
    // After Check: reads every text of the inputs whose code page differs from the output's and collects
    // (up to limit) those the output cannot hold or whose field cannot take them once encoded. Returns how
    // many there are in all. Raises when an input cannot be read.
    int64_t FindUnwritableTexts(std::size_t limit, std::vector<SUnwritableText>& found,
                                IProgressMeter* progress);

    // What the last Check found worth saying without failing: one line per input whose coordinate system
    // differs from the first input's, naming both systems; after a Merge, a line when its filter kept no
    // record, and one per input whose table declares no code page and whose texts went as their bytes into
    // an output that declares one.
    const std::vector<std::u16string>& Warnings() const { return m_warnings; }
    // Records left out by the last Merge (m_skipBadRecords).
    int64_t SkippedRecords() const { return m_skippedRecords; }
    // Records written by the last Merge; 0 when it failed.
    int64_t RecordsWritten() const { return m_recordsWritten; }

private:
    void SetupFilter(IGeoDS* first);
    // SelectAll without a filter, else a search with this engine as the expression; null when nothing passes.
    IRecset* SelectRecords(IGeoDS* source);
    // With fields matched by name or a source field: the output's fields and what feeds them from each
    // input, built by Check from the inputs' declared layouts.
    struct SFieldPlan;
    std::unique_ptr<SFieldPlan> m_fieldPlan;
    // Compares input index's system with the first input's: a difference is a warning, and with
    // m_reproject a conversion, which fails the check when it cannot be made.
    void CheckCoordSys(CLayerCoordSys& reference, CLayerCoordSys& system, std::size_t index);
    // With m_skipBadRecords: the output leaves out the bad records of input index, counted and
    // reported.
    void SkipBadRecordsOf(CShpFile& output, std::size_t index);

    std::vector<std::u16string> m_files;
    int m_filterFieldIndex = -1;
    std::vector<std::u16string> m_filterValues;
    bool m_validated = false;
    std::vector<std::u16string> m_warnings;
    // Notes in m_warnings when input index's texts passed undeclared into the output.
    void NoteUndeclaredText(const CShpFile& output, std::size_t index);
    int64_t m_skippedRecords = 0;
    int64_t m_recordsWritten = 0;
    int m_variant = 0; // of the output: the widest of the inputs' (ShapeVariant), set by Check
    // Set by Check with m_reproject: the first input's system text, and for each input converted into it
    // its own (empty for inputs taken as they are).
    std::string m_convertInto;
    std::vector<std::string> m_convertFrom;

    // How vector layers are read, from the options above.
    SVectorLayerOptions LayerOptions() const;
    // Opens input index with the code page named for inputs that declare none.
    CRef<IGeoDS> OpenInput(std::size_t index, std::u16string& reason) const;
    // The same for input index as opened ahead, else opened here.
    CRef<IGeoDS> TakeInput(COpenAhead& ahead, std::size_t index, std::u16string& reason) const;
    CRef<IGeoDS> WithInputCodePage(CRef<IGeoDS> source) const;
    // Adds the output's .prj: the target system's, else the first input's own.
    void AddOutputPrj(CShpFile& output, IGeoDS* first, const std::u16string& outputPath) const;
    std::vector<SPlannedField> m_plan;
    mutable std::vector<SInputFacts> m_facts;
    // Per input, the text of its system while its name is still to be read; empty once named.
    mutable std::vector<std::string> m_unnamedSystems;
    int m_codePage = 0;
    std::string m_targetText; // of m_targetCrs, read by Check
};

} // namespace fennick
