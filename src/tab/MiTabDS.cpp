#include "tab/MiTabDS.h"

#include "coordsys/CommonCoordSysImpl.h"
#include "data/IShape.h"
#include "data/IString.h"
#include "platform/Boundary.h"
#include "platform/CodePage.h"
#include "platform/Exceptions.h"
#include "platform/FileSystem.h"
#include "platform/GenericEx.h"
#include "platform/PathFunctions.h"
#include "platform/SysFile.h"
#include "platform/TextCase.h"
#include "tab/MiTabAttrImpl.h"
#include "tab/MiTabFiles.h"
#include "tab/OgrReading.h"

#include <cpl_conv.h>
#include <gdal_priv.h>
#include <ogr_geometry.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <thread>

namespace fennick {

namespace {

struct SCharset {
    const char* name;
    int codePage;
};

// Searched from the first row.
constexpr std::array<SCharset, 34> CHARSETS = {{
    {"Neutral", -1},
    {"ANSI", 0},
    {"ISO8859_1", 28591},
    {"ISO8859_2", 28592},
    {"ISO8859_3", 28593},
    {"ISO8859_4", 28594},
    {"ISO8859_5", 28595},
    {"ISO8859_6", 28596},
    {"ISO8859_7", 28597},
    {"ISO8859_8", 28598},
    {"ISO8859_9", 28599},
    {"PackedEUCJapanese", 51932},
    {"WindowsLatin1", 1252},
    {"WindowsLatin2", 1250},
    {"WindowsArabic", 1256},
    {"WindowsCyrillic", 1251},
    {"WindowsGreek", 1253},
    {"WindowsHebrew", 1255},
    {"WindowsTurkish", 1254},
    {"WindowsTradChinese", 950},
    {"WindowsSimpChinese", 936},
    {"WindowsJapanese", 932},
    {"WindowsKorean", 949},
    {"CodePage437", 437},
    {"CodePage850", 850},
    {"CodePage852", 852},
    {"CodePage855", 855},
    {"CodePage857", 857},
    {"CodePage860", 860},
    {"CodePage861", 861},
    {"CodePage863", 863},
    {"CodePage864", 864},
    {"CodePage865", 865},
    {"CodePage869", 869},
}};

std::string_view Trim(std::string_view s) {
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && space(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && space(s.back()))
        s.remove_suffix(1);
    return s;
}

std::string_view Unquote(std::string_view s) {
    s = Trim(s);
    if (s.size() >= 2 && s.front() == '"') {
        const std::size_t end = s.find('"', 1);
        return s.substr(1, end == std::string_view::npos ? s.size() - 1 : end - 1);
    }
    return s.substr(0, std::min(s.size(), s.find_first_of(" \t")));
}

// The position of word in line, compared without regard to letter case; npos when absent.
std::size_t FindNoCase(std::string_view line, std::string_view word) {
    for (std::size_t i = 0; i + word.size() <= line.size(); ++i)
        if (EqualIgnoringAsciiCase(line.substr(i, word.size()), word))
            return i;
    return std::string_view::npos;
}

constexpr std::size_t HEADER_BOX = 0;
constexpr std::size_t HEADER_PARTS = 32;
constexpr std::size_t HEADER_POINTS = 36;
constexpr std::size_t HEADER_SIZE = 40;

void PutInt32(uint8_t* at, int32_t value) {
    std::memcpy(at, &value, sizeof value);
}
void PutDouble(uint8_t* at, double value) {
    std::memcpy(at, &value, sizeof value);
}

void WritePoints(const OGRSimpleCurve& curve, uint8_t* to) {
    const int n = curve.getNumPoints();
    if (n > 0)
        curve.getPoints(to, 16, to + 8, 16);
}

// Calls part(curve) for every line or ring of the geometry, in OGR's order. Raises when a counted part is
// missing, so a record never keeps a part whose start was not set.
template <class F> void ForEachPart(const OGRGeometry& geometry, F&& part) {
    // Kinds are told by their type codes, which cost a virtual call where a dynamic_cast walks the class
    // tree: a table of many small regions asks for every part of every record.
    const auto deliver = [&](const OGRGeometry* curve) {
        const OGRwkbGeometryType type = curve ? wkbFlatten(curve->getGeometryType()) : wkbUnknown;
        if (type != wkbLineString && type != wkbCircularString)
            ThrowBadFormat();
        part(*curve->toSimpleCurve());
    };
    const auto polygon = [&](const OGRGeometry* g) {
        if (!g || wkbFlatten(g->getGeometryType()) != wkbPolygon || !g->toPolygon()->getExteriorRing())
            ThrowBadFormat();
        const OGRPolygon* p = g->toPolygon();
        deliver(p->getExteriorRing());
        for (int i = 0; i < p->getNumInteriorRings(); ++i)
            deliver(p->getInteriorRing(i));
    };
    switch (wkbFlatten(geometry.getGeometryType())) {
    case wkbLineString:
        deliver(geometry.toLineString());
        break;
    case wkbMultiLineString: {
        const OGRMultiLineString* lines = geometry.toMultiLineString();
        for (int i = 0; i < lines->getNumGeometries(); ++i)
            deliver(lines->getGeometryRef(i));
        break;
    }
    case wkbPolygon:
        polygon(&geometry);
        break;
    case wkbMultiPolygon: {
        const OGRMultiPolygon* polygons = geometry.toMultiPolygon();
        for (int i = 0; i < polygons->getNumGeometries(); ++i)
            polygon(polygons->getGeometryRef(i));
        break;
    }
    default:
        ThrowBadFormat();
    }
}

bool HasTabExtension(std::u16string_view path) {
    if (path.size() < 4)
        return false;
    return EqualIgnoringAsciiCase(path.substr(path.size() - 4), u".tab");
}

// The names that make OGR skip every attribute, the style and the geometry (with geometry) of the layer's
// features, null-terminated for SetIgnoredFields; the names belong to the layer.
std::vector<const char*> IgnoredAll(OGRLayer& layer, bool geometry = true) {
    std::vector<const char*> ignored;
    if (const OGRFeatureDefn* defn = layer.GetLayerDefn())
        for (int i = 0; i < defn->GetFieldCount(); ++i)
            ignored.push_back(defn->GetFieldDefn(i)->GetNameRef());
    ignored.push_back("OGR_STYLE");
    if (geometry)
        ignored.push_back("OGR_GEOMETRY");
    ignored.push_back(nullptr);
    return ignored;
}

// The table's file with the extension (".dat", ".map") among GDAL's list of them; empty when it has none.
std::u16string TableFile(GDALDataset& dataset, std::u16string_view extension) {
    std::u16string found;
    char** files = dataset.GetFileList();
    for (char** file = files; file != nullptr && *file != nullptr; ++file) {
        const std::u16string name = FromUtf8(*file);
        if (name.size() > extension.size() &&
            EqualIgnoringAsciiCase(std::u16string_view(name).substr(name.size() - extension.size()),
                                   extension))
            found = name;
    }
    CSLDestroy(files);
    return found;
}

} // namespace

int TabCharsetCodePage(std::string_view charset) {
    if (charset.empty())
        return 0;
    for (const SCharset& row : CHARSETS)
        if (EqualIgnoringAsciiCase(charset, row.name))
            return row.codePage;
    return 0;
}

std::string ReadTabCharset(const std::u16string& tabPath) {
    // The charset sits in the first lines; a view or seamless table's list of tables need not be read.
    constexpr std::size_t MAX_LINES = 200;
    std::ifstream in(std::filesystem::path(ToUtf8(tabPath)), std::ios::binary);
    std::string line;
    for (std::size_t n = 0; n < MAX_LINES && in && std::getline(in, line); ++n) {
        if (line.size() > 4096)
            break;
        const std::string_view text = Trim(line);
        if (text.size() > 8 && EqualIgnoringAsciiCase(text.substr(0, 8), "!charset"))
            return std::string(Unquote(text.substr(8)));
        // "Type NATIVE Charset "Name"" inside the definition table.
        const std::size_t at = FindNoCase(text, "charset");
        if (at != std::string_view::npos && at > 0 && (text[at - 1] == ' ' || text[at - 1] == '\t'))
            return std::string(Unquote(text.substr(at + 7)));
    }
    return {};
}

int TabLayerShapeType(int ogrGeometryType) {
    switch (ogrGeometryType) {
    case wkbPoint:
    case wkbMultiPoint:
        return SHAPE_POINT;
    case wkbLineString:
    case wkbMultiLineString:
        return SHAPE_POLYLINE;
    case wkbPolygon:
    case wkbMultiPolygon:
        return SHAPE_POLYGON;
    default:
        return SHAPE_NULL;
    }
}

int TabGeometryShapeType(const OGRGeometry* geometry) {
    if (!geometry)
        return SHAPE_NULL;
    switch (wkbFlatten(geometry->getGeometryType())) {
    case wkbPoint:
        return SHAPE_POINT;
    case wkbLineString:
    case wkbMultiLineString:
        return SHAPE_POLYLINE;
    case wkbPolygon:
    case wkbMultiPolygon:
        return SHAPE_POLYGON;
    default:
        return SHAPE_NULL;
    }
}

void CShapeRecordBuilder::Begin(const CGeoRect& box, int64_t parts, int64_t points) {
    if (parts < 0 || points < 0 || parts > INT32_MAX || points > INT32_MAX)
        ThrowBadFormat();
    // Counts below 2^31 keep this sum far inside 64 bits.
    const uint64_t size = HEADER_SIZE + 4 * static_cast<uint64_t>(parts) + 16 * static_cast<uint64_t>(points);
    if (size > static_cast<uint64_t>(INT_MAX))
        ThrowBadFormat();
    m_size = static_cast<std::size_t>(size);
    uint8_t* record = m_buffer.Require(m_size);
    PutDouble(record + HEADER_BOX, box.left);
    PutDouble(record + HEADER_BOX + 8, box.bottom);
    PutDouble(record + HEADER_BOX + 16, box.right);
    PutDouble(record + HEADER_BOX + 24, box.top);
    PutInt32(record + HEADER_PARTS, static_cast<int32_t>(parts));
    PutInt32(record + HEADER_POINTS, static_cast<int32_t>(points));
    if (parts > 0)
        PutInt32(record + HEADER_SIZE, 0);
    m_parts = parts;
    m_points = points;
    m_partsDone = 0;
    m_pointsDone = 0;
}

uint8_t* CShapeRecordBuilder::AddPart(int64_t count) {
    if (count < 0 || m_partsDone >= m_parts || count > m_points - m_pointsDone)
        ThrowBadFormat();
    uint8_t* record = m_buffer.Data();
    PutInt32(record + HEADER_SIZE + 4 * static_cast<std::size_t>(m_partsDone),
             static_cast<int32_t>(m_pointsDone));
    uint8_t* points = record + HEADER_SIZE + 4 * static_cast<std::size_t>(m_parts) +
                      16 * static_cast<std::size_t>(m_pointsDone);
    ++m_partsDone;
    m_pointsDone += count;
    return points;
}

std::size_t CShapeRecordBuilder::Finish() const {
    if (m_partsDone != m_parts || m_pointsDone != m_points)
        ThrowBadFormat();
    return m_size;
}

int BuildTabShapeRecord(const OGRGeometry* geometry, CByteBuffer& buffer, std::size_t& size) {
    if (!geometry || geometry->IsEmpty())
        ThrowBadFormat();
    const int type = TabGeometryShapeType(geometry);
    if (type == SHAPE_POINT) {
        const OGRPoint* point = geometry->toPoint();
        uint8_t* record = buffer.Require(16);
        PutDouble(record, point->getX());
        PutDouble(record + 8, point->getY());
        size = 16;
        return type;
    }
    if (type != SHAPE_POLYLINE && type != SHAPE_POLYGON)
        ThrowBadFormat();

    int64_t parts = 0;
    int64_t points = 0;
    ForEachPart(*geometry, [&](const OGRSimpleCurve& curve) {
        ++parts;
        points += curve.getNumPoints();
    });
    OGREnvelope envelope;
    geometry->getEnvelope(&envelope);

    CShapeRecordBuilder builder(buffer);
    builder.Begin(RectFromEnvelope(envelope), parts, points);
    ForEachPart(*geometry, [&](const OGRSimpleCurve& curve) {
        WritePoints(curve, builder.AddPart(curve.getNumPoints()));
    });
    size = builder.Finish();
    return type;
}

// Another GDAL handle on the table that reads a walk's features (every stride-th one) in a thread of its own,
// in order and a bounded number ahead of the walk, while the walk's thread builds and writes the records. The
// handles share no GDAL object, so it reads without the process lock; GDAL's messages are taken per feature
// as the reader guard takes them.
class CTabReadAhead {
public:
    // Opens another handle (under the caller's reader guard) and starts reading at record first, then every
    // stride-th record.
    CTabReadAhead(const std::string& utf8Path, const std::vector<int32_t>& rowIds, int first, int end,
                  int stride)
        : m_rowIds(rowIds), m_next(first), m_end(end), m_stride(stride) {
        const char* const drivers[] = {"MapInfo File", nullptr};
        CPLConfigOptionSetter cached("VSI_CACHE", "TRUE", true);
        CPLConfigOptionSetter cacheSize("VSI_CACHE_SIZE", "262144", true);
        m_dataset.reset(GDALDataset::FromHandle(
            GDALOpenEx(utf8Path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, drivers, nullptr, nullptr)));
        m_layer = m_dataset && m_dataset->GetLayerCount() > 0 ? m_dataset->GetLayer(0) : nullptr;
        if (m_layer != nullptr)
            m_thread = std::thread([this, first] { Run(first); });
    }
    ~CTabReadAhead() {
        // A reader waiting for room wakes on a change of the walk's count: it finds room, then the stop.
        m_stop.store(true);
        m_taken.fetch_add(kAhead);
        m_taken.notify_all();
        if (m_thread.joinable())
            m_thread.join();
        for (SItem& item : m_ring)
            item = SItem();
        m_bin->Close();
        CTabReaderGuard guard;
        m_dataset.reset();
    }
    CTabReadAhead(const CTabReadAhead&) = delete;
    CTabReadAhead& operator=(const CTabReadAhead&) = delete;

    // Where the walk's records hand their features back, for this reader's thread to free.
    const std::shared_ptr<CFeatureBin>& Bin() const { return m_bin; }
    // The record the walk may take next; -1 when this reader cannot serve it.
    int Next() const { return m_layer != nullptr && m_next < m_end ? m_next : -1; }
    // Takes the feature of record Next(): the feature, or null with GDAL's reason in error.
    OGRFeatureUniquePtr Take(std::string& error) {
        const uint64_t taken = m_taken.load(std::memory_order_relaxed);
        // The reader is the slower side; it wakes a waiting walk only once a batch is ready (or at the end).
        for (uint64_t written = m_written.load(std::memory_order_acquire); written == taken;
             written = m_written.load(std::memory_order_acquire))
            m_written.wait(written, std::memory_order_acquire);
        SItem& item = m_ring[taken % kAhead];
        OGRFeatureUniquePtr feature = std::move(item.feature);
        error = std::move(item.error);
        item.error.clear();
        m_taken.store(taken + 1, std::memory_order_release);
        // A reader that waits for room is woken when half the ring is free.
        if (m_written.load(std::memory_order_relaxed) - (taken + 1) == kAhead / 2)
            m_taken.notify_one();
        m_next += m_stride;
        return feature;
    }

private:
    struct SItem {
        OGRFeatureUniquePtr feature;
        std::string error; // GDAL's first error while the feature was read
    };
    // Features read and not yet taken, at most this many; a waiting walk is woken for this many. The two
    // threads share no lock: each side owns its counter and the ring's slots between the two.
    static constexpr uint64_t kAhead = 256;
    static constexpr uint64_t kBatch = 64;

    static void CPL_STDCALL Note(CPLErr level, CPLErrorNum, const char* message) {
        auto* item = static_cast<SItem*>(CPLGetErrorHandlerUserData());
        if (item != nullptr && (level == CE_Failure || level == CE_Fatal) && item->error.empty())
            item->error = message != nullptr && *message != '\0' ? message : "GDAL reported an error";
    }

    void Run(int first) {
        uint64_t written = 0;
        for (int record = first; record < m_end; record += m_stride) {
            for (uint64_t taken = m_taken.load(std::memory_order_acquire); written - taken >= kAhead;
                 taken = m_taken.load(std::memory_order_acquire)) {
                if (m_stop.load())
                    return;
                m_taken.wait(taken, std::memory_order_acquire);
            }
            if (m_stop.load())
                return;
            if (written % kBatch == 0)
                m_bin->Empty();
            SItem& item = m_ring[written % kAhead];
            const GIntBig id = m_rowIds.empty() ? static_cast<GIntBig>(record) + 1
                                                : m_rowIds[static_cast<std::size_t>(record)];
            CPLPushErrorHandlerEx(&CTabReadAhead::Note, &item);
            try {
                item.feature.reset(m_layer->GetFeature(id));
            } catch (const std::exception&) {
                item.feature.reset();
                item.error = "its object cannot be read";
            }
            CPLPopErrorHandler();
            CPLErrorReset();
            ++written;
            m_written.store(written, std::memory_order_release);
            const uint64_t ready = written - m_taken.load(std::memory_order_acquire);
            if (ready == kBatch || m_end - record <= m_stride)
                m_written.notify_one();
        }
    }

    struct SCloser {
        void operator()(GDALDataset* dataset) const { GDALClose(dataset); }
    };
    const std::vector<int32_t>& m_rowIds;
    int m_next;
    const int m_end;
    const int m_stride;
    std::unique_ptr<GDALDataset, SCloser> m_dataset;
    OGRLayer* m_layer = nullptr;
    std::array<SItem, kAhead> m_ring;
    std::atomic<uint64_t> m_written{0}; // features put in the ring, by the reader
    std::atomic<uint64_t> m_taken{0};   // features taken from it, by the walk
    std::atomic<bool> m_stop{false};
    std::shared_ptr<CFeatureBin> m_bin = std::make_shared<CFeatureBin>();
    std::thread m_thread;
};

namespace {

// How many rows a walk must have left for it to read ahead in threads of their own: 4,096 (below that the
// handles' opens cost more than they save), or never on a machine of one core. FENNICK_TAB_READ_AHEAD=0 turns
// it off, =1 reads ahead in any table (the tests run both ways). With the features freed by the thread that
// read them, the threads take about the processor time of one: the walk is as fast as GDAL's reading while
// the second core is free, and no slower while it is not.
int ReadAheadFrom() {
    const char* setting = std::getenv("FENNICK_TAB_READ_AHEAD");
    if (setting != nullptr && std::strcmp(setting, "0") == 0)
        return INT_MAX;
    if (setting != nullptr && std::strcmp(setting, "1") == 0)
        return 0;
    return std::thread::hardware_concurrency() > 1 ? 4096 : INT_MAX;
}

// How many threads read ahead, each every so many rows: FENNICK_TAB_READERS, else 2.
int ReadersAhead() {
    const char* setting = std::getenv("FENNICK_TAB_READERS");
    const int readers = setting != nullptr ? std::atoi(setting) : 2;
    return std::clamp(readers, 1, 8);
}

} // namespace

CMiTabDS::CMiTabDS() : COgrLayerDS(SHAPE_NULL), m_readAheadFrom(ReadAheadFrom()), m_readers(ReadersAhead()) {}

CMiTabDS::~CMiTabDS() {
    Close();
}

void CMiTabDS::Open(const std::u16string& path, bool useIndex) {
    if (!HasTabExtension(path))
        ThrowBadFormat(path);
    m_path = path;
    // GDAL would wait for ever on a pipe: every file of the table must be a regular file.
    for (const char16_t* ext : {u".tab", u".dat", u".map", u".id", u".ind"}) {
        const std::u16string file = ext == std::u16string(u".tab") ? path : ReplaceExtension(path, ext);
        if (PathExists(file) && !IsRegularFile(file))
            ThrowNotRegularFile(file);
    }
    // A table that is missing or cannot be read says so in the system's words, which GDAL does not give.
    {
        CSysFile probe;
        CFileException error(CFileException::none, path);
        if (!probe.Open(path, CSysFile::kReadDenyNone, &error))
            throw error;
    }
    {
        CTabReaderGuard guard;
        RegisterGdalDrivers();
        const char* const drivers[] = {"MapInfo File", nullptr};
        const std::string utf8 = ToUtf8(path);
        // The MapInfo driver reads every object with a seek and a few small reads; GDAL's block cache over
        // the table's files turns them into a few large reads (twice as fast) at a small, fixed memory cost
        // per file. A user's own setting of the two options wins.
        CPLConfigOptionSetter cached("VSI_CACHE", "TRUE", true);
        CPLConfigOptionSetter cacheSize("VSI_CACHE_SIZE", "262144", true);
        m_dataset.reset(GDALDataset::FromHandle(
            GDALOpenEx(utf8.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, drivers, nullptr, nullptr)));
        if (!m_dataset || m_dataset->GetLayerCount() < 1 || !(m_layer = m_dataset->GetLayer(0)))
            Fail(path, guard);

        OGREnvelope extent;
        if (m_layer->GetExtent(&extent, TRUE) == OGRERR_NONE)
            m_bounds = RectFromEnvelope(extent);

        m_utf8 = m_layer->TestCapability(OLCStringsAsUTF8) != 0;
        const OGRFeatureDefn* defn = m_layer->GetLayerDefn();
        if (!defn || guard.Errors() > 0)
            Fail(path, guard);
        m_fields.Clear();
        for (int i = 0; i < defn->GetFieldCount(); ++i) {
            const OGRFieldDefn* field = defn->GetFieldDefn(i);
            const STabFieldKind kind = TabFieldKind(*field);
            CIString name;
            if (field->GetNameRef())
                name.SetFromMultiByte(field->GetNameRef(), m_utf8 ? kUtf8CodePage : 0);
            if (kind.type == FIELD_NONE) {
                Close();
                ThrowBadFormatBecause(u"its column " + name.Str() + u" is of a kind (" +
                                          FromUtf8(OGRFieldDefn::GetFieldTypeName(field->GetType())) +
                                          u") no shapefile field can keep",
                                      path);
            }
            m_fields.Add(SDsFields{name.Str(), kind.type, kind.width, kind.decimals});
        }
        ReadRows(guard);
        // GDAL leaves the type of region tables undetermined; the .map header's object counts, or else the
        // features, tell it.
        const OGRwkbGeometryType layerType = defn->GetGeomType();
        m_shapeType = layerType != wkbUnknown ? TabLayerShapeType(layerType) : ShapeTypeFromMapHeader();
        if (m_shapeType == SHAPE_NULL)
            m_shapeType = ShapeTypeFromFeatures(guard);
        if (guard.Errors() > 0)
            Fail(path, guard);
        if (m_shapeType == SHAPE_NULL) {
            Close();
            ThrowBadFormat(path);
        }
        // A "NonEarth" table's plane has no place on the earth: GDAL reads it as a local system.
        m_esriWkt = LayerEsriWkt(*m_layer);
    }

    const std::u16string directory = GetDirectoryPart(path);
    const std::u16string base = GetFileBaseName(path);
    if (useIndex) {
        const std::u16string indexPath = JoinPath(directory, base, u"ttx");
        const auto tableTime = GetLastWriteTime(path);
        const auto indexTime = FileExists(indexPath) ? GetLastWriteTime(indexPath) : std::nullopt;
        // A stale index would hide records added since it was built.
        if (tableTime && indexTime && *indexTime >= *tableTime)
            m_index.Open(indexPath);
    }

    const std::u16string coordSysPath = JoinPath(directory, base, u"tpj");
    bool coordSysSet = false;
    if (FileExists(coordSysPath)) {
        ICoordSys* coordSys = nullptr;
        if (LoadCoordSys(coordSysPath.c_str(), &coordSys) && coordSys) {
            SetCoordSys(coordSys);
            coordSys->Release();
            coordSysSet = true;
        }
    }
    // Else the table's own system, as the output's .prj will state it.
    CCommonCoordSysImpl* own = nullptr;
    if (!coordSysSet && !m_esriWkt.empty() && CreateCoordSys(&own) && own) {
        CRef<ICoordSys> coordSys = CRef<ICoordSys>::Adopt(own);
        if (coordSys->SetFromWkt(FromUtf8(m_esriWkt).c_str()))
            SetCoordSys(coordSys.Get());
    }

    const int codePage = TabCharsetCodePage(ReadTabCharset(path));
    if (codePage >= 1)
        SetCodePage(codePage);
}

int CMiTabDS::ShapeTypeFromMapHeader() {
    const std::u16string map = TableFile(*m_dataset, u".map");
    return map.empty() ? SHAPE_NULL : ReadTabMapHeaderShapeType(map);
}

void CMiTabDS::Fail(const std::u16string& path, const CTabReaderGuard& guard) {
    const std::string why = guard.FirstError();
    Close();
    if (why.empty())
        ThrowBadFormat(path);
    ThrowBadFormatBecause(FromUtf8(why), path);
}

void CMiTabDS::ReadRows(const CTabReaderGuard& guard) {
    // GDAL's count without a filter is the number of features it will hand out, deleted ones included; the
    // .dat says which rows are live.
    GIntBig objects = m_layer->GetFeatureCount(FALSE);
    const std::u16string dat = TableFile(*m_dataset, u".dat");
    if (dat.empty()) {
        // A table whose rows are not in a .dat of its own (a view, a seamless table): GDAL's walk skips
        // what is deleted.
        std::vector<int32_t> ids;
        if (objects > 0)
            ids.reserve(static_cast<std::size_t>(std::min<GIntBig>(objects, INT_MAX)));
        std::vector<const char*> ignored = IgnoredAll(*m_layer);
        m_layer->SetIgnoredFields(ignored.data());
        m_layer->ResetReading();
        while (OGRFeatureUniquePtr feature{m_layer->GetNextFeature()}) {
            if (feature->GetFID() < 1 || feature->GetFID() > INT_MAX || ids.size() >= INT_MAX)
                ThrowBadFormatBecause(u"its feature ids pass what a shapefile can number", m_path);
            ids.push_back(static_cast<int32_t>(feature->GetFID()));
        }
        m_layer->ResetReading();
        m_layer->SetIgnoredFields(nullptr);
        m_recordCount = static_cast<int>(ids.size());
        m_rowIds = std::move(ids);
        return;
    }
    STabLiveRows rows = ReadTabLiveRows(dat);
    // GDAL hands out no more features than the .dat has rows, but the .id lists an object per row, 4 bytes
    // each: a shorter .dat header would hide the rows beyond it.
    if (const std::u16string id = TableFile(*m_dataset, u".id"); !id.empty()) {
        std::error_code error;
        const auto bytes = std::filesystem::file_size(std::filesystem::path(ToUtf8(id)), error);
        if (!error)
            objects = static_cast<GIntBig>(bytes / 4);
    }
    // Every row of the .dat needs its object: with fewer, GDAL reads the rows beyond as missing; with more,
    // objects have no row.
    if (objects != rows.declared)
        ThrowBadFormatBecause(u"its .dat holds " + Utf16Number(rows.declared) + u" rows, its .id lists " +
                                  Utf16Number(static_cast<long long>(objects)) + u" objects",
                              m_path);
    // A deleted row keeps no object; one that still has its object was marked by damage, not by a delete,
    // and GDAL says so when it is asked for it.
    if (!rows.numbers.empty() || rows.live == 0) {
        std::size_t next = 0;
        for (int32_t row = 1; row <= rows.declared; ++row) {
            if (next < rows.numbers.size() && rows.numbers[next] == row) {
                ++next;
                continue;
            }
            OGRFeatureUniquePtr feature(m_layer->GetFeature(row));
            if (guard.Errors() > 0)
                ThrowBadFormatBecause(FromUtf8(guard.FirstError()), m_path);
        }
    }
    m_recordCount = rows.live;
    m_rowIds = std::move(rows.numbers);
}

namespace {

// The files of a table as they are now: names, sizes and modification times.
std::string TableFilesStamp(GDALDataset& dataset) {
    std::string stamp;
    char** files = dataset.GetFileList();
    for (char** file = files; file != nullptr && *file != nullptr; ++file) {
        std::error_code error;
        const std::filesystem::path path(*file);
        const auto size = std::filesystem::file_size(path, error);
        const auto time = std::filesystem::last_write_time(path, error);
        stamp += *file;
        stamp += '\n' + std::to_string(error ? 0 : size) + '\n' +
                 std::to_string(error ? 0 : time.time_since_epoch().count()) + '\n';
    }
    CSLDestroy(files);
    return stamp;
}

// Shape types found by reading the features, by table stamp: the check and the merge open every table, and
// the scan reads the whole table. Used under the reader lock.
std::map<std::string, int>& ScannedTypes() {
    static std::map<std::string, int> types;
    return types;
}

} // namespace

int CMiTabDS::ShapeTypeFromFeatures(const CTabReaderGuard& guard) {
    const std::string stamp = TableFilesStamp(*m_dataset);
    auto& scanned = ScannedTypes();
    if (const auto known = scanned.find(stamp); known != scanned.end())
        return known->second;

    // Only the geometries count, so the attributes and the style are not read.
    std::vector<const char*> ignored = IgnoredAll(*m_layer, false);
    m_layer->SetIgnoredFields(ignored.data());

    int type = SHAPE_NULL;
    m_layer->ResetReading();
    while (OGRFeatureUniquePtr feature{m_layer->GetNextFeature()}) {
        const OGRGeometry* geometry = feature->GetGeometryRef();
        if (!geometry)
            continue;
        const int featureType = TabGeometryShapeType(geometry);
        if (featureType == SHAPE_NULL || (type != SHAPE_NULL && featureType != type)) {
            type = SHAPE_NULL;
            break;
        }
        type = featureType;
    }
    m_layer->ResetReading();
    m_layer->SetIgnoredFields(nullptr);
    // A table GDAL had trouble reading is read again next time, so that the trouble is seen again.
    if (guard.Errors() > 0)
        return type;

    if (scanned.size() >= 4096)
        scanned.clear();
    scanned.emplace(stamp, type);
    return type;
}

int CMiTabDS::GetSourceKind() {
    return SOURCE_MAPINFO_TAB;
}

void CMiTabDS::Close() {
    m_index.Close();
    m_aheads.clear();
    m_served = nullptr;
    m_lastFetched = -1;
    if (m_dataset) {
        CTabReaderGuard guard;
        m_kept.Reset();
        m_layer = nullptr;
        m_dataset.reset();
    }
}

OGRFeatureUniquePtr CMiTabDS::Fetch(int record) {
    if (!m_layer || record < 0 || record >= m_recordCount)
        return nullptr;
    const int previous = m_lastFetched;
    m_lastFetched = record;
    // A walk in order is served by the readers ahead, taking their rows in turn; any other read stops them.
    m_served = nullptr;
    for (const std::unique_ptr<CTabReadAhead>& ahead : m_aheads)
        if (ahead->Next() == record)
            m_served = ahead.get();
    if (m_served == nullptr)
        m_aheads.clear();
    if (m_aheads.empty() && record >= 1 && record == previous + 1 &&
        m_recordCount - record >= m_readAheadFrom) {
        CTabReaderGuard guard;
        for (int k = 0; k < m_readers; ++k)
            m_aheads.push_back(std::make_unique<CTabReadAhead>(ToUtf8(m_path), m_rowIds, record + k,
                                                               m_recordCount, m_readers));
        m_served = m_aheads.front()->Next() == record ? m_aheads.front().get() : nullptr;
    }
    if (m_served != nullptr) {
        std::string error;
        OGRFeatureUniquePtr feature = m_served->Take(error);
        if (!feature)
            m_fetchError = error;
        return feature;
    }
    const GIntBig id =
        m_rowIds.empty() ? static_cast<GIntBig>(record) + 1 : m_rowIds[static_cast<std::size_t>(record)];
    CTabReaderGuard guard;
    return CheckedFeature(guard, OGRFeatureUniquePtr(m_layer->GetFeature(id)), m_fetchError);
}

OGRFeature* CMiTabDS::Kept(int record) {
    return m_kept.Get(record, [this](int r) { return Fetch(r); });
}

OGRFeatureUniquePtr CMiTabDS::Take(int record) {
    return m_kept.Take(record, [this](int r) { return Fetch(r); });
}

int CMiTabDS::ReadShape(int record, IShapeEx* shape) {
    if (!shape)
        return 0;
    try {
        // Fetching takes the reader guard; the feature fetched is this source's own, read without it.
        const OGRFeature* feature = Kept(record);
        if (!feature)
            return NoteReadFailure(record, u"its object cannot be read");
        const OGRGeometry* geometry = feature->GetGeometryRef();
        // A row without an object is a record all the same, as a null shape.
        if (geometry == nullptr)
            return shape->SetData(SHAPE_NULL, record, nullptr, 0) != 0
                       ? 1
                       : NoteReadFailure(record, u"its object cannot be stored as a shape");
        std::size_t size = 0;
        const int type = BuildTabShapeRecord(geometry, m_record, size);
        // A table whose type came from its header may still hold an object of another kind.
        if (type != m_shapeType)
            return NoteReadFailure(record, u"its object is a " + FromUtf8(ShapeTypeName(type)) +
                                               u", the table's are " + FromUtf8(ShapeTypeName(m_shapeType)));
        if (shape->SetData(type, record, m_record.Data(), static_cast<int>(size)) == 0)
            return NoteReadFailure(record, u"its object cannot be stored as a shape");
        return 1;
    } catch (const CException& e) {
        return NoteReadFailure(record, e.Message().c_str());
    } catch (const std::exception&) {
        return NoteReadFailure(record, u"its object cannot be read");
    }
}

int CMiTabDS::NoteReadFailure(int record, const std::u16string& what) {
    // GDAL's own words say best what is wrong inside the table.
    const char* gdal = CPLGetLastErrorMsg();
    std::u16string why = what;
    if (!m_fetchError.empty())
        why = FromUtf8(m_fetchError);
    else if (gdal != nullptr && *gdal != '\0')
        why = FromUtf8(gdal);
    m_fetchError.clear();
    KeepFailure(RecordUnreadable(record, m_path, why));
    return 0;
}

int CMiTabDS::GetAttributes(int record, IShapeAttr** attributes) {
    if (!attributes)
        return 0;
    try {
        OGRFeatureUniquePtr feature = Take(record); // a fetch takes the reader guard
        if (!feature)
            return NoteReadFailure(record, u"its row cannot be read");
        *attributes = MakeRef<CMiTabAttrImpl>(std::move(feature), record, GetCodePage(), m_utf8,
                                              m_served ? m_served->Bin() : nullptr)
                          .Detach();
        return 1;
    } catch (const std::exception&) {
        return NoteReadFailure(record, u"its row cannot be read");
    }
}

int CMiTabDS::GetRecordBounds(int record, CGeoRect* bounds) {
    if (!bounds)
        return 0;
    return Guarded([&] {
        CTabReaderGuard guard;
        return FeatureGeometryBounds(Kept(record), bounds);
    });
}

bool CMiTabDS::HasSpatialIndex() {
    return m_index.IsOpen();
}

int CMiTabDS::QuerySpatialIndex(const CGeoRect& query, std::vector<bool>& bits) {
    return m_index.Query(query, bits);
}

} // namespace fennick
