#pragma once
// The stored form of xBase attribute records, for a writer that copies what is already in the form it would
// write instead of taking every value apart and printing it again. Both are plain (uncounted) sides of
// reader objects, found with the Query functions below.
//
// IStoredRecord: one record already read, its field texts as stored (without surrounding spaces).
// IStoredRecords: a data source's table of records kept apart from its shapes, read as raw bytes.
// IStoredShapes: a data source's shape records, of which the head alone can be read.

#include "data/IDirectAccess.h"
#include "data/IShapeAttr.h"

#include <cstdint>
#include <string_view>

namespace fennick {

class IStoredRecord {
public:
    // The code page the record's texts are decoded with.
    virtual int CodePage() const = 0;
    // The field's type letter; 0 for an index out of range.
    virtual char GetTypeLetter(int field) const = 0;
    // The field's text without surrounding spaces; empty for an index out of range.
    virtual std::string_view GetText(int field) const = 0;
    // The field's bytes as stored, all of its width; empty for an index out of range.
    virtual std::string_view GetStoredBytes(int field) const = 0;

protected:
    ~IStoredRecord() = default;
};

// Where a field's bytes lie in a stored record (the deletion flag is byte 0), and its type letter.
struct SStoredField {
    uint32_t offset = 0;
    uint32_t width = 0;
    char type = 'C';
};

// The plain file behind a table's records, for a writer that copies runs of them as they are stored.
struct SStoredTableFile {
    int fd = -1;            // open for reading
    uint64_t dataStart = 0; // the first record's offset
    uint64_t length = 0;    // the file's length when it was opened
    uint32_t records = 0;   // the records its header states
};

class IStoredRecords {
public:
    // Whether the source keeps its attribute records in a table of their own, apart from its shapes, so that
    // they can be read beside the shapes (and from another thread). The operations below need the table.
    virtual bool HasStoredRecords() = 0;
    virtual int StoredCodePage() = 0;
    virtual int StoredFieldCount() = 0;
    // The layout of a field; field must be below StoredFieldCount().
    virtual SStoredField StoredField(int field) = 0;
    // Bytes of one stored record, the deletion flag included.
    virtual uint32_t StoredRecordLength() = 0;
    // Reads a record's bytes as stored (StoredRecordLength() of them) into buffer; false, with nothing
    // raised, when the record cannot be read.
    virtual bool ReadStoredBytes(uint32_t record, uint8_t* buffer) = 0;
    // The table's file; false when its records are not stored plainly (read through decryption).
    virtual bool GetStoredTableFile(SStoredTableFile& file) = 0;

protected:
    ~IStoredRecords() = default;
};

// The head of a stored shape record: what places it on a map without its points.
struct SStoredShapeHead {
    int32_t shpType = 0; // the record's shape type word; 0 for a null record
    CGeoRect box;        // a point's box is the point
};

// The plain files behind a .shp's records, for a writer that copies them as they are stored.
struct SStoredShapeFiles {
    int shp = -1; // descriptors, open for reading
    int shx = -1;
    uint64_t shpLength = 0; // the .shp's length when it was opened
    int32_t shpType = 0;    // the shape type its header states
    int32_t records = 0;    // the entries of its .shx
};

class IStoredShapes {
public:
    // Reads a record's shape type and box from its first bytes, after the checks a full read makes on its
    // length, type and counts (all but the order of its part starts, which lie beyond the head). False, with
    // nothing raised, when the record cannot be read or does not pass them.
    virtual bool ReadStoredShapeHead(int record, SStoredShapeHead& head) = 0;
    // The length of the file of shape records as its header states it, in bytes.
    virtual uint64_t StatedShapeBytes() = 0;
    // The files of the records; false when they are not stored plainly (read through decryption).
    virtual bool GetStoredShapeFiles(SStoredShapeFiles& files) = 0;

protected:
    ~IStoredShapes() = default;
};

// The stored side of an attribute record, or null when its values come from elsewhere. Plain sides are
// found by the language's own query: the counted family's QueryInterface hands out nothing.
inline const IStoredRecord* QueryStoredRecord(IShapeAttr* record) {
    return dynamic_cast<const IStoredRecord*>(record);
}

// The stored records of a data source, or null for a source that has no such table.
inline IStoredRecords* QueryStoredRecords(IDirectAccess* source) {
    return dynamic_cast<IStoredRecords*>(source);
}

// The stored shapes of a data source, or null for a source that has none.
inline IStoredShapes* QueryStoredShapes(IDirectAccess* source) {
    return dynamic_cast<IStoredShapes*>(source);
}

} // namespace fennick
