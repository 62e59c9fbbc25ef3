// A shapefile as a user hands it over: .shp, .shx and optionally .dbf and .stx, opened with and without the
// spatial index and asked every question a reader of its records asks.
//
// Input: the .shp, .shx, .dbf and .stx bytes joined by the file separator.

#include "FuzzSupport.h"

#include "data/IGeoDS.h"
#include "data/Ref.h"
#include "platform/CodePage.h"
#include "shp/ShpDS.h"

using namespace fennick;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::QuietLibraries();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > fuzz::kMaxInput)
        return -1;
    const auto files = fuzz::SplitFiles(data, size, 4);
    auto& scratch = fuzz::CScratch::Fresh();
    const std::string shp = scratch.Write("layer.shp", files[0]);
    scratch.Write("layer.shx", files[1]);
    scratch.Write("layer.dbf", files[2], true);
    scratch.Write("layer.stx", files[3], true);

    CRef<IGeoDS> source;
    if (OpenShpDS(FromUtf8(shp), nullptr, source.Put(), nullptr) && source)
        fuzz::ExerciseSource(source.Get());
    return 0;
}
