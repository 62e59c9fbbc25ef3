#include "platform/Variant.h"

#include "platform/CodePage.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace fennick {

CVariant CVariant::Null() {
    CVariant r;
    r.vt = VT_NULL;
    return r;
}

CVariant CVariant::FromI4(int32_t v) {
    CVariant r;
    r.vt = VT_I4;
    r.lVal = v;
    return r;
}

CVariant CVariant::FromR8(double v) {
    CVariant r;
    r.vt = VT_R8;
    r.dblVal = v;
    return r;
}

CVariant CVariant::FromBool(bool v) {
    CVariant r;
    r.vt = VT_BOOL;
    r.boolVal = v ? VARIANT_TRUE : VARIANT_FALSE;
    return r;
}

CVariant CVariant::FromDate(double v) {
    CVariant r;
    r.vt = VT_DATE;
    r.dblVal = v;
    return r;
}

CVariant CVariant::FromString(std::u16string v) {
    CVariant r;
    r.vt = VT_BSTR;
    r.bstrVal = std::move(v);
    return r;
}

CVariant CVariant::FromInt64(int64_t v) {
    CVariant r;
    r.vt = VT_DECIMAL;
    r.decVal.sign = v < 0 ? 0x80 : 0;
    // Magnitude without overflow for INT64_MIN.
    r.decVal.lo64 = v < 0 ? static_cast<uint64_t>(-(v + 1)) + 1 : static_cast<uint64_t>(v);
    return r;
}

bool CVariant::DecimalToInt64(int64_t& out) const {
    if (vt != VT_DECIMAL || decVal.hi32 != 0)
        return false;
    uint64_t mag = decVal.lo64;
    for (int i = 0; i < decVal.scale; ++i)
        mag /= 10;
    if (decVal.sign & 0x80) {
        if (mag > static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) + 1)
            return false;
        out = mag == 0 ? 0 : -static_cast<int64_t>(mag - 1) - 1;
    } else {
        if (mag > static_cast<uint64_t>(std::numeric_limits<int64_t>::max()))
            return false;
        out = static_cast<int64_t>(mag);
    }
    return true;
}

void VariantInit(CVariant* v) {
    if (v != nullptr)
        *v = CVariant();
}

void VariantClear(CVariant* v) {
    if (v != nullptr)
        *v = CVariant();
}

int VariantCopy(CVariant* dest, const CVariant* src) {
    if (dest == nullptr || src == nullptr)
        return DISP_E_TYPEMISMATCH;
    if (dest != src)
        *dest = *src;
    return 0;
}

namespace {

double DecimalToDouble(const SDecimal& d) {
    double v = static_cast<double>(d.lo64) + std::ldexp(static_cast<double>(d.hi32), 64);
    for (int i = 0; i < d.scale; ++i)
        v /= 10.0;
    return (d.sign & 0x80) ? -v : v;
}

// The value as a double when it is numeric (or numeric text); false otherwise.
bool ToDouble(const CVariant& v, double& out) {
    switch (v.vt) {
    case VT_I4:
        out = v.lVal;
        return true;
    case VT_R8:
    case VT_DATE:
        out = v.dblVal;
        return true;
    case VT_BOOL:
        out = v.boolVal;
        return true;
    case VT_DECIMAL:
        out = DecimalToDouble(v.decVal);
        return true;
    case VT_BSTR: {
        const std::string text = ToUtf8(v.bstrVal);
        const char* begin = text.c_str();
        while (*begin == ' ' || *begin == '\t')
            ++begin;
        if (*begin == '\0')
            return false;
        char* end = nullptr;
        errno = 0;
        const double d = std::strtod(begin, &end);
        while (*end == ' ' || *end == '\t')
            ++end;
        if (*end != '\0' || errno == ERANGE)
            return false;
        out = d;
        return true;
    }
    case VT_EMPTY:
        out = 0.0;
        return true;
    case VT_NULL:
        return false;
    }
    return false;
}

std::u16string FormatDouble(double d) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", d);
    return FromUtf8(buf);
}

} // namespace

int VariantChangeType(CVariant* dest, const CVariant* src, VarType vt) {
    if (dest == nullptr || src == nullptr)
        return DISP_E_TYPEMISMATCH;
    CVariant result;
    result.vt = vt;
    if (src->vt == VT_NULL && vt != VT_NULL)
        return DISP_E_TYPEMISMATCH; // a null has no value to convert
    if (src->vt == vt) {
        result = *src;
    } else if (vt == VT_BSTR) {
        switch (src->vt) {
        case VT_I4:
            result.bstrVal = FromUtf8(std::to_string(src->lVal));
            break;
        case VT_BOOL:
            result.bstrVal = src->boolVal ? u"True" : u"False";
            break;
        case VT_DECIMAL: {
            int64_t i = 0;
            if (src->decVal.scale == 0 && src->DecimalToInt64(i))
                result.bstrVal = FromUtf8(std::to_string(i));
            else
                result.bstrVal = FormatDouble(DecimalToDouble(src->decVal));
            break;
        }
        case VT_EMPTY:
            break;
        default:
            result.bstrVal = FormatDouble(src->dblVal);
            break;
        }
    } else {
        double d = 0.0;
        if (!ToDouble(*src, d))
            return DISP_E_TYPEMISMATCH;
        switch (vt) {
        case VT_I4: {
            // Rounds half to even, as the automation conversion does.
            const double r = std::nearbyint(d);
            if (!(r >= -2147483648.0 && r <= 2147483647.0))
                return DISP_E_OVERFLOW;
            result.lVal = static_cast<int32_t>(r);
            break;
        }
        case VT_R8:
        case VT_DATE:
            result.dblVal = d;
            break;
        case VT_BOOL:
            result.boolVal = d != 0.0 ? VARIANT_TRUE : VARIANT_FALSE;
            break;
        case VT_DECIMAL: {
            const double r = std::nearbyint(d);
            if (!(std::fabs(r) < 9.2e18))
                return DISP_E_OVERFLOW;
            result = CVariant::FromInt64(static_cast<int64_t>(r));
            break;
        }
        default:
            return DISP_E_TYPEMISMATCH;
        }
    }
    *dest = std::move(result);
    return 0;
}

bool SystemTimeToVariantTime(int year, int month, int day, int hour, int minute, int second, double* out) {
    if (out == nullptr || year < 100 || year > 9999 || month < 1 || month > 12 || day < 1 || hour < 0 ||
        hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59)
        return false;
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    const int monthDays = kDays[month - 1] + (month == 2 && leap ? 1 : 0);
    if (day > monthDays)
        return false;
    // Days from the civil date (Howard Hinnant's algorithm), relative to 1899-12-30.
    const int y = year - (month <= 2 ? 1 : 0);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int mp = (month + 9) % 12;
    const int doy = (153 * mp + 2) / 5 + day - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const long days = static_cast<long>(era) * 146097 + doe - 719468; // days since 1970-01-01
    const long base = -25569;                                         // 1899-12-30 relative to 1970-01-01
    const double fraction = (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
    *out = static_cast<double>(days - base) + fraction;
    return true;
}

bool VariantTimeToSystemTime(double date, int* year, int* month, int* day, int* hour, int* minute,
                             int* second) {
    // Days -657434 and 2958465 are 1 January 100 and 31 December 9999.
    if (!std::isfinite(date) || date < -657434.0 || date >= 2958466.0)
        return false;
    // The inverse of SystemTimeToVariantTime: the day below the value, and the time since its midnight.
    const double wholeDays = std::floor(date);
    const long long secondsOfDay = std::llround((date - wholeDays) * 86400.0);
    long long days = static_cast<long long>(wholeDays) + secondsOfDay / 86400;
    const long long rest = secondsOfDay % 86400;
    // Civil date from days since 1970-01-01 (Howard Hinnant's algorithm).
    days -= 25569;
    const long long z = days + 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    const int y = static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0));
    if (y < 100 || y > 9999)
        return false;
    *year = y;
    *month = m;
    *day = d;
    *hour = static_cast<int>(rest / 3600);
    *minute = static_cast<int>(rest / 60 % 60);
    *second = static_cast<int>(rest % 60);
    return true;
}

} // namespace fennick
