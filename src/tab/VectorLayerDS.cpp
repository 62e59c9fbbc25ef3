#include "tab/VectorLayerDS.h"

#include "coordsys/CommonCoordSysImpl.h"
#include "data/IShape.h"
#include "data/IString.h"
#include "data/ShapeLayout.h"
#include "platform/Boundary.h"
#include "platform/CodePage.h"
#include "platform/Exceptions.h"
#include "platform/FileSystem.h"
#include "platform/GenericEx.h"
#include "platform/IFile.h"
#include "platform/SysFile.h"
#include "platform/TextCase.h"
#include "tab/MiTabAttrImpl.h"
#include "tab/OgrReading.h"

#include <cpl_conv.h>
#include <gdal_priv.h>
#include <ogr_geometry.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <map>
#include <mutex>

namespace fennick {

namespace {

constexpr int kTextBytes = 254;  // the widest text field readers take
constexpr int kNumberWidth = 24; // the widest number field written
constexpr std::size_t kNameBytes = 10;

bool EndsWith(std::u16string_view text, std::u16string_view end) {
    return text.size() >= end.size() && EqualIgnoringAsciiCase(text.substr(text.size() - end.size()), end);
}

// One line or ring of a record and whether its points are written in reverse.
struct SVectorPart {
    const OGRSimpleCurve* curve;
    bool reverse;
};

// Twice the ring's area, positive when its points run counter-clockwise.
double SignedArea2(const OGRSimpleCurve& ring) {
    const int n = ring.getNumPoints();
    double sum = 0;
    for (int i = 0; i + 1 < n; ++i)
        sum += ring.getX(i) * ring.getY(i + 1) - ring.getX(i + 1) * ring.getY(i);
    return sum;
}

void AddRing(const OGRCurve* curve, bool outer, std::vector<SVectorPart>& parts) {
    const auto* ring = dynamic_cast<const OGRSimpleCurve*>(curve);
    if (!ring)
        ThrowBadFormatBecause(u"a ring of its polygon is no linear ring");
    const double area = SignedArea2(*ring);
    // The shapefile's rings: outer ones clockwise, holes counter-clockwise.
    parts.push_back({ring, outer ? area > 0 : area < 0});
}

void AddPolygon(const OGRGeometry* geometry, std::vector<SVectorPart>& parts) {
    const auto* polygon = dynamic_cast<const OGRPolygon*>(geometry);
    if (!polygon)
        ThrowBadFormatBecause(u"a part of its multi-polygon is no polygon");
    if (polygon->IsEmpty())
        return;
    AddRing(polygon->getExteriorRing(), true, parts);
    for (int i = 0; i < polygon->getNumInteriorRings(); ++i)
        AddRing(polygon->getInteriorRing(i), false, parts);
}

void CollectParts(const OGRGeometry& geometry, int kind, std::vector<SVectorPart>& parts) {
    const OGRwkbGeometryType type = wkbFlatten(geometry.getGeometryType());
    if (kind == SHAPE_POLYGON) {
        if (type == wkbMultiPolygon) {
            const OGRMultiPolygon* polygons = geometry.toMultiPolygon();
            for (int i = 0; i < polygons->getNumGeometries(); ++i)
                AddPolygon(polygons->getGeometryRef(i), parts);
        } else {
            AddPolygon(&geometry, parts);
        }
        return;
    }
    if (type == wkbLineString) {
        parts.push_back({geometry.toLineString(), false});
        return;
    }
    if (type != wkbMultiLineString)
        ThrowBadFormatBecause(u"its line cannot be read as points");
    const OGRMultiLineString* lines = geometry.toMultiLineString();
    for (int i = 0; i < lines->getNumGeometries(); ++i) {
        const auto* line = dynamic_cast<const OGRLineString*>(lines->getGeometryRef(i));
        if (!line)
            ThrowBadFormatBecause(u"a part of its multi-line is no line");
        if (!line->IsEmpty())
            parts.push_back({line, false});
    }
}

// Writes x, y and the z and m sections of a record's points as they are delivered one by one.
class CPointWriter {
public:
    CPointWriter(uint8_t* points, uint8_t* z, uint8_t* m, int64_t count)
        : m_points(points), m_z(z), m_m(m), m_count(count) {}

    void Add(double x, double y, double z, double m) {
        std::memcpy(m_points + 16 * m_done, &x, 8);
        std::memcpy(m_points + 16 * m_done + 8, &y, 8);
        if (m_z)
            std::memcpy(m_z + 16 + 8 * m_done, &z, 8);
        if (m_m)
            std::memcpy(m_m + 16 + 8 * m_done, &m, 8);
        m_box.Merge(x, y);
        m_zMin = std::min(m_zMin, z);
        m_zMax = std::max(m_zMax, z);
        if (IsMeasure(m)) {
            m_mMin = std::min(m_mMin, m);
            m_mMax = std::max(m_mMax, m);
        }
        ++m_done;
    }

    // Writes the box and the ranges once every point is in.
    void Finish(uint8_t* box) const {
        if (m_done != m_count)
            ThrowBadFormatBecause(u"its points cannot all be read");
        const double values[4] = {m_box.MinX, m_box.MinY, m_box.MaxX, m_box.MaxY};
        if (box)
            std::memcpy(box, values, sizeof values);
        if (m_z) {
            const double range[2] = {m_count ? m_zMin : 0.0, m_count ? m_zMax : 0.0};
            std::memcpy(m_z, range, sizeof range);
        }
        if (m_m) {
            const bool any = m_mMin <= m_mMax;
            const double range[2] = {any ? m_mMin : kNoMeasure, any ? m_mMax : kNoMeasure};
            std::memcpy(m_m, range, sizeof range);
        }
    }

private:
    uint8_t* m_points;
    uint8_t* m_z;
    uint8_t* m_m;
    int64_t m_count;
    int64_t m_done = 0;
    OGREnvelope m_box;
    double m_zMin = std::numeric_limits<double>::infinity();
    double m_zMax = -std::numeric_limits<double>::infinity();
    double m_mMin = std::numeric_limits<double>::infinity();
    double m_mMax = -std::numeric_limits<double>::infinity();
};

void PutBigInt32(uint8_t* at, uint32_t value) {
    at[0] = static_cast<uint8_t>(value >> 24);
    at[1] = static_cast<uint8_t>(value >> 16);
    at[2] = static_cast<uint8_t>(value >> 8);
    at[3] = static_cast<uint8_t>(value);
}

// A record built in memory, read by the shape as it reads one from a file.
class CRecordBytes final : public IFile {
public:
    CRecordBytes(const uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    uint32_t Read(void* buffer, uint32_t count) override {
        const std::size_t n = std::min<std::size_t>(count, m_size - std::min(m_position, m_size));
        if (n > 0)
            std::memcpy(buffer, m_data + m_position, n);
        m_position += n;
        return static_cast<uint32_t>(n);
    }
    void Write(const void*, uint32_t) override { ThrowNotSupported(); }
    int64_t Seek(int64_t offset, int origin) override {
        if (origin != 0 && origin != 1)
            ThrowNotSupported();
        const int64_t to = origin == 0 ? offset : static_cast<int64_t>(m_position) + offset;
        m_position = static_cast<std::size_t>(std::max<int64_t>(to, 0));
        return static_cast<int64_t>(m_position);
    }
    void Flush() override { ThrowNotSupported(); }
    void Abort() override {}
    void Close() override {}
    void SetLength(int32_t) override { ThrowNotSupported(); }
    int64_t ReadRaw(void* buffer, uint32_t count) override { return Read(buffer, count); }

private:
    const uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_position = 0;
};

// Cut to at most 10 bytes without splitting a UTF-8 character, letters folded: how a name is compared once
// written.
std::string WrittenName(const std::string& utf8) {
    std::size_t end = std::min(utf8.size(), kNameBytes);
    while (end > 0 && end < utf8.size() && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80)
        --end;
    std::string name = utf8.substr(0, end);
    for (char& c : name)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return name;
}

// The widths a pass over the values finds for a field that declares none.
struct SFieldScan {
    bool needed = false;
    bool any = false;
    int integerDigits = 0; // a real's digits before the point, its sign included
    int decimals = 0;
    int shortest = 0; // the longest of the shortest texts, exponent forms included
    int bytes = 0;    // a text's
};

void ScanReal(double value, SFieldScan& scan) {
    if (!std::isfinite(value))
        return;
    char text[400];
    const auto fixed = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
    if (fixed.ec == std::errc()) {
        const std::string_view digits(text, static_cast<std::size_t>(fixed.ptr - text));
        const std::size_t point = digits.find('.');
        scan.integerDigits = std::max(scan.integerDigits, static_cast<int>(std::min(point, digits.size())));
        if (point != std::string_view::npos)
            scan.decimals = std::max(scan.decimals, static_cast<int>(digits.size() - point - 1));
    }
    const auto shortest = std::to_chars(text, text + sizeof text, value);
    if (shortest.ec == std::errc())
        scan.shortest = std::max(scan.shortest, static_cast<int>(shortest.ptr - text));
    scan.any = true;
}

// What the pass over a layer found.
struct SScanned {
    std::vector<std::pair<int, int>> forms; // per field: width, decimals
    int records = 0;
    int shapeType = SHAPE_NULL;
    int variant = VARIANT_XY;
    CGeoRect bounds;
};

// The passes made, by ScanStamp; used under the reader lock.
std::map<std::string, SScanned>& ScannedLayers() {
    static std::map<std::string, SScanned> layers;
    return layers;
}

// The source's files as they are now (names, sizes, modification times), the layer and the options that
// change what the pass finds.
std::string ScanStamp(GDALDataset& dataset, const char* layer, const SVectorLayerOptions& options) {
    std::string stamp = layer != nullptr ? layer : "";
    stamp += options.keepFirstKind ? "\n1\n" : "\n0\n";
    for (const std::u16string& field : options.skipFields)
        stamp += ToUtf8(field) + '\n';
    stamp += ToUtf8(options.csvX) + '\n' + ToUtf8(options.csvY) + '\n';
    char** files = dataset.GetFileList();
    for (char** file = files; file != nullptr && *file != nullptr; ++file) {
        std::error_code error;
        const std::filesystem::path path(*file);
        const auto size =
            std::filesystem::is_regular_file(path, error) ? std::filesystem::file_size(path, error) : 0;
        const auto time = std::filesystem::last_write_time(path, error);
        stamp += *file;
        stamp += '\n' + std::to_string(error ? 0 : size) + '\n' +
                 std::to_string(error ? 0 : time.time_since_epoch().count()) + '\n';
    }
    CSLDestroy(files);
    return stamp;
}

} // namespace

int VectorGeometryKind(const OGRGeometry* geometry) {
    if (geometry == nullptr || geometry->IsEmpty())
        return SHAPE_NULL;
    switch (wkbFlatten(geometry->getGeometryType())) {
    case wkbPoint:
        return SHAPE_POINT;
    case wkbMultiPoint:
        return SHAPE_MULTIPOINT;
    case wkbLineString:
    case wkbCircularString:
    case wkbCompoundCurve:
    case wkbMultiLineString:
    case wkbMultiCurve:
        return SHAPE_POLYLINE;
    case wkbPolygon:
    case wkbCurvePolygon:
    case wkbTriangle:
    case wkbMultiPolygon:
    case wkbMultiSurface:
        return SHAPE_POLYGON;
    default:
        return kVectorBadGeometry;
    }
}

std::size_t BuildVectorShapeRecord(const OGRGeometry& geometry, int kind, int variant, int number,
                                   CByteBuffer& out) {
    const int32_t shpType = ShpTypeOf(kind, variant);
    const bool hasZ = variant == VARIANT_Z;
    const bool hasM = variant != VARIANT_XY;
    const bool geometryZ = geometry.Is3D() != FALSE;
    const bool geometryM = geometry.IsMeasured() != FALSE;
    const auto zOf = [&](double z) { return geometryZ ? z : 0.0; };
    const auto mOf = [&](double m) { return geometryM ? m : kNoMeasure; };
    const OGRwkbGeometryType type = wkbFlatten(geometry.getGeometryType());
    uint64_t content = 0;
    uint8_t* record = nullptr;
    if (kind == SHAPE_POINT) {
        const OGRPoint* point = geometry.toPoint();
        content = 16 + (hasZ ? 8 : 0) + (hasM ? 8 : 0);
        record = out.Require(16 + content);
        uint8_t* at = record + 16;
        const double values[4] = {point->getX(), point->getY(), zOf(point->getZ()), mOf(point->getM())};
        std::memcpy(at, values, 16);
        if (hasZ)
            std::memcpy(at + 16, &values[2], 8);
        if (hasM)
            std::memcpy(at + (hasZ ? 24 : 16), &values[3], 8);
    } else if (kind == SHAPE_MULTIPOINT) {
        const int64_t n = type == wkbPoint ? 1 : geometry.toMultiPoint()->getNumGeometries();
        const uint64_t extra =
            (hasZ ? 16 + 8 * static_cast<uint64_t>(n) : 0) + (hasM ? 16 + 8 * static_cast<uint64_t>(n) : 0);
        content = kMultiPointPoints + 16 * static_cast<uint64_t>(n) + extra;
        if (content > INT32_MAX / 2)
            ThrowBadFormatBecause(u"it holds more points than a shapefile record can");
        record = out.Require(16 + content);
        uint8_t* c = record + 16;
        WriteInt32(c + 32, static_cast<int32_t>(n));
        uint8_t* points = c + kMultiPointPoints;
        uint8_t* z = hasZ ? points + 16 * n : nullptr;
        uint8_t* m = hasM ? points + 16 * n + (hasZ ? 16 + 8 * n : 0) : nullptr;
        CPointWriter writer(points, z, m, n);
        for (int64_t i = 0; i < n; ++i) {
            const OGRPoint* point = type == wkbPoint
                                        ? geometry.toPoint()
                                        : dynamic_cast<const OGRPoint*>(
                                              geometry.toMultiPoint()->getGeometryRef(static_cast<int>(i)));
            if (!point || point->IsEmpty())
                ThrowBadFormatBecause(u"a point of its multi-point is empty");
            writer.Add(point->getX(), point->getY(), zOf(point->getZ()), mOf(point->getM()));
        }
        writer.Finish(c);
    } else {
        thread_local std::vector<SVectorPart> parts;
        parts.clear();
        CollectParts(geometry, kind, parts);
        int64_t n = 0;
        for (const SVectorPart& part : parts)
            n += part.curve->getNumPoints();
        const auto p = static_cast<int64_t>(parts.size());
        const uint64_t extra =
            (hasZ ? 16 + 8 * static_cast<uint64_t>(n) : 0) + (hasM ? 16 + 8 * static_cast<uint64_t>(n) : 0);
        content = kPolyStarts + 4 * static_cast<uint64_t>(p) + 16 * static_cast<uint64_t>(n) + extra;
        if (content > INT32_MAX / 2)
            ThrowBadFormatBecause(u"it holds more points than a shapefile record can");
        record = out.Require(16 + content);
        uint8_t* c = record + 16;
        WriteInt32(c + 32, static_cast<int32_t>(p));
        WriteInt32(c + 36, static_cast<int32_t>(n));
        uint8_t* points = c + kPolyStarts + 4 * p;
        uint8_t* z = hasZ ? points + 16 * n : nullptr;
        uint8_t* m = hasM ? points + 16 * n + (hasZ ? 16 + 8 * n : 0) : nullptr;
        CPointWriter writer(points, z, m, n);
        int32_t start = 0;
        for (int64_t k = 0; k < p; ++k) {
            const SVectorPart& part = parts[static_cast<std::size_t>(k)];
            WriteInt32(c + kPolyStarts + 4 * k, start);
            const int count = part.curve->getNumPoints();
            for (int j = 0; j < count; ++j) {
                const int i = part.reverse ? count - 1 - j : j;
                writer.Add(part.curve->getX(i), part.curve->getY(i), zOf(part.curve->getZ(i)),
                           mOf(part.curve->getM(i)));
            }
            start += count;
        }
        writer.Finish(c);
    }
    // The header: record number and content length in 16-bit words (the type word included), then the type.
    PutBigInt32(record + 4, static_cast<uint32_t>(number));
    PutBigInt32(record + 8, static_cast<uint32_t>((content + 4) / 2));
    WriteInt32(record + 12, shpType);
    // The record starts 4 bytes in, so that its points lie on an 8-byte boundary as the shape keeps them.
    return static_cast<std::size_t>(12 + content);
}

CVectorLayerDS::CVectorLayerDS() : COgrLayerDS(SHAPE_POINT) {}

CVectorLayerDS::~CVectorLayerDS() {
    Close();
}

void CVectorLayerDS::Fail(const std::u16string& why) {
    Close();
    ThrowBadFormatBecause(why, m_path);
}

OGRLayer* CVectorLayerDS::ChooseLayer(const std::u16string& name) {
    const int count = m_dataset->GetLayerCount();
    std::u16string names;
    for (int i = 0; i < count; ++i) {
        OGRLayer* layer = m_dataset->GetLayer(i);
        if (!layer)
            continue;
        if (!names.empty())
            names += u", ";
        names += FromUtf8(layer->GetName());
    }
    if (name.empty()) {
        if (count == 1 && m_dataset->GetLayer(0))
            return m_dataset->GetLayer(0);
        if (count < 1)
            Fail(u"it holds no layer");
        Fail(u"it holds several layers, one is named as PATH:LAYER: " + names);
    }
    OGRLayer* layer = m_dataset->GetLayerByName(ToUtf8(name).c_str());
    if (!layer)
        Fail(u"it holds no layer " + name + u"; its layers: " + names);
    return layer;
}

void CVectorLayerDS::Open(const std::u16string& path, const SVectorLayerOptions& options) {
    Close();
    m_path = options.layer.empty() ? path : path + u":" + options.layer;
    const bool folder = IsDirectory(path);
    // A folder is a source only as a File Geodatabase; GDAL would read any folder of shapefiles.
    if (folder && !EndsWith(path, u".gdb"))
        ThrowBadFormatBecause(u"a folder is read as a layer only as a File Geodatabase (.gdb)", path);
    if (!folder) {
        // GDAL would wait for ever on a pipe.
        if (PathExists(path) && !IsRegularFile(path))
            ThrowNotRegularFile(path);
        CSysFile probe;
        CFileException error(CFileException::none, path);
        if (!probe.Open(path, CSysFile::kReadDenyNone, &error))
            throw error;
    }
    CTabReaderGuard guard;
    RegisterGdalDrivers();
    std::vector<std::string> optionTexts;
    if (EndsWith(path, u".csv")) {
        // The geometry column becomes the geometry and no attribute.
        optionTexts.emplace_back("KEEP_GEOM_COLUMNS=NO");
        if (!options.csvX.empty()) {
            optionTexts.push_back("X_POSSIBLE_NAMES=" + ToUtf8(options.csvX));
            optionTexts.push_back("Y_POSSIBLE_NAMES=" + ToUtf8(options.csvY));
        } else {
            optionTexts.emplace_back("GEOM_POSSIBLE_NAMES=WKT,geometry,geom,the_geom,wkt_geom");
        }
    }
    std::vector<const char*> openOptions;
    for (const std::string& text : optionTexts)
        openOptions.push_back(text.c_str());
    openOptions.push_back(nullptr);
    const std::string utf8 = ToUtf8(path);
    m_dataset.reset(GDALDataset::FromHandle(
        GDALOpenEx(utf8.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, nullptr, openOptions.data(), nullptr)));
    if (!m_dataset) {
        const std::string why = guard.FirstError();
        Fail(why.empty() ? u"GDAL reads no vector layer from it" : FromUtf8(why));
    }
    m_layer = ChooseLayer(options.layer);
    const OGRFeatureDefn* defn = m_layer->GetLayerDefn();
    if (!defn || defn->GetGeomFieldCount() < 1)
        Fail(u"its layer " + FromUtf8(m_layer->GetName()) + u" has no geometry column");
    m_utf8 = m_layer->TestCapability(OLCStringsAsUTF8) != 0;
    ReadFields(options);
    // The check and the merge open every input, and the pass reads the whole layer: what it found is kept
    // for the source's files as they are now.
    const std::string stamp = ScanStamp(*m_dataset, m_layer->GetName(), options);
    auto& scanned = ScannedLayers();
    if (const auto known = scanned.find(stamp); known != scanned.end()) {
        const SScanned& found = known->second;
        for (std::size_t k = 0; k < m_vectorFields->size() && k < found.forms.size(); ++k) {
            (*m_vectorFields)[k].width = found.forms[k].first;
            (*m_vectorFields)[k].decimals = found.forms[k].second;
        }
        m_recordCount = found.records;
        m_shapeType = found.shapeType;
        m_variant = found.variant;
        m_bounds = found.bounds;
        m_fields.Clear();
        for (const SVectorField& f : *m_vectorFields)
            m_fields.Add(SDsFields{f.name, f.type, f.width, f.decimals});
    } else {
        Scan(options.keepFirstKind);
        if (guard.Errors() == 0) {
            if (scanned.size() >= 256)
                scanned.clear();
            SScanned& kept = scanned[stamp];
            for (const SVectorField& f : *m_vectorFields)
                kept.forms.emplace_back(f.width, f.decimals);
            kept.records = m_recordCount;
            kept.shapeType = m_shapeType;
            kept.variant = m_variant;
            kept.bounds = m_bounds;
        }
    }
    if (guard.Errors() > 0)
        Fail(FromUtf8(guard.FirstError()));
    m_esriWkt = LayerEsriWkt(*m_layer);
    if (m_utf8)
        SetCodePage(kUtf8CodePage);
    CCommonCoordSysImpl* own = nullptr;
    if (!m_esriWkt.empty() && CreateCoordSys(&own) && own) {
        CRef<ICoordSys> coordSys = CRef<ICoordSys>::Adopt(own);
        if (coordSys->SetFromWkt(FromUtf8(m_esriWkt).c_str()))
            SetCoordSys(coordSys.Get());
    }
}

void CVectorLayerDS::ReadFields(const SVectorLayerOptions& options) {
    const OGRFeatureDefn* defn = m_layer->GetLayerDefn();
    auto fields = std::make_shared<std::vector<SVectorField>>();
    std::vector<std::string> written;
    for (int i = 0; i < defn->GetFieldCount(); ++i) {
        const OGRFieldDefn* field = defn->GetFieldDefn(i);
        CIString nameText;
        if (field->GetNameRef())
            nameText.SetFromMultiByte(field->GetNameRef(), m_utf8 ? kUtf8CodePage : 0);
        const std::u16string name = nameText.Str();
        if (std::any_of(options.skipFields.begin(), options.skipFields.end(),
                        [&](const std::u16string& skipped) { return EqualIgnoringCase(skipped, name); }))
            continue;
        SVectorField f;
        f.ogrIndex = i;
        f.name = name;
        const int width = field->GetWidth();
        switch (field->GetType()) {
        case OFTInteger:
            if (field->GetSubType() == OFSTBoolean)
                f = {i, EVectorValue::boolean, FIELD_LOGICAL, 1, 0, name};
            else
                f = {i, EVectorValue::integer, FIELD_INTEGER, width > 0 ? width : 11, 0, name};
            break;
        case OFTInteger64:
            f = {i, EVectorValue::integer64, FIELD_INTEGER, 20, 0, name};
            break;
        case OFTReal:
            f = {i, EVectorValue::real, FIELD_REAL, width, width > 0 ? field->GetPrecision() : 0, name};
            break;
        case OFTString:
            f = {i, EVectorValue::text, FIELD_CHARACTER, std::min(width, kTextBytes), 0, name};
            break;
        case OFTDate:
            f = {i, EVectorValue::date, FIELD_DATE, 8, 0, name};
            break;
        case OFTDateTime:
            f = {i, EVectorValue::dateTime, FIELD_CHARACTER, 0, 0, name};
            break;
        case OFTTime:
            f = {i, EVectorValue::time, FIELD_CHARACTER, 0, 0, name};
            break;
        default:
            Fail(u"its field " + name + u" is of a kind (" +
                 FromUtf8(OGRFieldDefn::GetFieldTypeName(field->GetType())) +
                 u") no shapefile field can keep; --skip-field " + name + u" leaves it out");
        }
        // Names are written cut to 10 bytes, and readers find fields by name without regard to letter case.
        const std::string cut = WrittenName(ToUtf8(name));
        for (std::size_t j = 0; j < written.size(); ++j)
            if (written[j] == cut)
                Fail(u"its fields " + (*fields)[j].name + u" and " + name +
                     u" have the same name when cut to 10 bytes");
        written.push_back(cut);
        fields->push_back(std::move(f));
    }
    m_vectorFields = std::move(fields);
}

void CVectorLayerDS::Scan(bool keepFirstKind) {
    std::vector<SVectorField>& fields = *m_vectorFields;
    std::vector<SFieldScan> scans(fields.size());
    for (std::size_t k = 0; k < fields.size(); ++k) {
        const SVectorField& f = fields[k];
        scans[k].needed = f.width == 0 || f.value == EVectorValue::dateTime || f.value == EVectorValue::time;
    }
    const OGRwkbGeometryType declared = m_layer->GetGeomType();
    const int declaredKind = [&] {
        switch (wkbFlatten(declared)) {
        case wkbLineString:
        case wkbMultiLineString:
        case wkbCircularString:
        case wkbCompoundCurve:
        case wkbMultiCurve:
            return SHAPE_POLYLINE;
        case wkbPolygon:
        case wkbMultiPolygon:
        case wkbCurvePolygon:
        case wkbMultiSurface:
            return SHAPE_POLYGON;
        default:
            return SHAPE_NULL;
        }
    }();
    // The geometries are read only where the declared type leaves their kind open (single points and
    // multipoints may share a layer whatever it declares).
    const bool readGeometry = declaredKind == SHAPE_NULL;

    // Only what the pass needs is read.
    std::vector<const char*> ignored;
    const OGRFeatureDefn* defn = m_layer->GetLayerDefn();
    std::vector<bool> wanted(static_cast<std::size_t>(defn->GetFieldCount()), false);
    for (std::size_t k = 0; k < fields.size(); ++k)
        if (scans[k].needed)
            wanted[static_cast<std::size_t>(fields[k].ogrIndex)] = true;
    for (int i = 0; i < defn->GetFieldCount(); ++i)
        if (!wanted[static_cast<std::size_t>(i)])
            ignored.push_back(defn->GetFieldDefn(i)->GetNameRef());
    ignored.push_back("OGR_STYLE");
    if (!readGeometry)
        ignored.push_back("OGR_GEOMETRY");
    ignored.push_back(nullptr);
    m_layer->SetIgnoredFields(ignored.data());

    std::array<int64_t, 4> kinds{}; // points, lines, polygons, multipoints
    int firstKind = SHAPE_NULL;
    bool anyZ = false, anyM = false;
    OGREnvelope extent;
    bool anyExtent = false;
    int64_t count = 0;
    m_layer->ResetReading();
    while (OGRFeatureUniquePtr feature{m_layer->GetNextFeature()}) {
        if (++count > INT_MAX)
            Fail(u"it holds more features than a shapefile can number");
        for (std::size_t k = 0; k < fields.size(); ++k) {
            SFieldScan& scan = scans[k];
            const SVectorField& f = fields[k];
            if (!scan.needed || !feature->IsFieldSetAndNotNull(f.ogrIndex))
                continue;
            if (f.value == EVectorValue::real) {
                ScanReal(feature->GetFieldAsDouble(f.ogrIndex), scan);
            } else if (f.value == EVectorValue::text) {
                scan.bytes = std::max(scan.bytes,
                                      static_cast<int>(std::strlen(feature->GetFieldAsString(f.ogrIndex))));
                scan.any = true;
            } else {
                scan.bytes = std::max(
                    scan.bytes, static_cast<int>(VectorTemporalText(*feature, f.ogrIndex, f.value).size()));
                scan.any = true;
            }
        }
        if (!readGeometry)
            continue;
        const OGRGeometry* geometry = feature->GetGeometryRef();
        const int kind = VectorGeometryKind(geometry);
        if (kind == SHAPE_NULL || kind == kVectorBadGeometry)
            continue;
        if (firstKind == SHAPE_NULL)
            firstKind = kind;
        ++kinds[static_cast<std::size_t>(kind)];
        anyZ = anyZ || geometry->Is3D();
        anyM = anyM || geometry->IsMeasured();
        OGREnvelope envelope;
        geometry->getEnvelope(&envelope);
        extent.Merge(envelope);
        anyExtent = true;
    }
    m_layer->ResetReading();
    m_layer->SetIgnoredFields(nullptr);
    m_recordCount = static_cast<int>(count);
    m_next = 0;

    for (std::size_t k = 0; k < fields.size(); ++k) {
        SVectorField& f = fields[k];
        const SFieldScan& scan = scans[k];
        if (!scan.needed)
            continue;
        if (f.value == EVectorValue::real) {
            const int fixed = scan.integerDigits + (scan.decimals > 0 ? scan.decimals + 1 : 0);
            if (!scan.any) {
                f.width = 16;
                f.decimals = 6;
            } else if (fixed <= kNumberWidth) {
                f.width = std::max(fixed, 1);
                f.decimals = scan.decimals;
            } else {
                // A value whose fixed form passes the width is printed in its shortest form, the exponent
                // form where that is shorter, and the shortest forms all fit; decimals make readers take the
                // field as real.
                f.width = std::clamp(scan.shortest, 3, kNumberWidth);
                f.decimals = std::clamp(scan.decimals, 1, f.width - 2);
            }
        } else if (f.value == EVectorValue::text) {
            // A longer value fails its record where it is written.
            f.width = std::clamp(scan.bytes, 1, kTextBytes);
        } else if (f.value == EVectorValue::dateTime) {
            f.width = scan.any ? scan.bytes : 19;
        } else if (f.value == EVectorValue::time) {
            f.width = std::max(scan.bytes, 8);
        }
    }
    m_fields.Clear();
    for (const SVectorField& f : fields)
        m_fields.Add(SDsFields{f.name, f.type, f.width, f.decimals});

    if (!readGeometry) {
        m_shapeType = declaredKind;
        OGREnvelope envelope;
        if (m_layer->GetExtent(&envelope, TRUE) == OGRERR_NONE)
            m_bounds = RectFromEnvelope(envelope);
    } else {
        const int64_t points = kinds[SHAPE_POINT] + kinds[SHAPE_MULTIPOINT];
        const int mixed = (points > 0) + (kinds[SHAPE_POLYLINE] > 0) + (kinds[SHAPE_POLYGON] > 0);
        if (mixed > 1 && !keepFirstKind)
            Fail(u"its geometries mix kinds: " + Utf16Number(static_cast<long long>(points)) + u" points, " +
                 Utf16Number(static_cast<long long>(kinds[SHAPE_POLYLINE])) + u" lines, " +
                 Utf16Number(static_cast<long long>(kinds[SHAPE_POLYGON])) + u" polygons");
        if (firstKind == SHAPE_NULL)
            m_shapeType = wkbFlatten(declared) == wkbMultiPoint ? SHAPE_MULTIPOINT : SHAPE_POINT;
        else if (firstKind == SHAPE_POINT || firstKind == SHAPE_MULTIPOINT)
            m_shapeType = kinds[SHAPE_MULTIPOINT] > 0 || wkbFlatten(declared) == wkbMultiPoint
                              ? SHAPE_MULTIPOINT
                              : SHAPE_POINT;
        else
            m_shapeType = firstKind;
        if (anyExtent)
            m_bounds = RectFromEnvelope(extent);
    }
    m_variant = anyZ || wkbHasZ(declared) ? VARIANT_Z : anyM || wkbHasM(declared) ? VARIANT_M : VARIANT_XY;
}

int CVectorLayerDS::GetSourceKind() {
    return SOURCE_VECTOR_LAYER;
}

void CVectorLayerDS::Close() {
    if (m_dataset) {
        CTabReaderGuard guard;
        m_kept.Reset();
        m_layer = nullptr;
        m_dataset.reset();
    }
}

OGRFeatureUniquePtr CVectorLayerDS::Fetch(int record) {
    if (!m_layer || record < 0 || record >= m_recordCount)
        return nullptr;
    CTabReaderGuard guard;
    // Read on from where the reading stands; an earlier record reads again from the start.
    if (record < m_next) {
        m_layer->ResetReading();
        m_next = 0;
    }
    while (m_next < record) {
        OGRFeatureUniquePtr skipped(m_layer->GetNextFeature());
        if (!skipped)
            return nullptr;
        ++m_next;
    }
    OGRFeatureUniquePtr feature(m_layer->GetNextFeature());
    if (feature)
        ++m_next;
    return CheckedFeature(guard, std::move(feature), m_fetchError);
}

OGRFeature* CVectorLayerDS::Kept(int record) {
    return m_kept.Get(record, [this](int r) { return Fetch(r); });
}

OGRFeatureUniquePtr CVectorLayerDS::Take(int record) {
    return m_kept.Take(record, [this](int r) { return Fetch(r); });
}

int CVectorLayerDS::ReadShape(int record, IShapeEx* shape) {
    if (!shape)
        return 0;
    try {
        CTabReaderGuard guard;
        const OGRFeature* feature = Kept(record);
        if (!feature)
            return NoteReadFailure(record, u"its feature cannot be read");
        const OGRGeometry* geometry = feature->GetGeometryRef();
        int kind = VectorGeometryKind(geometry);
        if (kind == SHAPE_NULL)
            return shape->SetData(SHAPE_NULL, record, nullptr, 0) != 0
                       ? 1
                       : NoteReadFailure(record, u"its geometry cannot be stored as a shape");
        if (kind == kVectorBadGeometry)
            return NoteReadFailure(record, u"its geometry is a " +
                                               FromUtf8(OGRGeometryTypeToName(geometry->getGeometryType())) +
                                               u", which no shapefile record holds");
        if (kind == SHAPE_POINT && m_shapeType == SHAPE_MULTIPOINT)
            kind = SHAPE_MULTIPOINT;
        if (kind != m_shapeType)
            return NoteReadFailure(record, u"its geometry is a " + FromUtf8(ShapeTypeName(kind)) +
                                               u", the layer's are " + FromUtf8(ShapeTypeName(m_shapeType)));
        // Curves as GDAL turns them into lines.
        std::unique_ptr<OGRGeometry> linear;
        if (geometry->hasCurveGeometry()) {
            linear.reset(geometry->getLinearGeometry());
            if (!linear)
                return NoteReadFailure(record, u"its curve cannot be turned into lines");
            geometry = linear.get();
        }
        const std::size_t size = BuildVectorShapeRecord(*geometry, kind, m_variant, record + 1, m_record);
        CRecordBytes bytes(m_record.Data() + 4, size);
        if (shape->ReadFrom(&bytes) == 0)
            return NoteReadFailure(record, u"its geometry cannot be stored as a shape");
        return 1;
    } catch (const CException& e) {
        return NoteReadFailure(record, e.Message().c_str());
    } catch (const std::exception&) {
        return NoteReadFailure(record, u"its geometry cannot be read");
    }
}

int CVectorLayerDS::NoteReadFailure(int record, const std::u16string& what) {
    std::u16string why = what;
    if (!m_fetchError.empty())
        why = FromUtf8(m_fetchError);
    m_fetchError.clear();
    KeepFailure(RecordUnreadable(record, m_path, why));
    return 0;
}

int CVectorLayerDS::GetAttributes(int record, IShapeAttr** attributes) {
    if (!attributes)
        return 0;
    try {
        OGRFeatureUniquePtr feature = Take(record); // a fetch takes the reader guard
        if (!feature)
            return NoteReadFailure(record, u"its feature cannot be read");
        *attributes =
            MakeRef<CVectorAttrImpl>(std::move(feature), m_vectorFields, record, GetCodePage(), m_utf8)
                .Detach();
        return 1;
    } catch (const std::exception&) {
        return NoteReadFailure(record, u"its feature cannot be read");
    }
}

int CVectorLayerDS::GetRecordBounds(int record, CGeoRect* bounds) {
    if (!bounds)
        return 0;
    return Guarded([&] {
        CTabReaderGuard guard;
        return FeatureGeometryBounds(Kept(record), bounds);
    });
}

} // namespace fennick
