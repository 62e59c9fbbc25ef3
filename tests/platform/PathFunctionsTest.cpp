#include "platform/PathFunctions.h"

#include "TempDir.h"
#include "platform/CodePage.h"

#include <gtest/gtest.h>

using namespace fennick;

TEST(PathFunctions, WindowsStylePaths) {
    EXPECT_EQ(GetDirectoryPart(u"C:\\maps\\roads.shp"), u"C:\\maps\\");
    EXPECT_EQ(GetFileBaseName(u"C:\\maps\\roads.shp"), u"roads");
    EXPECT_EQ(ReplaceExtension(u"C:\\maps\\roads.tab", u".tpj"), u"C:\\maps\\roads.tpj");
    EXPECT_EQ(ReplaceExtension(u"C:\\maps\\roads", u".prj"), u"C:\\maps\\roads.prj");
    EXPECT_EQ(JoinPath(u"C:\\maps\\", u"roads", u"ttx"), u"C:\\maps\\roads.ttx");
    EXPECT_EQ(JoinPath(u"C:\\maps", u"roads", u"ttx"), u"C:\\maps\\roads.ttx");
    EXPECT_EQ(JoinPath(u"C:\\maps", u"\\roads", u".ttx"), u"C:\\maps\\roads.ttx");
    EXPECT_EQ(GetDirectoryPart(u"C:roads.shp"), u"C:");
}

TEST(PathFunctions, PosixPaths) {
    EXPECT_EQ(GetDirectoryPart(u"/data/maps/roads.shp"), u"/data/maps/");
    EXPECT_EQ(GetFileBaseName(u"/data/maps/roads.v2.shp"), u"roads.v2");
    EXPECT_EQ(GetFileBaseName(u"/data/maps.d/roads"), u"roads");
    EXPECT_EQ(ReplaceExtension(u"/data/maps/roads.shp", u".prj"), u"/data/maps/roads.prj");
    EXPECT_EQ(ReplaceExtension(u"/data/maps.d/roads", u".prj"), u"/data/maps.d/roads.prj");
    EXPECT_EQ(JoinPath(u"/data/maps/", u"roads", u"shx"), u"/data/maps/roads.shx");
    EXPECT_EQ(JoinPath(u"/data/maps", u"roads", u"shx"), u"/data/maps/roads.shx");
    EXPECT_EQ(JoinPath(u"maps", u"roads", u"shx"), u"maps/roads.shx");
    EXPECT_EQ(JoinPath(u"/data/maps", u"/roads", u""), u"/data/maps/roads");
}

TEST(PathFunctions, RelativeLayerFindsItsCompanionsBesideIt) {
    // A layer opened as "roads.shp" has an empty folder part; its index is "roads.shx", not "/roads.shx".
    const std::u16string dir = GetDirectoryPart(u"roads.shp");
    EXPECT_EQ(dir, u"");
    EXPECT_EQ(JoinPath(dir, GetFileBaseName(u"roads.shp"), u"shx"), u"roads.shx");
}

TEST(PathFunctions, NullPartsContributeNothing) {
    EXPECT_EQ(JoinPath(nullptr, u"roads", u"dbf"), u"roads.dbf");
    EXPECT_EQ(JoinPath(u"/data", nullptr, u"dbf"), u"/data/.dbf");
    EXPECT_EQ(JoinPath(u"/data", u"roads", nullptr), u"/data/roads");
}

TEST(PathFunctions, FileExistsForFilesAndFolders) {
    fennick::test::CTempDir dir;
    dir.Write("a.shp", "");
    EXPECT_TRUE(FileExists(dir.WPath("a.shp")));
    EXPECT_TRUE(FileExists(FromUtf8(dir.Path())));
    EXPECT_FALSE(FileExists(dir.WPath("b.shp")));
    EXPECT_FALSE(FileExists(u""));
}
