#pragma once
// CShapeImpl: the shape object behind every IShape/IShapeEx that record sets hand out. It keeps one shape as
// the content of a shapefile record without its shape type word (ShapeLayout.h) and answers every query from
// those bytes in place. The geometry queries report x and y; the z and m values of a Z or M record stay in
// the content and are handed out by its stored side (IStoredShape).
// Every fill checks that the counts and part starts fit the bytes, so no query reads outside the buffer.
// The buffer only grows: a shape reused for a whole file allocates only for a record larger than all before.
// Point arrays are placed on an 8-byte boundary inside the buffer so GetPartPoints can hand out CGeoPoint
// pointers into it; they stay valid until the next fill or the shape's destruction.

#include "data/IShape.h"
#include "data/IStoredShape.h"
#include "data/RefCounted.h"
#include "data/ShapeLayout.h"
#include "platform/ByteBuffer.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace fennick {

class IFile;

class CShapeImpl : public CUnknownImpl<IShapeEx>, public IStoredShape {
public:
    // An empty shape: type 0 with no content; it reports no parts and no points until filled.
    CShapeImpl() = default;

    // The shape type code of a shapefile shape type (1, 11, 21 -> 0; 3, 13, 23 -> 1; 5, 15, 25 -> 2;
    // 8, 18, 28 -> 3; any other -> -1).
    static int TypeCodeFromShpType(int32_t shpType);

    int GetType() override;
    int GetBounds(CGeoRect* bounds) override;
    int GetCenter(CGeoPoint* center) override;
    int GetPartCount() override;
    int GetPartPointCount(int part, int* count) override;
    int GetPointCount(int* count) override;
    CGeoPoint* GetPartPoints(int part) override;
    int CopyPoints(int start, CGeoPoint* destination, int count) override;
    void SetBounds(const CGeoRect& bounds) override;
    int GetPartRingKind(int part) override;
    int ReservedA() override;

    // Reads one record (12-byte header, then the content) at the reader's position. Raises a format error
    // on a short header or content, a content length below 2 words or beyond what the file still holds, and
    // on counts, part starts or z values that do not fit the content; the shape is then left null (type -1).
    // Does not allocate when the buffer is already large enough.
    int ReadFrom(IFile* file) override;
    // Copies the source's geometry (x and y only, a 2-D shape; the box as the source reports it). 0 on any
    // failure, leaving this shape as it was. A point source must have exactly one point.
    int CopyFrom(IShape* source, int record) override;
    // Copies size bytes of 2-D record content. 0 (and a null shape) when the bytes do not fit the type's
    // layout.
    int SetData(int type, int record, const void* bytes, int size) override;
    // Takes over a heap block of record content. The block is used in place when its point array lies on an
    // 8-byte boundary, else its bytes are copied into the shape's own buffer. 0 (and a null shape) when the
    // bytes do not fit the type's layout.
    int AttachData(int type, int record, std::unique_ptr<uint8_t[]> bytes, int size) override;

    // The 0-based record number of the last fill.
    int GetRecordNumber() const { return m_record; }
    // The record content as filled (without the shape type word) and its size in bytes.
    const uint8_t* GetData() const { return m_buffer.Data() ? m_buffer.Data() + m_shift : nullptr; }
    std::size_t GetDataSize() const { return m_size; }

    // IStoredShape
    int32_t StoredShapeType() const override { return m_shpType; }
    const uint8_t* StoredContent() const override { return GetData(); }
    std::size_t StoredContentSize() const override { return m_size; }
    const double* ZValues() const override { return Values(m_layout.zOffset); }
    const double* MValues() const override { return Values(m_layout.mOffset); }

private:
    using SLayout = SShapeLayout;

    // Checks that 2-D content of the given size fits the type code's layout and fills the layout from it.
    static bool ParseLayout(int type, const uint8_t* content, std::size_t size, SLayout& layout) {
        return ParseShapeLayout(ShpTypeOf(type, VARIANT_XY), content, size, layout);
    }
    // The shift (0-7) that puts content + pointsOffset on an 8-byte boundary in a block at base.
    static std::size_t AlignedShift(const uint8_t* base, std::size_t pointsOffset);
    void MakeNull();
    void Commit(int type, int record, std::size_t shift, std::size_t size, const SLayout& layout,
                int32_t shpType);
    uint8_t* Content() const { return m_buffer.Data() + m_shift; }
    const CGeoPoint* PointArray() const;
    // The doubles at a content offset (on an 8-byte boundary like the points); null for offset 0.
    const double* Values(std::size_t offset) const {
        return offset != 0 ? reinterpret_cast<const double*>(Content() + offset) : nullptr;
    }

    int m_type = 0;
    int32_t m_shpType = 0; // the record's shape type word
    CByteBuffer m_buffer;
    int m_record = 0;
    // Where the content starts in the buffer and how long it is.
    std::size_t m_shift = 0;
    std::size_t m_size = 0;
    SLayout m_layout;
    // CopyFrom builds here and swaps, so a source that views this shape's own points stays valid meanwhile.
    CByteBuffer m_spare;
};

// A new empty shape holding its first reference (MakeRef<CShapeImpl>() gives the same as the class itself).
CRef<IShapeEx> CreateShapeImpl();

} // namespace fennick
