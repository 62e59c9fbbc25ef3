#pragma once
// A small tagged value standing in for the OLE Automation VARIANT: bookmarks (VT_I4) and typed attribute
// values.

#include <cstdint>
#include <string>

namespace fennick {

enum VarType : uint16_t {
    VT_EMPTY = 0,
    VT_NULL = 1, // a stored null: no value, as opposed to a zero or an empty text
    VT_I4 = 3,
    VT_R8 = 5,
    VT_DATE = 7,
    VT_BSTR = 8,
    VT_BOOL = 11,
    VT_DECIMAL = 14,
};

// Booleans as VARIANT keeps them: true is -1.
constexpr int16_t VARIANT_TRUE = -1;
constexpr int16_t VARIANT_FALSE = 0;

// A 96-bit scaled decimal; this system only fills scale 0 and the low 64 bits.
struct SDecimal {
    uint8_t scale = 0;
    uint8_t sign = 0; // 0x80 for negative values
    uint32_t hi32 = 0;
    uint64_t lo64 = 0;
};

struct CVariant {
    VarType vt = VT_EMPTY;
    int32_t lVal = 0;
    double dblVal = 0.0; // VT_R8, and VT_DATE as days since 30 December 1899
    int16_t boolVal = VARIANT_FALSE;
    SDecimal decVal;
    std::u16string bstrVal;

    CVariant() = default;
    static CVariant Null();
    static CVariant FromI4(int32_t v);
    static CVariant FromR8(double v);
    static CVariant FromBool(bool v);
    static CVariant FromDate(double v);
    static CVariant FromString(std::u16string v);
    static CVariant FromInt64(int64_t v); // VT_DECIMAL with scale 0

    // The signed integer a VT_DECIMAL of scale 0 holds; false when it does not fit 64 bits.
    bool DecimalToInt64(int64_t& out) const;
};

void VariantInit(CVariant* v);
void VariantClear(CVariant* v);
// Copies src into dest (dest cleared first). Returns 0 (S_OK).
int VariantCopy(CVariant* dest, const CVariant* src);
// Converts src to the type vt into dest. Returns 0 on success, a negative code when the value cannot be
// represented (DISP_E_TYPEMISMATCH or DISP_E_OVERFLOW), leaving dest unchanged.
int VariantChangeType(CVariant* dest, const CVariant* src, VarType vt);

constexpr int DISP_E_TYPEMISMATCH = static_cast<int>(0x80020005u);
constexpr int DISP_E_OVERFLOW = static_cast<int>(0x8002000Au);

// The VT_DATE value of a calendar date (proleptic Gregorian); false for a date that does not exist.
bool SystemTimeToVariantTime(int year, int month, int day, int hour, int minute, int second, double* out);
// The calendar date and time of a VT_DATE value, to the nearest second; false for a value outside the
// years 100 to 9999 or not finite.
bool VariantTimeToSystemTime(double date, int* year, int* month, int* day, int* hour, int* minute,
                             int* second);

} // namespace fennick
