#include "shp/ShpDS.h"

#include "coordsys/CommonCoordSysImpl.h"
#include "data/ShapeImpl.h"
#include "platform/CachedFile.h"
#include "platform/CodePage.h"
#include "platform/EncCachedFile.h"
#include "platform/FileSystem.h"
#include "platform/PathFunctions.h"
#include "shp/XBaseRecord.h"

#include <cstring>
#include <limits>

namespace fennick {

namespace {

// Leaves the reason a record could not be read for the caller that reports it.
void NoteReadFailure(int record, const std::u16string& path, const CException& failure) {
    const std::u16string detail = failure.Detail();
    SetRecordFailureReason(record, path, detail.empty() ? failure.Message() : detail);
}

constexpr uint32_t kFileCode = 9994;

uint32_t BigEndian32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

int32_t Little32(const uint8_t* p) {
    int32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

double LittleDouble(const uint8_t* p) {
    double v;
    std::memcpy(&v, p, 8);
    return v;
}

} // namespace

CShpDS::~CShpDS() {
    // The readers go before the files they read.
    m_index.Close();
    m_shp.reset();
    m_shx.reset();
}

void CShpDS::Open(const std::u16string& path, std::u16string_view password, bool useIndex) {
    CFileException error(CFileException::none, path);
    if (!m_shpFile.Open(path, CSysFile::kReadDenyWrite, &error))
        throw error;
    if (password.empty())
        m_shp = std::make_unique<CCachedFile>(m_shpFile, kShpCache);
    else
        m_shp = std::make_unique<CEncCachedFile>(m_shpFile, kShpCache, password);
    if (m_shp->Read(m_header, sizeof m_header) < sizeof m_header || BigEndian32(m_header) != kFileCode)
        ThrowBadFormat(path);

    const std::u16string dir = GetDirectoryPart(path);
    const std::u16string base = GetFileBaseName(path);
    const std::u16string shxPath = JoinPath(dir, base, u"shx");
    if (!m_shxFile.Open(shxPath, CSysFile::kReadDenyWrite, &error))
        throw error;
    m_shx = std::make_unique<CCachedFile>(m_shxFile, kShxCache);
    // A .shx shorter than its header holds no records; a count beyond what a record number can address is
    // cut to the largest one.
    const uint64_t shxLength = m_shxFile.GetLength();
    const uint64_t entries = shxLength < 100 ? 0 : (shxLength - 100) / 8;
    m_recordCount = static_cast<int32_t>(std::min<uint64_t>(entries, std::numeric_limits<int32_t>::max()));

    // The optional companions: the first failure ends this part silently, but one that is no regular file
    // (a pipe would be waited on for ever) refuses the layer.
    m_dbfPath = JoinPath(dir, base, u"dbf");
    try {
        m_dbf.Open(m_dbfPath, CSysFile::kReadDenyNone, 0, password);
        SetCodePage(m_dbf.GetCodePage());
        if (useIndex) {
            const std::u16string stxPath = JoinPath(dir, base, u"stx");
            const auto stxTime = GetLastWriteTime(stxPath);
            const auto shpTime = GetLastWriteTime(path);
            if (stxTime && shpTime && *stxTime >= *shpTime)
                m_hasIndex = m_index.Open(stxPath) != 0;
        }
        const std::u16string prjPath = JoinPath(dir, base, u"prj");
        if (FileExists(prjPath))
            m_pendingPrj = prjPath;
    } catch (const CFileException& e) {
        if (e.HasOwnDetail()) // not a regular file
            throw;
    } catch (const CException&) {
    }
}

int CShpDS::GetShapeType() {
    return CShapeImpl::TypeCodeFromShpType(Little32(m_header + 32));
}

int CShpDS::GetBounds(CGeoRect* bounds) {
    if (bounds == nullptr)
        return 0;
    bounds->left = LittleDouble(m_header + 36);
    bounds->bottom = LittleDouble(m_header + 44);
    bounds->right = LittleDouble(m_header + 52);
    bounds->top = LittleDouble(m_header + 60);
    return 1;
}

int CShpDS::SetCoordSys(ICoordSys* coordSys) {
    m_pendingPrj.clear();
    return CGeoDataSource::SetCoordSys(coordSys);
}

ICoordSys* CShpDS::GetCoordSys() {
    if (!m_pendingPrj.empty()) {
        const std::u16string path = std::move(m_pendingPrj);
        m_pendingPrj.clear();
        try {
            CRef<ICoordSys> coordSys;
            if (LoadCoordSys(path.c_str(), coordSys.Put()) && coordSys)
                CGeoDataSource::SetCoordSys(coordSys.Get());
        } catch (const CException&) {
        }
    }
    return CGeoDataSource::GetCoordSys();
}

void CShpDS::Close() {
    try {
        if (m_shp)
            m_shp->Close();
        if (m_shx)
            m_shx->Close();
        m_dbf.Close();
        m_index.Close();
        m_hasIndex = false;
    } catch (const CException&) {
    }
}

void CShpDS::SetCodePage(int codePage) {
    if (codePage < 0)
        return;
    CGeoDataSource::SetCodePage(codePage);
    if (m_dbf.IsOpen())
        m_dbf.SetCodePage(codePage);
}

int CShpDS::GetFieldCount() {
    return m_dbf.IsOpen() ? m_dbf.GetFieldCount() : 0;
}

int CShpDS::GetFieldName(int index, IString* name) {
    return m_dbf.IsOpen() ? m_dbf.GetFieldName(index, name) : 0;
}

int CShpDS::GetFieldWidth(int index) {
    return m_dbf.IsOpen() ? m_dbf.GetFieldWidth(index) : 0;
}

int CShpDS::GetFieldDecimals(int index) {
    return m_dbf.IsOpen() ? m_dbf.GetFieldDecimals(index) : 0;
}

int CShpDS::GetFieldType(int index) {
    return m_dbf.IsOpen() ? m_dbf.GetFieldType(index) : 0;
}

void CShpDS::SeekRecord(int record) {
    if (record < 0 || !m_shx || !m_shp)
        ThrowInvalidArg();
    uint8_t entry[8];
    m_shx->Seek(100 + 8 * static_cast<int64_t>(record), 0);
    if (m_shx->Read(entry, sizeof entry) < sizeof entry)
        ThrowBadFormatBecause(u"its index entry passes the end of " + m_shxFile.GetFilePath(),
                              m_shxFile.GetFilePath());
    m_shp->Seek(static_cast<int64_t>(BigEndian32(entry)) * 2, 0);
}

int CShpDS::ReadShape(int record, IShapeEx* shape) {
    if (shape == nullptr)
        return 0;
    try {
        SeekRecord(record);
        return shape->ReadFrom(m_shp.get()) ? 1 : 0;
    } catch (const CException& e) {
        NoteReadFailure(record, m_shpFile.GetFilePath(), e);
        return 0;
    }
}

int CShpDS::GetAttributes(int record, IShapeAttr** attributes) {
    if (attributes == nullptr || !m_dbf.IsOpen() || record < 0)
        return 0;
    try {
        CRef<CxBaseRecord> values = m_dbf.GetRecord(static_cast<uint32_t>(record));
        if (!values)
            return 0;
        *attributes = values.Detach();
        return 1;
    } catch (const CException& e) {
        NoteReadFailure(record, m_dbfPath, e);
        return 0;
    }
}

SStoredField CShpDS::StoredField(int field) {
    const SDbfField& f = m_dbf.Field(field);
    return {f.offset, f.width, f.type};
}

int CShpDS::GetRecordBounds(int record, CGeoRect* bounds) {
    if (bounds == nullptr)
        return 0;
    try {
        SeekRecord(record);
        uint8_t head[12];
        if (m_shp->Read(head, sizeof head) < sizeof head)
            ThrowBadFormat(m_shpFile.GetFilePath());
        const int type = CShapeImpl::TypeCodeFromShpType(Little32(head + 8));
        if (type == SHAPE_NULL)
            return 0;
        if (type == SHAPE_POINT) {
            uint8_t xy[16];
            if (m_shp->Read(xy, sizeof xy) < sizeof xy)
                ThrowBadFormat(m_shpFile.GetFilePath());
            bounds->left = bounds->right = LittleDouble(xy);
            bounds->top = bounds->bottom = LittleDouble(xy + 8);
            return 1;
        }
        uint8_t box[32];
        if (m_shp->Read(box, sizeof box) < sizeof box)
            ThrowBadFormat(m_shpFile.GetFilePath());
        bounds->left = LittleDouble(box);
        bounds->bottom = LittleDouble(box + 8);
        bounds->right = LittleDouble(box + 16);
        bounds->top = LittleDouble(box + 24);
        return 1;
    } catch (const CException&) {
        return 0;
    }
}

int CShpDS::QuerySpatialIndex(const CGeoRect& query, std::vector<bool>& bits) {
    if (!m_hasIndex)
        return 0;
    return m_index.Query(query, bits);
}

int OpenShpDS(const std::u16string& path, const char16_t* password, IGeoDS** source, char16_t* errorText) {
    if (source == nullptr)
        return 0;
    try {
        CRef<CShpDS> ds = MakeRef<CShpDS>();
        ds->Open(path, password != nullptr ? std::u16string_view(password) : std::u16string_view(), true);
        *source = ds.Detach()->AsGeoDS();
        return 1;
    } catch (const CException& e) {
        // With the system's own words, for the caller that reports the failure.
        SetFailureReason(DescribeFailure(e));
        if (errorText != nullptr) {
            e.GetErrorMessage(errorText, 260);
        }
    } catch (const std::bad_alloc&) {
        if (errorText != nullptr)
            CMemoryException().GetErrorMessage(errorText, 260);
    }
    return 0;
}

} // namespace fennick
