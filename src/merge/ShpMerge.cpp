#include "merge/ShpMerge.h"

#include "coordsys/CrsConversion.h"
#include "coordsys/GdalModule.h"
#include "data/FindFieldIndex.h"
#include "data/IDirectAccess.h"
#include "data/IFieldDesc.h"
#include "data/IGeoDS.h"
#include "data/IProgressMeter.h"
#include "data/IProjectionText.h"
#include "data/IRecset.h"
#include "data/IShapeAttr.h"
#include "data/IStoredShape.h"
#include "data/IString.h"
#include "data/Ref.h"
#include "data/SearchSpec.h"
#include "merge/LayerCoordSys.h"
#include "merge/OpenAhead.h"
#include "merge/OpenGeoDS.h"
#include "merge/OutputSize.h"
#include "platform/Boundary.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/GenericEx.h"
#include "platform/PathFunctions.h"
#include "platform/TextCase.h"
#include "shp/IStoredRecords.h"
#include "shp/ShpFile.h"
#include "shp/XBaseDatabase.h"

#include <algorithm>
#include <map>
#include <optional>

namespace fennick {

namespace {

// Opens an input; on failure, reason says why when that is known.
CRef<IGeoDS> OpenLayer(const std::u16string& path, const SVectorLayerOptions& options,
                       std::u16string* reason = nullptr) {
    CRef<IGeoDS> source;
    if (!OpenGeoDS(path, nullptr, source.Put(), nullptr, &options))
        source.Reset();
    if (!source && reason != nullptr)
        *reason = OpenFailureReason(path);
    return source;
}

// Every data source is also the description of its own fields.
IFieldDesc* FieldsOf(IGeoDS* source) {
    return dynamic_cast<IFieldDesc*>(source);
}

// A column as the reason for a layout difference names it: NAME character(30) or AREA real(18.6).
std::u16string DescribeColumn(const std::u16string& name, int type, int width, int decimals) {
    std::u16string text = name + u" " + FromUtf8(FieldTypeName(type)) + u"(" + Utf16Number(width);
    // Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) on a literal + std::u16string&&.
    if (decimals != 0) {
        text += u'.';
        text += Utf16Number(decimals);
    }
    text += u')';
    return text;
}

std::u16string DescribeField(IFieldDesc* fields, int index) {
    CIString name;
    fields->GetFieldName(index, &name);
    return DescribeColumn(name.Str(), fields->GetFieldType(index), fields->GetFieldWidth(index),
                          fields->GetFieldDecimals(index));
}

// Empty when other has the reference's column layout, else the first difference: count, or the position and
// both columns.
std::u16string LayoutDifference(IFieldDesc* reference, const std::u16string& referencePath, IFieldDesc* other,
                                const std::u16string& otherPath) {
    const int count = reference->GetFieldCount();
    const int otherCount = other != nullptr ? other->GetFieldCount() : 0;
    if (otherCount != count)
        return Utf16Number(count) + u" columns in " + referencePath + u", " + Utf16Number(otherCount) +
               u" in " + otherPath;
    for (int j = 0; j < count; ++j) {
        if (other->GetFieldWidth(j) != reference->GetFieldWidth(j) ||
            other->GetFieldDecimals(j) != reference->GetFieldDecimals(j) ||
            other->GetFieldType(j) != reference->GetFieldType(j))
            return u"column " + Utf16Number(j + 1) + u": " + DescribeField(reference, j) + u" in " +
                   referencePath + u", " + DescribeField(other, j) + u" in " + otherPath;
    }
    return {};
}

void RaiseIfCancelled(IProgressMeter* progress) {
    if (progress != nullptr && progress->IsCancelled())
        ThrowGenericError(u"The action has been cancelled.");
}

// The first input's companion in any letter case; two candidates fail the merge as they fail its opening.
std::u16string FirstCompanion(const std::u16string& path, std::u16string_view extension) {
    try {
        return FindCompanion(path, extension);
    } catch (const CException& e) {
        ThrowGenericError(u"Can't open main file.", path, e.FullText());
    }
}

// Reads what an input states of its coordinate system, or takes what was read ahead; an ambiguous .prj fails
// it as it fails its opening.
void LoadCoordSys(CLayerCoordSys& system, const std::u16string& path, IGeoDS* source, bool first,
                  COpenAhead::SOpened* ahead = nullptr) {
    try {
        if (ahead == nullptr || !ahead->system)
            system.Load(path, source);
        else if (ahead->systemError)
            std::rethrow_exception(ahead->systemError);
        else
            system = std::move(*ahead->system);
    } catch (const CException& e) {
        ThrowGenericError(first ? u"Can't open main file." : u"Can't open file.", path, e.FullText());
    }
}

// What an input's headers say of its size: its records and, for a shapefile, its .shp's stated length.
struct SInputSize {
    uint64_t records = 0;
    uint64_t shpBytes = 0;
    int variant = 0;
};

SInputSize InputSizeOf(IGeoDS* source) {
    SInputSize size;
    size.variant = ShapeVariantOf(source);
    auto* records = dynamic_cast<IDirectAccess*>(source);
    if (records != nullptr)
        size.records = static_cast<uint64_t>(std::max(records->GetRecordCount(), 0));
    // The header the reader holds, rather than the file read once more.
    if (IStoredShapes* shapes = records != nullptr ? QueryStoredShapes(records) : nullptr;
        shapes != nullptr && source->GetSourceKind() == SOURCE_SHAPEFILE)
        size.shpBytes = shapes->StatedShapeBytes();
    return size;
}

// The output's .dbf layout: its fields' widths as written (a date 8, a logical 1), or the ID field's.
COutputSize OutputSizeOf(const std::vector<SOutputField>& fields) {
    uint64_t length = 1;
    for (const SOutputField& field : fields)
        length += field.type == FIELD_DATE ? 8 : field.type == FIELD_LOGICAL ? 1 : field.width;
    const uint64_t count = fields.empty() ? 1 : fields.size();
    return COutputSize(33 + 32 * count, fields.empty() ? 11 : length);
}

COutputSize OutputSizeOf(IFieldDesc* fields) {
    std::vector<SOutputField> written;
    for (int i = 0; fields != nullptr && i < fields->GetFieldCount(); ++i) {
        CIString name;
        if (fields->GetFieldName(i, &name) != 0 && !CAttributeWriter::IsSkippedField(name.Str()))
            written.push_back({name.Str(), fields->GetFieldType(i), fields->GetFieldWidth(i), 0});
    }
    return OutputSizeOf(written);
}

// The output keeps the first input's text encoding when it is known and none is chosen; otherwise bytes
// pass through unchanged.
int CodePageForOutput(IGeoDS* first, int chosen) {
    if (chosen >= 0)
        return chosen;
    const int codePage = first->GetCodePage();
    return codePage > 0 ? codePage : 0;
}

// The output's fields and, per input, what feeds each of them: one of its fields, a null
// (CAttributeWriter::kNoSource) or the input's file name (kConstant).
struct SFieldLayout {
    std::vector<SOutputField> fields;
    std::vector<std::vector<int>> sources;
    std::vector<std::u16string> fileNames;
};

// Builds the output's fields from the inputs' declared layouts, so that the merge needs no pass of its own
// over the records: matched by name (letter case ignored) and widened to hold every input's values, or the
// first input's by position; then the source field. Raises the check's failures.
class CFieldPlanner {
public:
    CFieldPlanner(bool byName, int codePage) : m_byName(byName), m_codePage(codePage) {}

    void AddInput(const std::u16string& path, IFieldDesc* fields, bool mapInfo) {
        const std::size_t input = m_paths.size();
        m_paths.push_back(path);
        m_mapInfo.push_back(mapInfo);
        m_layout.fileNames.push_back(path.substr(GetDirectoryPart(path).size()));
        std::vector<int>& sources = m_layout.sources.emplace_back();
        const int count = fields != nullptr ? fields->GetFieldCount() : 0;
        // Looked for once per input, not once per field.
        auto* stored = dynamic_cast<IStoredRecords*>(fields);
        std::size_t position = 0;
        for (int i = 0; i < count; ++i) {
            CIString fieldName;
            if (fields->GetFieldName(i, &fieldName) == 0)
                ThrowGenericError(path, u"Different column definitions.",
                                  u"The name of column " + Utf16Number(i + 1) + u" cannot be read.");
            const std::u16string& name = fieldName.Str();
            if (CAttributeWriter::IsSkippedField(name))
                continue;
            const SOutputField declared{name, fields->GetFieldType(i), fields->GetFieldWidth(i),
                                        fields->GetFieldDecimals(i), FloatLetter(stored, i)};
            std::size_t j = m_byName ? Find(name) : position++;
            if (j >= m_layout.fields.size()) {
                if (!m_byName && input > 0)
                    continue; // the check compared the layouts; only the first input's fields are output
                j = m_layout.fields.size();
                m_layout.fields.push_back(declared);
                m_origins.push_back(input);
                m_formOrigins.push_back(input);
            } else if (m_byName) {
                if (j < sources.size() && sources[j] != CAttributeWriter::kNoSource) {
                    CIString earlier;
                    fields->GetFieldName(sources[j], &earlier);
                    ThrowGenericError(path, u"Two field names are the same", earlier.Str() + u", " + name);
                }
                Widen(j, declared, input);
            }
            sources.resize(std::max(sources.size(), j + 1), CAttributeWriter::kNoSource);
            sources[j] = i;
        }
    }

    // After the inputs: adds the source field (none when name is empty) and checks the names as written;
    // plan receives the fields as written and what happened to each.
    SFieldLayout Finish(const std::u16string& name, std::vector<SPlannedField>& plan) {
        if (!name.empty())
            AddSourceField(name);
        for (std::vector<int>& sources : m_layout.sources)
            sources.resize(m_layout.fields.size(), CAttributeWriter::kNoSource);
        const std::vector<std::u16string> written = CheckWrittenNames();
        plan.clear();
        for (std::size_t j = 0; j < m_layout.fields.size(); ++j) {
            const SOutputField& field = m_layout.fields[j];
            SPlannedField& planned = plan.emplace_back();
            planned.name = written[j];
            planned.type = field.type;
            planned.width = field.type == FIELD_DATE ? 8 : field.type == FIELD_LOGICAL ? 1 : field.width;
            planned.decimals = field.type == FIELD_REAL ? field.decimals : 0;
            planned.letter = Letter(field);
            planned.notes = j < m_notes.size() ? std::move(m_notes[j]) : std::vector<std::u16string>();
            if (m_origins[j] == kSourceField) {
                planned.notes.push_back(u"the file name of each record's input");
                continue;
            }
            if (written[j] != field.name)
                planned.notes.push_back(
                    (m_mapInfo[m_origins[j]] ? u"cut from MapInfo column " : u"cut from column ") +
                    field.name);
            std::size_t having = 0;
            for (const std::vector<int>& sources : m_layout.sources)
                having += sources[j] >= 0 ? 1 : 0;
            if (m_byName && having == 1 && m_paths.size() > 1)
                planned.notes.push_back(u"only in " + m_paths[m_origins[j]] + u": null elsewhere");
            else if (m_byName && having < m_paths.size())
                planned.notes.push_back(u"only in " + Utf16Number(static_cast<long long>(having)) + u" of " +
                                        Utf16Number(static_cast<long long>(m_paths.size())) +
                                        u" inputs: null elsewhere");
        }
        return std::move(m_layout);
    }

    // A field's form as the notes show it: N(10), N(12.2), C(30).
    static std::u16string Form(const SOutputField& field) {
        std::u16string text(1, static_cast<char16_t>(Letter(field)));
        text += u'(';
        text += Utf16Number(field.width);
        if (field.type == FIELD_REAL && field.decimals > 0) {
            text += u'.';
            text += Utf16Number(field.decimals);
        }
        text += u')';
        return text;
    }

    static char Letter(const SOutputField& field) {
        switch (field.type) {
        case FIELD_CHARACTER:
            return 'C';
        case FIELD_DATE:
            return 'D';
        case FIELD_LOGICAL:
            return 'L';
        default:
            return field.letter == 'F' ? 'F' : 'N';
        }
    }

private:
    static constexpr std::size_t kSourceField = static_cast<std::size_t>(-1); // an origin that is no input
    static constexpr int kTextBytes = 254; // the widest text field readers take

    std::size_t Find(const std::u16string& name) const {
        for (std::size_t j = 0; j < m_layout.fields.size(); ++j)
            if (EqualIgnoringCase(m_layout.fields[j].name, name))
                return j;
        return m_layout.fields.size();
    }

    // A field for messages: its name and the input it comes from.
    std::u16string Named(std::size_t j) const {
        const std::size_t origin = m_origins[j];
        return m_layout.fields[j].name +
               (origin == kSourceField ? std::u16string(u" (the source field)") : u" in " + m_paths[origin]);
    }

    // What a failure about field j names first: its input, or the source field.
    std::u16string Subject(std::size_t j) const {
        return m_origins[j] == kSourceField ? u"Source field " + m_layout.fields[j].name
                                            : m_paths[m_origins[j]];
    }

    // Digits before the decimal point of a number field.
    static int IntegerDigits(const SOutputField& field) {
        return field.type == FIELD_REAL && field.decimals > 0 ? field.width - field.decimals - 1
                                                              : field.width;
    }

    // Makes output field j hold the values of a field declared so by input; integers and reals give a real.
    // 'F' for a real field a table stores as F, so that the output keeps the letter; else 0.
    static char FloatLetter(IStoredRecords* stored, int i) {
        return stored != nullptr && stored->HasStoredRecords() && i < stored->StoredFieldCount() &&
                       stored->StoredField(i).type == 'F'
                   ? 'F'
                   : '\0';
    }

    // Widens output field j for input, noting a change of its form.
    void Widen(std::size_t j, const SOutputField& declared, std::size_t input) {
        const std::u16string before = Form(m_layout.fields[j]);
        WidenField(j, declared, input);
        const std::u16string after = Form(m_layout.fields[j]);
        if (after == before)
            return;
        m_notes.resize(m_layout.fields.size());
        std::u16string note = u"widened from " + before;
        note.append(u" in ").append(m_paths[m_formOrigins[j]]).append(u" to ").append(after);
        note.append(u" for ").append(m_paths[input]);
        m_notes[j].push_back(std::move(note));
        m_formOrigins[j] = input;
    }

    void WidenField(std::size_t j, const SOutputField& declared, std::size_t input) {
        SOutputField& field = m_layout.fields[j];
        if (field.letter != declared.letter)
            field.letter = '\0';
        const bool numbers = (field.type == FIELD_INTEGER || field.type == FIELD_REAL) &&
                             (declared.type == FIELD_INTEGER || declared.type == FIELD_REAL);
        if (declared.type != field.type && !numbers)
            ThrowGenericError(m_paths[input], u"Different column definitions.",
                              u"field " + field.name + u": " + FromUtf8(FieldTypeName(field.type)) + u" in " +
                                  m_paths[m_typeOrigins.count(j) ? m_typeOrigins.at(j) : m_origins[j]] +
                                  u", " + FromUtf8(FieldTypeName(declared.type)) + u" in " + m_paths[input]);
        if (numbers && (field.type == FIELD_REAL || declared.type == FIELD_REAL)) {
            if (field.type != FIELD_REAL)
                m_typeOrigins[j] = input;
            const int decimals = std::max(field.decimals, declared.decimals);
            const int digits = std::max(IntegerDigits(field), IntegerDigits(declared));
            field.type = FIELD_REAL;
            field.decimals = decimals;
            field.width = digits + (decimals > 0 ? decimals + 1 : 0);
            return;
        }
        field.width = std::max(field.width, declared.width);
        field.decimals = std::max(field.decimals, declared.decimals);
    }

    void AddSourceField(const std::u16string& name) {
        std::string bytes;
        if (!CShpFile::EncodeText(m_codePage, name, kWhole, bytes) ||
            bytes.size() > CAttributeWriter::kNameBytes)
            ThrowGenericError(u"Source field " + name, u"The name cannot be written as a field name",
                              u"A field name takes at most " + Utf16Number(CAttributeWriter::kNameBytes) +
                                  u" bytes in code page " + Utf16Number(m_codePage) + u".");
        if (const std::size_t j = Find(name); j < m_layout.fields.size())
            ThrowGenericError(u"Source field " + name, u"A field of that name exists", Named(j));
        // As wide as the longest file name in the output's code page, which may take more bytes than
        // characters.
        int width = 1;
        for (std::size_t input = 0; input < m_paths.size(); ++input) {
            const std::u16string& fileName = m_layout.fileNames[input];
            if (!CShpFile::EncodeText(m_codePage, fileName, kWhole, bytes))
                ThrowGenericError(m_paths[input], u"The file name cannot be written in the source field",
                                  u"Code page " + Utf16Number(m_codePage) + u" cannot hold it.");
            if (bytes.size() > static_cast<std::size_t>(kTextBytes))
                ThrowGenericError(m_paths[input], u"The file name cannot be written in the source field",
                                  u"It takes " + Utf16Number(static_cast<long long>(bytes.size())) +
                                      u" bytes, a text field at most " + Utf16Number(kTextBytes) + u".");
            width = std::max(width, static_cast<int>(bytes.size()));
        }
        m_layout.fields.push_back({name, FIELD_CHARACTER, width, 0});
        m_origins.push_back(kSourceField);
        m_formOrigins.push_back(kSourceField);
        for (std::vector<int>& sources : m_layout.sources) {
            sources.resize(m_layout.fields.size() - 1, CAttributeWriter::kNoSource);
            sources.push_back(CAttributeWriter::kConstant);
        }
    }

    // Names are written cut to the format's length, and readers find fields by name without regard to case:
    // two that become the same fail. By position, only the source field is compared with the others, as
    // the first input's own names are written as they always were.
    // Returns the names as written, read back.
    std::vector<std::u16string> CheckWrittenNames() const {
        const std::size_t count = m_layout.fields.size();
        std::vector<std::string> written(count);
        for (std::size_t j = 0; j < count; ++j)
            if (!CShpFile::EncodeText(m_codePage, m_layout.fields[j].name, CAttributeWriter::kNameBytes,
                                      written[j]))
                ThrowGenericError(Subject(j), u"A field name cannot be written",
                                  m_layout.fields[j].name + u" in code page " + Utf16Number(m_codePage));
        for (std::size_t k = 1; k < count; ++k)
            for (std::size_t j = 0; j < k; ++j)
                if ((m_byName || m_origins[k] == kSourceField) &&
                    EqualIgnoringAsciiCase(written[j], written[k]))
                    ThrowGenericError(Subject(k),
                                      u"Two field names are the same when cut to " +
                                          Utf16Number(CAttributeWriter::kNameBytes) + u" bytes",
                                      Named(j) + u", " + Named(k));
        std::vector<std::u16string> names(count);
        for (std::size_t j = 0; j < count; ++j)
            MultiByteToWideChar(m_codePage > 0 ? m_codePage : 28591, written[j].data(),
                                static_cast<int>(written[j].size()), names[j]);
        return names;
    }

    static constexpr std::size_t kWhole = static_cast<std::size_t>(-1);

    bool m_byName;
    int m_codePage;
    std::vector<std::u16string> m_paths;
    SFieldLayout m_layout;
    std::vector<std::size_t> m_origins;               // per output field: the input it first came from
    std::map<std::size_t, std::size_t> m_typeOrigins; // output fields made real by a later input
    std::vector<std::size_t> m_formOrigins;           // per output field: the input its form came from
    std::vector<std::vector<std::u16string>> m_notes; // per output field: what happened to it
    std::vector<bool> m_mapInfo;                      // per input: a MapInfo table
};

} // namespace

struct CShpMerge::SFieldPlan {
    SFieldLayout layout;
};

// Out of line, so the class and its virtual table live in the core only.
CShpMerge::CShpMerge() = default;
CShpMerge::~CShpMerge() = default;

void CShpMerge::AddFile(const std::u16string& path) {
    m_files.push_back(path);
    m_validated = false;
}

SVectorLayerOptions CShpMerge::LayerOptions() const {
    SVectorLayerOptions options;
    options.skipFields = m_skipFields;
    options.csvX = m_csvX;
    options.csvY = m_csvY;
    options.keepFirstKind = m_skipBadRecords;
    return options;
}

CRef<IGeoDS> CShpMerge::OpenInput(std::size_t index, std::u16string& reason) const {
    return WithInputCodePage(OpenLayer(m_files[index], LayerOptions(), &reason));
}

CRef<IGeoDS> CShpMerge::TakeInput(COpenAhead& ahead, std::size_t index, std::u16string& reason) const {
    COpenAhead::SOpened opened = ahead.Take(index);
    return opened.source ? WithInputCodePage(std::move(opened.source)) : OpenInput(index, reason);
}

CRef<IGeoDS> CShpMerge::WithInputCodePage(CRef<IGeoDS> source) const {
    if (source && m_inputCodePage > 0 && source->GetCodePage() <= 0)
        source->SetCodePage(m_inputCodePage);
    return source;
}

namespace {

// The facts of an input the check reads: what its headers state and how its texts are read.
SInputFacts FactsOf(const std::u16string& path, IGeoDS* source, bool declared,
                    const std::u16string& coordSys) {
    SInputFacts facts;
    facts.path = path;
    facts.shapeType = source->GetShapeType();
    facts.variant = ShapeVariantOf(source);
    if (auto* records = dynamic_cast<IDirectAccess*>(source))
        facts.records = std::max(records->GetRecordCount(), 0);
    source->GetBounds(&facts.bounds);
    facts.codePage = std::max(source->GetCodePage(), 0);
    facts.codePageDeclared = declared;
    facts.coordSys = coordSys;
    return facts;
}

// The short name of a system when it needs no PROJ ("none", or why its .prj cannot be read); else empty, and
// the text waits in unnamed until someone asks for the inputs' facts.
std::u16string NameWithoutProj(CLayerCoordSys& system, std::vector<std::string>& unnamed) {
    if (!system.IsStated() || !system.IsFileReadable() || system.Text().empty()) {
        unnamed.emplace_back();
        return system.ShortName();
    }
    unnamed.push_back(system.Text());
    return {};
}

} // namespace

const std::vector<SInputFacts>& CShpMerge::InputFacts() const {
    // Inputs beside copies of one .prj are the rule, and reading a system's text costs PROJ a search of its
    // database: each text is read once.
    std::map<std::string, std::u16string> names;
    for (std::size_t i = 0; i < m_unnamedSystems.size() && i < m_facts.size(); ++i) {
        if (m_unnamedSystems[i].empty())
            continue;
        const auto [at, fresh] = names.try_emplace(m_unnamedSystems[i]);
        if (fresh) {
            CLayerCoordSys system;
            system.LoadText(m_unnamedSystems[i]);
            at->second = system.ShortName();
        }
        m_facts[i].coordSys = at->second;
        m_unnamedSystems[i].clear();
    }
    return m_facts;
}

void CShpMerge::Check(IProgressMeter* progress) {
    m_validated = false;
    if (m_files.size() < 2)
        ThrowGenericError(u"Two or more files is required.");
    if (m_outputCodePage > 0 && !IsCodePageSupported(m_outputCodePage))
        ThrowGenericError(u"The output's code page is not known here.", Utf16Number(m_outputCodePage));
    std::u16string reason;
    CRef<IGeoDS> first = OpenLayer(m_files[0], LayerOptions(), &reason);
    if (!first)
        ThrowGenericError(u"Can't open main file.", m_files[0], reason);
    // A first input that declares no code page has the one named for such inputs, which the output keeps.
    const bool firstDeclared = first->GetCodePage() > 0;
    if (m_inputCodePage > 0 && !firstDeclared)
        first->SetCodePage(m_inputCodePage);
    m_codePage = CodePageForOutput(first.Get(), m_outputCodePage);
    IFieldDesc* reference = FieldsOf(first.Get());
    // A first input without attributes gives the output none: a later input with columns would lose them.
    // Fields matched by name need no common layout.
    const bool compareFields = reference != nullptr && !m_matchNames;
    m_fieldPlan.reset();
    // The planner also gives the plan people read; its layout drives the writer only when fields are
    // matched by name or a source field is added.
    CFieldPlanner planner(m_matchNames, m_codePage);
    planner.AddInput(m_files[0], reference, first->GetSourceKind() == SOURCE_MAPINFO_TAB);
    const bool planned = m_matchNames || !m_sourceField.empty();
    // The output takes the widest variant of its inputs, so that no z or m value is lost.
    int variant = ShapeVariantOf(first.Get());
    std::vector<SInputSize> sizes{InputSizeOf(first.Get())};
    m_warnings.clear();
    m_convertInto.clear();
    m_convertFrom.assign(m_files.size(), std::string());
    m_facts.clear();
    CLayerCoordSys firstSystem;
    LoadCoordSys(firstSystem, m_files[0], first.Get(), true);
    m_unnamedSystems.clear();
    m_facts.push_back(
        FactsOf(m_files[0], first.Get(), firstDeclared, NameWithoutProj(firstSystem, m_unnamedSystems)));
    // With a target system, every input (the first too) is compared with it and converted into it.
    CLayerCoordSys targetSystem;
    if (!m_targetCrs.empty()) {
        m_targetText = ReadTargetCrs(m_targetCrs);
        targetSystem.LoadText(m_targetText);
        if (targetSystem.Crs() == nullptr)
            ThrowGenericError(u"The target coordinate system cannot be read.", m_targetCrs,
                              u"PROJ cannot read it.");
        CheckCoordSys(targetSystem, firstSystem, 0);
    }
    CLayerCoordSys& referenceSystem = m_targetCrs.empty() ? firstSystem : targetSystem;
    COpenAhead ahead(m_files, 1, true);
    for (std::size_t i = 1; i < m_files.size(); ++i) {
        COpenAhead::SOpened opened = ahead.Take(i);
        CRef<IGeoDS> source =
            opened.source ? std::move(opened.source) : OpenLayer(m_files[i], LayerOptions(), &reason);
        if (!source)
            ThrowGenericError(u"Can't open file.", m_files[i], reason);
        const bool declared = source->GetCodePage() > 0;
        if (m_inputCodePage > 0 && !declared)
            source->SetCodePage(m_inputCodePage);
        if (source->GetShapeType() != first->GetShapeType())
            ThrowGenericError(m_files[i], u"Different shape types.",
                              FromUtf8(ShapeTypeName(first->GetShapeType())) + u" in " + m_files[0] + u", " +
                                  FromUtf8(ShapeTypeName(source->GetShapeType())) + u" in " + m_files[i]);
        variant = std::max(variant, ShapeVariantOf(source.Get()));
        sizes.push_back(InputSizeOf(source.Get()));
        if (compareFields) {
            const std::u16string difference =
                LayoutDifference(reference, m_files[0], FieldsOf(source.Get()), m_files[i]);
            if (!difference.empty())
                ThrowGenericError(m_files[i], u"Different column definitions.", difference);
        }
        planner.AddInput(m_files[i], FieldsOf(source.Get()), source->GetSourceKind() == SOURCE_MAPINFO_TAB);
        CLayerCoordSys system;
        LoadCoordSys(system, m_files[i], source.Get(), false, &opened);
        m_facts.push_back(
            FactsOf(m_files[i], source.Get(), declared, NameWithoutProj(system, m_unnamedSystems)));
        CheckCoordSys(referenceSystem, system, i);
        if (progress != nullptr) {
            RaiseIfCancelled(progress);
            progress->Step();
        }
    }
    SFieldLayout layout = planner.Finish(m_sourceField, m_plan);
    if (planned)
        m_fieldPlan = std::make_unique<SFieldPlan>(SFieldPlan{std::move(layout)});
    m_variant = variant;
    // The output's sizes from the headers, before anything is written.
    COutputSize output = m_fieldPlan ? OutputSizeOf(m_fieldPlan->layout.fields) : OutputSizeOf(reference);
    for (const SInputSize& input : sizes)
        output.AddInput(input.records, input.shpBytes, input.variant != variant);
    if (!m_filterField.empty() || m_skipBadRecords)
        output.SetBound();
    output.Judge(m_warnings);
    m_validated = true;
}

void CShpMerge::CheckCoordSys(CLayerCoordSys& reference, CLayerCoordSys& system, std::size_t index) {
    // A first input's .prj that cannot be read fails the merge where it is copied, with its reason.
    if (!reference.IsFileReadable() || system.Matches(reference))
        return;
    const std::u16string& path = m_files[index];
    std::u16string line = path + u": its coordinate system (" + system.ShortName();
    line += m_targetCrs.empty() ? u") differs from the first input's (" : u") differs from the target's (";
    line += reference.ShortName();
    if (!m_reproject && m_targetCrs.empty()) {
        m_warnings.push_back(line + u"); its coordinates are merged unconverted.");
        return;
    }
    std::u16string why;
    CCrsConversion conversion;
    if (!reference.IsStated())
        why = u"The first input states no coordinate system to convert into.";
    else if (!system.IsStated() && !m_targetCrs.empty())
        why = u"It states no coordinate system (no .prj) to convert from into the target system.";
    else if (!system.IsStated())
        why = u"It states no coordinate system (no .prj) to convert from.";
    else if (system.Crs() == nullptr)
        why = u"PROJ cannot read its coordinate system.";
    else if (reference.Crs() == nullptr)
        why = u"PROJ cannot read the first input's coordinate system.";
    else if (!conversion.Build(*system.Crs(), *reference.Crs())) {
        why = u"PROJ finds no conversion from ";
        why += system.ShortName();
        why += u" into ";
        why += reference.ShortName();
        why += u'.';
    }
    if (!why.empty())
        ThrowGenericError(path, u"Its coordinate system cannot be converted.", why);
    m_warnings.push_back(line + u"); its records are converted.");
    m_convertInto = reference.Text();
    m_convertFrom[index] = system.Text();
    if (index < m_facts.size())
        m_facts[index].converted = true;
}

void CShpMerge::SetupFilter(IGeoDS* first) {
    if (m_filterField.empty())
        return;
    m_filterFieldIndex = FindFieldIndex(FieldsOf(first), m_filterField.c_str());
    // Matched by name, the field may come from any input; the merge finds it in each (FilterInput).
    const auto inSomeInput = [&] {
        const SFieldLayout& layout = m_fieldPlan->layout;
        for (std::size_t j = 0; j < layout.fields.size(); ++j)
            if (EqualIgnoringCase(layout.fields[j].name, m_filterField))
                return std::any_of(layout.sources.begin(), layout.sources.end(),
                                   [j](const std::vector<int>& sources) { return sources[j] >= 0; });
        return false;
    };
    if (m_filterFieldIndex < 0 && !(m_matchNames && inSomeInput()))
        ThrowGenericError(u"Invalid filter field name.");
    if (m_filterValuesText.empty())
        ThrowGenericError(u"No filter values.");
    std::size_t start = 0;
    while (start <= m_filterValuesText.size()) {
        std::size_t comma = m_filterValuesText.find(u',', start);
        if (comma == std::u16string::npos)
            comma = m_filterValuesText.size();
        if (comma > start)
            m_filterValues.push_back(m_filterValuesText.substr(start, comma - start));
        start = comma + 1;
    }
    if (m_filterValues.empty())
        ThrowGenericError(u"No filter values parsed.");
}

IRecset* CShpMerge::SelectRecords(IGeoDS* source) {
    CRef<IRecset> records;
    if (m_filterFieldIndex == -1) {
        source->SelectAll(records.Put());
    } else {
        CSearchSpec spec(nullptr, 0, this);
        source->Search(&spec, records.Put());
    }
    return records.Detach();
}

void CShpMerge::SkipBadRecordsOf(CShpFile& output, std::size_t index) {
    if (!m_skipBadRecords)
        return;
    const std::u16string& path = m_files[index];
    output.SetSkipBadRecords([this, &path, index](long long record, const std::u16string& reason) {
        ++m_skippedRecords;
        if (index < m_facts.size())
            m_facts[index].skipped.emplace_back(record, reason);
        if (m_onSkipped)
            m_onSkipped(path, record, reason);
    });
}

int CShpMerge::Evaluate(IShapeAttr* attributes, int* result) {
    if (result == nullptr)
        return 0;
    *result = 0;
    if (m_filterFieldIndex == -1 || attributes == nullptr)
        return 0;
    IFieldDesc* fields = dynamic_cast<IFieldDesc*>(attributes);
    if (fields == nullptr || m_filterFieldIndex >= fields->GetFieldCount())
        return 0;
    CIString text;
    if (!attributes->GetString(m_filterFieldIndex, &text))
        return 0;
    for (const std::u16string& value : m_filterValues) {
        if (EqualIgnoringCase(text.Str(), value)) {
            *result = 1;
            break;
        }
    }
    return 1;
}

void CShpMerge::AddOutputPrj(CShpFile& output, IGeoDS* first, const std::u16string& outputPath) const {
    if (!m_targetCrs.empty()) {
        if (!output.AddCompanionText(m_targetText, u".prj"))
            ThrowGenericError(u"Can't create shapefile.", outputPath, TakeFailureReason());
        return;
    }
    // The first input's companions travel with the output and appear with it; a vector layer has none.
    const std::u16string prjPath =
        first->GetSourceKind() == SOURCE_VECTOR_LAYER ? std::u16string() : FirstCompanion(m_files[0], u"prj");
    const bool hasPrj = !prjPath.empty();
    // A projection that cannot travel with the data fails the merge: data without it cannot be placed.
    if (hasPrj && !output.AddCompanionCopy(prjPath, u".prj"))
        ThrowGenericError(u"Can't create shapefile.", outputPath, TakeFailureReason());
    // A MapInfo table states its system inside itself.
    std::string wkt;
    if (IProjectionText* projection = QueryProjectionText(first); !hasPrj && projection != nullptr &&
                                                                  projection->GetProjectionText(wkt) &&
                                                                  !output.AddCompanionText(wkt, u".prj"))
        ThrowGenericError(u"Can't create shapefile.", outputPath, TakeFailureReason());
}

int64_t CShpMerge::FindUnwritableTexts(std::size_t limit, std::vector<SUnwritableText>& found,
                                       IProgressMeter* progress) {
    if (!m_validated)
        Check(nullptr);
    found.clear();
    int64_t count = 0;
    std::string bytes;
    std::u16string wide;
    for (std::size_t i = 0; i < m_files.size(); ++i) {
        const int codePage = m_facts[i].codePage;
        // Undeclared bytes pass as they are, except into UTF-8, where they must be UTF-8.
        const bool undeclared = codePage <= 0;
        if (codePage == m_codePage || (undeclared && m_codePage != 65001))
            continue;
        std::u16string reason;
        CRef<IGeoDS> source = OpenInput(i, reason);
        IFieldDesc* fields = source ? FieldsOf(source.Get()) : nullptr;
        if (!source)
            ThrowGenericError(u"Can't open file.", m_files[i], reason);
        // Each text field and the width its output field gives it.
        std::vector<std::pair<int, int>> texts;
        for (int f = 0; fields != nullptr && f < fields->GetFieldCount(); ++f) {
            if (fields->GetFieldType(f) != FIELD_CHARACTER)
                continue;
            int width = fields->GetFieldWidth(f);
            if (m_fieldPlan) {
                const std::vector<int>& sources = m_fieldPlan->layout.sources[i];
                const auto at = std::find(sources.begin(), sources.end(), f);
                if (at == sources.end())
                    continue;
                width = m_fieldPlan->layout.fields[static_cast<std::size_t>(at - sources.begin())].width;
            }
            texts.emplace_back(f, width);
        }
        CRef<IRecset> records;
        if (texts.empty() || !source->SelectAll(records.Put()) || !records)
            continue;
        int64_t record = 0;
        for (bool more = records->MoveFirst() != 0; more; more = records->MoveNext() != 0) {
            ++record;
            CRef<IShapeAttr> values;
            if (!records->GetAttributes(values.Put()) || !values)
                continue; // the merge names a record it cannot read
            for (const auto& [f, width] : texts) {
                CIString text;
                if (!values->GetString(f, &text) || text.Str().empty())
                    continue;
                std::u16string why;
                if (undeclared) {
                    CShpFile::EncodeText(0, text.Str(), std::u16string::npos, bytes);
                    if (MultiByteToWideChar(65001, bytes.data(), static_cast<int>(bytes.size()), wide) == 0)
                        why = u"its bytes are not UTF-8";
                } else if (!CShpFile::EncodeText(m_codePage, text.Str(), std::u16string::npos, bytes)) {
                    why = u"code page " + Utf16Number(m_codePage) + u" cannot hold it";
                } else if (bytes.size() > static_cast<std::size_t>(width)) {
                    why = u"it takes " + Utf16Number(static_cast<long long>(bytes.size())) +
                          u" bytes in code page " + Utf16Number(m_codePage) + u", its field " +
                          Utf16Number(width);
                }
                if (why.empty())
                    continue;
                if (++count <= static_cast<int64_t>(limit)) {
                    CIString name;
                    fields->GetFieldName(f, &name);
                    found.push_back({m_files[i], record, name.Str(), text.Str(), why});
                }
            }
        }
        RaiseIfCancelled(progress);
    }
    return count;
}

void CShpMerge::NoteUndeclaredText(const CShpFile& output, std::size_t index) {
    if (!output.UndeclaredTextPassed())
        return;
    std::u16string line = m_files[index];
    line += u": its table declares no code page; its texts are copied as stored into an output in code page ";
    line += Utf16Number(output.GetCodePage());
    line += u" (a .cpg file beside it can declare its code page).";
    m_warnings.push_back(std::move(line));
}

std::u16string CShpMerge::InputReplacedBy(const std::u16string& outputPath) const {
    const std::u16string mainPath = COutputFiles::MainFilePath(outputPath);
    const std::u16string input = mainPath.empty() ? mainPath : COutputFiles::ReplacedInput(mainPath, m_files);
    if (input.empty())
        return {};
    std::u16string text = u"The output ";
    text.append(mainPath)
        .append(u" would replace the input ")
        .append(input)
        .append(u"; choose another name.");
    return text;
}

void CShpMerge::Merge(const std::u16string& outputPath, IProgressMeter* progress) {
    m_recordsWritten = 0;
    if (!m_validated) {
        if (progress != nullptr)
            progress->Step();
        Check(nullptr);
    }
    if (const std::u16string why = InputReplacedBy(outputPath); !why.empty())
        ThrowGenericError(u"Can't create shapefile.", outputPath, why);
    std::u16string reason;
    CRef<IGeoDS> first = OpenInput(0, reason);
    if (!first)
        ThrowGenericError(u"Can't open main file.", m_files[0], reason);
    SetupFilter(first.Get());
    CRef<IRecset> templateSet;
    ClearFailure();
    if (!first->SelectAll(templateSet.Put()) || !templateSet)
        RethrowKept(CMemoryException());
    // The output's fields come from the first record's attributes. When the first input has a table but that
    // record cannot be read from it, the writer would take the input for one without a table and drop every
    // input's attributes, so the merge fails instead.
    if (IFieldDesc* fields = FieldsOf(first.Get()); fields != nullptr && fields->GetFieldCount() > 0) {
        CRef<IShapeAttr> attributes;
        if (templateSet->MoveFirst() && (!templateSet->GetAttributes(attributes.Put()) || !attributes)) {
            const std::u16string why = TakeFailureReason(); // the reader's own reason, when it left one
            ThrowGenericError(u"An error occurred while adding data from file.", m_files[0],
                              why.empty() ? u"The attributes of its first record cannot be read."
                                          : u"The attributes of its first record cannot be read: " + why);
        }
    }
    // Matched by name, the filter field has its own position in each input, and an input without it has no
    // record that passes.
    const auto select = [this](IGeoDS* source) -> IRecset* {
        if (m_matchNames && !m_filterField.empty()) {
            m_filterFieldIndex = FindFieldIndex(FieldsOf(source), m_filterField.c_str());
            if (m_filterFieldIndex < 0)
                return nullptr;
        }
        return SelectRecords(source);
    };
    CRef<IRecset> selected = CRef<IRecset>::Adopt(select(first.Get()));

    m_skippedRecords = 0;
    CShpFile output;
    output.SetCodePage(m_codePage);
    // A code page chosen for the output is declared in the .dbf's header too, where a byte names it.
    output.SetLanguageDriver(m_outputCodePage > 0);
    output.SetOverwrite(m_overwrite);
    output.SetSync(m_sync);
    output.SetShapeVariant(m_variant);
    output.SetShapeType(first->GetShapeType());
    if (m_fieldPlan)
        output.SetFieldLayout(m_fieldPlan->layout.fields);
    // Which fields of input i feed the output's, when the output's fields were planned.
    const auto mapFields = [&](std::size_t i) {
        if (m_fieldPlan &&
            !output.SetSourceFields(m_fieldPlan->layout.sources[i], m_fieldPlan->layout.fileNames[i]))
            ThrowGenericError(u"An error occurred while adding data from file.", m_files[i],
                              TakeFailureReason());
    };
    if (!CreateOutput(outputPath, output, templateSet.Get()))
        ThrowGenericError(u"Can't create shapefile.", outputPath, TakeFailureReason());
    AddOutputPrj(output, first.Get(), outputPath);
    const std::u16string cpgPath = FirstCompanion(m_files[0], u"cpg");
    // A chosen code page gets the .cpg GDAL writes for it; else the first input's may travel.
    if (m_outputCodePage < 0 && output.GetCodePage() > 0 && first->GetSourceKind() == SOURCE_SHAPEFILE &&
        !cpgPath.empty()) {
        // Only a .cpg that names the code page actually written is copied as it stands.
        const auto line = ReadFirstLine(cpgPath);
        if (line && CxBaseDatabase::CodePageOfCpgText(*line) == output.GetCodePage())
            if (!output.AddCompanionCopy(cpgPath, u".cpg"))
                ThrowGenericError(u"Can't create shapefile.", outputPath, TakeFailureReason());
    }

    // Inputs in another coordinate system are converted into the target, the first input's unless one is
    // named (Check chose them).
    CProjCrs target;
    CProjCrs system;
    CCrsConversion conversion;
    COpenAhead ahead(m_files, 1, false);
    for (std::size_t i = 0; i < m_files.size(); ++i) {
        CRef<IGeoDS> source = i == 0 ? first : TakeInput(ahead, i, reason);
        if (!source)
            ThrowGenericError(u"Can't open file.", m_files[i], reason);
        const bool convert = i < m_convertFrom.size() && !m_convertFrom[i].empty();
        if (convert && ((!target.IsRead() && !target.Read(m_convertInto)) || !system.Read(m_convertFrom[i]) ||
                        !conversion.Build(system, target)))
            ThrowGenericError(u"An error occurred while adding data from file.", m_files[i],
                              u"Its coordinate system cannot be converted.");
        CRef<IRecset> records = i == 0 ? std::move(selected) : CRef<IRecset>::Adopt(select(source.Get()));
        const int64_t before = output.GetRecordCount();
        if (records)
            mapFields(i);
        SkipBadRecordsOf(output, i);
        if (m_onRecords) {
            const int64_t total = i < m_facts.size() ? m_facts[i].records : 0;
            output.SetRecordProgress([this, i, total](long long done) { m_onRecords(i, done, total); });
        }
        output.SetPointConversion(convert ? &conversion : nullptr);
        const bool appended = !records || AppendRecordset(output, records.Get());
        output.SetPointConversion(nullptr);
        if (!appended)
            ThrowGenericError(u"An error occurred while adding data from file.", m_files[i],
                              TakeFailureReason());
        if (records)
            NoteUndeclaredText(output, i);
        if (i < m_facts.size())
            m_facts[i].written = output.GetRecordCount() - before;
        if (progress != nullptr) {
            if (i > 0)
                RaiseIfCancelled(progress);
            progress->Step();
        }
    }
    templateSet.Reset();
    first.Reset();

    if (!CloseOutput(output))
        ThrowGenericError(u"Can't create shapefile.", outputPath, TakeFailureReason());
    m_recordsWritten = output.GetRecordCount();
    if (!m_filterField.empty() && m_recordsWritten == 0) {
        std::u16string line = u"no record of the inputs matched ";
        line.append(m_filterField).append(u"=").append(m_filterValuesText);
        m_warnings.push_back(std::move(line));
    }
}

} // namespace fennick
