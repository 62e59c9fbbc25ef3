#pragma once
// CShpWriter: streams shapes into a new .shp and its .shx, record by record.
//
// Records are appended through large output buffers (one system write per buffer, none per record); the
// 100-byte headers of both files are written by Close, so until then the first 100 bytes are zero. A poly
// record is written points first and its header, box and part starts patched in afterwards. A run of records
// already stored in this form elsewhere can be appended as it is stored (AppendStored), checked record by
// record and written from a thread of its own.
//
// Every write is checked: file errors raise CFileException. A record that would carry the .shp beyond the
// format's range (file length and offsets are 32-bit signed counts of 16-bit words) raises CGenericEx instead
// of wrapping.
//
// Boxes: the header's box and each record's box grow with every point written; a box that has received no
// point is written as four zeros. The header's z and m ranges grow with the values of the Z and M records
// (WriteContent), measures without data left out; a range that has received nothing is written as zeros.

#include "data/GeoTypes.h"
#include "platform/SysFile.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace fennick {

struct SStoredShapeFiles;

class CShpWriter {
public:
    // The largest .shp the format can address, in 16-bit words.
    static constexpr int64_t kMaxFileWords = 0x7FFFFFFF;

    // .shp shape types the writer produces.
    enum ShpType : int32_t {
        shpNull = 0,
        shpPoint = 1,
        shpPolyline = 3,
        shpPolygon = 5,
        shpMultiPoint = 8,
    };

    CShpWriter();
    // Closes files still open without writing their headers; the files stay on disk.
    ~CShpWriter();
    CShpWriter(const CShpWriter&) = delete;
    CShpWriter& operator=(const CShpWriter&) = delete;

    // Creates (or truncates) the .shp and .shx named after path's folder and base name, whatever its
    // extension. Raises when either cannot be created; what was created is then deleted.
    // With writeBehind, both files are written out to the disk every few MB as they are written.
    void Create(const std::u16string& path, bool writeBehind = false);

    // The shape type the header states (a .shp shape type), whatever the records written; shpNull (the
    // default) takes the type of the last non-null record written, or a point when there is none.
    void SetHeaderShapeType(int32_t shpType) { m_headerType = shpType; }

    void WritePoint(double x, double y);
    void WriteMultiPoint(const CGeoPoint* points, int count);
    // A null shape record (type 0, content length 2 words). It leaves the header's shape type and box alone.
    void WriteNull();

    // A polyline or polygon record: BeginPoly with the .shp shape type (3 or 5) and the number of parts,
    // AddPart for the points in order (newPart starts the next part at the first of these points), EndPoly.
    // More parts than announced raise CInvalidArgException.
    void BeginPoly(int32_t shapeType, int partCount);
    void AddPart(const CGeoPoint* points, int count, bool newPart);
    void EndPoly();
    // A whole polyline or polygon record whose parts' points follow each other in points: writes what
    // BeginPoly, AddPart for every part and EndPoly write, in one piece when it fits the buffer.
    void WritePoly(int32_t shapeType, const CGeoPoint* points, const int32_t* partCounts, int partCount);

    // A record of any non-null shape type whose content (without the shape type word) is given whole, as
    // ShapeLayout.h lays it out: the bytes are written as they stand, and its points, z and m values go into
    // the header's box and ranges. Raises CInvalidArgException for content that does not fit the type.
    void WriteContent(int32_t shapeType, const uint8_t* content, std::size_t size);

    // Appends every record of another .shp as it is stored there, when each is what the writes above would
    // write for it: its shape type the file's (or a null record), its counts and part starts in order and
    // filling its content exactly, its box that of its points. Only record numbers are set anew. With
    // threads, the stored bytes are read through a mapping and checked while a second thread writes the ones
    // checked; without, a small input is read into a buffer, checked and written from it, which costs no
    // thread start and no page faults. False, with nothing written, when a record is not such, the file
    // changes meanwhile or the thread cannot start: the caller then writes record by record, meeting that
    // record's error. Raises on a failed write. progress hears the records done.
    enum class StoredCopy { threads, oneThread };
    bool AppendStored(const SStoredShapeFiles& input, const std::function<void(int32_t)>& progress,
                      StoredCopy how = StoredCopy::threads);

    // Writes both headers (a file without any non-null record says shape type 1) and closes both files.
    // Raises on any write or close error.
    void Close();
    // Closes both files without headers, ignoring errors, and deletes them.
    void DeleteFiles();

    int32_t GetRecordCount() const { return m_recordCount; }

    // Where the writer stands between two records: what Rollback needs to take back what followed.
    struct SMark {
        uint64_t shp = 0;
        uint64_t shx = 0;
        int32_t records = 0;
        int32_t shapeType = 0;
        double bounds[4] = {};
        bool boundsEmpty = true;
        double ranges[4] = {};
        bool rangesEmpty[2] = {true, true};
    };
    SMark Mark() const;
    // Takes back every record begun after the mark, a half-written one included, as if it had never been
    // written (files, index, header box and ranges). Raises on a file error.
    void Rollback(const SMark& mark);
    // Whether the last failure was the format's size limit, which no later record can undo.
    bool PassedSizeLimit() const { return m_passedSizeLimit; }
    const std::u16string& GetShpPath() const { return m_shpPath; }
    const std::u16string& GetShxPath() const { return m_shxPath; }

    // Lowers the size limit (in 16-bit words), so that the overflow path can be exercised without writing
    // gigabytes.
    void SetMaxFileWords(int64_t words) { m_maxFileWords = words; }

private:
    // A sequentially written file with one reusable buffer; bytes already written can still be patched.
    class COutput {
    public:
        void Open(const std::u16string& path, std::size_t capacity, bool writeBehind);
        int Handle() const { return m_file.Handle(); }
        // Writes out every byte the buffer holds, held ones included.
        void Drain();
        // Counts n bytes written at the end of the file by other means.
        void Skip(uint64_t n);
        // Cuts the file to length bytes, the buffer aside.
        void TrimFile(uint64_t length);
        // File offset of the next byte appended.
        uint64_t Position() const { return m_flushed + m_used; }
        // n contiguous bytes at the end of the buffer (n must not exceed the capacity).
        uint8_t* Append(std::size_t n);
        std::size_t Capacity() const { return m_capacity; }
        void Put(const void* data, std::size_t n);
        void PutZeros(uint64_t n);
        // Overwrites n bytes at a file offset already appended.
        void Patch(uint64_t offset, const void* data, std::size_t n);
        // Writes the buffer, then the header block at offset 0, then closes. Raises on errors.
        void Finish(const void* header, std::size_t n);
        void Abort();
        // Drops every byte from this file offset on, from the buffer or from the file.
        void Truncate(uint64_t offset);
        bool IsOpen() const { return m_file.IsOpen(); }
        // Bytes from this file offset on stay in the buffer when it is written out, as long as they and what
        // is being added fit, so that patching them needs no system call; kNoHold ends that.
        static constexpr uint64_t kNoHold = UINT64_MAX;
        void Hold(uint64_t offset) { m_hold = offset; }

    private:
        // Writes the buffer out, except held bytes that fit together with the need bytes about to be added.
        void Flush(std::size_t need);

        CSysFile m_file;
        std::unique_ptr<uint8_t[]> m_buffer;
        std::size_t m_capacity = 0;
        std::size_t m_used = 0;
        uint64_t m_flushed = 0;
        uint64_t m_hold = kNoHold;
    };

    // A box that knows whether it has received anything.
    struct SBox {
        double xmin = 0.0, ymin = 0.0, xmax = 0.0, ymax = 0.0;
        bool empty = true;
        void AddPoints(const CGeoPoint* points, int count);
        void AddBox(const SBox& box);
        void Clear() { *this = SBox(); }
        // x min, y min, x max, y max, little-endian.
        void Store(uint8_t* out) const;
    };

    // A range of z or m values.
    struct SRange {
        double low = 0.0, high = 0.0;
        bool empty = true;
        void Add(double v) {
            low = empty ? v : std::min(low, v);
            high = empty ? v : std::max(high, v);
            empty = false;
        }
    };

    struct SStoredScan;
    struct SStoredBuffers;
    std::unique_ptr<SStoredBuffers> m_stored; // AppendStored's buffers, made at its first use
    // Checks the stored records of one mapped window of a .shp (AppendStored); a plain function, as a bus
    // error breaks it off.
    static void ScanStored(void* scan);

    // Accounts for a record starting at recordStart with the given content length: checks the size limit,
    // counts it, takes its shape type into the header and writes its index entry. Returns the record number.
    int32_t StartRecord(uint64_t recordStart, int64_t contentBytes, int32_t shpType);
    void RequireOpen() const;
    void CheckSize(uint64_t endPosition);

    COutput m_shp;
    COutput m_shx;
    std::u16string m_shpPath;
    std::u16string m_shxPath;
    int32_t m_shapeType = shpNull;
    int32_t m_headerType = shpNull;
    SBox m_bounds;
    SRange m_zRange;
    SRange m_mRange;
    int32_t m_recordCount = 0;
    int64_t m_maxFileWords = kMaxFileWords;
    bool m_passedSizeLimit = false;

    // The poly record being written.
    bool m_inPoly = false;
    int32_t m_polyType = 0;
    std::vector<int32_t> m_partStarts;
    int m_partsAnnounced = 0;
    int32_t m_partCount = 0;
    int64_t m_pointCount = 0;
    SBox m_recordBox;
    uint64_t m_recordStart = 0;
};

} // namespace fennick
