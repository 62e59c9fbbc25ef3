// Loading the program's modules on first use. This test program links neither module, so it reaches them
// the way the programs do: dlopen from the build tree's module folder.

#include "TempDir.h"

#include "coordsys/NativeProjection.h"
#include "coordsys/ProjModule.h"
#include "data/ModuleLoader.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <filesystem>

using namespace fennick;
using fennick::test::CTempDir;

namespace {

const std::string kModuleFolder = std::string(FENNICK_BINARY_DIR) + "/lib";

const SModuleName kProj = {kProjModuleFile, kProjModuleSymbol, kProjModuleVersion};

int g_actions = 0;
const void* g_actionEntries = nullptr;

void CountAction(const void* entries) {
    ++g_actions;
    g_actionEntries = entries;
}

} // namespace

TEST(ModuleLoading, ProjectionsWorkThroughTheLoadedProjModule) {
    // The wish to silence PROJ, made before the module is loaded, holds once it is.
    QuietProjDiagnostics();
    ASSERT_EQ(dlsym(RTLD_DEFAULT, kProjModuleSymbol), nullptr) << "this test must not link the module";

    CNativeProjection geographic;
    CNativeProjection utm;
    ASSERT_TRUE(geographic.Build("+proj=longlat +datum=WGS84 +no_defs")) << ProjModuleError();
    ASSERT_TRUE(utm.Build("+proj=utm +zone=32 +datum=WGS84 +units=m +no_defs"));
    EXPECT_EQ(ProjModuleError(), "");
    EXPECT_TRUE(geographic.IsLatLong());
    EXPECT_FALSE(utm.IsLatLong());
    EXPECT_FALSE(utm.Build("+proj=nosuchprojection"));
    EXPECT_FALSE(utm.IsBuilt());
    ASSERT_TRUE(utm.Build("+proj=utm +zone=32 +datum=WGS84 +units=m +no_defs"));

    // Zone 32's central meridian, 9 degrees east, maps to the false easting; the way back restores the point.
    CGeoPoint points[2] = {{9.0, 45.0}, {10.5, 47.25}};
    ASSERT_TRUE(utm.Transform(geographic, points, 2));
    EXPECT_NEAR(points[0].x, 500000.0, 1e-6);
    EXPECT_GT(points[0].y, 4000000.0);
    EXPECT_GT(points[1].x, 500000.0);
    ASSERT_TRUE(geographic.Transform(utm, points, 2));
    EXPECT_NEAR(points[0].x, 9.0, 1e-9);
    EXPECT_NEAR(points[0].y, 45.0, 1e-9);
    EXPECT_NEAR(points[1].x, 10.5, 1e-9);
    EXPECT_NEAR(points[1].y, 47.25, 1e-9);

    const SProjModuleEntries* proj = ProjModule();
    ASSERT_NE(proj, nullptr);
    EXPECT_EQ(proj->logLevel(nullptr, PJ_LOG_TELL), PJ_LOG_NONE);
}

TEST(ModuleLoading, WishesWaitForTheModuleAndRunOnce) {
    CModuleLoader loader(kProj, {kModuleFolder});
    g_actions = 0;
    loader.WhenLoaded(&CountAction);
    loader.WhenLoaded(&CountAction); // the same wish twice is one wish
    EXPECT_EQ(g_actions, 0);
    const void* entries = loader.Entries();
    ASSERT_NE(entries, nullptr) << loader.Error();
    EXPECT_FALSE(loader.Missing());
    EXPECT_EQ(g_actions, 1);
    EXPECT_EQ(g_actionEntries, entries);
    // Once loaded, a wish is done at once.
    loader.WhenLoaded(&CountAction);
    EXPECT_EQ(g_actions, 2);
    EXPECT_EQ(loader.Entries(), entries);
}

TEST(ModuleLoading, FailuresSayWhy) {
    CTempDir dir;
    {
        CModuleLoader loader({"libfennick_absent.so", "FennickAbsentModuleEntries", 1}, {dir.Path()});
        g_actions = 0;
        loader.WhenLoaded(&CountAction);
        EXPECT_FALSE(loader.Missing()); // not tried yet
        EXPECT_EQ(loader.Entries(), nullptr);
        EXPECT_TRUE(loader.Missing());
        EXPECT_EQ(loader.Error(), "libfennick_absent.so was not found beside the program.");
        loader.WhenLoaded(&CountAction);
        EXPECT_EQ(g_actions, 0);
    }
    {
        // A file that is no shared object is reported with the loader's reason.
        dir.Write(kProjModuleFile, "not a shared object");
        CModuleLoader loader(kProj, {dir.Path()});
        EXPECT_EQ(loader.Entries(), nullptr);
        EXPECT_NE(loader.Error().find(dir.Path(kProjModuleFile)), std::string::npos) << loader.Error();
        // ... and the next folder is still searched.
        CModuleLoader fallback(kProj, {dir.Path(), kModuleFolder});
        EXPECT_NE(fallback.Entries(), nullptr) << fallback.Error();
    }
    {
        CModuleLoader loader({kProjModuleFile, kProjModuleSymbol, kProjModuleVersion + 1}, {kModuleFolder});
        EXPECT_EQ(loader.Entries(), nullptr);
        EXPECT_TRUE(loader.Missing());
        EXPECT_EQ(loader.Error(), std::string(kProjModuleFile) + " is of another version of this program.");
    }
    {
        // A module left by another build is refused, named, and not used in place of this build's.
        const std::string stale = std::string(FENNICK_STALE_MODULE_DIR) + "/" + kProjModuleFile;
        CModuleLoader loader(kProj, {FENNICK_STALE_MODULE_DIR});
        EXPECT_EQ(loader.Entries(), nullptr);
        EXPECT_NE(loader.Error().find(stale), std::string::npos) << loader.Error();
        EXPECT_NE(loader.Error().find("0.9.0+stale"), std::string::npos) << loader.Error();
    }
}

TEST(ModuleLoading, TheDefaultFolderIsTheCoreLibrarysOwn) {
    // The build tree keeps the core and the modules in one folder, as the install does.
    const std::vector<std::string> folders = DefaultModuleFolders();
    ASSERT_EQ(folders.size(), 1u);
    EXPECT_EQ(std::filesystem::canonical(folders[0]), std::filesystem::canonical(kModuleFolder));
}
