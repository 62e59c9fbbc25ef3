#pragma once
// CCrsConversion: converts points from one coordinate system (CProjCrs) into another with the operation
// PROJ chooses between them, datums honoured as GDAL honours them. On both sides x is easting or longitude
// and y northing or latitude, in the systems' own units (degrees for geographic ones).

#include "coordsys/ProjHandles.h"
#include "data/IPointConversion.h"

namespace fennick {

class CProjCrs;

class CCrsConversion final : public IPointConversion {
public:
    // Sets up the conversion; any earlier one is dropped. False when either system holds nothing or PROJ
    // finds no operation between them.
    bool Build(const CProjCrs& source, const CProjCrs& target);
    bool IsBuilt() const { return m_operation != nullptr; }

    // A point PROJ cannot convert (outside the operation's domain, HUGE_VAL back) fails the call.
    bool Convert(CGeoPoint* points, double* z, std::size_t count) override;

private:
    CProjContext m_context; // first, so that it goes last
    CProjObject m_operation;
};

} // namespace fennick
