#pragma once
// Angles and units of the EPSG catalogue: reading an angle in an EPSG angle unit (sexagesimal DDD.MMSSsss
// included), and the name and size of an angular or linear unit by its EPSG code.

namespace fennick {

// The angle in text, given in EPSG unit code unit, in degrees. Unknown units read the value as degrees.
double AngleToDegrees(const char* text, int unit);

// Name and degrees per unit of an angular unit; false for codes outside the catalogue and 9101..9110.
bool AngularUnitInfo(int code, const char** name, double* degreesPerUnit);

// Name and metres per unit of a linear unit; false for a code not in the catalogue.
bool LinearUnitInfo(int code, const char** name, double* metresPerUnit);

// The first EPSG unit (codes 9001..9122, length or angle) whose factor, as WKT writes it (15 significant
// digits), equals factor exactly; 0 when none does.
int UnitCodeFromFactor(double factor);

} // namespace fennick
