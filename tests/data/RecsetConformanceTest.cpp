// The record-set behaviour every data source shares, run over the in-memory data source.

#include "RecsetConformance.h"
#include "MemoryGeoDS.h"

namespace fennick::test {

struct SMemoryLayerFactory {
    static CRef<IGeoDS> Open(const SLayerSpec& layer, const CTempDir&) {
        return CRef<IGeoDS>(MakeMemoryGeoDS(layer)->AsGeoDS());
    }
};

INSTANTIATE_TYPED_TEST_SUITE_P(Memory, RecsetConformance, ::testing::Types<SMemoryLayerFactory>);

} // namespace fennick::test
