#include "cli/LayerReport.h"

#include "coordsys/CoordSysText.h"
#include "data/ICoordSys.h"
#include "data/IFieldDesc.h"
#include "data/IGeoDS.h"
#include "data/IRecset.h"
#include "data/IShape.h"
#include "data/IShapeAttr.h"
#include "data/IStoredShape.h"
#include "data/IString.h"
#include "data/Ref.h"
#include "data/ShapeLayout.h"
#include "platform/Boundary.h"
#include "platform/CodePage.h"
#include "platform/GenericEx.h"
#include "platform/Variant.h"

#include <cstdio>
#include <sstream>

namespace fennick {

using nlohmann::json;

namespace {

const char* KindName(int kind) {
    switch (kind) {
    case SOURCE_SHAPEFILE:
        return "shapefile";
    case SOURCE_MAPINFO_TAB:
        return "MapInfo TAB";
    default:
        return "unknown";
    }
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

json Values(IShapeAttr* attributes, int fieldCount) {
    json values = json::array();
    CVariant value;
    for (int f = 0; f < fieldCount; ++f) {
        CIString text;
        // A stored null shows as null, apart from an empty text; a value that cannot be read says why.
        if (attributes != nullptr && attributes->GetValue(f, &value) && value.vt == VT_NULL)
            values.push_back(nullptr);
        else if (attributes != nullptr && attributes->GetString(f, &text))
            values.push_back(ToUtf8(text.Str()));
        else if (HasFailure())
            RethrowKept(CGenericEx(u"A value cannot be read."));
        else
            values.push_back(nullptr);
    }
    return values;
}

// "polygon", "polygon Z" ...: the shape type of a layer or record description.
const char* TypeName(const json& described) {
    return ShapeTypeName(described["shape_type"].get<int>(), described.value("shape_variant", 0));
}

std::string Number(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

} // namespace

json DescribeCoordSys(ICoordSys* coordSys) {
    if (coordSys == nullptr)
        return nullptr;
    return json{{"code", coordSys->GetCode()},
                {"projected", coordSys->IsProjected() != 0},
                {"proj", ProjStringOf(coordSys)}};
}

json DescribeLayer(IGeoDS* source, const std::string& path, bool withRecords) {
    json layer;
    layer["path"] = path;
    layer["kind"] = source->GetSourceKind();
    layer["shape_type"] = source->GetShapeType();
    layer["shape_variant"] = ShapeVariantOf(source);

    CRef<IRecset> all;
    int recordCount = 0;
    if (source->SelectAll(all.Put()) && all)
        recordCount = all->GetCount();
    layer["record_count"] = recordCount;

    CGeoRect bounds;
    source->GetBounds(&bounds);
    layer["bounds"] = json::array({bounds.left, bounds.top, bounds.right, bounds.bottom});
    layer["code_page"] = source->GetCodePage();

    json fields = json::array();
    // Every data source is also the description of its own fields.
    IFieldDesc* desc = dynamic_cast<IFieldDesc*>(source);
    const int fieldCount = desc != nullptr ? desc->GetFieldCount() : 0;
    for (int f = 0; f < fieldCount; ++f) {
        CIString name;
        desc->GetFieldName(f, &name);
        fields.push_back(json{{"name", ToUtf8(name.Str())},
                              {"type", desc->GetFieldType(f)},
                              {"width", desc->GetFieldWidth(f)},
                              {"decimals", desc->GetFieldDecimals(f)}});
    }
    layer["fields"] = std::move(fields);
    ClearFailure();
    ICoordSys* coordSys = source->GetCoordSys();
    layer["coordsys"] = DescribeCoordSys(coordSys);
    // A stated system that cannot be read says why, rather than passing for none.
    if (coordSys == nullptr && HasFailure())
        layer["coordsys_error"] = ToUtf8(TakeFailureReason());

    if (withRecords) {
        json records = json::array();
        // A record that cannot be read, or a walk that breaks off, fails the listing with the reader's
        // reason: neither may pass for a null record or the end of the layer.
        ClearFailure();
        for (int ok = all ? all->MoveFirst() : 0; ok; ok = all->MoveNext()) {
            json record;
            CRef<IShape> shape;
            const bool hasShape = all->GetShape(shape.Put(), 1) && shape;
            if (HasFailure())
                RethrowKept(CGenericEx(u"A record cannot be read."));
            if (hasShape) {
                record["shape_type"] = shape->GetType();
                const IStoredShape* stored = QueryStoredShape(shape.Get());
                record["shape_variant"] =
                    stored != nullptr ? ShapeVariantOfShpType(stored->StoredShapeType()) : VARIANT_XY;
                record["parts"] = Parts(shape.Get());
            } else {
                record["shape_type"] = SHAPE_NULL;
                record["shape_variant"] = VARIANT_XY;
                record["parts"] = json::array();
            }
            CRef<IShapeAttr> attributes;
            if (!all->GetAttributes(attributes.Put()) && HasFailure())
                RethrowKept(CGenericEx(u"A record cannot be read."));
            record["values"] = Values(attributes.Get(), fieldCount);
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
    const int code = cs["code"].get<int>();
    out << (cs["projected"].get<bool>() ? "projected" : "geographic");
    if (code > 0)
        out << ", EPSG " << code;
    out << "\n  PROJ: " << cs["proj"].get<std::string>() << "\n";
    return out.str();
}

std::string LayerText(const json& layer) {
    std::ostringstream out;
    out << "Layer:       " << layer["path"].get<std::string>() << "\n";
    out << "Kind:        " << KindName(layer["kind"].get<int>()) << "\n";
    out << "Shape type:  " << TypeName(layer) << "\n";
    out << "Records:     " << layer["record_count"].get<int>() << "\n";
    const auto& b = layer["bounds"];
    out << "Bounds:      left " << Number(b[0].get<double>()) << ", top " << Number(b[1].get<double>())
        << ", right " << Number(b[2].get<double>()) << ", bottom " << Number(b[3].get<double>()) << "\n";
    out << "Code page:   " << layer["code_page"].get<int>() << "\n";
    out << "Coordinates: " << CoordSysText(layer["coordsys"], layer.value("coordsys_error", std::string()));
    out << "Fields:      " << layer["fields"].size() << "\n";
    for (const auto& f : layer["fields"])
        out << "  " << f["name"].get<std::string>() << "  " << FieldTypeName(f["type"].get<int>()) << "("
            << f["width"].get<int>() << "," << f["decimals"].get<int>() << ")\n";
    if (layer.contains("records")) {
        int index = 0;
        for (const auto& r : layer["records"]) {
            out << "Record " << index++ << ": " << TypeName(r) << ", " << r["parts"].size() << " part(s)";
            for (const auto& v : r["values"])
                out << " | " << (v.is_null() ? std::string("(unreadable)") : v.get<std::string>());
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
        if (cs["code"].get<int>() > 0)
            out << " EPSG " << cs["code"].get<int>();
    }
    return out.str();
}

} // namespace fennick
