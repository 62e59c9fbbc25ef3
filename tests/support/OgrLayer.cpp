#include "OgrLayer.h"

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <memory>
#include <stdexcept>

namespace fennick::test {

namespace {

OGRwkbGeometryType GeometryType(const std::string& name) {
    std::string base = name;
    bool z = false, m = false;
    auto strip = [&](const std::string& suffix) {
        if (base.size() > suffix.size() &&
            base.compare(base.size() - suffix.size(), suffix.size(), suffix) == 0) {
            base.resize(base.size() - suffix.size());
            return true;
        }
        return false;
    };
    if (strip("ZM"))
        z = m = true;
    else if (strip("Z"))
        z = true;
    else if (strip("M"))
        m = true;
    OGRwkbGeometryType t = wkbUnknown;
    if (base == "POINT")
        t = wkbPoint;
    else if (base == "MULTIPOINT")
        t = wkbMultiPoint;
    else if (base == "LINESTRING")
        t = wkbLineString;
    else if (base == "MULTILINESTRING")
        t = wkbMultiLineString;
    else if (base == "POLYGON")
        t = wkbPolygon;
    else if (base == "MULTIPOLYGON")
        t = wkbMultiPolygon;
    return OGR_GT_SetModifier(t, z, m);
}

OGRFieldType FieldType(char type) {
    switch (type) {
    case 'N':
        return OFTInteger;
    case 'B':
        return OFTInteger64;
    case 'F':
        return OFTReal;
    case 'D':
        return OFTDate;
    default:
        return OFTString;
    }
}

} // namespace

void WriteOgrLayer(const std::string& path, const std::string& geometryType,
                   const std::vector<SOgrField>& fields, const std::vector<SOgrFeature>& features,
                   const std::vector<std::string>& options) {
    GDALAllRegister();
    const bool tab =
        path.size() > 4 && (path.substr(path.size() - 4) == ".tab" || path.substr(path.size() - 4) == ".TAB");
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(tab ? "MapInfo File" : "ESRI Shapefile");
    if (driver == nullptr)
        throw std::runtime_error("GDAL driver missing");
    std::unique_ptr<GDALDataset> ds(driver->Create(path.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    if (!ds)
        throw std::runtime_error("cannot create " + path);
    std::vector<const char*> opts;
    for (const auto& o : options)
        opts.push_back(o.c_str());
    opts.push_back(nullptr);
    const std::string name =
        path.substr(path.find_last_of('/') + 1, path.find_last_of('.') - path.find_last_of('/') - 1);
    OGRLayer* layer =
        ds->CreateLayer(name.c_str(), nullptr, GeometryType(geometryType), const_cast<char**>(opts.data()));
    if (layer == nullptr)
        throw std::runtime_error("cannot create layer in " + path);
    for (const auto& f : fields) {
        OGRFieldDefn def(f.name.c_str(), f.type == 'L' ? OFTString : FieldType(f.type));
        if (f.type == 'L')
            def.SetType(OFTString);
        def.SetWidth(f.width);
        def.SetPrecision(f.precision);
        if (layer->CreateField(&def) != OGRERR_NONE)
            throw std::runtime_error("cannot create field " + f.name);
    }
    for (const auto& feature : features) {
        OGRFeature* f = OGRFeature::CreateFeature(layer->GetLayerDefn());
        for (std::size_t i = 0; i < feature.values.size(); ++i)
            if (!feature.values[i].empty())
                f->SetField(static_cast<int>(i), feature.values[i].c_str());
        if (!feature.wkt.empty()) {
            OGRGeometry* geometry = nullptr;
            if (OGRGeometryFactory::createFromWkt(feature.wkt.c_str(), nullptr, &geometry) != OGRERR_NONE) {
                OGRFeature::DestroyFeature(f);
                throw std::runtime_error("bad WKT " + feature.wkt);
            }
            f->SetGeometryDirectly(geometry);
        }
        const OGRErr err = layer->CreateFeature(f);
        OGRFeature::DestroyFeature(f);
        if (err != OGRERR_NONE)
            throw std::runtime_error("cannot write a feature to " + path);
    }
}

} // namespace fennick::test
