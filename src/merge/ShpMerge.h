#pragma once
// CShpMerge: checks that two or more layers (shapefiles or TAB tables) share shape type and column layout,
// and merges them, input after input, into one new shapefile. Every failure raises CGenericEx with the text
// the user sees. The engine is also the attribute filter (IExpression) its own searches evaluate.

#include "data/IExpression.h"

#include <string>
#include <vector>

namespace fennick {

class IGeoDS;
class IRecset;
class IProgressMeter;

class CShpMerge : public IExpression {
public:
    CShpMerge() = default;
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

private:
    void SetupFilter(IGeoDS* first);
    // SelectAll without a filter, else a search with this engine as the expression; null when nothing passes.
    IRecset* SelectRecords(IGeoDS* source);

    std::vector<std::u16string> m_files;
    int m_filterFieldIndex = -1;
    std::vector<std::u16string> m_filterValues;
    bool m_validated = false;
    int m_variant = 0; // of the output: the widest of the inputs' (ShapeVariant), set by Check
};

} // namespace fennick
