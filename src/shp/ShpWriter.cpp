#include "shp/ShpWriter.h"

#include "data/ShapeLayout.h"
#include "platform/FileMapping.h"
#include "platform/FileSystem.h"
#include "platform/GenericEx.h"
#include "platform/PathFunctions.h"
#include "shp/IStoredRecords.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cerrno>
#include <cstring>
#include <limits>
#include <optional>
#include <system_error>
#include <thread>
#include <unistd.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace fennick {

namespace {

constexpr std::size_t kShpBufferSize = 1 << 20;
constexpr std::size_t kShxBufferSize = 1 << 18;
constexpr std::size_t kHeaderSize = 100;
constexpr int32_t kFileCode = 9994;
constexpr int32_t kVersion = 1000;

void PutBE32(uint8_t* out, uint32_t v) {
    out[0] = static_cast<uint8_t>(v >> 24);
    out[1] = static_cast<uint8_t>(v >> 16);
    out[2] = static_cast<uint8_t>(v >> 8);
    out[3] = static_cast<uint8_t>(v);
}

void PutLE32(uint8_t* out, uint32_t v) {
    out[0] = static_cast<uint8_t>(v);
    out[1] = static_cast<uint8_t>(v >> 8);
    out[2] = static_cast<uint8_t>(v >> 16);
    out[3] = static_cast<uint8_t>(v >> 24);
}

void PutLEDouble(uint8_t* out, double v) {
    uint64_t bits = std::bit_cast<uint64_t>(v);
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(out, &bits, 8);
    } else {
        for (int i = 0; i < 8; ++i, bits >>= 8)
            out[i] = static_cast<uint8_t>(bits);
    }
}

// Copies count points as little-endian x, y doubles.
void PutPoints(uint8_t* out, const CGeoPoint* points, std::size_t count) {
    if constexpr (std::endian::native == std::endian::little) {
        static_assert(sizeof(CGeoPoint) == 16);
        if (count > 0)
            std::memcpy(out, points, count * 16);
    } else {
        for (std::size_t i = 0; i < count; ++i) {
            PutLEDouble(out + 16 * i, points[i].x);
            PutLEDouble(out + 16 * i + 8, points[i].y);
        }
    }
}

// Record header: record number and content length (big-endian words), shape type (little-endian).
void PutRecordHeader(uint8_t* out, int32_t record, int64_t contentBytes, int32_t shpType) {
    PutBE32(out, static_cast<uint32_t>(record));
    PutBE32(out + 4, static_cast<uint32_t>(contentBytes / 2));
    PutLE32(out + 8, static_cast<uint32_t>(shpType));
}

} // namespace

// ---- COutput ----

void CShpWriter::COutput::Open(const std::u16string& path, std::size_t capacity, bool writeBehind) {
    CFileException error(CFileException::none, path);
    if (!m_file.Open(path, CSysFile::kCreateWrite | (writeBehind ? CFile::osWriteBehind : 0u), &error))
        throw error;
    if (m_capacity != capacity) {
        m_buffer = std::make_unique_for_overwrite<uint8_t[]>(capacity);
        m_capacity = capacity;
    }
    m_used = 0;
    m_flushed = 0;
    m_hold = kNoHold;
}

void CShpWriter::COutput::Flush(std::size_t need) {
    if (m_used == 0)
        return;
    std::size_t keep = 0;
    if (m_hold > m_flushed && m_hold < m_flushed + m_used) {
        keep = static_cast<std::size_t>(m_flushed + m_used - m_hold);
        if (keep > m_capacity - std::min(need, m_capacity))
            keep = 0;
    }
    const std::size_t out = m_used - keep;
    m_file.Write(m_buffer.get(), static_cast<unsigned>(out));
    m_flushed += out;
    if (keep > 0)
        std::memmove(m_buffer.get(), m_buffer.get() + out, keep);
    m_used = keep;
}

void CShpWriter::COutput::Drain() {
    m_hold = kNoHold;
    Flush(0);
}

void CShpWriter::COutput::TrimFile(uint64_t length) {
    m_file.SetLength(length);
}

void CShpWriter::COutput::Skip(uint64_t n) {
    m_flushed += n;
    m_file.Seek(static_cast<int64_t>(m_flushed), CFile::begin);
}

uint8_t* CShpWriter::COutput::Append(std::size_t n) {
    if (m_capacity - m_used < n)
        Flush(n);
    uint8_t* out = m_buffer.get() + m_used;
    m_used += n;
    return out;
}

void CShpWriter::COutput::Put(const void* data, std::size_t n) {
    if (m_capacity - m_used >= n) {
        std::memcpy(m_buffer.get() + m_used, data, n);
        m_used += n;
        return;
    }
    Flush(n);
    if (n >= m_capacity) {
        // Large blocks go straight to the file, in pieces a single write can take.
        const auto* in = static_cast<const uint8_t*>(data);
        while (n > 0) {
            const std::size_t piece = std::min<std::size_t>(n, 1u << 30);
            m_file.Write(in, static_cast<unsigned>(piece));
            m_flushed += piece;
            in += piece;
            n -= piece;
        }
        return;
    }
    std::memcpy(m_buffer.get() + m_used, data, n);
    m_used += n;
}

void CShpWriter::COutput::PutZeros(uint64_t n) {
    while (n > 0) {
        if (m_used == m_capacity)
            Flush(1);
        const std::size_t piece = static_cast<std::size_t>(std::min<uint64_t>(n, m_capacity - m_used));
        std::memset(m_buffer.get() + m_used, 0, piece);
        m_used += piece;
        n -= piece;
    }
}

void CShpWriter::COutput::Patch(uint64_t offset, const void* data, std::size_t n) {
    const auto* in = static_cast<const uint8_t*>(data);
    if (offset < m_flushed) {
        // Part of the block already left the buffer (a record larger than the buffer): write it in place.
        const std::size_t head = static_cast<std::size_t>(std::min<uint64_t>(n, m_flushed - offset));
        m_file.Seek(static_cast<int64_t>(offset), CFile::begin);
        m_file.Write(in, static_cast<unsigned>(head));
        m_file.Seek(static_cast<int64_t>(m_flushed), CFile::begin);
        in += head;
        offset += head;
        n -= head;
    }
    if (n > 0)
        std::memcpy(m_buffer.get() + (offset - m_flushed), in, n);
}

void CShpWriter::COutput::Finish(const void* header, std::size_t n) {
    m_hold = kNoHold;
    Flush(0);
    m_file.Seek(0, CFile::begin);
    m_file.Write(header, static_cast<unsigned>(n));
    m_file.Close();
}

void CShpWriter::COutput::Abort() {
    m_file.Abort();
    m_used = 0;
    m_flushed = 0;
    m_hold = kNoHold;
}

void CShpWriter::COutput::Truncate(uint64_t offset) {
    m_hold = kNoHold;
    if (offset >= m_flushed) {
        m_used = static_cast<std::size_t>(std::min<uint64_t>(offset - m_flushed, m_used));
        return;
    }
    // The bytes already left the buffer (a record larger than it): cut the file back.
    m_used = 0;
    m_file.SetLength(offset);
    m_file.Seek(static_cast<int64_t>(offset), CFile::begin);
    m_flushed = offset;
}

// ---- SBox ----

void CShpWriter::SBox::AddPoints(const CGeoPoint* points, int count) {
    if (count <= 0)
        return;
    int i = 0;
    if (empty) {
        xmin = xmax = points[0].x;
        ymin = ymax = points[0].y;
        empty = false;
        i = 1;
    }
    // std::min and std::max keep the first argument unless the second compares beyond it, which is what
    // the comparisons of a point with the box mean (also for NaN), and they compile without branches.
    double x0 = xmin, x1 = xmax, y0 = ymin, y1 = ymax;
    for (; i < count; ++i) {
        const double x = points[i].x;
        const double y = points[i].y;
        x0 = std::min(x0, x);
        x1 = std::max(x1, x);
        y0 = std::min(y0, y);
        y1 = std::max(y1, y);
    }
    xmin = x0;
    xmax = x1;
    ymin = y0;
    ymax = y1;
}

void CShpWriter::SBox::AddBox(const SBox& box) {
    if (box.empty)
        return;
    if (empty) {
        *this = box;
        return;
    }
    xmin = std::min(xmin, box.xmin);
    ymin = std::min(ymin, box.ymin);
    xmax = std::max(xmax, box.xmax);
    ymax = std::max(ymax, box.ymax);
}

void CShpWriter::SBox::Store(uint8_t* out) const {
    PutLEDouble(out, empty ? 0.0 : xmin);
    PutLEDouble(out + 8, empty ? 0.0 : ymin);
    PutLEDouble(out + 16, empty ? 0.0 : xmax);
    PutLEDouble(out + 24, empty ? 0.0 : ymax);
}

// ---- CShpWriter ----

CShpWriter::CShpWriter() = default;

CShpWriter::~CShpWriter() {
    m_shp.Abort();
    m_shx.Abort();
}

void CShpWriter::Create(const std::u16string& path, bool writeBehind) {
    const std::u16string dir = GetDirectoryPart(path);
    const std::u16string base = GetFileBaseName(path);
    m_shpPath = JoinPath(dir, base, u".shp");
    m_shxPath = JoinPath(dir, base, u".shx");
    try {
        m_shp.Open(m_shpPath, kShpBufferSize, writeBehind);
        m_shx.Open(m_shxPath, kShxBufferSize, writeBehind);
        // Room for the headers, written at close.
        m_shp.PutZeros(kHeaderSize);
        m_shx.PutZeros(kHeaderSize);
    } catch (...) {
        DeleteFiles();
        throw;
    }
    m_shapeType = shpNull;
    m_bounds.Clear();
    m_zRange = SRange();
    m_mRange = SRange();
    m_recordCount = 0;
    m_inPoly = false;
}

void CShpWriter::RequireOpen() const {
    if (!m_shp.IsOpen() || !m_shx.IsOpen() || m_inPoly)
        ThrowNotSupported();
}

void CShpWriter::CheckSize(uint64_t endPosition) {
    if (endPosition > static_cast<uint64_t>(m_maxFileWords) * 2) {
        m_passedSizeLimit = true;
        ThrowGenericError(m_shpPath, u"The shapefile would pass the format's size limit of 4 GB.");
    }
}

int32_t CShpWriter::StartRecord(uint64_t recordStart, int64_t contentBytes, int32_t shpType) {
    CheckSize(recordStart + 8 + static_cast<uint64_t>(contentBytes));
    const int32_t record = ++m_recordCount;
    if (shpType != shpNull)
        m_shapeType = shpType;
    uint8_t* entry = m_shx.Append(8);
    PutBE32(entry, static_cast<uint32_t>(recordStart / 2));
    PutBE32(entry + 4, static_cast<uint32_t>(contentBytes / 2));
    return record;
}

void CShpWriter::WritePoint(double x, double y) {
    RequireOpen();
    const int32_t record = StartRecord(m_shp.Position(), 20, shpPoint);
    uint8_t* out = m_shp.Append(28);
    PutRecordHeader(out, record, 20, shpPoint);
    PutLEDouble(out + 12, x);
    PutLEDouble(out + 20, y);
    const CGeoPoint point{x, y};
    m_bounds.AddPoints(&point, 1);
}

void CShpWriter::WriteNull() {
    RequireOpen();
    const int32_t record = StartRecord(m_shp.Position(), 4, shpNull);
    PutRecordHeader(m_shp.Append(12), record, 4, shpNull);
}

void CShpWriter::WriteMultiPoint(const CGeoPoint* points, int count) {
    RequireOpen();
    if (count < 0 || (count > 0 && points == nullptr))
        ThrowInvalidArg();
    const int64_t content = 40 + 16 * static_cast<int64_t>(count);
    const int32_t record = StartRecord(m_shp.Position(), content, shpMultiPoint);
    SBox box;
    box.AddPoints(points, count);
    uint8_t* out = m_shp.Append(48);
    PutRecordHeader(out, record, content, shpMultiPoint);
    box.Store(out + 12);
    PutLE32(out + 44, static_cast<uint32_t>(count));
    if (count > 0) {
        if constexpr (std::endian::native == std::endian::little) {
            m_shp.Put(points, static_cast<std::size_t>(count) * 16);
        } else {
            for (int i = 0; i < count; ++i)
                PutPoints(m_shp.Append(16), points + i, 1);
        }
    }
    m_bounds.AddBox(box);
}

void CShpWriter::BeginPoly(int32_t shapeType, int partCount) {
    RequireOpen();
    if (partCount < 0)
        ThrowInvalidArg();
    // Record header 8, type 4, box 32, part and point counts 8, part starts 4p; points follow.
    const uint64_t fixed = 52 + 4 * static_cast<uint64_t>(partCount);
    CheckSize(m_shp.Position() + fixed);
    m_partStarts.resize(static_cast<std::size_t>(partCount));
    m_partsAnnounced = partCount;
    m_polyType = shapeType;
    m_partCount = 0;
    m_pointCount = 0;
    m_recordBox.Clear();
    m_recordStart = m_shp.Position();
    m_shp.Hold(m_recordStart);
    m_shp.PutZeros(fixed);
    m_inPoly = true;
}

void CShpWriter::AddPart(const CGeoPoint* points, int count, bool newPart) {
    if (!m_inPoly)
        ThrowNotSupported();
    if (count < 0 || (count > 0 && points == nullptr))
        ThrowInvalidArg();
    if (newPart) {
        if (m_partCount >= m_partsAnnounced)
            ThrowInvalidArg();
        m_partStarts[static_cast<std::size_t>(m_partCount++)] = static_cast<int32_t>(m_pointCount);
    }
    if (count == 0)
        return;
    CheckSize(m_shp.Position() + 16 * static_cast<uint64_t>(count));
    if constexpr (std::endian::native == std::endian::little) {
        m_shp.Put(points, static_cast<std::size_t>(count) * 16);
    } else {
        for (int i = 0; i < count; ++i)
            PutPoints(m_shp.Append(16), points + i, 1);
    }
    m_recordBox.AddPoints(points, count);
    m_pointCount += count;
}

void CShpWriter::EndPoly() {
    if (!m_inPoly)
        ThrowNotSupported();
    m_inPoly = false;
    m_shp.Hold(COutput::kNoHold); // patches never write the buffer out
    // The space reserved for part starts must be filled exactly, or the points would sit at the wrong offset.
    if (m_partCount != m_partsAnnounced)
        ThrowInvalidArg();
    const int64_t content = 44 + 4 * static_cast<int64_t>(m_partCount) + 16 * m_pointCount;
    const int32_t record = StartRecord(m_recordStart, content, m_polyType);

    uint8_t head[52];
    PutRecordHeader(head, record, content, m_polyType);
    m_recordBox.Store(head + 12);
    PutLE32(head + 44, static_cast<uint32_t>(m_partCount));
    PutLE32(head + 48, static_cast<uint32_t>(m_pointCount));
    m_shp.Patch(m_recordStart, head, sizeof head);
    if (m_partCount > 0) {
        if constexpr (std::endian::native == std::endian::little) {
            m_shp.Patch(m_recordStart + 52, m_partStarts.data(), 4 * static_cast<std::size_t>(m_partCount));
        } else {
            for (int32_t i = 0; i < m_partCount; ++i) {
                uint8_t start[4];
                PutLE32(start, static_cast<uint32_t>(m_partStarts[static_cast<std::size_t>(i)]));
                m_shp.Patch(m_recordStart + 52 + 4 * static_cast<uint64_t>(i), start, 4);
            }
        }
    }
    m_bounds.AddBox(m_recordBox);
}

void CShpWriter::WritePoly(int32_t shapeType, const CGeoPoint* points, const int32_t* partCounts,
                           int partCount) {
    RequireOpen();
    int64_t pointCount = 0;
    bool valid = partCount >= 0;
    for (int i = 0; valid && i < partCount; ++i) {
        valid = partCounts[i] >= 0;
        pointCount += partCounts[i];
    }
    const uint64_t fixed = 52 + 4 * static_cast<uint64_t>(std::max(partCount, 0));
    const uint64_t size = fixed + 16 * static_cast<uint64_t>(pointCount);
    if (!valid || (pointCount > 0 && points == nullptr) || size > m_shp.Capacity() ||
        std::endian::native != std::endian::little) {
        // Piece by piece, with every check and error of that way.
        BeginPoly(shapeType, partCount);
        for (int i = 0; i < partCount; ++i) {
            AddPart(points, partCounts[i], true);
            if (partCounts[i] > 0)
                points += partCounts[i];
        }
        EndPoly();
        return;
    }
    SBox box;
    box.AddPoints(points, static_cast<int>(pointCount));
    const int64_t content = static_cast<int64_t>(size) - 8;
    const int32_t record = StartRecord(m_shp.Position(), content, shapeType);
    uint8_t* out = m_shp.Append(static_cast<std::size_t>(size));
    PutRecordHeader(out, record, content, shapeType);
    box.Store(out + 12);
    PutLE32(out + 44, static_cast<uint32_t>(partCount));
    PutLE32(out + 48, static_cast<uint32_t>(pointCount));
    uint32_t start = 0;
    for (int i = 0; i < partCount; ++i) {
        PutLE32(out + 52 + 4 * static_cast<std::size_t>(i), start);
        start += static_cast<uint32_t>(partCounts[i]);
    }
    PutPoints(out + fixed, points, static_cast<std::size_t>(pointCount));
    m_bounds.AddBox(box);
}

void CShpWriter::WriteContent(int32_t shapeType, const uint8_t* content, std::size_t size) {
    RequireOpen();
    SShapeLayout layout;
    if (ShapeCodeOfShpType(shapeType) == SHAPE_NULL || size % 2 != 0 ||
        !ParseShapeLayout(shapeType, content, size, layout))
        ThrowInvalidArg();
    const int64_t length = 4 + static_cast<int64_t>(size);
    const int32_t record = StartRecord(m_shp.Position(), length, shapeType);
    PutRecordHeader(m_shp.Append(12), record, length, shapeType);
    m_shp.Put(content, size);
    // Content built elsewhere need not have its points on an 8-byte boundary; then they are read by copy.
    const auto n = static_cast<std::size_t>(layout.points);
    SBox box;
    const uint8_t* points = content + layout.pointsOffset;
    if (reinterpret_cast<std::uintptr_t>(points) % alignof(CGeoPoint) == 0) {
        box.AddPoints(reinterpret_cast<const CGeoPoint*>(points), layout.points);
    } else {
        for (std::size_t i = 0; i < n; ++i) {
            CGeoPoint point;
            std::memcpy(&point, points + 16 * i, 16);
            box.AddPoints(&point, 1);
        }
    }
    m_bounds.AddBox(box);
    for (std::size_t i = 0; layout.zOffset != 0 && i < n; ++i) {
        double z;
        std::memcpy(&z, content + layout.zOffset + 8 * i, 8);
        m_zRange.Add(z);
    }
    for (std::size_t i = 0; layout.mOffset != 0 && i < n; ++i) {
        double m;
        std::memcpy(&m, content + layout.mOffset + 8 * i, 8);
        if (IsMeasure(m))
            m_mRange.Add(m);
    }
}

// ---- records copied as stored ----

namespace {

// Input bytes mapped at a time, and records checked at a time: the memory the copy needs stays small.
constexpr uint64_t kStoredWindow = 4u << 20;
constexpr int32_t kStoredBatch = 16384;

uint32_t ReadBE32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

int32_t ReadLE32(const uint8_t* p) {
    int32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

// Buffers one thread fills and a thread of the ring's own writes to a file, in order: a file's bytes are
// moved as fast as the system copies them while the filling thread checks the next ones.
class CWriteRing {
public:
    static constexpr int kSlots = 4;
    static constexpr std::size_t kSlotSize = 1u << 20;

    // buffer holds kSlots * kSlotSize bytes. Starts the writing thread; raises std::system_error when it
    // cannot.
    CWriteRing(int fd, uint8_t* buffer) : m_fd(fd), m_buffer(buffer), m_thread([this] { Write(); }) {}
    ~CWriteRing() { Finish(); }
    CWriteRing(const CWriteRing&) = delete;
    CWriteRing& operator=(const CWriteRing&) = delete;

    // The next slot to fill (kSlotSize bytes), once the writer has emptied it; null after a failed write.
    uint8_t* Acquire() {
        for (uint64_t written = m_written.load(std::memory_order_acquire); m_published - written >= kSlots;
             written = m_written.load(std::memory_order_acquire))
            m_written.wait(written, std::memory_order_acquire);
        return m_error.load(std::memory_order_acquire) != 0 ? nullptr : Slot(m_published);
    }
    // Hands the acquired slot's first length bytes over, to be written at offset.
    void Publish(uint64_t offset, std::size_t length) {
        m_jobs[m_published % kSlots] = {offset, length};
        m_filled.store(++m_published, std::memory_order_release);
        m_filled.notify_one();
    }
    // Waits for every slot handed over to be written, and ends the thread. 0, or the errno of the first
    // failed write.
    int Finish() {
        if (m_thread.joinable()) {
            m_filled.store(m_published | kClosed, std::memory_order_release);
            m_filled.notify_one();
            m_thread.join();
        }
        return m_error.load(std::memory_order_acquire);
    }

private:
    static constexpr uint64_t kClosed = uint64_t{1} << 63;
    struct SJob {
        uint64_t offset = 0;
        std::size_t length = 0;
    };
    uint8_t* Slot(uint64_t n) const { return m_buffer + (n % kSlots) * kSlotSize; }
    void Write() {
        for (uint64_t next = 0;; ++next) {
            uint64_t filled = m_filled.load(std::memory_order_acquire);
            while ((filled & ~kClosed) <= next) {
                if ((filled & kClosed) != 0)
                    return;
                m_filled.wait(filled, std::memory_order_acquire);
                filled = m_filled.load(std::memory_order_acquire);
            }
            WriteJob(next);
        }
    }
    // After a failure the slots are only counted, so that the filling thread never waits for good.
    void WriteJob(uint64_t n) {
        const SJob job = m_jobs[n % kSlots];
        if (m_error.load(std::memory_order_relaxed) == 0)
            if (const int error = WriteAllAt(m_fd, Slot(n), job.length, job.offset))
                m_error.store(error, std::memory_order_release);
        m_written.store(n + 1, std::memory_order_release);
        m_written.notify_one();
    }

    int m_fd;
    uint8_t* m_buffer;
    SJob m_jobs[kSlots];
    uint64_t m_published = 0; // the filling thread's count of slots handed over
    std::atomic<uint64_t> m_filled{0};
    std::atomic<uint64_t> m_written{0};
    std::atomic<int> m_error{0};
    std::thread m_thread; // last: it starts once the rest is ready
};

// One slot's bytes: copied from the mapped input, with the record numbers that differ set.
struct SSlotFill {
    const uint8_t* from = nullptr;
    uint8_t* to = nullptr;
    std::size_t length = 0;
    uint64_t outputStart = 0; // the output offset of the slot's first byte
    const uint64_t* numberAt = nullptr;
    const int32_t* numbers = nullptr;
    int32_t first = 0; // the first number that may fall in the slot
    int32_t count = 0;
};

void FillSlot(void* context) {
    const auto& f = *static_cast<const SSlotFill*>(context);
    std::memcpy(f.to, f.from, f.length);
    const uint64_t end = f.outputStart + f.length;
    for (int32_t i = f.first; i < f.count && f.numberAt[i] < end; ++i) {
        uint8_t bytes[4];
        PutBE32(bytes, static_cast<uint32_t>(f.numbers[i]));
        // A number may straddle two slots.
        for (uint64_t b = 0; b < 4; ++b)
            if (f.numberAt[i] + b >= f.outputStart && f.numberAt[i] + b < end)
                f.to[f.numberAt[i] + b - f.outputStart] = bytes[b];
    }
}

} // namespace

// What AppendStored works in, kept from input to input.
struct CShpWriter::SStoredBuffers {
    std::unique_ptr<uint8_t[]> ring =
        std::make_unique_for_overwrite<uint8_t[]>(CWriteRing::kSlots * CWriteRing::kSlotSize);
    std::vector<uint8_t> entries = std::vector<uint8_t>(8 * static_cast<std::size_t>(kStoredBatch));
    std::vector<uint8_t> index = std::vector<uint8_t>(8 * static_cast<std::size_t>(kStoredBatch));
    std::vector<uint64_t> numberAt = std::vector<uint64_t>(kStoredBatch);
    std::vector<int32_t> numbers = std::vector<int32_t>(kStoredBatch);
};

struct CShpWriter::SStoredScan {
    // The mapped window of the input, the input offsets it covers and the input's length.
    const uint8_t* window = nullptr;
    uint64_t windowStart = 0;
    uint64_t windowEnd = 0;
    uint64_t fileEnd = 0;
    int32_t shpType = 0;
    // The batch: the input's index entries of its records, and the output's, written here.
    const uint8_t* entries = nullptr;
    uint8_t* index = nullptr;
    int32_t batch = 0;
    int32_t done = 0;
    int32_t firstNumber = 0; // the output's number of the batch's first record
    uint64_t outShift = 0;   // output offset less input offset
    // Where the walk stands: the input offset of the next record, the bytes from there a window must hold
    // (0 while the window serves), a record that must take the record path.
    uint64_t at = 0;
    uint64_t need = 0;
    bool refused = false;
    bool anyShape = false;
    SBox bounds;
    // Records of the batch whose stored number is not their output number: output offsets and numbers.
    uint64_t* renumberAt = nullptr;
    int32_t* renumberTo = nullptr;
    int32_t renumbered = 0;
};

void CShpWriter::ScanStored(void* context) {
    auto& s = *static_cast<SStoredScan*>(context);
    // Points as stored need not lie on an 8-byte boundary. The box grows as SBox::AddPoints grows it: a
    // coordinate replaces a bound only when it compares beyond it (so a NaN never does, once the box has
    // one).
    const auto addPoints = [](SBox& box, const uint8_t* points, int32_t n) {
        if (n <= 0)
            return;
        int32_t i = 0;
        if (box.empty) {
            std::memcpy(&box.xmin, points, 8);
            std::memcpy(&box.ymin, points + 8, 8);
            box.xmax = box.xmin;
            box.ymax = box.ymin;
            box.empty = false;
            i = 1;
        }
#if defined(__SSE2__)
        __m128d low = _mm_set_pd(box.ymin, box.xmin);
        __m128d high = _mm_set_pd(box.ymax, box.xmax);
        for (; i < n; ++i) {
            const __m128d point =
                _mm_loadu_pd(reinterpret_cast<const double*>(points + 16 * static_cast<std::size_t>(i)));
            low = _mm_min_pd(point, low);   // point < low ? point : low
            high = _mm_max_pd(point, high); // point > high ? point : high
        }
        box.xmin = _mm_cvtsd_f64(low);
        box.ymin = _mm_cvtsd_f64(_mm_unpackhi_pd(low, low));
        box.xmax = _mm_cvtsd_f64(high);
        box.ymax = _mm_cvtsd_f64(_mm_unpackhi_pd(high, high));
#else
        for (; i < n; ++i) {
            CGeoPoint point;
            std::memcpy(&point, points + 16 * static_cast<std::size_t>(i), 16);
            box.AddPoints(&point, 1);
        }
#endif
    };
    // The box the writer would store, compared with the stored one.
    const auto sameBox = [](const SBox& box, const uint8_t* stored) {
        uint8_t bytes[32];
        box.Store(bytes);
        return std::memcmp(bytes, stored, sizeof bytes) == 0;
    };
    s.need = 0;
    while (s.done < s.batch) {
        const uint64_t at = s.at;
        if (at + 8 > s.fileEnd ||
            ReadBE32(s.entries + 8 * static_cast<std::size_t>(s.done)) * uint64_t{2} != at) {
            s.refused = true;
            return;
        }
        if (at + 8 > s.windowEnd) {
            s.need = 8;
            return;
        }
        const uint8_t* head = s.window + (at - s.windowStart);
        const auto words = static_cast<int32_t>(ReadBE32(head + 4));
        const uint64_t size = 2 * static_cast<uint64_t>(words);
        if (words < 2 || at + 8 + size > s.fileEnd) {
            s.refused = true;
            return;
        }
        if (at + 8 + size > s.windowEnd) {
            s.need = 8 + size;
            return;
        }
        const uint8_t* content = head + 8;
        const int32_t type = ReadLE32(content);
        bool same = type == shpNull ? size == 4 : type == s.shpType;
        if (same && type != shpNull) {
            SBox box;
            if (type == shpPoint) {
                same = size == 20;
                if (same)
                    addPoints(box, content + 4, 1);
            } else if (type == shpMultiPoint) {
                const int32_t n = size >= 40 ? ReadLE32(content + 36) : -1;
                same = n >= 0 && size == 40 + 16 * static_cast<uint64_t>(n);
                if (same) {
                    addPoints(box, content + 40, n);
                    same = sameBox(box, content + 4);
                }
            } else {
                const int32_t p = size >= 44 ? ReadLE32(content + 36) : -1;
                const int32_t n = size >= 44 ? ReadLE32(content + 40) : -1;
                same = p >= 0 && n >= 0 &&
                       size == 44 + 4 * static_cast<uint64_t>(p) + 16 * static_cast<uint64_t>(n) &&
                       (p > 0 || n == 0);
                // Parts in order from the first point: the writer writes the starts again from the counts.
                int32_t previous = 0;
                for (int32_t i = 0; same && i < p; ++i) {
                    const int32_t start = ReadLE32(content + 44 + 4 * static_cast<std::size_t>(i));
                    same = start >= previous && start <= n && (i > 0 || start == 0);
                    previous = start;
                }
                if (same) {
                    addPoints(box, content + 44 + 4 * static_cast<std::size_t>(p), n);
                    same = sameBox(box, content + 4);
                }
            }
            s.bounds.AddBox(box);
            s.anyShape = true;
        }
        if (!same) {
            s.refused = true;
            return;
        }
        const int32_t number = s.firstNumber + s.done;
        if (static_cast<int32_t>(ReadBE32(head)) != number) {
            s.renumberAt[s.renumbered] = at + s.outShift;
            s.renumberTo[s.renumbered] = number;
            ++s.renumbered;
        }
        uint8_t* entry = s.index + 8 * static_cast<std::size_t>(s.done);
        PutBE32(entry, static_cast<uint32_t>((at + s.outShift) / 2));
        PutBE32(entry + 4, static_cast<uint32_t>(words));
        s.at = at + 8 + size;
        ++s.done;
    }
}

bool CShpWriter::AppendStored(const SStoredShapeFiles& input, const std::function<void(int32_t)>& progress,
                              StoredCopy how) {
    RequireOpen();
    const int32_t type = input.shpType;
    if (std::endian::native != std::endian::little || input.shp < 0 || input.shx < 0 || input.records <= 0 ||
        input.shpLength <= kHeaderSize ||
        (type != shpPoint && type != shpPolyline && type != shpPolygon && type != shpMultiPoint) ||
        input.records > std::numeric_limits<int32_t>::max() - m_recordCount)
        return false;
    const SMark mark = Mark();
    m_shp.Drain();
    const uint64_t start = m_shp.Position();
    // Past the size limit the record path names the record that passes it.
    if (start + (input.shpLength - kHeaderSize) > static_cast<uint64_t>(m_maxFileWords) * 2)
        return false;
    if (!m_stored)
        m_stored = std::make_unique<SStoredBuffers>();
    SStoredBuffers& buffers = *m_stored;
    // In one thread the ring's memory is the read buffer.
    const bool threads = how == StoredCopy::threads;
    std::optional<CWriteRing> ring;
    if (threads) {
        try {
            ring.emplace(m_shp.Handle(), buffers.ring.get());
        } catch (const std::system_error&) {
            return false;
        }
    }

    // What the copy wrote is taken back when a record refuses it or a write fails.
    const auto takeBack = [&] {
        m_shp.TrimFile(start);
        Rollback(mark);
    };
    const auto takeBackQuietly = [&] {
        try {
            takeBack();
        } catch (const CException&) {
        }
    };

    SStoredScan scan;
    int writeError = 0;
    try {
        std::vector<uint8_t>& entries = buffers.entries;
        std::vector<uint8_t>& index = buffers.index;
        std::vector<uint64_t>& numberAt = buffers.numberAt;
        std::vector<int32_t>& numbers = buffers.numbers;
        scan.fileEnd = input.shpLength;
        scan.shpType = type;
        scan.entries = entries.data();
        scan.index = index.data();
        scan.renumberAt = numberAt.data();
        scan.renumberTo = numbers.data();
        scan.outShift = start - kHeaderSize;
        scan.at = kHeaderSize;
        CMappedRange mapped;
        uint8_t* const read = buffers.ring.get();
        constexpr std::size_t kReadSize = CWriteRing::kSlots * CWriteRing::kSlotSize;
        // The next window from the walk's position on: mapped, or read into the buffer.
        const auto nextWindow = [&] {
            const uint64_t length = std::min(std::max(kStoredWindow, scan.need), scan.fileEnd - scan.at);
            scan.windowStart = scan.at;
            scan.windowEnd = scan.at + length;
            if (threads) {
                const bool mappedFine = mapped.Map(input.shp, scan.at, static_cast<std::size_t>(length));
                scan.window = mapped.Data();
                return mappedFine;
            }
            scan.window = read;
            const std::size_t n = static_cast<std::size_t>(std::min<uint64_t>(length, kReadSize));
            scan.windowEnd = scan.at + n;
            return n >= scan.need && ReadFullyAt(input.shp, read, static_cast<unsigned>(n), scan.at);
        };
        // The records checked from the input offset from on go out, their numbers set: through the ring, or
        // straight from the read buffer.
        const auto emit = [&](uint64_t from, int32_t numbersBefore) {
            if (!threads) {
                uint8_t* bytes = read + (from - scan.windowStart);
                for (int32_t i = numbersBefore; i < scan.renumbered; ++i)
                    PutBE32(bytes + (numberAt[i] - scan.outShift - from), static_cast<uint32_t>(numbers[i]));
                writeError = WriteAllAt(m_shp.Handle(), bytes, scan.at - from, from + scan.outShift);
                return writeError == 0;
            }
            SSlotFill fill;
            fill.numberAt = numberAt.data();
            fill.numbers = numbers.data();
            fill.first = numbersBefore;
            fill.count = scan.renumbered;
            for (uint64_t at = from; at < scan.at; at += fill.length) {
                fill.to = ring->Acquire();
                if (fill.to == nullptr)
                    return false; // the write failed: Finish tells why
                fill.length =
                    static_cast<std::size_t>(std::min<uint64_t>(CWriteRing::kSlotSize, scan.at - at));
                fill.from = scan.window + (at - scan.windowStart);
                fill.outputStart = at + scan.outShift;
                if (!RunMappedAccess(FillSlot, &fill))
                    return false;
                ring->Publish(fill.outputStart, fill.length);
                while (fill.first < fill.count &&
                       fill.numberAt[fill.first] + 4 <= fill.outputStart + fill.length)
                    ++fill.first;
            }
            return true;
        };
        bool fine = true;
        for (int32_t record = 0; fine && record < input.records; record += scan.batch) {
            scan.batch = std::min(kStoredBatch, input.records - record);
            scan.done = 0;
            scan.renumbered = 0;
            scan.firstNumber = m_recordCount + record + 1;
            const auto entryBytes = 8 * static_cast<std::size_t>(scan.batch);
            fine = ReadFullyAt(input.shx, entries.data(), static_cast<unsigned>(entryBytes),
                               kHeaderSize + 8 * static_cast<uint64_t>(record));
            while (fine && scan.done < scan.batch) {
                if (scan.window == nullptr || scan.need > 0 || scan.at + 8 > scan.windowEnd)
                    fine = nextWindow();
                const int32_t doneBefore = scan.done;
                const int32_t numbersBefore = scan.renumbered;
                const uint64_t from = scan.at;
                fine = fine && (threads ? RunMappedAccess(ScanStored, &scan) : (ScanStored(&scan), true)) &&
                       !scan.refused && (scan.done > doneBefore || scan.need > 0) &&
                       emit(from, numbersBefore);
            }
            if (!fine)
                break;
            m_shx.Put(index.data(), entryBytes);
            if (progress)
                progress(record + scan.batch);
        }
        mapped.Reset();
        if (ring)
            writeError = ring->Finish();
        if (!fine && writeError == 0) {
            // A record the writes above would write otherwise, or a file that changed: nothing of it stays.
            takeBack();
            return false;
        }
    } catch (...) {
        if (ring)
            ring->Finish();
        takeBackQuietly();
        throw;
    }
    if (writeError != 0) {
        takeBackQuietly();
        throw CFileException(CFileException::CauseFromErrno(writeError), m_shpPath, writeError);
    }
    m_shp.Skip(scan.at - kHeaderSize);
    m_recordCount += input.records;
    if (scan.anyShape)
        m_shapeType = type;
    m_bounds.AddBox(scan.bounds);
    return true;
}

CShpWriter::SMark CShpWriter::Mark() const {
    SMark mark;
    mark.shp = m_shp.Position();
    mark.shx = m_shx.Position();
    mark.records = m_recordCount;
    mark.shapeType = m_shapeType;
    mark.bounds[0] = m_bounds.xmin;
    mark.bounds[1] = m_bounds.ymin;
    mark.bounds[2] = m_bounds.xmax;
    mark.bounds[3] = m_bounds.ymax;
    mark.boundsEmpty = m_bounds.empty;
    mark.ranges[0] = m_zRange.low;
    mark.ranges[1] = m_zRange.high;
    mark.ranges[2] = m_mRange.low;
    mark.ranges[3] = m_mRange.high;
    mark.rangesEmpty[0] = m_zRange.empty;
    mark.rangesEmpty[1] = m_mRange.empty;
    return mark;
}

void CShpWriter::Rollback(const SMark& mark) {
    m_inPoly = false;
    m_shp.Truncate(mark.shp);
    m_shx.Truncate(mark.shx);
    m_recordCount = mark.records;
    m_shapeType = mark.shapeType;
    m_bounds.xmin = mark.bounds[0];
    m_bounds.ymin = mark.bounds[1];
    m_bounds.xmax = mark.bounds[2];
    m_bounds.ymax = mark.bounds[3];
    m_bounds.empty = mark.boundsEmpty;
    m_zRange = {mark.ranges[0], mark.ranges[1], mark.rangesEmpty[0]};
    m_mRange = {mark.ranges[2], mark.ranges[3], mark.rangesEmpty[1]};
}

void CShpWriter::Close() {
    RequireOpen();
    uint8_t header[kHeaderSize] = {};
    PutBE32(header, kFileCode);
    PutLE32(header + 28, kVersion);
    const int32_t type = m_headerType != shpNull ? m_headerType : m_shapeType;
    PutLE32(header + 32, static_cast<uint32_t>(type == shpNull ? shpPoint : type));
    m_bounds.Store(header + 36);
    const double ranges[4] = {m_zRange.low, m_zRange.high, m_mRange.low, m_mRange.high};
    for (int i = 0; i < 4; ++i)
        PutLEDouble(header + 68 + 8 * i, ranges[i]);
    PutBE32(header + 24, static_cast<uint32_t>(m_shp.Position() / 2));
    m_shp.Finish(header, sizeof header);
    PutBE32(header + 24, static_cast<uint32_t>(50 + 4 * static_cast<int64_t>(m_recordCount)));
    m_shx.Finish(header, sizeof header);
}

void CShpWriter::DeleteFiles() {
    m_shp.Abort();
    m_shx.Abort();
    if (!m_shpPath.empty())
        DeleteFile(m_shpPath);
    if (!m_shxPath.empty())
        DeleteFile(m_shxPath);
}

} // namespace fennick
