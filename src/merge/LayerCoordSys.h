#pragma once
// CLayerCoordSys: the coordinate system a layer states, for comparing layers before they are merged: the
// text of the .prj beside it, else a MapInfo table's own, and the system PROJ reads from that text.

#include "coordsys/ProjCrs.h"

#include <string>

namespace fennick {

class IGeoDS;

// The text of a system named as "EPSG:CODE" (ESRI's WKT, from the EPSG catalogue or PROJ) or as the path of a .prj
// file (its bytes). Raises CGenericEx naming it when there is none.
std::string ReadTargetCrs(const std::u16string& name);

class CLayerCoordSys {
public:
    // Takes what the layer at path (open as source) states. Two .prj files differing only in letter case
    // raise the generic error of FindCompanion. A .prj that cannot be read states a system PROJ cannot read.
    void Load(const std::u16string& path, IGeoDS* source);
    // Takes a system given as its text (a target system).
    void LoadText(const std::string& text);

    bool IsStated() const { return m_stated; }
    // False when its .prj is there but cannot be read (not a regular file, too large, no permission).
    bool IsFileReadable() const { return m_fileReadable; }
    const std::string& Text() const { return m_text; }

    // Whether other states the same system: both none, the same text, or PROJ's equivalence test (axis
    // order of geographic systems ignored). A system PROJ cannot read matches only its own text.
    bool Matches(CLayerCoordSys& other);
    // The system as PROJ reads it (read on the first call); null when none is stated or PROJ cannot read it.
    const CProjCrs* Crs();
    // The system in short: PROJ's name ("NAD27", "WGS 84 / UTM zone 15N"), "none", or why it is unknown.
    std::u16string ShortName();

private:
    bool m_stated = false;
    bool m_fileReadable = true;
    std::string m_text;
    bool m_read = false; // m_crs was tried
    CProjCrs m_crs;
};

} // namespace fennick
