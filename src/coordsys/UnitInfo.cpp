#include "coordsys/UnitInfo.h"

#include "coordsys/EpsgCatalogue.h"
#include "coordsys/NumberText.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <vector>

namespace fennick {

namespace {

constexpr double kDegreesPerRadian = 57.29577951308232;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// DDD.MMSSsss: minutes are the two digits after the point, seconds the next two with the rest as decimals.
double SexagesimalToDegrees(const char* text) {
    const char* point = std::strchr(text, '.');
    const bool negative = text[0] == '-';
    if (point == nullptr) {
        const double degrees = std::fabs(std::trunc(TextToDouble(text)));
        return negative ? -degrees : degrees;
    }
    const std::string whole(text, point);
    double degrees = std::fabs(std::trunc(TextToDouble(whole.c_str())));
    const char* frac = point + 1;
    if (*frac == '\0')
        return negative ? -degrees : degrees;
    const int m1 = IsDigit(frac[0]) ? frac[0] - '0' : 0;
    const int m2 = IsDigit(frac[1]) ? frac[1] - '0' : 0;
    double seconds = 0.0;
    if (frac[1] != '\0' && frac[2] != '\0') {
        std::string s;
        s += frac[2];
        s += IsDigit(frac[3]) ? frac[3] : '0';
        if (frac[3] != '\0') {
            s += '.';
            s += frac + 4;
        }
        seconds = TextToDouble(s.c_str());
    }
    degrees += (m1 * 10 + m2) / 60.0 + seconds / 3600.0;
    return negative ? -degrees : degrees;
}

} // namespace

double AngleToDegrees(const char* text, int unit) {
    if (text == nullptr)
        return 0.0;
    switch (unit) {
    case 9101:
        return TextToDouble(text) * 180.0 / std::numbers::pi;
    case 9103:
        return TextToDouble(text) / 60.0;
    case 9104:
        return TextToDouble(text) / 3600.0;
    case 9105:
    case 9106:
        return TextToDouble(text) / 200.0 * 180.0;
    case 9110:
        return SexagesimalToDegrees(text);
    default:
        return TextToDouble(text);
    }
}

bool AngularUnitInfo(int code, const char** name, double* degreesPerUnit) {
    const char* n = "";
    double factor = 1.0;
    if (const SEpsgUnitRow* row = FindEpsgUnit(code)) {
        factor = row->denominator == 0.0 ? 1.0 : row->numerator / row->denominator * kDegreesPerRadian;
        // The catalogue's degree variants, 9122 among them, all carry the name "degree".
        if (code == 9102 || code == 9107 || code == 9108 || code == 9110 || code == 9122)
            n = "degree";
        if (code == 9105)
            factor = 0.9;
    } else {
        switch (code) {
        case 9101:
            n = "radian";
            factor = kDegreesPerRadian;
            break;
        case 9103:
            n = "arc-minute";
            factor = 1.0 / 60.0;
            break;
        case 9104:
            n = "arc-second";
            factor = 1.0 / 3600.0;
            break;
        case 9105:
            n = "grad";
            factor = 0.9;
            break;
        case 9106:
            n = "gon";
            factor = 0.9;
            break;
        case 9109:
            n = "microradian";
            factor = 5.729577951308238e-5;
            break;
        default:
            if (code < 9101 || code > 9110)
                return false;
            n = "degree";
            factor = 1.0;
            break;
        }
    }
    if (name)
        *name = n;
    if (degreesPerUnit)
        *degreesPerUnit = factor;
    return true;
}

bool LinearUnitInfo(int code, const char** name, double* metresPerUnit) {
    if (code == 9001) {
        if (name)
            *name = "metre";
        if (metresPerUnit)
            *metresPerUnit = 1.0;
        return true;
    }
    const SEpsgUnitRow* row = FindEpsgUnit(code);
    if (row == nullptr)
        return false;
    if (name)
        *name = row->name;
    if (metresPerUnit)
        *metresPerUnit = row->denominator > 0.0 ? row->numerator / row->denominator : 0.0;
    return true;
}

int UnitCodeFromFactor(double factor) {
    struct SFactor {
        int code;
        double factor;
    };
    // Built once from the catalogue: the factors rounded to the 15 digits WKT writers print.
    static const std::vector<SFactor> table = [] {
        std::vector<SFactor> rows;
        for (size_t i = 0; i < kEpsgUnitRowCount; ++i) {
            const SEpsgUnitRow& row = kEpsgUnitRows[i];
            if (row.code < 9001 || row.code > 9122 || row.denominator == 0.0 || row.baseUnitCode == 9201)
                continue;
            char text[40];
            const auto r = std::to_chars(text, text + sizeof text - 1, row.numerator / row.denominator,
                                         std::chars_format::general, 15);
            *r.ptr = '\0';
            rows.push_back({row.code, TextToDouble(text)});
        }
        return rows;
    }();
    for (const SFactor& f : table)
        if (f.factor == factor)
            return f.code;
    return 0;
}

} // namespace fennick
