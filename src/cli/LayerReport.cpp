#include "cli/LayerReport.h"

#include "coordsys/CoordSysText.h"
#include "coordsys/EpsgCatalogue.h"
#include "coordsys/ProjCrs.h"
#include "data/ICoordSys.h"
#include "data/IDirectAccess.h"
#include "data/IFieldDesc.h"
#include "data/IGeoDS.h"
#include "data/IRecset.h"
#include "data/IShape.h"
#include "data/IShapeAttr.h"
#include "data/IStoredShape.h"
#include "data/IString.h"
#include "data/Ref.h"
#include "data/ShapeLayout.h"
#include "merge/LayerCoordSys.h"
#include "platform/Boundary.h"
#include "platform/CodePage.h"
#include "platform/GenericEx.h"
#include "platform/Variant.h"
#include "shp/IStoredRecords.h"

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <vector>

namespace fennick {

using nlohmann::json;

namespace {

// The kind of a data source as the JSON names it.
const char* KindName(int kind) {
    switch (kind) {
    case SOURCE_SHAPEFILE:
        return "shapefile";
    case SOURCE_MAPINFO_TAB:
        return "mapinfo_tab";
    case SOURCE_VECTOR_LAYER:
        return "vector_layer";
    default:
        return "unknown";
    }
}

// The same for people.
std::string KindText(const std::string& kind) {
    return kind == "mapinfo_tab" ? "MapInfo TAB" : kind == "vector_layer" ? "vector layer" : kind;
}

json Parts(IShape* shape) {
    json parts = json::array();
    const int partCount = shape->GetPartCount();
    for (int p = 0; p < partCount; ++p) {
        int count = 0;
        if (!shape->GetPartPointCount(p, &count))
            continue;
        // A point or multipoint has one part holding all its points.
        if (shape->GetType() == SHAPE_MULTIPOINT || shape->GetType() == SHAPE_POINT)
            shape->GetPointCount(&count);
        const CGeoPoint* points = shape->GetPartPoints(p);
        json part = json::array();
        for (int k = 0; points != nullptr && k < count; ++k)
            part.push_back(json::array({points[k].x, points[k].y}));
        parts.push_back(std::move(part));
    }
    return parts;
}

// Whether text is a number a JSON reader takes back exactly: at most 15 significant digits, in the plain
// form a .dbf stores.
bool IsExactJsonNumber(const std::string& text) {
    std::size_t i = text.find_first_not_of(' ');
    if (i == std::string::npos)
        return false;
    if (text[i] == '-' || text[i] == '+')
        ++i;
    int digits = 0;
    int significant = 0;
    bool point = false;
    for (; i < text.size() && text[i] != ' '; ++i) {
        if (text[i] == '.' && !point) {
            point = true;
        } else if (text[i] >= '0' && text[i] <= '9') {
            ++digits;
            if (significant > 0 || text[i] != '0')
                ++significant;
        } else {
            return false;
        }
    }
    return digits > 0 && significant <= 15 && text.find_first_not_of(' ', i) == std::string::npos;
}

// A value as JSON says it: numbers and logicals as numbers and booleans, dates as YYYY-MM-DD, a stored
// null (or an unknown logical) as null; a number JSON cannot hold exactly, or a number field holding text,
// stays the stored text.
json ValueOf(int fieldType, const std::string& text) {
    switch (fieldType) {
    case FIELD_INTEGER:
    case FIELD_REAL:
        if (IsExactJsonNumber(text))
            return json::parse(text.substr(text.find_first_not_of(" +")), nullptr, false);
        return text;
    case FIELD_LOGICAL:
        if (text == "T" || text == "t" || text == "Y" || text == "y")
            return true;
        if (text == "F" || text == "f" || text == "N" || text == "n")
            return false;
        return text == "?" || text.empty() ? json(nullptr) : json(text);
    case FIELD_DATE:
        if (text.size() == 8 && text.find_first_not_of("0123456789") == std::string::npos)
            return text.substr(0, 4) + "-" + text.substr(4, 2) + "-" + text.substr(6, 2);
        return text;
    default:
        return text;
    }
}

json Values(IShapeAttr* attributes, const std::vector<int>& types) {
    json values = json::array();
    CVariant value;
    for (int f = 0; f < static_cast<int>(types.size()); ++f) {
        CIString text;
        // A stored null shows as null, apart from an empty text; a value that cannot be read says why.
        if (attributes != nullptr && attributes->GetValue(f, &value) && value.vt == VT_NULL)
            values.push_back(nullptr);
        else if (attributes != nullptr && attributes->GetString(f, &text))
            values.push_back(ValueOf(types[f], ToUtf8(text.Str())));
        else if (HasFailure())
            RethrowKept(CGenericEx(u"A value cannot be read."));
        else
            values.push_back(nullptr);
    }
    return values;
}

// The .dbf letter of a field: as stored for a shapefile, as the merge writes it for other sources.
char LetterOf(IStoredRecords* stored, int field, int type) {
    if (stored != nullptr && field < stored->StoredFieldCount())
        return stored->StoredField(field).type;
    switch (type) {
    case FIELD_CHARACTER:
        return 'C';
    case FIELD_LOGICAL:
        return 'L';
    case FIELD_DATE:
        return 'D';
    default:
        return 'N';
    }
}

const char* VariantName(int variant) {
    return variant == VARIANT_Z ? "z" : variant == VARIANT_M ? "m" : "xy";
}

// {"shape_type": "polygon", "shape_type_code": 15, "variant": "z"}: the kind in words, its shapefile code.
void DescribeShapeType(json& into, int type, int variant) {
    into["shape_type"] = ShapeTypeName(type);
    into["shape_type_code"] = type == SHAPE_NULL ? 0 : ShpTypeOf(type, variant);
    into["variant"] = VariantName(variant);
}

// "polygon", "polygon Z" ...: the shape type of a layer or record description.
std::string TypeName(const json& described) {
    std::string name = described["shape_type"].get<std::string>();
    const std::string variant = described.value("variant", "xy");
    if (variant != "xy" && name != "null")
        name += variant == "z" ? " Z" : " M";
    return name;
}

std::string Number(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

} // namespace

json DescribeCoordSys(ICoordSys* coordSys, const std::string& wkt) {
    if (coordSys == nullptr)
        return nullptr;
    int code = coordSys->GetCode();
    // A text the catalogue does not name (an ESRI .prj, say) may still be an EPSG system PROJ knows.
    if (CProjCrs crs; code <= 0 && !wkt.empty() && crs.Read(wkt))
        code = crs.EpsgCode();
    std::string text = wkt;
    if (text.empty())
        if (const SEsriWktRow* row = code > 0 ? FindEsriWkt(code) : nullptr)
            text = row->wkt;
    return json{{"epsg", code > 0 ? json(code) : json(nullptr)},
                {"projected", coordSys->IsProjected() != 0},
                {"proj", ProjStringOf(coordSys)},
                {"wkt", text.empty() ? json(nullptr) : json(text)}};
}

json DescribeLayer(IGeoDS* source, const std::string& path, bool withRecords) {
    json layer;
    layer["path"] = path;
    layer["kind"] = KindName(source->GetSourceKind());
    DescribeShapeType(layer, source->GetShapeType(), ShapeVariantOf(source));

    CRef<IRecset> all;
    int recordCount = 0;
    if (source->SelectAll(all.Put()) && all)
        recordCount = all->GetCount();
    layer["record_count"] = recordCount;

    CGeoRect bounds;
    source->GetBounds(&bounds);
    // The data source keeps top as the smaller y of a layer read from a shapefile header.
    layer["bounds"] = {{"minx", std::min(bounds.left, bounds.right)},
                       {"miny", std::min(bounds.top, bounds.bottom)},
                       {"maxx", std::max(bounds.left, bounds.right)},
                       {"maxy", std::max(bounds.top, bounds.bottom)}};
    layer["code_page"] = source->GetCodePage();

    json fields = json::array();
    // Every data source is also the description of its own fields.
    IFieldDesc* desc = dynamic_cast<IFieldDesc*>(source);
    IStoredRecords* stored = QueryStoredRecords(dynamic_cast<IDirectAccess*>(source));
    if (stored != nullptr && !stored->HasStoredRecords())
        stored = nullptr;
    std::vector<int> types;
    const int fieldCount = desc != nullptr ? desc->GetFieldCount() : 0;
    for (int f = 0; f < fieldCount; ++f) {
        CIString name;
        desc->GetFieldName(f, &name);
        const int type = desc->GetFieldType(f);
        types.push_back(type);
        fields.push_back(json{{"name", ToUtf8(name.Str())},
                              {"type", FieldTypeName(type)},
                              {"letter", std::string(1, LetterOf(stored, f, type))},
                              {"width", desc->GetFieldWidth(f)},
                              {"decimals", desc->GetFieldDecimals(f)}});
    }
    layer["fields"] = std::move(fields);
    ClearFailure();
    ICoordSys* coordSys = source->GetCoordSys();
    std::string wkt;
    if (coordSys != nullptr) {
        CLayerCoordSys stated;
        stated.Load(FromUtf8(path), source);
        wkt = stated.Text();
    }
    layer["coordsys"] = DescribeCoordSys(coordSys, wkt);
    // A stated system that cannot be read says why, rather than passing for none.
    if (coordSys == nullptr && HasFailure())
        layer["coordsys_error"] = ToUtf8(TakeFailureReason());

    if (withRecords) {
        json records = json::array();
        // A record that cannot be read, or a walk that breaks off, fails the listing with the reader's
        // reason: neither may pass for a null record or the end of the layer.
        ClearFailure();
        int number = 0;
        for (int ok = all ? all->MoveFirst() : 0; ok; ok = all->MoveNext()) {
            json record;
            record["record"] = ++number; // counted from 1, as every message counts records
            CRef<IShape> shape;
            const bool hasShape = all->GetShape(shape.Put(), 1) && shape;
            if (HasFailure())
                RethrowKept(CGenericEx(u"A record cannot be read."));
            if (hasShape) {
                const IStoredShape* storedShape = QueryStoredShape(shape.Get());
                DescribeShapeType(record, shape->GetType(),
                                  storedShape != nullptr
                                      ? ShapeVariantOfShpType(storedShape->StoredShapeType())
                                      : VARIANT_XY);
                record["parts"] = Parts(shape.Get());
            } else {
                DescribeShapeType(record, SHAPE_NULL, VARIANT_XY);
                record["parts"] = json::array();
            }
            CRef<IShapeAttr> attributes;
            if (!all->GetAttributes(attributes.Put()) && HasFailure())
                RethrowKept(CGenericEx(u"A record cannot be read."));
            record["values"] = Values(attributes.Get(), types);
            records.push_back(std::move(record));
        }
        if (HasFailure())
            RethrowKept(CGenericEx(u"The records cannot be read to the end."));
        layer["records"] = std::move(records);
    }
    return layer;
}

std::string CoordSysText(const json& cs, const std::string& error) {
    if (cs.is_null())
        return error.empty() ? "none\n" : "unknown (" + error + ")\n";
    std::ostringstream out;
    out << (cs["projected"].get<bool>() ? "projected" : "geographic");
    if (cs["epsg"].is_number())
        out << ", EPSG " << cs["epsg"].get<int>();
    out << "\n  PROJ: " << cs["proj"].get<std::string>() << "\n";
    return out.str();
}

std::string LayerText(const json& layer) {
    std::ostringstream out;
    out << "Layer:       " << layer["path"].get<std::string>() << "\n";
    out << "Kind:        " << KindText(layer["kind"].get<std::string>()) << "\n";
    out << "Shape type:  " << TypeName(layer) << "\n";
    out << "Records:     " << layer["record_count"].get<int>() << "\n";
    const auto& b = layer["bounds"];
    out << "Bounds:      x " << Number(b["minx"].get<double>()) << " to " << Number(b["maxx"].get<double>())
        << ", y " << Number(b["miny"].get<double>()) << " to " << Number(b["maxy"].get<double>()) << "\n";
    out << "Code page:   " << layer["code_page"].get<int>() << "\n";
    out << "Coordinates: " << CoordSysText(layer["coordsys"], layer.value("coordsys_error", std::string()));
    out << "Fields:      " << layer["fields"].size() << "\n";
    for (const auto& f : layer["fields"])
        out << "  " << f["name"].get<std::string>() << "  " << f["type"].get<std::string>() << "("
            << f["width"].get<int>() << "," << f["decimals"].get<int>() << ")\n";
    if (layer.contains("records")) {
        for (const auto& r : layer["records"]) {
            out << "Record " << r["record"].get<int>() << ": " << TypeName(r) << ", " << r["parts"].size()
                << " part(s)";
            for (const auto& v : r["values"])
                out << " | "
                    << (v.is_null()     ? std::string("(null)")
                        : v.is_string() ? v.get<std::string>()
                                        : v.dump());
            out << "\n";
        }
    }
    return out.str();
}

std::string LayerSummary(const json& layer) {
    std::ostringstream out;
    out << TypeName(layer) << ", " << layer["record_count"].get<int>() << " records, "
        << layer["fields"].size() << " fields, code page " << layer["code_page"].get<int>() << ", ";
    const json& cs = layer["coordsys"];
    if (cs.is_null()) {
        out << "no coordinate system";
    } else {
        out << (cs["projected"].get<bool>() ? "projected" : "geographic");
        if (cs["epsg"].is_number())
            out << " EPSG " << cs["epsg"].get<int>();
    }
    return out.str();
}

} // namespace fennick
