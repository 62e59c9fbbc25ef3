// A MapInfo table as a user hands it over: what our own code reads of its files (the .dat header and the row
// flags that say which rows are live, the object counts of the .map header), then the whole table opened
// through GDAL's driver and asked every question a reader of its records asks.
//
// Input: the .tab, .dat, .map and .id bytes joined by the file separator.

#include "FuzzSupport.h"

#include "data/RefCounted.h"
#include "platform/CodePage.h"
#include "platform/Exceptions.h"
#include "tab/MiTabDS.h"
#include "tab/MiTabFiles.h"

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
    const std::string tab = scratch.Write("table.tab", files[0]);
    const std::string dat = scratch.Write("table.dat", files[1], true);
    const std::string map = scratch.Write("table.map", files[2], true);
    scratch.Write("table.id", files[3], true);

    // The readers of the bytes alone, then of the files.
    STabDatHeader header;
    ParseTabDatHeader(reinterpret_cast<const uint8_t*>(files[1].data()), files[1].size(), header);
    const int headerType =
        TabMapHeaderShapeType(reinterpret_cast<const uint8_t*>(files[2].data()), files[2].size());
    if (ReadTabMapHeaderShapeType(FromUtf8(map)) != headerType)
        __builtin_trap(); // the file and its bytes tell different types
    try {
        const STabLiveRows rows = ReadTabLiveRows(FromUtf8(dat));
        // Deleted rows are left out, so the live rows are at most the declared ones, and listed in order.
        if (rows.live < 0 || rows.live > rows.declared ||
            (!rows.numbers.empty() && static_cast<int32_t>(rows.numbers.size()) != rows.live))
            __builtin_trap();
        for (std::size_t i = 1; i < rows.numbers.size(); ++i)
            if (rows.numbers[i] <= rows.numbers[i - 1] || rows.numbers[i] > rows.declared)
                __builtin_trap();
    } catch (const CException&) {
    }

    CRef<CMiTabDS> source = MakeRef<CMiTabDS>();
    try {
        source->Open(FromUtf8(tab), false);
    } catch (const CException&) {
        return 0;
    }
    fuzz::ExerciseSource(source.Get());
    source->Close();
    return 0;
}
