#include "merge/LayerFacts.h"

#include "data/IDirectAccess.h"
#include "data/IFieldDesc.h"
#include "data/IGeoDS.h"
#include "data/IStoredShape.h"
#include "data/Ref.h"
#include "merge/LayerCoordSys.h"
#include "merge/OpenGeoDS.h"
#include "platform/Boundary.h"
#include "platform/Exceptions.h"

#include <algorithm>
#include <new>

namespace fennick {

SLayerFacts ReadLayerFacts(const std::u16string& path) {
    SLayerFacts facts;
    facts.path = path;
    try {
        CRef<IGeoDS> source;
        if (!OpenGeoDS(path, nullptr, source.Put(), nullptr) || !source) {
            facts.error = OpenFailureReason(path);
            return facts;
        }
        facts.kind = source->GetSourceKind();
        facts.shapeType = source->GetShapeType();
        facts.variant = ShapeVariantOf(source.Get());
        if (auto* records = dynamic_cast<IDirectAccess*>(source.Get()))
            facts.records = std::max(records->GetRecordCount(), 0);
        if (auto* fields = dynamic_cast<IFieldDesc*>(source.Get()))
            facts.fields = std::max(fields->GetFieldCount(), 0);
        facts.codePage = std::max(source->GetCodePage(), 0);
        CLayerCoordSys system;
        system.Load(path, source.Get());
        facts.coordSys = system.ShortName();
    } catch (const CException& error) {
        facts.error = error.FullText();
    } catch (const std::bad_alloc&) {
        facts.error = CMemoryException().Message();
    }
    ClearFailure();
    return facts;
}

} // namespace fennick
