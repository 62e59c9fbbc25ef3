#include "merge/ShpMerge.h"

#include "data/FindFieldIndex.h"
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
#include "merge/OpenGeoDS.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/GenericEx.h"
#include "platform/PathFunctions.h"
#include "platform/TextCase.h"
#include "shp/ShpFile.h"
#include "shp/XBaseDatabase.h"

#include <algorithm>

namespace fennick {

namespace {

// Opens an input; on failure, reason says why when that is known.
CRef<IGeoDS> OpenLayer(const std::u16string& path, std::u16string* reason = nullptr) {
    CRef<IGeoDS> source;
    char16_t error[260] = {};
    if (!OpenGeoDS(path, nullptr, source.Put(), error))
        source.Reset();
    if (!source && reason != nullptr)
        *reason = OpenFailureReason(path, error);
    return source;
}

// Every data source is also the description of its own fields.
IFieldDesc* FieldsOf(IGeoDS* source) {
    return dynamic_cast<IFieldDesc*>(source);
}

// A column as the reason for a layout difference names it: NAME character(30) or AREA real(18.6).
std::u16string DescribeField(IFieldDesc* fields, int index) {
    CIString name;
    fields->GetFieldName(index, &name);
    std::u16string text = name.Str() + u" " + FromUtf8(FieldTypeName(fields->GetFieldType(index))) + u"(" +
                          Utf16Number(fields->GetFieldWidth(index));
    // Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) on a literal + std::u16string&&.
    if (fields->GetFieldDecimals(index) != 0) {
        text += u'.';
        text += Utf16Number(fields->GetFieldDecimals(index));
    }
    text += u')';
    return text;
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

// The output keeps the first input's text encoding when it is known; otherwise bytes pass through unchanged.
int OutputCodePage(IGeoDS* first) {
    const int codePage = first->GetCodePage();
    return codePage > 0 ? codePage : 0;
}

} // namespace

// Out of line, so the class and its virtual table live in the core only.
CShpMerge::~CShpMerge() = default;

void CShpMerge::AddFile(const std::u16string& path) {
    m_files.push_back(path);
    m_validated = false;
}

void CShpMerge::Check(IProgressMeter* progress) {
    m_validated = false;
    if (m_files.size() < 2)
        ThrowGenericError(u"Two or more files is required.");
    std::u16string reason;
    CRef<IGeoDS> first = OpenLayer(m_files[0], &reason);
    if (!first)
        ThrowGenericError(u"Can't open main file.", m_files[0], reason);
    IFieldDesc* reference = FieldsOf(first.Get());
    // A first input without attributes gives the output none: a later input with columns would lose them.
    const bool compareFields = reference != nullptr;
    // The output takes the widest variant of its inputs, so that no z or m value is lost.
    int variant = ShapeVariantOf(first.Get());
    for (std::size_t i = 1; i < m_files.size(); ++i) {
        CRef<IGeoDS> source = OpenLayer(m_files[i], &reason);
        if (!source)
            ThrowGenericError(u"Can't open file.", m_files[i], reason);
        if (source->GetShapeType() != first->GetShapeType())
            ThrowGenericError(m_files[i], u"Different shape types.",
                              FromUtf8(ShapeTypeName(first->GetShapeType())) + u" in " + m_files[0] + u", " +
                                  FromUtf8(ShapeTypeName(source->GetShapeType())) + u" in " + m_files[i]);
        variant = std::max(variant, ShapeVariantOf(source.Get()));
        if (compareFields) {
            const std::u16string difference =
                LayoutDifference(reference, m_files[0], FieldsOf(source.Get()), m_files[i]);
            if (!difference.empty())
                ThrowGenericError(m_files[i], u"Different column definitions.", difference);
        }
        if (progress != nullptr) {
            RaiseIfCancelled(progress);
            progress->Step();
        }
    }
    m_variant = variant;
    m_validated = true;
}

void CShpMerge::SetupFilter(IGeoDS* first) {
    if (m_filterField.empty())
        return;
    m_filterFieldIndex = FindFieldIndex(FieldsOf(first), m_filterField.c_str());
    if (m_filterFieldIndex < 0)
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

void CShpMerge::SkipBadRecordsOf(CShpFile& output, const std::u16string& path) {
    if (!m_skipBadRecords)
        return;
    output.SetSkipBadRecords([this, &path](long long record, const std::u16string& reason) {
        ++m_skippedRecords;
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

void CShpMerge::Merge(const std::u16string& outputPath, IProgressMeter* progress) {
    if (!m_validated) {
        if (progress != nullptr)
            progress->Step();
        Check(nullptr);
    }
    std::u16string reason;
    CRef<IGeoDS> first = OpenLayer(m_files[0], &reason);
    if (!first)
        ThrowGenericError(u"Can't open main file.", m_files[0], reason);
    SetupFilter(first.Get());
    CRef<IRecset> templateSet;
    if (!first->SelectAll(templateSet.Put()) || !templateSet)
        ThrowMemory();
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
    CRef<IRecset> selected = CRef<IRecset>::Adopt(SelectRecords(first.Get()));

    m_skippedRecords = 0;
    CShpFile output;
    output.SetCodePage(OutputCodePage(first.Get()));
    output.SetOverwrite(m_overwrite);
    output.SetShapeVariant(m_variant);
    if (!CreateOutput(outputPath, output, templateSet.Get()))
        ThrowGenericError(u"Can't create shapefile.", outputPath, output.GetLastError());
    // The first input's companions travel with the output and appear with it.
    const std::u16string prjPath = FirstCompanion(m_files[0], u"prj");
    const bool hasPrj = !prjPath.empty();
    // A projection that cannot travel with the data fails the merge: data without it cannot be placed.
    if (hasPrj && !output.AddCompanionCopy(prjPath, u".prj"))
        ThrowGenericError(u"Can't create shapefile.", outputPath, output.GetLastError());
    // A MapInfo table states its system inside itself.
    std::string wkt;
    if (IProjectionText* projection = QueryProjectionText(first.Get());
        !hasPrj && projection != nullptr && projection->GetProjectionText(wkt) &&
        !output.AddCompanionText(wkt, u".prj"))
        ThrowGenericError(u"Can't create shapefile.", outputPath, output.GetLastError());
    const std::u16string cpgPath = FirstCompanion(m_files[0], u"cpg");
    if (output.GetCodePage() > 0 && first->GetSourceKind() == SOURCE_SHAPEFILE && !cpgPath.empty()) {
        // Only a .cpg that names the code page actually written is copied as it stands.
        const auto line = ReadFirstLine(cpgPath);
        if (line && CxBaseDatabase::CodePageOfCpgText(*line) == output.GetCodePage())
            if (!output.AddCompanionCopy(cpgPath, u".cpg"))
                ThrowGenericError(u"Can't create shapefile.", outputPath, output.GetLastError());
    }

    SkipBadRecordsOf(output, m_files[0]);
    if (selected && !AppendRecordset(output, selected.Get()))
        ThrowGenericError(u"An error occurred while adding data from file.", m_files[0],
                          output.GetLastError());
    selected.Reset();
    if (progress != nullptr)
        progress->Step();

    for (std::size_t i = 1; i < m_files.size(); ++i) {
        CRef<IGeoDS> source = OpenLayer(m_files[i], &reason);
        if (!source)
            ThrowGenericError(u"Can't open file.", m_files[i], reason);
        CRef<IRecset> records = CRef<IRecset>::Adopt(SelectRecords(source.Get()));
        SkipBadRecordsOf(output, m_files[i]);
        if (records && !AppendRecordset(output, records.Get()))
            ThrowGenericError(u"An error occurred while adding data from file.", m_files[i],
                              output.GetLastError());
        if (progress != nullptr) {
            RaiseIfCancelled(progress);
            progress->Step();
        }
    }
    templateSet.Reset();
    first.Reset();

    if (!CloseOutput(output))
        ThrowGenericError(u"Can't create shapefile.", outputPath, output.GetLastError());
}

} // namespace fennick
