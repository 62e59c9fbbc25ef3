#pragma once
// What fennick-info reports about a layer or a coordinate system, as JSON (nlohmann) or as text for people.

#include <nlohmann/json.hpp>

namespace fennick {

class IGeoDS;
class ICoordSys;

// {"path", "kind", "shape_type", "shape_variant", "record_count", "bounds", "code_page", "fields",
// "coordsys"} ("coordsys_error" too when a stated system cannot be read) and, when withRecords, "records":
// [{"shape_type", "shape_variant", "parts", "values"}]. shape_variant: 0 x and y only, 1 with m, 2 with z
// and m (ShapeVariant). Raises, with the reader's reason, when a record cannot be read.
nlohmann::json DescribeLayer(IGeoDS* source, const std::string& path, bool withRecords);
// {"code", "projected", "proj"}; null for a null system.
nlohmann::json DescribeCoordSys(ICoordSys* coordSys);
// The text form of either description.
std::string LayerText(const nlohmann::json& layer);
// One line for a layer: shape type, records, fields, code page and coordinate system in short.
std::string LayerSummary(const nlohmann::json& layer);
// A system's text form; a null one with an error is unknown, with why.
std::string CoordSysText(const nlohmann::json& coordSys, const std::string& error = {});

} // namespace fennick
