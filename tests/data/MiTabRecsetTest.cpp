// The record-set behaviour every data source shares, run over MapInfo TAB tables written by GDAL.

#include "RecsetConformance.h"
#include "TabFixtures.h"

#include "data/IGeoDS.h"
#include "data/OpenTabDS.h"
#include "platform/CodePage.h"

namespace fennick::test {

struct STabLayerFactory {
    static CRef<IGeoDS> Open(const SLayerSpec& layer, const CTempDir& dir) {
        static int serial = 0;
        const std::string path = dir.Path("layer" + std::to_string(++serial) + ".tab");
        WriteTabTable(path, TabSpecFromLayer(layer));
        CRef<IGeoDS> ds;
        if (!OpenTabDS(FromUtf8(path), ds.Put()))
            ADD_FAILURE() << "cannot open " << path;
        return ds;
    }
};

// A TAB table cannot hold an empty layer of a known shape type: GDAL reports no geometry type for a table
// without features, and such a table is refused at open. For this source the shared empty-layer case checks
// that refusal instead (it names the case through GoogleTest's typed-test naming, so a change there fails
// to compile rather than passing silently).
template <>
void gtest_suite_RecsetConformance_::SelectAllOnAnEmptyLayerYieldsASetWithoutRecords<
    STabLayerFactory>::TestBody() {
    const std::string path = this->m_dir.Path("empty.tab");
    WriteTabTable(path, TabSpecFromLayer(SLayerSpec{SHAPE_POLYGON, this->Fields(), {}}));
    CRef<IGeoDS> ds;
    EXPECT_EQ(OpenTabDS(FromUtf8(path), ds.Put()), 0);
    EXPECT_FALSE(ds);
}

INSTANTIATE_TYPED_TEST_SUITE_P(Tab, RecsetConformance, ::testing::Types<STabLayerFactory>);

} // namespace fennick::test
