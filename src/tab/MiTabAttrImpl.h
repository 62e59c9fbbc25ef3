#pragma once
// CMiTabAttrImpl: the attribute record of one MapInfo TAB feature, read through GDAL/OGR. It owns its feature
// (fetched for it alone), so it stays valid after the record set moves on and after its data source closes.
// Also here: what the TAB source and its records share, the field-kind mapping and the reader guard.

#include "data/IFieldDesc.h"
#include "data/IShapeAttr.h"
#include "data/RefCounted.h"

#include <cpl_error.h>
#include <ogr_feature.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace fennick {

// A field as the framework describes it: type code, width and decimals.
struct STabFieldKind {
    int type = 0;
    int width = 0;
    int decimals = 0;
};

// Maps an OGR field type with its width and precision: integer -> 2 (width 11 when 0), 64-bit integer -> 2
// (width 20 when 0), real -> 3 (width 16 and 6 decimals when the width is 0), string -> 1, and for these a
// non-zero width is kept with the precision as decimals. Date -> 5 (8), date and time -> 1 (19), time -> 1
// (8), whatever the reader's width. Anything else -> 0: a column no field can keep.
STabFieldKind TabFieldKind(int ogrFieldType, int width, int precision);
STabFieldKind TabFieldKind(const OGRFieldDefn& field);

// The text of a date, date-and-time or time value of the feature: YYYYMMDD, "YYYY-MM-DD hh:mm:ss",
// "hh:mm:ss"; empty for a value that is not set. 1 on success, -1 for a value with a fraction of a second
// (which the text cannot keep), 0 for a field of another kind.
int TabTemporalText(const OGRFeature& feature, int field, std::string& text);

// Held around every call into the TAB reader: takes the process-wide lock and keeps GDAL's own diagnostics
// off the terminal (the system reports failures with its own messages), while counting the errors GDAL
// reports meanwhile: GDAL often goes on after one and hands out less than the table holds. Releases both
// when it goes out of scope.
class CTabReaderGuard {
public:
    CTabReaderGuard();
    ~CTabReaderGuard();
    CTabReaderGuard(const CTabReaderGuard&) = delete;
    CTabReaderGuard& operator=(const CTabReaderGuard&) = delete;

    // The errors GDAL reported under this guard (warnings do not count), and the first one's text.
    int Errors() const { return m_errors; }
    const std::string& FirstError() const { return m_firstError; }

private:
    static void CPL_STDCALL Count(CPLErr level, CPLErrorNum number, const char* message);

    std::lock_guard<std::recursive_mutex> m_lock;
    int m_errors = 0;
    std::string m_firstError;
};

// Features handed back by the records that held them, for the thread that read them to free: freed in
// another thread than the one that allocated them, every record would take the allocator's locks of both.
class CFeatureBin {
public:
    // Takes the feature, or leaves it to the caller once the bin is closed.
    void Put(OGRFeatureUniquePtr& feature);
    // Frees the features handed back so far.
    void Empty();
    // Frees what is left; features handed back later stay with their callers.
    void Close();

private:
    std::mutex m_mutex;
    std::vector<OGRFeature*> m_features;
    bool m_closed = false;
};

class CMiTabAttrImpl : public CUnknownImpl<IShapeAttr>, public IFieldDesc {
public:
    // Takes over the feature. Texts are decoded with the code page, or as UTF-8 when the layer delivers
    // its strings recoded to UTF-8. With a bin, the feature goes there when the record is released.
    CMiTabAttrImpl(OGRFeatureUniquePtr feature, int record, int codePage, bool utf8,
                   std::shared_ptr<CFeatureBin> bin = nullptr);
    ~CMiTabAttrImpl() override;

    // The value as text. An empty value reads as success with an empty text. 0 for a bad field index.
    int GetString(int field, IString* value) override;
    // OGR's integer and real readings of the value; 0 for a bad field index.
    int GetInteger(int field, int* value) override;
    int GetDouble(int field, double* value) override;
    // Dates, dates with times and times read as the texts TabTemporalText gives; a value with a fraction of a
    // second fails with 0 and the reason left for the caller.
    // VT_I4 for integer fields (VT_DECIMAL for a 64-bit value beyond 32 bits), VT_R8 for real ones, VT_DATE
    // for dates, VT_BSTR of the text for every other kind; an unset date or time is null (VT_NULL).
    int GetValue(int field, CVariant* value) override;
    int GetBookmark(CVariant* bookmark) override;

    // Read from the feature's own definition.
    int GetFieldCount() override;
    int GetFieldName(int index, IString* name) override;
    int GetFieldWidth(int index) override;
    int GetFieldDecimals(int index) override;
    int GetFieldType(int index) override;

    int GetCodePage() const { return m_codePage; }

private:
    const OGRFieldDefn* Field(int index) const;
    // The code page texts are decoded with.
    int TextCodePage() const;
    // TabTemporalText's text; false, with the reason left, when the value cannot be kept.
    bool TemporalText(int field, std::string& text) const;

    OGRFeatureUniquePtr m_feature;
    int m_record;
    int m_codePage;
    bool m_utf8;
    std::shared_ptr<CFeatureBin> m_bin;
};

} // namespace fennick
