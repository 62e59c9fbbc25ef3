#include "data/ShapeImpl.h"

#include "data/Measures.h"
#include "platform/Boundary.h"
#include "platform/CodePage.h"
#include "platform/Exceptions.h"
#include "platform/IFile.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

namespace fennick {

static_assert(std::endian::native == std::endian::little,
              "record content is used in place and is little-endian");
static_assert(sizeof(CGeoPoint) == 16);

namespace {

constexpr std::size_t BOX_SIZE = 32;
// Slack so the content can be moved to put its point array on an 8-byte boundary.
constexpr std::size_t ALIGN_SLACK = 8;
// The largest record content a shapefile can describe (a 32-bit word count).
constexpr uint64_t MAX_CONTENT = 0xFFFFFFFFull;

int32_t ReadBigInt32(const uint8_t* p) {
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
                                static_cast<uint32_t>(p[2]) << 8 | static_cast<uint32_t>(p[3]));
}

double ReadDouble(const uint8_t* p) {
    double v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Box order in the record: x min, y min, x max, y max.
void WriteBox(uint8_t* p, const CGeoRect& r) {
    const double box[4] = {r.left, r.bottom, r.right, r.top};
    std::memcpy(p, box, sizeof box);
}

bool IsPoly(int type) {
    return type == SHAPE_POLYLINE || type == SHAPE_POLYGON;
}

} // namespace

int CShapeImpl::TypeCodeFromShpType(int32_t shpType) {
    return ShapeCodeOfShpType(shpType);
}

std::size_t CShapeImpl::AlignedShift(const uint8_t* base, std::size_t pointsOffset) {
    const auto address = reinterpret_cast<std::uintptr_t>(base) + pointsOffset;
    return (alignof(CGeoPoint) - address % alignof(CGeoPoint)) % alignof(CGeoPoint);
}

void CShapeImpl::MakeNull() {
    m_type = SHAPE_NULL;
    m_shift = 0;
    m_size = 0;
    m_layout = SLayout();
    m_shpType = 0;
}

void CShapeImpl::Commit(int type, int record, std::size_t shift, std::size_t size, const SLayout& layout,
                        int32_t shpType) {
    m_type = type;
    m_shpType = shpType;
    m_record = record;
    m_shift = shift;
    m_size = size;
    m_layout = layout;
}

const CGeoPoint* CShapeImpl::PointArray() const {
    return reinterpret_cast<const CGeoPoint*>(Content() + m_layout.pointsOffset);
}

int CShapeImpl::GetType() {
    return m_type;
}

int CShapeImpl::GetBounds(CGeoRect* bounds) {
    if (m_type == SHAPE_POINT && m_layout.points == 1) {
        const uint8_t* c = Content();
        bounds->left = bounds->right = ReadDouble(c);
        bounds->top = bounds->bottom = ReadDouble(c + 8);
        return 1;
    }
    if ((m_type == SHAPE_MULTIPOINT || IsPoly(m_type)) && m_size >= BOX_SIZE) {
        const uint8_t* c = Content();
        bounds->left = ReadDouble(c);
        bounds->bottom = ReadDouble(c + 8);
        bounds->right = ReadDouble(c + 16);
        bounds->top = ReadDouble(c + 24);
        return 1;
    }
    return 0;
}

int CShapeImpl::GetCenter(CGeoPoint* center) {
    return ShapeCentre(this, center);
}

int CShapeImpl::GetPartCount() {
    return m_layout.parts;
}

int CShapeImpl::GetPartPointCount(int part, int* count) {
    if (static_cast<unsigned>(part) >= static_cast<unsigned>(m_layout.parts))
        return 0;
    if (!IsPoly(m_type)) {
        *count = m_layout.points;
        return 1;
    }
    const uint8_t* starts = Content() + m_layout.startsOffset;
    const int32_t start = ReadInt32(starts + 4 * static_cast<std::size_t>(part));
    const int32_t next = part + 1 < m_layout.parts
                             ? ReadInt32(starts + 4 * static_cast<std::size_t>(part + 1))
                             : m_layout.points;
    *count = next - start;
    return 1;
}

int CShapeImpl::GetPointCount(int* count) {
    *count = m_layout.points;
    return 1;
}

CGeoPoint* CShapeImpl::GetPartPoints(int part) {
    if (m_layout.parts == 0)
        return nullptr;
    auto* points = const_cast<CGeoPoint*>(PointArray());
    if (!IsPoly(m_type))
        return points;
    if (static_cast<unsigned>(part) >= static_cast<unsigned>(m_layout.parts))
        return nullptr;
    return points + ReadInt32(Content() + m_layout.startsOffset + 4 * static_cast<std::size_t>(part));
}

int CShapeImpl::CopyPoints(int start, CGeoPoint* destination, int count) {
    const int32_t total = m_layout.points;
    if (static_cast<unsigned>(start) >= static_cast<unsigned>(total))
        return 0;
    const int32_t n = std::min(std::max(count, 0), total - start);
    if (n > 0)
        std::memcpy(destination, PointArray() + start, sizeof(CGeoPoint) * static_cast<std::size_t>(n));
    return 1;
}

void CShapeImpl::SetBounds(const CGeoRect& bounds) {
    if ((m_type == SHAPE_MULTIPOINT || IsPoly(m_type)) && m_size >= BOX_SIZE)
        WriteBox(Content(), bounds);
}

int CShapeImpl::GetPartRingKind(int) {
    return 0;
}

int CShapeImpl::ReservedA() {
    return 0;
}

int CShapeImpl::ReadFrom(IFile* file) {
    // Whatever fails below leaves a null shape, so no query trusts half-read bytes.
    MakeNull();
    uint8_t header[12];
    if (file->Read(header, sizeof header) != sizeof header)
        ThrowBadFormatBecause(u"its header passes the end of the file");
    const int32_t number = ReadBigInt32(header);
    const int32_t words = ReadBigInt32(header + 4);
    const int32_t shpType = ReadInt32(header + 8);
    const int type = TypeCodeFromShpType(shpType);
    if (words < 2)
        ThrowBadFormatBecause(u"its content length of " + Utf16Number(words) + u" words is below 2");
    const uint64_t size = 2 * static_cast<uint64_t>(words) - 4;

    uint8_t* base;
    try {
        if (size + ALIGN_SLACK > m_buffer.Capacity() && size > 0) {
            // Growing the buffer: first make sure the file really holds that much, so a forged length
            // cannot make us allocate gigabytes.
            const int64_t position = file->Seek(0, 1);
            file->Seek(position + static_cast<int64_t>(size) - 1, 0);
            uint8_t last;
            const uint32_t got = file->Read(&last, 1);
            file->Seek(position, 0);
            if (got != 1)
                ThrowBadFormatBecause(u"its content of " + Utf16Number(static_cast<long long>(size)) +
                                      u" bytes passes the end of the file");
        }
        base = m_buffer.Require(static_cast<std::size_t>(size + ALIGN_SLACK));
    } catch (const std::bad_alloc&) {
        ThrowMemory();
    }
    const std::size_t readShift = AlignedShift(base, 0);
    if (size > 0 && file->Read(base + readShift, static_cast<uint32_t>(size)) != size)
        ThrowBadFormatBecause(u"its content of " + Utf16Number(static_cast<long long>(size)) +
                              u" bytes passes the end of the file");

    SLayout layout;
    if (!ParseShapeLayout(shpType, base + readShift, size, layout))
        ThrowBadFormatBecause(std::u16string(ParseLayout(type, base + readShift, size, layout)
                                                 ? u"its z values do not fit its content of "
                                                 : u"its part or point counts do not fit its content of ") +
                              Utf16Number(static_cast<long long>(size)) + u" bytes");
    const std::size_t shift = AlignedShift(base, layout.pointsOffset);
    if (shift != readShift)
        std::memmove(base + shift, base + readShift, size);
    Commit(type, static_cast<int>(static_cast<int64_t>(number) - 1), shift, size, layout,
           type == SHAPE_NULL ? 0 : shpType);
    return 1;
}

int CShapeImpl::CopyFrom(IShape* source, int record) {
    if (!source)
        return 0;
    if (source == static_cast<IShape*>(this)) {
        m_record = record;
        return 1;
    }
    return Guarded([&] {
        const int type = source->GetType();
        int n = 0;
        if (!source->GetPointCount(&n) || n < 0)
            ThrowUser();
        const int p = source->GetPartCount();
        uint64_t size;
        std::size_t pointsOffset;
        if (type == SHAPE_POINT) {
            // A point record holds exactly one point; anything else cannot be represented.
            if (n != 1)
                ThrowUser();
            size = 16;
            pointsOffset = 0;
        } else if (type == SHAPE_MULTIPOINT) {
            size = kMultiPointPoints + 16 * static_cast<uint64_t>(n);
            pointsOffset = kMultiPointPoints;
        } else if (IsPoly(type)) {
            if (p < 0)
                ThrowUser();
            size = kPolyStarts + 4 * static_cast<uint64_t>(p) + 16 * static_cast<uint64_t>(n);
            pointsOffset = kPolyStarts + 4 * static_cast<std::size_t>(p);
        } else {
            ThrowUser();
        }
        if (size > MAX_CONTENT)
            ThrowUser();

        uint8_t* base = m_spare.Require(static_cast<std::size_t>(size + ALIGN_SLACK));
        const std::size_t shift = AlignedShift(base, pointsOffset);
        uint8_t* c = base + shift;
        auto* points = reinterpret_cast<CGeoPoint*>(c + pointsOffset);

        if (type == SHAPE_POINT) {
            const CGeoPoint* from = source->GetPartPoints(0);
            if (!from)
                ThrowUser();
            points[0] = *from;
        } else {
            CGeoRect bounds;
            if (!source->GetBounds(&bounds))
                ThrowUser();
            WriteBox(c, bounds);
            if (type == SHAPE_MULTIPOINT) {
                WriteInt32(c + 32, n);
                if (n > 0) {
                    const CGeoPoint* from = source->GetPartPoints(0);
                    if (!from)
                        ThrowUser();
                    std::memcpy(points, from, sizeof(CGeoPoint) * static_cast<std::size_t>(n));
                }
            } else {
                WriteInt32(c + 36, n);
                WriteInt32(c + 32, p);
                int32_t total = 0;
                for (int i = 0; i < p; ++i) {
                    int k = 0;
                    if (!source->GetPartPointCount(i, &k) || k < 0 || k > n - total)
                        ThrowUser();
                    const CGeoPoint* from = source->GetPartPoints(i);
                    if (!from && k > 0)
                        ThrowUser();
                    WriteInt32(c + kPolyStarts + 4 * static_cast<std::size_t>(i), total);
                    if (k > 0)
                        std::memcpy(points + total, from, sizeof(CGeoPoint) * static_cast<std::size_t>(k));
                    total += k;
                }
                // Points the parts did not cover are cleared rather than left undefined.
                if (total < n)
                    std::memset(static_cast<void*>(points + total), 0,
                                sizeof(CGeoPoint) * static_cast<std::size_t>(n - total));
            }
        }

        SLayout layout;
        if (!ParseLayout(type, c, static_cast<std::size_t>(size), layout))
            ThrowUser();
        std::swap(m_buffer, m_spare);
        Commit(type, record, shift, static_cast<std::size_t>(size), layout, ShpTypeOf(type, VARIANT_XY));
        return 1;
    });
}

int CShapeImpl::SetData(int type, int record, const void* bytes, int size) {
    const int done = Guarded([&] {
        const auto* from = static_cast<const uint8_t*>(bytes);
        SLayout layout;
        if (size < 0 || (size > 0 && !from) ||
            !ParseLayout(type, from, static_cast<std::size_t>(size), layout)) {
            MakeNull();
            return 0;
        }
        const auto n = static_cast<std::size_t>(size);
        // Bytes from this shape's own buffer are built in the spare one, since growing would free them.
        const uint8_t* own = m_buffer.Data();
        const bool aliased = own && from >= own && from < own + m_buffer.Capacity();
        CByteBuffer& target = aliased ? m_spare : m_buffer;
        uint8_t* base = target.Require(n + ALIGN_SLACK);
        const std::size_t shift = AlignedShift(base, layout.pointsOffset);
        if (n > 0)
            std::memcpy(base + shift, from, n);
        if (aliased)
            std::swap(m_buffer, m_spare);
        Commit(type, record, shift, n, layout, ShpTypeOf(type, VARIANT_XY));
        return 1;
    });
    if (!done)
        MakeNull();
    return done;
}

int CShapeImpl::AttachData(int type, int record, std::unique_ptr<uint8_t[]> bytes, int size) {
    const int done = Guarded([&] {
        SLayout layout;
        if (size < 0 || (size > 0 && !bytes) ||
            !ParseLayout(type, bytes.get(), static_cast<std::size_t>(size), layout)) {
            MakeNull();
            return 0;
        }
        const auto n = static_cast<std::size_t>(size);
        if (n > 0 && AlignedShift(bytes.get(), layout.pointsOffset) == 0) {
            m_buffer.Adopt(std::move(bytes), n);
            Commit(type, record, 0, n, layout, ShpTypeOf(type, VARIANT_XY));
            return 1;
        }
        // The block's point array is off an 8-byte boundary: keep the bytes in our own aligned buffer.
        uint8_t* base = m_buffer.Require(n + ALIGN_SLACK);
        const std::size_t shift = AlignedShift(base, layout.pointsOffset);
        if (n > 0)
            std::memcpy(base + shift, bytes.get(), n);
        Commit(type, record, shift, n, layout, ShpTypeOf(type, VARIANT_XY));
        return 1;
    });
    if (!done)
        MakeNull();
    return done;
}

CRef<IShapeEx> CreateShapeImpl() {
    return CRef<IShapeEx>(new CShapeImpl());
}

} // namespace fennick
