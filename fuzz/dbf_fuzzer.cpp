// The xBase table reader alone: header, field descriptors, the code page from the language driver byte and
// from a .cpg, and every getter of every field of every record.
//
// Input: the .dbf bytes, then optionally the separator and the .cpg text.

#include "FuzzSupport.h"

#include "data/IString.h"
#include "platform/CodePage.h"
#include "platform/Exceptions.h"
#include "platform/Variant.h"
#include "shp/XBaseDatabase.h"
#include "shp/XBaseRecord.h"

#include <algorithm>

using namespace fennick;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::QuietLibraries();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > fuzz::kMaxInput)
        return -1;
    const auto files = fuzz::SplitFiles(data, size, 2);
    auto& scratch = fuzz::CScratch::Fresh();
    const std::string dbf = scratch.Write("table.dbf", files[0]);
    scratch.Write("table.cpg", files[1], true);

    CxBaseDatabase table;
    try {
        table.Open(FromUtf8(dbf), 0x40, 0, u"");
    } catch (const CException&) {
        return 0;
    }
    CIString text;
    const int fields = table.GetFieldCount();
    for (int f = -1; f <= fields; ++f) {
        table.GetFieldName(f, &text);
        table.GetFieldWidth(f);
        table.GetFieldDecimals(f);
        table.GetFieldType(f);
    }
    const uint32_t count = std::min<uint32_t>(table.GetRecordCount(), fuzz::kMaxRecords);
    CVariant value;
    for (uint32_t r = 0; r <= count; ++r) {
        CRef<CxBaseRecord> record;
        try {
            record = table.GetRecord(r);
        } catch (const CException&) {
            continue;
        }
        if (!record)
            continue;
        for (int f = -1; f <= record->GetFieldCount(); ++f) {
            int i = 0;
            double d = 0;
            record->GetString(f, &text);
            record->GetInteger(f, &i);
            record->GetDouble(f, &d);
            record->GetValue(f, &value);
            record->GetText(f);
            record->GetFieldName(f, &text);
            record->GetFieldWidth(f);
            record->GetFieldDecimals(f);
            record->GetFieldType(f);
        }
        record->GetBookmark(&value);
    }
    // A record that outlives its table keeps its values.
    CRef<CxBaseRecord> survivor;
    try {
        if (table.GetRecordCount() > 0)
            survivor = table.GetRecord(0);
    } catch (const CException&) {
    }
    table.Close();
    if (survivor)
        for (int f = 0; f < fields; ++f)
            survivor->GetValue(f, &value);
    return 0;
}
