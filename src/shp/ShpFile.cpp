#include "shp/ShpFile.h"

#include "shp/XBaseDatabase.h"

#include "data/GeoTypes.h"
#include "data/IPointConversion.h"
#include "data/IRecordNumberWalk.h"
#include "data/IRecset.h"
#include "data/IShape.h"
#include "data/IShapeAttr.h"
#include "data/IStoredShape.h"
#include "data/RecsetBookmark.h"
#include "data/Ref.h"
#include "data/ShapeImpl.h"
#include "data/ShapeLayout.h"
#include "platform/Boundary.h"
#include "platform/CodePage.h"
#include "platform/Exceptions.h"
#include "platform/GenericEx.h"
#include "platform/SysFile.h"
#include "platform/Variant.h"
#include "shp/IStoredRecords.h"
#include "shp/RecordRelay.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <system_error>
#include <thread>

namespace fennick {

namespace {

// A record the input could not deliver: the reader's own reason when it left one (record, file and what is
// wrong), else which part of which record of the input.
[[noreturn]] void ThrowUnreadable(const char16_t* part, long long record) {
    std::u16string reason = TakeFailureReason();
    if (reason.empty())
        reason = u"The " + std::u16string(part) + u" of record " + Utf16Number(record) +
                 u" of the input cannot be read.";
    ThrowGenericError(reason);
}

// Moves to the next record: false at the end. A walk that fails is reported with the set's own reason, never
// taken for its end, which would leave the rest of the input out without a word.
// The end of a walk, or the failure that broke it off; out of the per-record path.
[[gnu::cold, gnu::noinline]] bool EndOfWalk() {
    if (HasFailure())
        RethrowKept(CMemoryException());
    return false;
}

inline bool MoveToNext(IRecset& records) {
    ClearFailure();
    return records.MoveNext() != 0 || EndOfWalk();
}

// Of the failures of the shapes' and the attributes' threads (either may be null), raises the one a single
// thread would have met first: the lower record, and at one record the shape's; a count left short without a
// failure raises too.
void RethrowFirstFailure(const std::exception_ptr& shapeError, int32_t shapesDone,
                         const std::exception_ptr& attributeError, int32_t attributesDone) {
    if (shapeError && (!attributeError || shapesDone <= attributesDone))
        std::rethrow_exception(shapeError);
    if (attributeError)
        std::rethrow_exception(attributeError);
    if (attributesDone != shapesDone)
        ThrowUser();
}

} // namespace

// ---- text and code pages ----

std::string CShpFile::CpgText(int codePage) {
    if (codePage <= 0)
        return {};
    if (codePage == 65001)
        return "UTF-8";
    // ISO 8859 parts: GDAL (and ESRI) name them 88591 ... 885915.
    if ((codePage >= 28591 && codePage <= 28599) || codePage == 28603 || codePage == 28605)
        return "8859" + std::to_string(codePage - 28590);
    return std::to_string(codePage);
}

bool CShpFile::EncodeText(int codePage, std::u16string_view text, std::size_t maxBytes, std::string& out) {
    return CAttributeWriter::EncodeText(codePage, text, maxBytes, out);
}

// ---- lifecycle ----

CShpFile::CShpFile() = default;

CShpFile::~CShpFile() {
    if (m_state != State::closed)
        RemoveTemporaries();
}

void CShpFile::RemoveTemporaries() {
    m_writer.DeleteFiles();
    m_attributes.Discard();
    m_files.RemoveTemporaries();
}

// ---- creation ----

void CShpFile::Create(const std::u16string& path, IRecset* templateSet) {
    if (templateSet == nullptr)
        ThrowInvalidArg();
    m_files.Begin(path, m_overwrite);
    m_files.SetSync(m_sync);
    m_writer.Create(m_files.TempPath(u".shp"), m_sync);
    m_files.Place(m_writer.GetShpPath(), u".shp");
    m_files.Place(m_writer.GetShxPath(), u".shx");
    const std::u16string dbfPath = m_files.TempPath(u".dbf");
    m_attributes.Create(dbfPath, m_sync);
    m_files.Place(dbfPath, u".dbf");

    if (m_byLayout) {
        m_attributes.DefineLayout(m_layout);
        m_record = -1;
        m_state = State::created;
        return;
    }
    if (templateSet->MoveFirst() == 0)
        ThrowUser(); // a template without records cannot give the fields
    CRef<IShapeAttr> attributes;
    const bool withAttributes = templateSet->GetAttributes(attributes.Put()) != 0 && attributes;
    m_attributes.DefineFields(withAttributes ? attributes.Get() : nullptr);
    m_record = -1;
    m_state = State::created;
}

// ---- appending ----

void CShpFile::WriteVariantShape(IShape* shape) {
    const int type = shape->GetType();
    const int32_t shpType = ShpTypeOf(type, m_variant);
    if (shpType == 0) {
        m_writer.WriteNull();
        return;
    }
    // Every record of a Z or M output carries its measures, so that no reader takes a missing one for 0.
    const IStoredShape* stored = QueryStoredShape(shape);
    if (stored != nullptr && stored->StoredShapeType() == shpType && stored->MValues() != nullptr) {
        m_writer.WriteContent(shpType, stored->StoredContent(), stored->StoredContentSize());
        return;
    }
    const double* z = stored != nullptr ? stored->ZValues() : nullptr;
    const double* m = stored != nullptr ? stored->MValues() : nullptr;
    const std::size_t size = BuildShapeContent(shape, shpType, z, m, m_content);
    if (size == 0)
        ThrowUser();
    m_writer.WriteContent(shpType, m_content.Data(), size);
}

void CShpFile::WriteConvertedShape(IShape* shape, long long record) {
    const int32_t shpType = ShpTypeOf(shape->GetType(), m_variant);
    if (shpType == 0) {
        m_writer.WriteNull();
        return;
    }
    // The points, parts one after another, copied into buffers that only grow, and converted there.
    std::size_t total = 0;
    const int parts = shape->GetPartCount();
    for (int i = 0; i < parts; ++i) {
        int count = 0;
        if (shape->GetPartPointCount(i, &count) == 0 || count < 0)
            ThrowUser();
        const CGeoPoint* points = shape->GetPartPoints(i);
        if (points == nullptr && count > 0)
            ThrowUser();
        const std::size_t n = static_cast<std::size_t>(count);
        if (m_points.size() < total + n)
            m_points.resize(total + n);
        std::copy_n(points, n, m_points.begin() + static_cast<std::ptrdiff_t>(total));
        total += n;
    }
    const IStoredShape* stored = QueryStoredShape(shape);
    const double* z = stored != nullptr ? stored->ZValues() : nullptr;
    if (z != nullptr) {
        if (m_heights.size() < total)
            m_heights.resize(total);
        std::copy_n(z, total, m_heights.begin());
    }
    if (!m_conversion->Convert(m_points.data(), z != nullptr ? m_heights.data() : nullptr, total))
        ThrowGenericError(std::u16string(u"Record ").append(Utf16Number(record)),
                          u"a point cannot be converted into the output's coordinate system.");
    const std::size_t size =
        BuildShapeContent(shape, shpType, z != nullptr ? m_heights.data() : nullptr,
                          stored != nullptr ? stored->MValues() : nullptr, m_content, m_points.data());
    if (size == 0)
        ThrowUser();
    m_writer.WriteContent(shpType, m_content.Data(), size);
}

void CShpFile::WriteShape(IShape* shape, long long record) {
    if (m_conversion != nullptr) {
        WriteConvertedShape(shape, record);
        return;
    }
    if (m_variant != VARIANT_XY) {
        WriteVariantShape(shape);
        return;
    }
    const int type = shape->GetType();
    switch (type) {
    case SHAPE_POINT: {
        const CGeoPoint* points = shape->GetPartPoints(0);
        if (points == nullptr)
            ThrowUser();
        m_writer.WritePoint(points[0].x, points[0].y);
        break;
    }
    case SHAPE_MULTIPOINT: {
        int count = 0;
        if (shape->GetPointCount(&count) == 0)
            ThrowUser();
        const CGeoPoint* points = shape->GetPartPoints(0);
        if (points == nullptr && count > 0)
            ThrowUser();
        m_writer.WriteMultiPoint(points, count);
        break;
    }
    case SHAPE_POLYLINE:
    case SHAPE_POLYGON: {
        const int parts = shape->GetPartCount();
        const int32_t shpType = type == SHAPE_POLYLINE ? CShpWriter::shpPolyline : CShpWriter::shpPolygon;
        // Shapes that hold their parts' points one after another are written in one piece; anything
        // unusual takes the way part by part, with its errors.
        if (parts > 0) {
            m_partCounts.resize(static_cast<std::size_t>(parts));
            const CGeoPoint* points = shape->GetPartPoints(0);
            const CGeoPoint* next = points;
            bool whole = points != nullptr;
            for (int i = 0; whole && i < parts; ++i) {
                int count = 0;
                whole = shape->GetPartPointCount(i, &count) != 0 && count >= 0 &&
                        (i == 0 || shape->GetPartPoints(i) == next);
                if (whole) {
                    m_partCounts[static_cast<std::size_t>(i)] = count;
                    next += count;
                }
            }
            if (whole) {
                m_writer.WritePoly(shpType, points, m_partCounts.data(), parts);
                break;
            }
        }
        m_writer.BeginPoly(shpType, parts);
        for (int i = 0; i < parts; ++i) {
            int count = 0;
            if (shape->GetPartPointCount(i, &count) == 0)
                ThrowUser();
            const CGeoPoint* points = shape->GetPartPoints(i);
            if (points == nullptr && count > 0)
                ThrowUser();
            m_writer.AddPart(points, count, true);
        }
        m_writer.EndPoly();
        break;
    }
    default: // null, and types that could not be read
        m_writer.WriteNull();
        break;
    }
}

void CShpFile::Append(IRecset* recordset) {
    if (recordset == nullptr)
        ThrowInvalidArg();
    if (recordset->MoveFirst() == 0)
        return;
    const bool withAttributes = m_attributes.TakesValues() && m_attributes.ReadsSource();
    m_attributes.BeginSource();
    if (withAttributes && !m_onSkipped) {
        // A set over record numbers walks without reading attributes, and a shapefile reads shapes from its
        // .shp and .shx and attributes from its .dbf: the two halves of each record can be read and written
        // side by side. Small sets are not worth a thread.
        IRecordNumberWalk* walk = QueryRecordNumberWalk(recordset);
        IDirectAccess* source = walk != nullptr ? walk->WalkedSource() : nullptr;
        IStoredRecords* stored = source != nullptr ? QueryStoredRecords(source) : nullptr;
        if (stored != nullptr && stored->HasStoredRecords()) {
            SStoredShapeFiles files;
            if (CopiesShapes(*walk, *source, files) &&
                AppendCopyingShapes(*recordset, *walk, *source, *stored, files))
                return;
            if (source->GetRecordCount() < kTwoThreadRecords ||
                !AppendInTwoThreads(*recordset, *walk, *source, *stored))
                AppendWalked(*recordset, *walk, *source, *stored);
            return;
        }
    }
    bool first = true;
    long long inputRecord = 0; // counted from 1, for messages
    CRef<IShape> shape;
    CRef<IShapeAttr> attributes;
    const auto appendCurrent = [&] {
        ClearFailure(); // a reason left by an earlier probe is not this record's
        if (recordset->GetShape(shape.Put(), 0) == 0 || !shape)
            ThrowUnreadable(u"shape", inputRecord);
        WriteShape(shape.Get(), inputRecord);
        if (m_attributes.HasIdField()) {
            m_attributes.WriteId(m_record, m_writer.GetRecordCount());
        } else if (withAttributes) {
            if (recordset->GetAttributes(attributes.Put()) == 0 || !attributes)
                ThrowUnreadable(u"attributes", inputRecord);
            if (first)
                m_attributes.MapFields(attributes.Get());
            m_attributes.Write(m_record, attributes.Get());
            attributes.Reset();
        } else if (!m_attributes.ReadsSource()) {
            m_attributes.WriteFixed(m_record);
        }
        shape.Reset();
        first = false;
    };
    do {
        if (m_onRecords && inputRecord > 0 && inputRecord % kProgressRecords == 0)
            m_onRecords(inputRecord);
        ++m_record;
        ++inputRecord;
        if (!m_onSkipped) {
            appendCurrent();
            continue;
        }
        const CShpWriter::SMark mark = m_writer.Mark();
        try {
            appendCurrent();
        } catch (const CException& failure) {
            shape.Reset();
            attributes.Reset();
            SkipRecord(mark, *recordset, inputRecord, failure);
        }
    } while (MoveToNext(*recordset));
}

void CShpFile::SkipRecord(const CShpWriter::SMark& mark, IRecset& records, long long inputRecord,
                          const CException& failure) {
    // A full disk, the size limit or lost memory would fail every later record as well.
    if (dynamic_cast<const CFileException*>(&failure) != nullptr ||
        dynamic_cast<const CMemoryException*>(&failure) != nullptr || m_writer.PassedSizeLimit())
        throw;
    m_writer.Rollback(mark);
    if (!m_attributes.Retract(m_record))
        throw;
    --m_record;
    // The record's own number in its input where the set knows it (a filtered set skips numbers).
    CVariant bookmark;
    const long long number =
        records.GetBookmark(&bookmark) != 0 ? BookmarkValue(bookmark) + 1LL : inputRecord;
    m_onSkipped(number, m_files.WithFinalNames(DescribeFailure(failure)));
}

struct CShpFile::SWalkedShapes {
    CRef<CShapeImpl> own;
    CRef<IShape> other;
};

bool CShpFile::AppendInTwoThreads(IRecset& records, IRecordNumberWalk& walk, IDirectAccess& source,
                                  IStoredRecords& stored) {
    auto relay = std::make_unique<CRecordRelay>();
    const int32_t first = m_record + 1;
    int32_t attributesDone = 0;
    std::exception_ptr attributeError;
    std::thread attributeThread;
    try {
        attributeThread = std::thread([&] {
            try {
                WriteRelayedAttributes(source, stored, *relay, first, attributesDone);
            } catch (...) {
                attributeError = std::current_exception();
                relay->Stop();
            }
        });
    } catch (const std::system_error&) {
        return false; // nothing done yet: one thread does it all
    }
    int32_t shapesDone = 0;
    std::exception_ptr shapeError;
    try {
        WriteWalkedShapes(records, walk, source, relay.get(), shapesDone);
    } catch (...) {
        shapeError = std::current_exception();
    }
    // After a failed shape the attributes up to its record are still written, so that the failure reported
    // is the one a single thread would have met first.
    relay->Finish();
    attributeThread.join();
    RethrowFirstFailure(shapeError, shapesDone, attributeError, attributesDone);
    m_record = first + shapesDone - 1;
    return true;
}

bool CShpFile::CopiesShapes(IRecordNumberWalk& walk, IDirectAccess& source, SStoredShapeFiles& files) const {
    IStoredShapes* shapes = QueryStoredShapes(&source);
    return StoredCopySetting() != 0 && m_conversion == nullptr && m_variant == VARIANT_XY &&
           walk.VisitsEveryRecord() && walk.CurrentRecord() == 0 && shapes != nullptr &&
           shapes->GetStoredShapeFiles(files) && files.records == source.GetRecordCount();
}

int CShpFile::StoredCopySetting() {
    // FENNICK_SHP_COPY=0 writes every record one by one, =1 copies every input with the threads of a large
    // one (the tests run all three ways). By default inputs from kTwoThreadRecords on are copied in threads,
    // smaller ones in the calling thread, where a thread would cost more than it saves.
    static const int setting = [] {
        const char* text = std::getenv("FENNICK_SHP_COPY");
        return text == nullptr ? -1 : std::strcmp(text, "0") == 0 ? 0 : std::strcmp(text, "1") == 0 ? 1 : -1;
    }();
    return setting;
}

void CShpFile::WriteStoredRun(IDirectAccess& source, IStoredRecords& stored, int32_t first, int32_t count,
                              int32_t& done) {
    // After the first record, which plans the copy, the records are copied as stored where the plan allows;
    // the record path takes over at the first record the copy stops at.
    CRef<IShapeAttr> attributes;
    for (int32_t record = 0; record < count;) {
        if (record == 1) {
            record += m_attributes.CopyStoredRun(stored, 1, first + 1, count - 1);
            done = record;
            if (record == count)
                break;
        }
        WriteStoredAttributes(source, stored, record, first + record, record, attributes);
        done = ++record;
    }
}

bool CShpFile::AppendCopyingShapes(IRecset& records, IRecordNumberWalk& walk, IDirectAccess& source,
                                   IStoredRecords& stored, const SStoredShapeFiles& files) {
    const int32_t first = m_record + 1;
    const int32_t count = files.records;
    // As on the record path, the records done are told on the way, never at the input's end (the next
    // file's step tells that).
    const auto progress = [this, count](int32_t done) {
        if (m_onRecords && done < count)
            m_onRecords(done);
    };
    int32_t attributesDone = 0;
    std::exception_ptr attributeError;
    const auto writeAttributes = [&] {
        try {
            WriteStoredRun(source, stored, first, count, attributesDone);
        } catch (...) {
            attributeError = std::current_exception();
        }
    };
    const bool threads = StoredCopySetting() == 1 || count >= kTwoThreadRecords;
    std::thread attributeThread;
    if (threads) {
        try {
            attributeThread = std::thread(writeAttributes);
        } catch (const std::system_error&) {
            return false; // nothing done yet: the record path does it all
        }
    }
    int32_t shapesDone = 0;
    std::exception_ptr shapeError;
    try {
        if (m_writer.AppendStored(files, progress,
                                  threads ? CShpWriter::StoredCopy::threads
                                          : CShpWriter::StoredCopy::oneThread)) {
            shapesDone = count;
        } else {
            // A record the copy cannot take: every shape record by record, which meets that record's error.
            WriteWalkedShapes(records, walk, source, nullptr, shapesDone);
        }
    } catch (...) {
        shapeError = std::current_exception();
    }
    if (threads)
        attributeThread.join();
    else
        writeAttributes();
    RethrowFirstFailure(shapeError, shapesDone, attributeError, attributesDone);
    m_record = first + shapesDone - 1;
    return true;
}

void CShpFile::WriteRelayedAttributes(IDirectAccess& source, IStoredRecords& stored, CRecordRelay& relay,
                                      int32_t first, int32_t& done) {
    // The count lives on the caller's side and is handed over at the end, so that the two threads do not
    // write one cache line on every record.
    int32_t written = 0;
    CRef<IShapeAttr> attributes;
    const int32_t* numbers = nullptr;
    try {
        while (const int count = relay.Take(&numbers)) {
            for (int i = 0; i < count; ++i) {
                WriteStoredAttributes(source, stored, numbers[i], first + written, written, attributes);
                ++written;
            }
        }
    } catch (...) {
        done = written;
        throw;
    }
    done = written;
}

void CShpFile::WriteWalkedShapes(IRecset& records, IRecordNumberWalk& walk, IDirectAccess& source,
                                 CRecordRelay* relay, int32_t& done) {
    SWalkedShapes shapes;
    do {
        const int record = walk.CurrentRecord();
        if (relay != nullptr && !relay->Put(record))
            break; // the attribute thread failed
        WriteWalkedShape(records, source, record, shapes, done + 1LL);
        ++done;
        if (m_onRecords && done % kProgressRecords == 0)
            m_onRecords(done);
    } while (MoveToNext(records));
}

void CShpFile::WriteWalkedShape(IRecset& records, IDirectAccess& source, int record, SWalkedShapes& shapes,
                                long long inputRecord) {
    // Shapes are read straight into one object of the walk's; only a record that cannot be read takes the
    // set's way, which then asks the source for a replacement shape.
    if (!shapes.own)
        shapes.own = MakeRef<CShapeImpl>();
    if (source.ReadShape(record, shapes.own.Get()) != 0) {
        WriteShape(shapes.own.Get(), inputRecord);
        return;
    }
    ClearFailure(); // the direct read's reason gives way to the set's
    if (records.GetShape(shapes.other.Put(), 0) == 0 || !shapes.other)
        ThrowUnreadable(u"shape", inputRecord);
    WriteShape(shapes.other.Get(), inputRecord);
    shapes.other.Reset();
}

void CShpFile::WriteStoredAttributes(IDirectAccess& source, IStoredRecords& stored, int record,
                                     int32_t output, int32_t written, CRef<IShapeAttr>& attributes) {
    // The first record of an input maps its fields and plans the copy of the stored bytes; a record the copy
    // cannot take is read and written value by value.
    if (written != 0 && m_attributes.CopyStored(stored, static_cast<uint32_t>(record), output))
        return;
    ClearFailure();
    if (source.GetAttributes(record, attributes.Put()) == 0 || !attributes)
        ThrowUnreadable(u"attributes", written + 1LL);
    if (written == 0) {
        m_attributes.MapFields(attributes.Get());
        m_attributes.PlanCopy(stored);
    }
    m_attributes.Write(output, attributes.Get());
    attributes.Reset();
}

void CShpFile::AppendWalked(IRecset& records, IRecordNumberWalk& walk, IDirectAccess& source,
                            IStoredRecords& stored) {
    const int32_t first = m_record + 1;
    int32_t done = 0;
    SWalkedShapes shapes;
    CRef<IShapeAttr> attributes;
    do {
        const int record = walk.CurrentRecord();
        m_record = first + done;
        WriteWalkedShape(records, source, record, shapes, done + 1LL);
        WriteStoredAttributes(source, stored, record, m_record, done, attributes);
        ++done;
        if (m_onRecords && done % kProgressRecords == 0)
            m_onRecords(done);
    } while (MoveToNext(records));
}

bool CShpFile::SetSourceFields(const std::vector<int>& sources, std::u16string_view constant) {
    return Run(State::created, [&] { m_attributes.SetSourceFields(sources, constant); }) != 0;
}

// ---- closing ----

bool CShpFile::AddCompanionCopy(const std::u16string& sourcePath, const std::u16string& extension) {
    return Guarded([&] {
        const std::u16string ext = CompanionToAdd(extension);
        std::u16string why;
        if (!m_files.PlaceCopy(sourcePath, ext, &why))
            ThrowGenericError(u"Could not copy " + sourcePath + u" as the output's " + ext + u" (" + why +
                              u").");
        return true;
    });
}

bool CShpFile::AddCompanionText(const std::string& bytes, const std::u16string& extension) {
    return Guarded([&] {
        const std::u16string ext = CompanionToAdd(extension);
        const std::u16string temp = m_files.TempPath(ext);
        try {
            // Placed first, so that a half-written file is removed with the other temporaries.
            m_files.Place(temp, ext);
            WriteText(temp, bytes);
        } catch (const CException& e) {
            ThrowGenericError(u"Could not write the output's " + ext + u" (" + DescribeFailure(e) + u").");
        }
        return true;
    });
}

std::u16string CShpFile::CompanionToAdd(const std::u16string& extension) const {
    if (m_state != State::created)
        ThrowGenericError(u"The output is not open for its companion files.");
    std::u16string ext = COutputFiles::CompanionExtension(extension);
    if (ext.empty())
        ThrowGenericError(u"\"" + extension + u"\" is not a companion file of a shapefile.");
    return ext;
}

void CShpFile::SetLanguageDriver(bool declare) {
    m_attributes.SetLanguageDriver(declare ? CxBaseDatabase::LanguageDriverOf(m_codePage) : 0);
}

void CShpFile::WriteCpg(const std::u16string& path) const {
    WriteText(path, CpgText(m_codePage));
}

void CShpFile::WriteText(const std::u16string& path, const std::string& text) {
    CSysFile file;
    CFileException error(CFileException::none, path);
    if (!file.Open(path, CSysFile::kCreateWrite, &error))
        throw error;
    file.Write(text.data(), static_cast<unsigned>(text.size()));
    file.Close();
}

void CShpFile::Close() {
    if (m_shapeType != SHAPE_NULL)
        m_writer.SetHeaderShapeType(ShpTypeOf(m_shapeType, m_variant));
    m_writer.Close();
    m_attributes.Close();
    if (m_codePage > 0 && !m_files.IsPlaced(u".cpg")) {
        const std::u16string cpg = m_files.TempPath(u".cpg");
        m_files.Place(cpg, u".cpg");
        WriteCpg(cpg);
    }
    // Every older member of the output's set not replaced (a .cpg, a .prj, a spatial index) would misstate
    // the new files, so the commit removes it.
    m_files.Commit();
    m_state = State::closed;
}

// ---- entry points ----

template <class Body> int CShpFile::Run(State required, Body&& body) {
    return Guarded([&] {
        // Out of order, the output is left as it is.
        if (m_state != required)
            ThrowGenericError(m_state == State::failed ? u"The output was given up after an earlier failure."
                                                       : u"The output is not open for this step.");
        try {
            body();
            return 1;
        } catch (const CException& e) {
            GiveUp();
            // The user knows the output by its name, not by the temporary one being written.
            const std::u16string text = DescribeFailure(e);
            if (std::u16string named = m_files.WithFinalNames(text); named != text)
                throw CGenericEx(std::move(named));
            throw;
        } catch (...) {
            GiveUp();
            throw;
        }
    });
}

void CShpFile::GiveUp() {
    m_state = State::failed;
    RemoveTemporaries();
}

int CreateOutput(const std::u16string& path, CShpFile& file, IRecset* templateSet, int /*reserved*/) {
    return file.Run(CShpFile::State::empty, [&] { file.Create(path, templateSet); });
}

int AppendRecordset(CShpFile& file, IRecset* recordset) {
    return file.Run(CShpFile::State::created, [&] { file.Append(recordset); });
}

int CloseOutput(CShpFile& file) {
    return file.Run(CShpFile::State::created, [&] { file.Close(); });
}

} // namespace fennick
