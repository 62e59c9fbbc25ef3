#pragma once
// The two selections every data source makes the same way: the choice of record set for a rectangle and
// the search by region and expression. A data source calls them from its SelectByRect and Search with its
// own IGeoDS and IDirectAccess facets.

#include "data/GeoTypes.h"

#include <functional>
#include <vector>

namespace fennick {

class IDirectAccess;
class IGeoDS;
class IRecset;
class CSearchSpec;

// A spatial index query: marks in the bit set (resized to the index's record count) the records that may
// meet the rectangle; 1 on success, 0 on failure. Empty when the source has no index with content.
using SpatialIndexQuery = std::function<int(const CGeoRect& query, std::vector<bool>& bits)>;

// The record set for a query rectangle Q over a layer with bounds B (source->GetBounds):
//   - Q covers the layer (B strictly inside Q on all four sides, or B equal to Q): every record in order,
//     without a bounds test and without consulting the index;
//   - else, with an index: the records the index marks (CQuickRecset);
//   - else, or when the index query fails: every record whose bounds meet Q (CShapeRecset with filter).
// Delivers the record set with one reference. 0 when building it raised.
int SelectRecordsByRect(IGeoDS* source, IDirectAccess* access, const CGeoRect& query,
                        const SpatialIndexQuery& index, IRecset** recset);

// The search: the candidates of source->SelectByRect over the region's bounds (the layer's bounds without a
// region) are tested in their order, by the region (containment or intersection, as the CSearchSpec's contain
// mode says) on the record's shape, then by the expression on its attribute record. The passing records form
// a CSearchRecset positioned on its first entry. 0 when nothing passes or the candidates cannot be selected.
int SearchRecords(IGeoDS* source, IDirectAccess* access, CSearchSpec* spec, IRecset** recset);

} // namespace fennick
