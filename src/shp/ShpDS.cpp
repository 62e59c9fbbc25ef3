#include "shp/ShpDS.h"

#include "coordsys/CommonCoordSysImpl.h"
#include "data/ShapeImpl.h"
#include "platform/Boundary.h"
#include "platform/CachedFile.h"
#include "platform/CodePage.h"
#include "platform/EncCachedFile.h"
#include "platform/FileSystem.h"
#include "platform/GenericEx.h"
#include "platform/PathFunctions.h"
#include "shp/XBaseRecord.h"

#include <cstring>
#include <limits>
#include <optional>

namespace fennick {

namespace {

// Keeps the reason a record could not be read for the caller that reports it.
void NoteReadFailure(int record, const std::u16string& path, const CException& failure) {
    const std::u16string detail = failure.Detail();
    KeepFailure(RecordUnreadable(record, path, detail.empty() ? failure.Message() : detail));
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

// "1 record", "3 records".
std::u16string Records(uint64_t count) {
    return Utf16Number(static_cast<long long>(count)) + (count == 1 ? u" record" : u" records");
}

// The number of records the .shx indexes, from its size. An index cut short of its header's file length
// would drop records, so it fails with both counts; one beyond what a record number can address is cut to the
// largest.
int32_t IndexRecordCount(CFile& shx, uint64_t length, const std::u16string& path) {
    uint8_t header[100];
    if (length < sizeof header || shx.ReadAt(0, header, sizeof header) < sizeof header)
        ThrowBadFormatBecause(u"it is cut short at " +
                                  Utf16Number(static_cast<long long>(std::min<uint64_t>(length, 100))) +
                                  u" of its 100 header bytes",
                              path);
    const uint64_t entries = (length - 100) / 8;
    const uint64_t declaredLength = uint64_t{BigEndian32(header + 24)} * 2;
    if (declaredLength > length)
        ThrowBadFormatBecause(u"it holds " + Records(entries) + u" where its header declares " +
                                  Utf16Number(static_cast<long long>((declaredLength - 100) / 8)),
                              path);
    return static_cast<int32_t>(std::min<uint64_t>(entries, std::numeric_limits<int32_t>::max()));
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
    // The headers are read by themselves: a merge that copies the records as stored never fills the readers'
    // windows, which would read far more than a header.
    if (password.empty())
        m_shp = std::make_unique<CCachedFile>(m_shpFile, kShpCache, 0); // just opened: at its start
    else
        m_shp = std::make_unique<CEncCachedFile>(m_shpFile, kShpCache, password);
    const uint32_t got = password.empty() ? m_shpFile.ReadAt(0, m_header, sizeof m_header)
                                          : m_shp->Read(m_header, sizeof m_header);
    if (got < sizeof m_header || BigEndian32(m_header) != kFileCode)
        ThrowBadFormat(path);
    m_shpLength = m_shpFile.OpenedLength();

    // The exact name is opened at once; only when it is missing is the name looked for in other letter cases.
    std::u16string shxPath = JoinPath(GetDirectoryPart(path), GetFileBaseName(path), u"shx");
    if (!m_shxFile.Open(shxPath, CSysFile::kReadDenyWrite, &error)) {
        const std::u16string other =
            error.GetCause() == CFileException::fileNotFound ? FindCompanion(path, u"shx") : std::u16string();
        if (other.empty() || !m_shxFile.Open(other, CSysFile::kReadDenyWrite, &error))
            throw error; // the open of the exact name says that it was not found
        shxPath = other;
    }
    m_shx = std::make_unique<CCachedFile>(m_shxFile, kShxCache, 0);
    m_recordCount = IndexRecordCount(m_shxFile, m_shxFile.OpenedLength(), shxPath);

    // The optional companions: a missing .dbf leaves the layer without attributes, but one that is present
    // and cannot be read fails it, as its attributes would be lost. The exact name first, as for the .shx.
    // The .stx and .prj are looked for when first needed: a merge never needs the index.
    m_dbfPath = JoinPath(GetDirectoryPart(path), GetFileBaseName(path), u"dbf");
    if (!m_dbf.OpenIfExists(m_dbfPath, CSysFile::kReadDenyNone, 0, password)) {
        m_dbfPath = FindCompanion(path, u"dbf");
        if (m_dbfPath.empty())
            return;
        m_dbf.Open(m_dbfPath, CSysFile::kReadDenyNone, 0, password);
    }
    SetCodePage(m_dbf.GetCodePage());
    // Rows beyond the index's entries would be dropped; fewer rows leave the last records without attributes.
    if (m_dbf.GetRecordCount() > static_cast<uint32_t>(m_recordCount))
        ThrowBadFormatBecause(u"it indexes " + Records(m_recordCount) + u" where " + m_dbfPath + u" holds " +
                                  Utf16Number(m_dbf.GetRecordCount()),
                              shxPath);
    if (useIndex)
        m_indexPath = path;
    m_prjPending = true;
}

bool CShpDS::HasIndex() {
    if (m_indexPath.empty())
        return m_hasIndex;
    const std::u16string path = std::move(m_indexPath);
    m_indexPath.clear();
    try {
        const std::u16string stxPath = FindCompanion(path, u"stx");
        // The main file's time only when there is an index to compare it with.
        const auto stxTime = GetLastWriteTime(stxPath);
        const auto shpTime = stxTime ? GetLastWriteTime(path) : std::nullopt;
        if (stxTime && shpTime && *stxTime >= *shpTime)
            m_hasIndex = m_index.Open(stxPath) != 0;
    } catch (const CException&) {
        m_hasIndex = false; // an index that cannot be told apart or read: the records are searched one by one
    }
    return m_hasIndex;
}

uint64_t CShpDS::StatedShapeBytes() {
    return 2 * uint64_t{BigEndian32(m_header + 24)};
}

bool CShpDS::GetStoredShapeFiles(SStoredShapeFiles& files) {
    if (!m_shp || dynamic_cast<CEncCachedFile*>(m_shp.get()) != nullptr || !m_shxFile.IsOpen())
        return false;
    files.shp = m_shpFile.Handle();
    files.shx = m_shxFile.Handle();
    files.shpLength = m_shpLength;
    files.shpType = Little32(m_header + 32);
    files.records = m_recordCount;
    return true;
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
    m_prjPending = false;
    return CGeoDataSource::SetCoordSys(coordSys);
}

ICoordSys* CShpDS::GetCoordSys() {
    if (m_prjPending) {
        m_prjPending = false;
        try {
            const std::u16string path = FindCompanion(m_shpFile.GetFilePath(), u"prj");
            CRef<ICoordSys> coordSys;
            // A .prj that cannot be read leaves the failure kept for the caller that asks why.
            if (!path.empty() && LoadCoordSys(path.c_str(), coordSys.Put()) && coordSys)
                CGeoDataSource::SetCoordSys(coordSys.Get());
        } catch (const CException&) {
            KeepFailure();
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
        m_indexPath.clear();
        m_prjPending = false;
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

int64_t CShpDS::SeekRecord(int record) {
    if (record < 0 || !m_shx || !m_shp)
        ThrowInvalidArg();
    uint8_t entry[8];
    m_shx->Seek(100 + 8 * static_cast<int64_t>(record), 0);
    if (m_shx->Read(entry, sizeof entry) < sizeof entry)
        ThrowBadFormatBecause(u"its index entry passes the end of " + m_shxFile.GetFilePath(),
                              m_shxFile.GetFilePath());
    const int64_t position = static_cast<int64_t>(BigEndian32(entry)) * 2;
    m_shp->Seek(position, 0);
    return position;
}

int CShpDS::ReadShape(int record, IShapeEx* shape) {
    if (shape == nullptr)
        return 0;
    try {
        SeekRecord(record);
        if (!shape->ReadFrom(m_shp.get()))
            return 0;
        // A record of another type than its file's would make an output of mixed types.
        const int type = shape->GetType();
        if (type != SHAPE_NULL && type != GetShapeType())
            ThrowBadFormatBecause(u"it is a " + FromUtf8(ShapeTypeName(type)) + u", its file's header says " +
                                  FromUtf8(ShapeTypeName(GetShapeType())));
        return 1;
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

bool CShpDS::ReadStoredShapeHead(int record, SStoredShapeHead& head) {
    // A failure is kept for the caller, as every read of a record keeps it.
    return Guarded([&] {
        // Record header (number, content words, shape type), then at most the box and the two counts.
        uint8_t bytes[52];
        const int64_t position = SeekRecord(record);
        const uint32_t got = m_shp->Read(bytes, sizeof bytes);
        if (got < 12)
            return false;
        const int64_t words = static_cast<int32_t>(BigEndian32(bytes + 4));
        head.shpType = Little32(bytes + 8);
        const int code = ShapeCodeOfShpType(head.shpType);
        if (words < 2 || static_cast<uint64_t>(position) + 8 + 2 * static_cast<uint64_t>(words) > m_shpLength)
            return false;
        if (code == SHAPE_NULL) { // records of unknown types are read as null ones
            head.shpType = 0;
            return true;
        }
        if (code != GetShapeType())
            return false;
        const uint64_t size = 2 * static_cast<uint64_t>(words) - 4;
        const uint8_t* content = bytes + 12;
        if (got - 12 < std::min<uint64_t>(size, sizeof bytes - 12))
            return false;
        // The counts checked as a full read checks them, the part starts aside: they need the whole record.
        SShapeLayout layout;
        if (!ParseShapeLayout(head.shpType, content, static_cast<std::size_t>(size), layout, false))
            return false;
        if (code == SHAPE_POINT) {
            head.box.left = head.box.right = LittleDouble(content);
            head.box.top = head.box.bottom = LittleDouble(content + 8);
        } else {
            head.box.left = LittleDouble(content);
            head.box.bottom = LittleDouble(content + 8);
            head.box.right = LittleDouble(content + 16);
            head.box.top = LittleDouble(content + 24);
        }
        return true;
    });
}

int CShpDS::QuerySpatialIndex(const CGeoRect& query, std::vector<bool>& bits) {
    if (!HasIndex())
        return 0;
    return m_index.Query(query, bits);
}

int OpenShpDS(const std::u16string& path, const char16_t* password, IGeoDS** source, char16_t* errorText) {
    if (source == nullptr)
        return 0;
    const int opened = Guarded([&] {
        CRef<CShpDS> ds = MakeRef<CShpDS>();
        ds->Open(path, password != nullptr ? std::u16string_view(password) : std::u16string_view(), true);
        *source = ds.Detach()->AsGeoDS();
        return 1;
    });
    // The kept exception stays for the caller that reports it; the text is for callers that pass a buffer.
    if (opened == 0 && errorText != nullptr) {
        const std::u16string message = KeptMessage().substr(0, kErrorTextSize - 1);
        message.copy(errorText, message.size());
        errorText[message.size()] = u'\0';
    }
    return opened;
}

} // namespace fennick
