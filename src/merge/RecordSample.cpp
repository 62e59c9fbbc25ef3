#include "merge/RecordSample.h"

#include "data/IGeoDS.h"
#include "data/IRecset.h"
#include "data/IShapeAttr.h"
#include "data/IString.h"
#include "data/Ref.h"
#include "merge/OpenGeoDS.h"
#include "platform/Boundary.h"
#include "platform/Exceptions.h"
#include "platform/Variant.h"

#include <algorithm>
#include <new>

namespace fennick {

namespace {

void ReadInto(SRecordSample& sample, const std::u16string& path, std::size_t limit) {
    // The layer merged with itself: the check plans its fields as a merge writes them.
    CShpMerge merge;
    merge.AddFile(path);
    merge.AddFile(path);
    merge.Check(nullptr);
    sample.fields = merge.FieldPlan();
    sample.records = merge.InputFacts().empty() ? 0 : merge.InputFacts().front().records;

    CRef<IGeoDS> source;
    if (!OpenGeoDS(path, nullptr, source.Put(), nullptr) || !source) {
        sample.error = OpenFailureReason(path);
        return;
    }
    CRef<IRecset> all;
    source->SelectAll(all.Put());
    CVariant value;
    for (int more = all ? all->MoveFirst() : 0; more && sample.rows.size() < limit; more = all->MoveNext()) {
        auto& row = sample.rows.emplace_back(sample.fields.size());
        CRef<IShapeAttr> attributes;
        if (!all->GetAttributes(attributes.Put()) || !attributes)
            continue;
        for (std::size_t f = 0; f < row.size(); ++f) {
            const int field = static_cast<int>(f);
            CIString text;
            if (attributes->GetValue(field, &value) && value.vt == VT_NULL)
                continue;
            if (attributes->GetString(field, &text))
                row[f] = text.Str();
        }
    }
}

} // namespace

SRecordSample ReadRecordSample(const std::u16string& path, std::size_t limit) {
    SRecordSample sample;
    try {
        ReadInto(sample, path, limit);
    } catch (const CException& error) {
        sample.error = error.FullText();
    } catch (const std::bad_alloc&) {
        sample.error = CMemoryException().Message();
    }
    ClearFailure();
    return sample;
}

} // namespace fennick
