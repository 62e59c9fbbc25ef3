#pragma once
// CProjCrs: a coordinate system as PROJ itself reads its definition text (a .prj's ESRI WKT, OGC WKT of
// any version, a PROJ string, "EPSG:4267"), datum included, for comparing systems and converting between
// them. Unlike CCommonCoordSysImpl it keeps no definition of its own: what PROJ reads is what it holds.

#include "coordsys/ProjHandles.h"

#include <string>

namespace fennick {

class CProjCrs {
public:
    // Reads a definition text; a UTF-8 byte-order mark and surrounding blanks are left out. False, with
    // nothing held and Error saying why, when PROJ cannot be loaded or the text is not a coordinate system.
    bool Read(const std::string& text);
    bool IsRead() const { return m_crs != nullptr; }
    // Why the last Read failed.
    const std::string& Error() const { return m_error; }

    // PROJ's name of the system ("NAD27", "WGS 84 / UTM zone 15N"); empty when nothing is held.
    std::string Name() const;
    // The system in ESRI's WKT, the text of a .prj; empty when nothing is held or PROJ cannot write it so.
    std::string EsriWkt() const;
    // The EPSG code PROJ finds for the system: its own, or its best match when PROJ rates it 70 % or more
    // (equivalent but for names such as "unnamed"); 0 when there is none.
    int EpsgCode() const;
    // Whether both hold the same system, whatever their texts say it with; the axis order of geographic
    // systems is not compared (a .prj states none). False when either holds nothing.
    bool IsEquivalentTo(const CProjCrs& other) const;

    PJ* Get() const { return m_crs.get(); }

private:
    CProjContext m_context; // first, so that it goes last
    CProjObject m_crs;
    std::string m_error;
};

} // namespace fennick
