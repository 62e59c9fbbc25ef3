#include "search/RecsetSelection.h"

#include "data/IGeoDS.h"
#include "data/IShape.h"
#include "data/IShapeAttr.h"
#include "data/QuickRecset.h"
#include "data/SearchSpec.h"
#include "data/ShapeRecset.h"
#include "platform/Boundary.h"
#include "platform/Variant.h"
#include "search/SearchRecset.h"

namespace fennick {

namespace {

// A NaN anywhere makes every comparison false, so such a layer never counts as covered.
bool QueryCoversLayer(const CGeoRect& layer, const CGeoRect& query) {
    const bool strictlyInside = layer.left > query.left && layer.right < query.right &&
                                layer.top < query.top && layer.bottom > query.bottom;
    const bool equal = layer.left == query.left && layer.right == query.right && layer.top == query.top &&
                       layer.bottom == query.bottom;
    return strictlyInside || equal;
}

} // namespace

int SelectRecordsByRect(IGeoDS* source, IDirectAccess* access, const CGeoRect& query,
                        const SpatialIndexQuery& index, IRecset** recset) {
    if (!source || !access || !recset)
        return 0;
    return Guarded([&] {
        CGeoRect layer;
        source->GetBounds(&layer);
        CRef<IRecset> result;
        if (QueryCoversLayer(layer, query)) {
            result = MakeRef<CShapeRecset>(access, false, query);
        } else {
            if (index) {
                CRef<CQuickRecset> quick = MakeRef<CQuickRecset>(access, query);
                if (index(query, quick->Bits())) {
                    quick->CountSelected();
                    result = std::move(quick);
                }
            }
            if (!result)
                result = MakeRef<CShapeRecset>(access, true, query);
        }
        *recset = result.Detach();
        return 1;
    });
}

int SearchRecords(IGeoDS* source, IDirectAccess* access, CSearchSpec* spec, IRecset** recset) {
    if (!source || !access || !spec || !recset)
        return 0;
    return Guarded([&] {
        ISearchRegion* region = spec->m_region.Get();
        IExpression* expression = spec->m_expression.Get();
        CGeoRect area;
        if (region)
            region->GetBounds(&area);
        else
            source->GetBounds(&area);

        CRef<IRecset> candidates;
        if (!source->SelectByRect(&area, candidates.Put()) || !candidates)
            return 0;

        CRef<CSearchRecset> found = MakeRef<CSearchRecset>(access);
        CRef<IShape> shape;
        CRef<IShapeAttr> attributes;
        CVariant bookmark;
        for (int more = candidates->MoveFirst(); more; more = candidates->MoveNext()) {
            CGeoRect bounds;
            int pass = 1;
            if (region) {
                if (!candidates->GetShape(shape.Put(), 0) || !shape) {
                    shape.Reset();
                    continue;
                }
                IShape* tested = shape.Get();
                pass = spec->m_containMode ? region->IntersectsShape(tested) : region->ContainsShape(tested);
                shape->GetBounds(&bounds);
                shape.Reset();
            } else {
                candidates->GetRecordBounds(&bounds);
            }
            if (expression) {
                if (!pass)
                    continue;
                pass = 0;
                // An expression that cannot evaluate a record does not let it pass.
                if (candidates->GetAttributes(attributes.Put()) && attributes &&
                    !expression->Evaluate(attributes.Get(), &pass))
                    pass = 0;
                attributes.Reset();
            }
            if (pass && candidates->GetBookmark(&bookmark))
                found->Add(bookmark.lVal, bounds);
        }
        candidates.Reset();
        if (found->Records().empty())
            return 0;
        found->MoveFirst();
        *recset = found.Detach();
        return 1;
    });
}

} // namespace fennick
