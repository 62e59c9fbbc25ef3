#include "WriterFakes.h"

#include "data/IString.h"
#include "platform/Boundary.h"
#include "platform/Exceptions.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>

namespace fennick::test {

CFakeShape::CFakeShape(int type, std::vector<std::vector<CGeoPoint>> parts, bool reversed) : m_type(type) {
    m_starts.resize(parts.size());
    m_counts.resize(parts.size());
    for (std::size_t k = 0; k < parts.size(); ++k) {
        const std::size_t part = reversed ? parts.size() - 1 - k : k;
        m_starts[part] = static_cast<int>(m_points.size());
        m_counts[part] = static_cast<int>(parts[part].size());
        m_points.insert(m_points.end(), parts[part].begin(), parts[part].end());
    }
}

int CFakeShape::GetBounds(CGeoRect* bounds) {
    if (m_points.empty())
        return 0;
    CGeoRect r{m_points[0].x, m_points[0].y, m_points[0].x, m_points[0].y};
    for (const auto& p : m_points) {
        r.left = std::min(r.left, p.x);
        r.right = std::max(r.right, p.x);
        r.bottom = std::min(r.bottom, p.y);
        r.top = std::max(r.top, p.y);
    }
    *bounds = r;
    return 1;
}

int CFakeShape::GetPartCount() {
    if (m_type == SHAPE_POINT || m_type == SHAPE_MULTIPOINT)
        return 1;
    if (m_type == SHAPE_NULL)
        return 0;
    return static_cast<int>(m_starts.size());
}

int CFakeShape::GetPartPointCount(int part, int* count) {
    if (part < 0 || part >= GetPartCount())
        return 0;
    if (m_type == SHAPE_POINT || m_type == SHAPE_MULTIPOINT) {
        *count = static_cast<int>(m_points.size());
        return 1;
    }
    *count = m_counts[static_cast<std::size_t>(part)];
    return 1;
}

int CFakeShape::GetPointCount(int* count) {
    *count = static_cast<int>(m_points.size());
    return 1;
}

CGeoPoint* CFakeShape::GetPartPoints(int part) {
    if (m_type == SHAPE_NULL || m_points.empty())
        return nullptr;
    if (m_type == SHAPE_POINT || m_type == SHAPE_MULTIPOINT)
        return m_points.data();
    if (part < 0 || part >= static_cast<int>(m_starts.size()))
        return nullptr;
    return m_points.data() + m_starts[static_cast<std::size_t>(part)];
}

CRef<IShape> Point(double x, double y) {
    return CRef<IShape>(new CFakeShape(SHAPE_POINT, {{CGeoPoint{x, y}}}));
}
CRef<IShape> MultiPoint(std::vector<CGeoPoint> points) {
    return CRef<IShape>(new CFakeShape(SHAPE_MULTIPOINT, {std::move(points)}));
}
CRef<IShape> Poly(int type, std::vector<std::vector<CGeoPoint>> parts) {
    return CRef<IShape>(new CFakeShape(type, std::move(parts)));
}
CRef<IShape> ReversedStoragePoly(int type, std::vector<std::vector<CGeoPoint>> parts) {
    return CRef<IShape>(new CFakeShape(type, std::move(parts), true));
}
CRef<IShape> NullShape() {
    return CRef<IShape>(new CFakeShape(SHAPE_NULL, {}));
}

CFakeAttr::CFakeAttr(std::shared_ptr<const std::vector<SFakeField>> fields, std::vector<CVariant> values)
    : m_fields(std::move(fields)), m_values(std::move(values)) {
    m_values.resize(m_fields->size());
}

int CFakeAttr::GetString(int field, IString* value) {
    if (!Valid(field))
        return 0;
    const CVariant& v = m_values[static_cast<std::size_t>(field)];
    std::string text;
    switch (v.vt) {
    case VT_BSTR:
        if (!v.bstrVal.empty())
            value->SetText(v.bstrVal.c_str());
        return 1;
    case VT_I4:
        text = std::to_string(v.lVal);
        break;
    case VT_DECIMAL: {
        int64_t n = 0;
        v.DecimalToInt64(n);
        text = std::to_string(n);
        break;
    }
    case VT_R8: {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.15g", v.dblVal);
        text = buf;
        break;
    }
    default:
        return 1;
    }
    const std::u16string wide(text.begin(), text.end());
    value->SetText(wide.c_str());
    return 1;
}

int CFakeAttr::GetInteger(int field, int* value) {
    if (!Valid(field))
        return 0;
    const CVariant& v = m_values[static_cast<std::size_t>(field)];
    int64_t n = 0;
    if (v.vt == VT_I4)
        n = v.lVal;
    else if (v.vt == VT_DECIMAL)
        v.DecimalToInt64(n);
    else if (v.vt == VT_R8)
        n = static_cast<int64_t>(v.dblVal);
    *value = static_cast<int>(static_cast<uint32_t>(n)); // what a 32-bit reader makes of a larger value
    return 1;
}

int CFakeAttr::GetDouble(int field, double* value) {
    if (!Valid(field))
        return 0;
    const CVariant& v = m_values[static_cast<std::size_t>(field)];
    int64_t n = 0;
    if (v.vt == VT_R8)
        *value = v.dblVal;
    else if (v.vt == VT_I4)
        *value = v.lVal;
    else if (v.vt == VT_DECIMAL && v.DecimalToInt64(n))
        *value = static_cast<double>(n);
    else
        *value = 0.0;
    return 1;
}

int CFakeAttr::GetValue(int field, CVariant* value) {
    if (!Valid(field) || value == nullptr)
        return 0;
    VariantCopy(value, &m_values[static_cast<std::size_t>(field)]);
    return 1;
}

int CFakeAttr::GetFieldName(int index, IString* name) {
    if (!Valid(index))
        return 0;
    name->SetText((*m_fields)[static_cast<std::size_t>(index)].name.c_str());
    return 1;
}

int CFakeRecset::MoveFirst() {
    m_position = 0;
    return m_records.empty() ? 0 : 1;
}

int CFakeRecset::MoveNext() {
    return Guarded([&] {
        if (m_position + 1 >= m_records.size())
            return 0;
        if (static_cast<int>(m_position) + 1 == m_failWalkAt)
            ThrowBadFormatBecause(u"its index is cut short", u"fake.shp");
        ++m_position;
        return 1;
    });
}

int CFakeRecset::GetShape(IShape** shape, int) {
    if (m_position >= m_records.size() || static_cast<int>(m_position) == m_failShapeAt)
        return 0;
    IShape* s = m_records[m_position].shape.Get();
    s->AddRef();
    *shape = s;
    return 1;
}

int CFakeRecset::GetAttributes(IShapeAttr** attributes) {
    if (m_position >= m_records.size() || !m_records[m_position].attributes)
        return 0;
    IShapeAttr* a = m_records[m_position].attributes.Get();
    a->AddRef();
    *attributes = a;
    return 1;
}

CFakeTable& CFakeTable::Add(CRef<IShape> shape, std::vector<CVariant> values) {
    m_records.push_back({std::move(shape), CRef<IShapeAttr>(new CFakeAttr(m_fields, std::move(values)))});
    return *this;
}

CFakeTable& CFakeTable::AddBare(CRef<IShape> shape) {
    m_records.push_back({std::move(shape), CRef<IShapeAttr>()});
    return *this;
}

CRef<CFakeRecset> CFakeTable::Build() const {
    return CRef<CFakeRecset>(new CFakeRecset(m_records));
}

CVariant Text(const std::u16string& text) {
    return CVariant::FromString(text);
}
CVariant Int(int32_t value) {
    return CVariant::FromI4(value);
}
CVariant BigInt(int64_t value) {
    return CVariant::FromInt64(value);
}
CVariant Real(double value) {
    return CVariant::FromR8(value);
}

namespace {

const char* const kDumpScript = R"PY(
import sys, json
from osgeo import ogr, gdal
gdal.UseExceptions()
try:
    # By default GDAL takes a layer's measures from its first record only; every record is asked here.
    ds = gdal.OpenEx(sys.argv[1], gdal.OF_VECTOR, open_options=["ADJUST_GEOM_TYPE=ALL_SHAPES"])
except Exception:
    print("null"); sys.exit(0)
lyr = ds.GetLayer(0)
def points(g):
    if g.GetGeometryCount():
        return [p for i in range(g.GetGeometryCount()) for p in points(g.GetGeometryRef(i))]
    return [[g.GetX(i), g.GetY(i), g.GetZ(i) if g.Is3D() else None, g.GetM(i) if g.IsMeasured() else None]
            for i in range(g.GetPointCount())]
out = {"geom_type": ogr.GeometryTypeToName(lyr.GetGeomType()), "extent": list(lyr.GetExtent()),
       "count": lyr.GetFeatureCount(),
       "encoding": lyr.GetMetadataItem("SOURCE_ENCODING", "SHAPEFILE") or "",
       "fields": [[f.GetName(), f.GetTypeName(), f.GetWidth(), f.GetPrecision()] for f in lyr.schema],
       "features": []}
for feat in lyr:
    g = feat.GetGeometryRef()
    out["features"].append({"wkt": g.ExportToIsoWkt() if g is not None else None,
                            "values": [feat.GetField(i) for i in range(feat.GetFieldCount())],
                            "points": points(g) if g is not None else []})
print(json.dumps(out))
)PY";

} // namespace

nlohmann::json OgrDump(const std::string& shpPath) {
    const std::string command =
        "/usr/bin/python3 - '" + shpPath + "' 2>/dev/null <<'FENNICK_PY'\n" + kDumpScript + "\nFENNICK_PY\n";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr)
        return nullptr;
    std::string text;
    char buf[4096];
    std::size_t n = 0;
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0)
        text.append(buf, n);
    ::pclose(pipe);
    return nlohmann::json::parse(text, nullptr, false);
}

uint32_t BigEndian32(const std::string& bytes, std::size_t offset) {
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data() + offset);
    return (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
}

uint32_t LittleEndian32(const std::string& bytes, std::size_t offset) {
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data() + offset);
    return (uint32_t{b[3]} << 24) | (uint32_t{b[2]} << 16) | (uint32_t{b[1]} << 8) | b[0];
}

double LittleEndianDouble(const std::string& bytes, std::size_t offset) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(bytes[offset + static_cast<std::size_t>(i)]);
    return std::bit_cast<double>(v);
}

} // namespace fennick::test
