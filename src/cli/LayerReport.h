#pragma once
// What fennick-info reports about a layer or a coordinate system, as JSON (nlohmann) or as text for people.

#include <nlohmann/json.hpp>

namespace fennick {

class IGeoDS;
class ICoordSys;

// The layer as docs/fennick-info-json.md describes it: kinds and types in words, bounds as minx/miny/maxx/
// maxy, values as JSON numbers, booleans and dates, records counted from 1 ("coordsys_error" when a stated
// system cannot be read). Raises, with the reader's reason, when a record cannot be read.
nlohmann::json DescribeLayer(IGeoDS* source, const std::string& path, bool withRecords);
// {"epsg", "projected", "proj", "wkt"}; null for a null system. wkt is the stated text, else the catalogue's.
nlohmann::json DescribeCoordSys(ICoordSys* coordSys, const std::string& wkt = {});
// The text form of either description.
std::string LayerText(const nlohmann::json& layer);
// One line for a layer: shape type, records, fields, code page and coordinate system in short.
std::string LayerSummary(const nlohmann::json& layer);
// A system's text form; a null one with an error is unknown, with why.
std::string CoordSysText(const nlohmann::json& coordSys, const std::string& error = {});

} // namespace fennick
