#include "TabFixtures.h"

#include <gdal.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>

#include "platform/CodePage.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <sys/stat.h>
#include <utime.h>

namespace fennick::test {

namespace {

void Fail(const std::string& what) {
    throw std::runtime_error("TAB fixture: " + what);
}

std::string Number(double v) {
    char text[64];
    std::snprintf(text, sizeof text, "%.17g", v);
    return text;
}

std::string PointList(const std::vector<CGeoPoint>& points) {
    std::string out = "(";
    // Appended piece by piece: GCC 12's optimiser reports a false overlap (-Wrestrict) for "," + string.
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (i != 0)
            out += ',';
        out += Number(points[i].x);
        out += ' ';
        out += Number(points[i].y);
    }
    return out + ")";
}

std::string PartList(const std::vector<std::vector<CGeoPoint>>& parts) {
    std::string out = "(";
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i != 0)
            out += ',';
        out += PointList(parts[i]);
    }
    return out + ")";
}

std::string Wkt(const SRecordSpec& record) {
    switch (record.type) {
    case SHAPE_POINT:
        return "POINT " + PointList(record.parts.at(0));
    case SHAPE_MULTIPOINT:
        return "MULTIPOINT " + PointList(record.parts.at(0));
    case SHAPE_POLYLINE:
        return "MULTILINESTRING " + PartList(record.parts);
    case SHAPE_POLYGON:
        return "POLYGON " + PartList(record.parts);
    default:
        return {};
    }
}

} // namespace

void WriteTabTable(const std::string& path, const STabTableSpec& spec) {
    static std::once_flag registered;
    std::call_once(registered, [] { GDALAllRegister(); });
    GDALDriverH driver = GDALGetDriverByName("MapInfo File");
    if (!driver)
        Fail("no MapInfo File driver");
    GDALDatasetH dataset = GDALCreate(driver, path.c_str(), 0, 0, 0, GDT_Unknown, nullptr);
    if (!dataset)
        Fail("cannot create " + path);
    std::unique_ptr<void, void (*)(void*)> closer(dataset, [](void* d) { GDALClose(d); });

    std::vector<std::string> options = {"BOUNDS=" + spec.bounds};
    if (!spec.encoding.empty())
        options.push_back("ENCODING=" + spec.encoding);
    std::vector<char*> optionPointers;
    for (std::string& option : options)
        optionPointers.push_back(option.data());
    optionPointers.push_back(nullptr);
    OGRSpatialReferenceH srs = nullptr;
    if (!spec.srs.empty()) {
        srs = OSRNewSpatialReference(nullptr);
        if (OSRSetFromUserInput(srs, spec.srs.c_str()) != OGRERR_NONE)
            Fail("bad coordinate system " + spec.srs);
    }
    std::unique_ptr<void, void (*)(void*)> srsCloser(srs, [](void* h) {
        if (h)
            OSRRelease(h);
    });
    OGRLayerH layer = GDALDatasetCreateLayer(dataset, "table", srs, wkbUnknown, optionPointers.data());
    if (!layer)
        Fail("cannot create the layer of " + path);

    for (const STabFieldSpec& field : spec.fields) {
        OGRFieldDefnH defn = OGR_Fld_Create(field.name.c_str(), static_cast<OGRFieldType>(field.ogrType));
        OGR_Fld_SetWidth(defn, field.width);
        OGR_Fld_SetPrecision(defn, field.precision);
        const OGRErr err = OGR_L_CreateField(layer, defn, TRUE);
        OGR_Fld_Destroy(defn);
        if (err != OGRERR_NONE)
            Fail("cannot create field " + field.name);
    }
    for (const STabFeatureSpec& feature : spec.features) {
        OGRFeatureH f = OGR_F_Create(OGR_L_GetLayerDefn(layer));
        std::unique_ptr<void, void (*)(void*)> featureCloser(f, [](void* h) { OGR_F_Destroy(h); });
        if (!feature.wkt.empty()) {
            OGRGeometryH geometry = nullptr;
            char* wkt = const_cast<char*>(feature.wkt.c_str());
            if (OGR_G_CreateFromWkt(&wkt, nullptr, &geometry) != OGRERR_NONE)
                Fail("bad WKT " + feature.wkt);
            OGR_F_SetGeometryDirectly(f, geometry);
        }
        for (std::size_t i = 0; i < feature.values.size(); ++i)
            OGR_F_SetFieldString(f, static_cast<int>(i), feature.values[i].c_str());
        if (OGR_L_CreateFeature(layer, f) != OGRERR_NONE)
            Fail("cannot write a feature of " + path);
    }
    closer.reset();
    if (spec.deleteWhere.empty())
        return;
    GDALDatasetH update =
        GDALOpenEx(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_UPDATE, nullptr, nullptr, nullptr);
    if (!update)
        Fail("cannot open " + path + " to delete rows");
    std::unique_ptr<void, void (*)(void*)> updateCloser(update, [](void* d) { GDALClose(d); });
    const std::string sql = "DELETE FROM \"" + std::string(OGR_L_GetName(GDALDatasetGetLayer(update, 0))) +
                            "\" WHERE " + spec.deleteWhere;
    CPLErrorReset();
    if (OGRLayerH result = GDALDatasetExecuteSQL(update, sql.c_str(), nullptr, "SQLite"))
        GDALDatasetReleaseResultSet(update, result);
    if (CPLGetLastErrorType() >= CE_Failure)
        Fail("cannot run " + sql + ": " + CPLGetLastErrorMsg());
}

std::string WriteTableDamagedMidway(const std::string& path) {
    STabTableSpec spec;
    spec.fields = {{"NAME", 4, 10}};
    for (int i = 0; i < 2000; ++i) {
        // Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) on "text" + std::string.
        const std::string x = std::to_string(i % 900);
        std::string wkt = "POLYGON ((";
        wkt.append(x).append(" 0,").append(x).append(" 1,").append(std::to_string(i % 900 + 1));
        wkt.append(" 1,").append(x).append(" 0))");
        std::string name = "n";
        name.append(std::to_string(i));
        spec.features.push_back({wkt, {name}});
    }
    WriteTabTable(path, spec);
    const std::string map = path.substr(0, path.size() - 4) + ".map";
    std::fstream file(map, std::ios::in | std::ios::out | std::ios::binary);
    file.seekg(0, std::ios::end);
    const std::streamoff middle = file.tellg() / 2 / 512 * 512;
    file.seekp(middle);
    file.write(std::string(512, '\xff').data(), 512);
    if (!file)
        throw std::runtime_error("cannot damage " + map);
    return path;
}

STabTableSpec TabSpecFromLayer(const SLayerSpec& layer) {
    STabTableSpec spec;
    for (const SFieldSpec& field : layer.fields) {
        const int ogrType = field.type == FIELD_INTEGER ? OFTInteger
                            : field.type == FIELD_REAL  ? OFTReal
                                                        : OFTString;
        spec.fields.push_back({ToUtf8(field.name), ogrType, field.width, field.decimals});
    }
    for (const SRecordSpec& record : layer.records) {
        STabFeatureSpec feature{Wkt(record), {}};
        for (const std::u16string& value : record.values)
            feature.values.push_back(ToUtf8(value));
        spec.features.push_back(std::move(feature));
    }
    return spec;
}

void SetModificationTime(const std::string& path, int64_t seconds) {
    struct utimbuf times;
    times.actime = static_cast<time_t>(seconds);
    times.modtime = static_cast<time_t>(seconds);
    if (::utime(path.c_str(), &times) != 0)
        Fail("cannot set the time of " + path);
}

int64_t ModificationTime(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        Fail("cannot examine " + path);
    return static_cast<int64_t>(st.st_mtime);
}

} // namespace fennick::test
