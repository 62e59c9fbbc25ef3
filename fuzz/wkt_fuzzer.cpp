// The coordinate system reader: WKT text into a definition, the PROJ string built from what it read, and the
// same text loaded as a ".prj" file through the coordinate system object.
//
// Input: the WKT text.

#include "FuzzSupport.h"

#include "coordsys/CommonCoordSysImpl.h"
#include "coordsys/CoordSysDefinition.h"
#include "coordsys/ProjString.h"
#include "coordsys/WktReader.h"
#include "data/Ref.h"
#include "platform/CodePage.h"
#include "tab/WktParser.h"

#include <string>

using namespace fennick;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::QuietLibraries();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 64 * 1024)
        return -1;
    const std::string text(reinterpret_cast<const char*>(data), size);

    CCoordSysDefinition definition;
    if (ReadWktDefinition(definition, text.c_str())) {
        std::string narrow;
        std::u16string wide;
        BuildProjString(definition, narrow);
        BuildProjString(definition, wide);
    }
    ProjectionCodeFromName(text.c_str());

    auto& scratch = fuzz::CScratch::Fresh();
    const std::string prj = scratch.Write("layer.prj", text);
    const std::u16string path = FromUtf8(prj);
    ICoordSys* raw = nullptr;
    if (LoadCoordSys(path.c_str(), &raw) && raw) {
        CRef<ICoordSys> coordSys = CRef<ICoordSys>::Adopt(raw);
        coordSys->IsProjected();
        coordSys->IsGeographic();
        coordSys->IsEmpty();
        coordSys->GetUnitCode();
        coordSys->GetCode();
        std::string proj;
        static_cast<CCommonCoordSysImpl*>(raw)->GetProjString(proj);
    }
    return 0;
}
