// The record-set behaviour every data source shares, run over MapInfo TAB tables written by GDAL.

#include "RecsetConformance.h"
#include "TabFixtures.h"

#include "data/IGeoDS.h"
#include "merge/OpenTabDS.h"
#include "platform/CodePage.h"

namespace fennick::test {

struct STabLayerFactory {
    // GDAL reports no geometry type for a table without features, and such a table is refused at open.
    static constexpr bool kRefusesEmptyLayers = true;

    static CRef<IGeoDS> Open(const SLayerSpec& layer, const CTempDir& dir) {
        static int serial = 0;
        const std::string path = dir.Path("layer" + std::to_string(++serial) + ".tab");
        WriteTabTable(path, TabSpecFromLayer(layer));
        CRef<IGeoDS> ds;
        if (!OpenTabDS(FromUtf8(path), ds.Put()) && !layer.records.empty())
            ADD_FAILURE() << "cannot open " << path;
        return ds;
    }
};

INSTANTIATE_TYPED_TEST_SUITE_P(Tab, RecsetConformance, ::testing::Types<STabLayerFactory>);

} // namespace fennick::test
