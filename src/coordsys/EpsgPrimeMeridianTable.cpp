// EPSG prime meridians.
// Generated from PROJ's proj.db, EPSG registry v10.076 (2022-08-31); do not edit.
// Regenerate with: python3 tools/gen_epsg_catalogue.py /usr/share/proj/proj.db src/coordsys
// clang-format off
#include "coordsys/EpsgCatalogue.h"

namespace fennick {

const SEpsgPrimeMeridianRow kEpsgPrimeMeridianRows[] = {
{8901, "Greenwich", "0", 9102},
{8902, "Lisbon", "-9.0754862", 9110},
{8903, "Paris", "2.5969213", 9105},
{8904, "Bogota", "-74.04513", 9110},
{8905, "Madrid", "-3.411455", 9110},
{8906, "Rome", "12.27084", 9110},
{8907, "Bern", "7.26225", 9110},
{8908, "Jakarta", "106.482779", 9110},
{8909, "Ferro", "-17.4", 9110},
{8910, "Brussels", "4.220471", 9110},
{8911, "Stockholm", "18.03298", 9110},
{8912, "Athens", "23.4258815", 9110},
{8913, "Oslo", "10.43225", 9110},
{8914, "Paris RGS", "2.201395", 9110},
};
const size_t kEpsgPrimeMeridianRowCount = sizeof(kEpsgPrimeMeridianRows) / sizeof(kEpsgPrimeMeridianRows[0]);

} // namespace fennick
