// A whole check and merge of two shapefiles into the scratch folder. Beyond not crashing, the merge must keep
// its promises: a failure leaves no output file behind (temporary ones included), and a success leaves an
// output that opens again and whose record count is that of the inputs' records.
//
// Input: a.shp, a.shx, a.dbf, b.shp, b.shx, b.dbf joined by the file separator.

#include "FuzzSupport.h"

#include "data/IDirectAccess.h"
#include "data/IGeoDS.h"
#include "data/Ref.h"
#include "merge/ShpMerge.h"
#include "platform/CodePage.h"
#include "platform/Exceptions.h"
#include "shp/ShpDS.h"

#include <algorithm>

using namespace fennick;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::QuietLibraries();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > fuzz::kMaxInput)
        return -1;
    const auto files = fuzz::SplitFiles(data, size, 6);
    auto& scratch = fuzz::CScratch::Fresh();
    const std::string a = scratch.Write("a.shp", files[0]);
    scratch.Write("a.shx", files[1]);
    scratch.Write("a.dbf", files[2], true);
    const std::string b = scratch.Write("b.shp", files[3]);
    scratch.Write("b.shx", files[4]);
    scratch.Write("b.dbf", files[5], true);
    const std::vector<std::string> inputs = scratch.List();
    const std::string out = scratch.Path("out.shp");

    CShpMerge engine;
    engine.AddFile(FromUtf8(a));
    engine.AddFile(FromUtf8(b));
    bool merged = false;
    try {
        engine.Check(nullptr);
        engine.Merge(FromUtf8(out), nullptr);
        merged = true;
    } catch (const CException&) {
    }
    if (!merged) {
        if (scratch.List() != inputs)
            __builtin_trap(); // a failed merge left files behind
        return 0;
    }
    CRef<IGeoDS> output;
    if (!OpenShpDS(FromUtf8(out), nullptr, output.Put(), nullptr) || !output)
        __builtin_trap(); // a merge reported success over an output that does not open
    fuzz::ExerciseSource(output.Get());
    return 0;
}
