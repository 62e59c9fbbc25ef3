#include "shp/ShpFile.h"

#include "data/IFieldDesc.h"
#include "data/IRecset.h"
#include "data/IShape.h"
#include "data/IShapeAttr.h"
#include "data/IString.h"
#include "data/RecordNumberRecset.h"
#include "data/Ref.h"
#include "data/ShapeImpl.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/GenericEx.h"
#include "platform/PathFunctions.h"
#include "platform/Variant.h"
#include "shp/RecordRelay.h"
#include "shp/ShpDS.h"
#include "shp/XBaseDatabase.h"
#include "shp/XBaseNumbers.h"
#include "shp/XBaseRecord.h"
#include "shp/XBaseWriter.h"

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <limits>
#include <new>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace fennick {

namespace {

bool IsSkippedName(std::u16string_view name) {
    auto equalsNoCase = [&](std::u16string_view word) {
        if (name.size() != word.size())
            return false;
        for (std::size_t i = 0; i < name.size(); ++i) {
            char16_t c = name[i];
            if (c >= u'A' && c <= u'Z')
                c = static_cast<char16_t>(c - u'A' + u'a');
            if (c != word[i])
                return false;
        }
        return true;
    };
    return equalsNoCase(u"shp_data") || equalsNoCase(u"shapedata");
}

std::u16string Utf16(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

std::u16string NormalizeExtension(const std::u16string& extension) {
    std::u16string ext = extension;
    if (ext.empty() || ext[0] != u'.')
        ext.insert(ext.begin(), u'.');
    for (auto& c : ext)
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c - u'A' + u'a');
    return ext;
}

bool RenameFile(const std::u16string& from, const std::u16string& to) {
    return ::rename(ToUtf8(from).c_str(), ToUtf8(to).c_str()) == 0;
}

// Encodes all of text (no cut); false when a character cannot be encoded.
bool EncodeWhole(int codePage, std::u16string_view text, std::string& out) {
    out.clear();
    if (text.empty())
        return true;
    if (codePage <= 0) {
        // Byte-preserving: Latin-1 characters, and the units a signed-byte decoding made of bytes 0x80..0xFF.
        out.resize(text.size());
        for (std::size_t i = 0; i < text.size(); ++i) {
            const char16_t u = text[i];
            if (u > 0xFF && u < 0xFF80)
                return false;
            out[i] = static_cast<char>(u & 0xFF);
        }
        return true;
    }
    return WideCharToMultiByte(codePage, text.data(), static_cast<int>(text.size()), out) > 0;
}

std::atomic<unsigned> g_tempCounter{0};

// Code pages under which ASCII bytes and ASCII characters stand for each other (decoding and encoding).
bool KeepsAscii(int codePage) {
    return codePage <= 0 || codePage == 65001 || IsCodePageSupported(codePage);
}

bool IsAscii(std::string_view text) {
    unsigned char any = 0;
    for (const char c : text)
        any |= static_cast<unsigned char>(c);
    return any < 0x80;
}

bool AllBlank(const uint8_t* bytes, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        if (bytes[i] != ' ')
            return false;
    return true;
}

// Whether n bytes hold no zero byte and, with asciiOnly, none above 0x7F; eight bytes at a time.
bool CleanBytes(const uint8_t* bytes, std::size_t n, bool asciiOnly) {
    constexpr uint64_t ones = 0x0101010101010101u;
    constexpr uint64_t highs = 0x8080808080808080u;
    const uint64_t highMask = asciiOnly ? highs : 0;
    uint64_t bad = 0;
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t v;
        std::memcpy(&v, bytes + i, 8);
        // (v - ones) & ~v & highs is non-zero exactly when a byte of v is zero.
        bad |= ((v - ones) & ~v & highs) | (v & highMask);
    }
    for (; i < n; ++i)
        bad |= (bytes[i] == 0 ? highs : 0) | (bytes[i] & highMask);
    return bad == 0;
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
    if (!EncodeWhole(codePage, text, out))
        return false;
    if (out.size() <= maxBytes)
        return true;
    if (codePage <= 0) {
        out.resize(maxBytes);
        return true;
    }
    // Too long: the longest prefix of whole characters that fits. Encoded length grows with the prefix, and a
    // prefix ending inside a surrogate pair counts as the prefix before the pair.
    auto boundary = [&](std::size_t n) {
        return n > 0 && text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF ? n - 1 : n;
    };
    std::size_t fits = 0;
    std::size_t tooLong = text.size();
    std::string trial;
    while (tooLong - fits > 1) {
        const std::size_t mid = fits + (tooLong - fits) / 2;
        if (EncodeWhole(codePage, text.substr(0, boundary(mid)), trial) && trial.size() <= maxBytes)
            fits = mid;
        else
            tooLong = mid;
    }
    return EncodeWhole(codePage, text.substr(0, boundary(fits)), out);
}

// ---- lifecycle ----

CShpFile::CShpFile() : m_text(std::make_unique<CIString>()), m_value(std::make_unique<CVariant>()) {}

CShpFile::~CShpFile() {
    if (m_state != State::closed)
        RemoveTemporaries();
}

std::u16string CShpFile::TempPath(const std::u16string& extension) const {
    return JoinPath(m_outputDir, m_tempBase, extension);
}

void CShpFile::RemoveTemporaries() {
    m_writer.DeleteFiles();
    m_dbf.reset();
    for (const auto& placed : m_placed)
        DeleteFile(placed.temp);
    m_placed.clear();
}

// ---- creation ----

void CShpFile::Create(const std::u16string& path, IRecset* templateSet) {
    if (templateSet == nullptr)
        ThrowInvalidArg();
    m_outputDir = GetDirectoryPart(path);
    m_outputBase = GetFileBaseName(path);

    // A hidden name in the output's folder that nothing uses yet.
    static const char16_t* const kExtensions[] = {u".shp", u".shx", u".dbf", u".cpg", u".prj"};
    for (;;) {
        const std::string token = std::to_string(::getpid()) + "-" + std::to_string(++g_tempCounter);
        m_tempBase = u"." + m_outputBase + u".~" + Utf16(token);
        bool free = true;
        for (const char16_t* ext : kExtensions)
            free = free && !PathExists(TempPath(ext)) &&
                   !PathExists(TempPath(u".old" + std::u16string(ext))) &&
                   !PathExists(TempPath(u".new" + std::u16string(ext)));
        if (free)
            break;
    }

    m_writer.Create(TempPath(u".shp"));
    m_placed.push_back({m_writer.GetShpPath(), JoinPath(m_outputDir, m_outputBase, u".shp")});
    m_placed.push_back({m_writer.GetShxPath(), JoinPath(m_outputDir, m_outputBase, u".shx")});
    m_dbfPath = TempPath(u".dbf");
    CFileException error(CFileException::none, m_dbfPath);
    m_dbf = CxBaseWriter::Create(m_dbfPath, &error);
    if (!m_dbf)
        throw error;
    m_placed.push_back({m_dbfPath, JoinPath(m_outputDir, m_outputBase, u".dbf")});

    if (templateSet->MoveFirst() == 0)
        ThrowUser(); // a template without records cannot give the fields
    CRef<IShapeAttr> attributes;
    if (templateSet->GetAttributes(attributes.Put()) != 0 && attributes)
        AddFields(attributes.Get());
    // A table without fields cannot hold one record per shape (readers then lose every shape), so a
    // template without fields, or with only skipped ones, is treated like a source without a table.
    if (m_dbf->GetFieldCount() == 0) {
        if (m_dbf->AddField(std::string_view("ID"), CxBaseWriter::typeInteger, 10, 0) < 0)
            ThrowUser();
        m_outputWidths.push_back(10);
        m_outputDecimals.push_back(0);
        m_idField = true;
    }
    m_asciiOutput = KeepsAscii(m_codePage);
    m_record = -1;
    m_state = State::created;
}

void CShpFile::AddFields(IShapeAttr* attributes) {
    auto* desc = dynamic_cast<IFieldDesc*>(attributes);
    if (desc == nullptr)
        ThrowUser();
    const int count = desc->GetFieldCount();
    std::string name;
    for (int i = 0; i < count; ++i) {
        CIString fieldName;
        if (desc->GetFieldName(i, &fieldName) == 0)
            ThrowUser();
        if (IsSkippedName(fieldName.Str())) {
            ++m_skipped;
            continue;
        }
        int kind = 0;
        int width = desc->GetFieldWidth(i);
        int decimals = desc->GetFieldDecimals(i);
        switch (desc->GetFieldType(i)) {
        case 1: // text
        case 5: // date, kept as its text
            kind = CxBaseWriter::typeText;
            break;
        case 2:
            kind = CxBaseWriter::typeInteger;
            break;
        case 3:
            kind = CxBaseWriter::typeReal;
            break;
        case 4:
            kind = CxBaseWriter::typeLogical;
            width = 1;
            decimals = 0;
            break;
        default:
            ThrowUser(); // memo and other types have no place in the output
        }
        if (!EncodeText(m_codePage, fieldName.Str(), 10, name))
            ThrowGenericError(u"The field name \"" + fieldName.Str() + u"\" cannot be written in code page " +
                              Utf16(std::to_string(m_codePage)) + u".");
        if (m_dbf->AddField(std::string_view(name), kind, width, decimals) < 0)
            ThrowUser();
        m_outputWidths.push_back(width);
        m_outputDecimals.push_back(kind == CxBaseWriter::typeReal ? decimals : 0);
    }
}

// ---- appending ----

void CShpFile::BuildFieldMap(IShapeAttr* attributes) {
    auto* desc = dynamic_cast<IFieldDesc*>(attributes);
    if (desc == nullptr)
        ThrowUser();
    m_fieldMap.clear();
    const int outputCount = m_dbf->GetFieldCount();
    const int sourceCount = m_skipped + outputCount;
    int output = 0;
    for (int i = 0; i < sourceCount; ++i) {
        CIString fieldName;
        if (desc->GetFieldName(i, &fieldName) == 0)
            ThrowUser();
        if (IsSkippedName(fieldName.Str()))
            continue;
        if (output >= outputCount)
            ThrowUser(); // more values than output fields: the layouts do not match
        m_fieldMap.push_back({i, output, desc->GetFieldType(i),
                              m_outputWidths[static_cast<std::size_t>(output)],
                              m_outputDecimals[static_cast<std::size_t>(output)], fieldName.Str()});
        ++output;
    }
}

void CShpFile::WriteShape(IShape* shape) {
    const int type = shape->GetType();
    switch (type) {
    case 0: { // point
        const CGeoPoint* points = shape->GetPartPoints(0);
        if (points == nullptr)
            ThrowUser();
        m_writer.WritePoint(points[0].x, points[0].y);
        break;
    }
    case 3: { // multipoint
        int count = 0;
        if (shape->GetPointCount(&count) == 0)
            ThrowUser();
        const CGeoPoint* points = shape->GetPartPoints(0);
        if (points == nullptr && count > 0)
            ThrowUser();
        m_writer.WriteMultiPoint(points, count);
        break;
    }
    case 1:   // polyline
    case 2: { // polygon
        const int parts = shape->GetPartCount();
        const int32_t shpType = type == 1 ? CShpWriter::shpPolyline : CShpWriter::shpPolygon;
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

bool CShpFile::PassesThrough(int sourceCodePage, std::string_view text) {
    // Latin-1 bytes decode to the characters the byte-preserving rule writes back as the same bytes.
    if (sourceCodePage == 0 && m_codePage <= 0)
        return true;
    if (sourceCodePage != m_asciiCodePage) {
        m_asciiCodePage = sourceCodePage;
        m_asciiSource = KeepsAscii(sourceCodePage);
    }
    return m_asciiSource && m_asciiOutput && IsAscii(text);
}

void CShpFile::WriteAttributes(int32_t record, IShapeAttr* attributes) {
    // A record of an xBase table offers its field texts, so that texts which would come out as the bytes
    // they went in as, and integers, skip the round trip through wide text and typed values.
    // A record set hands out one recycled record object after another, so the cast is mostly remembered.
    if (attributes != m_castFrom) {
        m_castFrom = attributes;
        m_castTo = dynamic_cast<CxBaseRecord*>(attributes);
    }
    CxBaseRecord* table = m_castTo;
    const int tableCodePage = table != nullptr ? table->CodePage() : 0;
    for (const SFieldMap& field : m_fieldMap) {
        int written = 0;
        if (table != nullptr) {
            const char letter = table->GetTypeLetter(field.source);
            if (field.type == 2 && letter == 'N') {
                // Texts in printed form are what reading and printing would make of them.
                const std::string_view text = table->GetText(field.source);
                written = IsPlainInteger(text)
                              ? m_dbf->WriteNumberText(record, field.output, text)
                              : m_dbf->WriteInt64(record, field.output, ParseXBaseInt64(text));
                if (written == 0)
                    ThrowUser();
                continue;
            }
            if (field.type == 3 && (letter == 'N' || letter == 'F') && field.decimals > 0) {
                const std::string_view text = table->GetText(field.source);
                if (IsPlainFixed(text, field.decimals)) {
                    if (m_dbf->WriteNumberText(record, field.output, text) == 0)
                        ThrowUser();
                    continue;
                }
            }
            if (field.type != 3 && field.type != 4 && (letter == 'C' || letter == 'D')) {
                std::string_view text = table->GetText(field.source);
                // The decoder reads up to the first zero byte.
                text = text.substr(0, std::min(text.find('\0'), text.size()));
                if (PassesThrough(tableCodePage, text)) {
                    text = text.substr(
                        0, std::min(text.size(), static_cast<std::size_t>(std::max(field.width, 0))));
                    if (m_dbf->WriteString(record, field.output, text) == 0)
                        ThrowUser();
                    continue;
                }
            }
        }
        switch (field.type) {
        case 2: { // integer, exactly, whatever its size
            CVariant& value = *m_value;
            int64_t number = 0;
            bool blank = false;
            if (attributes->GetValue(field.source, &value) != 0) {
                switch (value.vt) {
                case VT_I4:
                    number = value.lVal;
                    break;
                case VT_DECIMAL:
                    if (!value.DecimalToInt64(number))
                        ThrowGenericError(u"An integer of field " + field.name + u" is too large.");
                    break;
                case VT_R8:
                    if (!std::isfinite(value.dblVal) || value.dblVal != std::trunc(value.dblVal) ||
                        std::fabs(value.dblVal) >= 9.2e18)
                        ThrowUser();
                    number = static_cast<int64_t>(value.dblVal);
                    break;
                case VT_EMPTY:
                    blank = true;
                    break;
                default: {
                    CVariant converted;
                    if (VariantChangeType(&converted, &value, VT_DECIMAL) != 0 ||
                        !converted.DecimalToInt64(number))
                        ThrowUser();
                    break;
                }
                }
            } else {
                int32_t small = 0;
                if (attributes->GetInteger(field.source, &small) == 0)
                    ThrowUser();
                number = small;
            }
            written = blank
                          ? m_dbf->WriteDouble(record, field.output, std::numeric_limits<double>::quiet_NaN())
                          : m_dbf->WriteInt64(record, field.output, number);
            break;
        }
        case 3: { // real
            double number = 0.0;
            if (attributes->GetDouble(field.source, &number) == 0)
                ThrowUser();
            written = m_dbf->WriteDouble(record, field.output, number);
            break;
        }
        case 4: { // logical: the letters xBase readers take for true and false become T and F
            m_text->Set(std::u16string());
            if (attributes->GetString(field.source, m_text.get()) == 0)
                ThrowUser();
            const std::u16string& text = m_text->Str();
            const char16_t first = text.empty() ? u' ' : text[0];
            const char* letter = "";
            if (first == u'T' || first == u't' || first == u'Y' || first == u'y')
                letter = "T";
            else if (first == u'F' || first == u'f' || first == u'N' || first == u'n')
                letter = "F";
            written = m_dbf->WriteString(record, field.output, letter);
            break;
        }
        default: { // text, date and anything else: the text
            // A string object keeps its text when it is handed an empty value, so start each value empty.
            m_text->Set(std::u16string());
            if (attributes->GetString(field.source, m_text.get()) == 0)
                ThrowUser();
            if (!EncodeText(m_codePage, m_text->Str(), static_cast<std::size_t>(std::max(field.width, 0)),
                            m_bytes))
                ThrowGenericError(u"The value \"" + m_text->Str() + u"\" of field " + field.name +
                                  u" cannot be written in code page " + Utf16(std::to_string(m_codePage)) +
                                  u".");
            written = m_dbf->WriteString(record, field.output, m_bytes);
            break;
        }
        }
        if (written == 0)
            ThrowUser();
    }
}

void CShpFile::Append(IRecset* recordset) {
    if (recordset == nullptr)
        ThrowInvalidArg();
    if (recordset->MoveFirst() == 0)
        return;
    const bool withAttributes = !m_idField && m_skipped + m_dbf->GetFieldCount() > 0;
    // Objects of another set may take the addresses of this one's.
    m_castFrom = nullptr;
    m_castTo = nullptr;
    if (withAttributes) {
        // A set over record numbers walks without reading attributes, and a shapefile reads shapes from its
        // .shp and .shx and attributes from its .dbf: the two halves of each record can be read and written
        // side by side. Small sets are not worth a thread.
        auto* numbered = dynamic_cast<CRecordNumberRecset*>(recordset);
        auto* shapefile = numbered != nullptr ? dynamic_cast<CShpDS*>(numbered->GetDirectAccess()) : nullptr;
        if (shapefile != nullptr && shapefile->HasAttributeTable() &&
            shapefile->GetRecordCount() >= kTwoThreadRecords && AppendInTwoThreads(numbered, shapefile))
            return;
    }
    bool first = true;
    CRef<IShape> shape;
    CRef<IShapeAttr> attributes;
    do {
        ++m_record;
        if (recordset->GetShape(shape.Put(), 0) == 0 || !shape)
            ThrowUser();
        WriteShape(shape.Get());
        if (m_idField) {
            if (m_dbf->WriteInteger(m_record, 0, m_writer.GetRecordCount()) == 0)
                ThrowUser();
        } else if (withAttributes) {
            if (recordset->GetAttributes(attributes.Put()) == 0 || !attributes)
                ThrowUser();
            if (first)
                BuildFieldMap(attributes.Get());
            WriteAttributes(m_record, attributes.Get());
            attributes.Reset();
        }
        shape.Reset();
        first = false;
    } while (recordset->MoveNext() != 0);
}

bool CShpFile::AppendInTwoThreads(CRecordNumberRecset* records, CShpDS* source) {
    IDirectAccess* access = source;
    auto relay = std::make_unique<CRecordRelay>();
    const int32_t first = m_record + 1;
    int32_t attributesDone = 0;
    std::exception_ptr attributeError;
    std::thread attributeThread;
    try {
        attributeThread = std::thread([&] {
            try {
                WriteRelayedAttributes(source, *relay, first, attributesDone);
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
        // Shapes are read straight into one object of this loop's; only a record that cannot be read takes
        // the set's way, which then asks the source for a replacement shape.
        CRef<CShapeImpl> own = MakeRef<CShapeImpl>();
        CRef<IShape> other;
        do {
            const int record = records->CurrentRecord();
            if (!relay->Put(record))
                break; // the attribute thread failed
            if (access->ReadShape(record, own.Get()) != 0) {
                WriteShape(own.Get());
            } else {
                if (records->GetShape(other.Put(), 0) == 0 || !other)
                    ThrowUser();
                WriteShape(other.Get());
                other.Reset();
            }
            ++shapesDone;
        } while (records->MoveNext() != 0);
    } catch (...) {
        shapeError = std::current_exception();
    }
    // After a failed shape the attributes up to its record are still written, so that the failure reported
    // is the one a single thread would have met first: the lower record, and at one record the shape's.
    relay->Finish();
    attributeThread.join();
    if (shapeError && (!attributeError || shapesDone <= attributesDone))
        std::rethrow_exception(shapeError);
    if (attributeError)
        std::rethrow_exception(attributeError);
    if (attributesDone != shapesDone)
        ThrowUser();
    m_record = first + shapesDone - 1;
    return true;
}

void CShpFile::WriteRelayedAttributes(CShpDS* source, CRecordRelay& relay, int32_t first, int32_t& done) {
    // The count lives on the caller's side and is handed over at the end, so that the two threads do not
    // write one cache line on every record.
    int32_t written = 0;
    CxBaseDatabase* table = source->GetAttributeTable();
    m_plainFields.clear();
    CRef<IShapeAttr> attributes;
    const int32_t* numbers = nullptr;
    try {
        while (const int count = relay.Take(&numbers)) {
            for (int i = 0; i < count; ++i) {
                const int32_t output = first + written;
                if (written == 0 || table == nullptr ||
                    !CopyPlainRecord(*table, static_cast<uint32_t>(numbers[i]), output)) {
                    if (source->GetAttributes(numbers[i], attributes.Put()) == 0 || !attributes)
                        ThrowUser();
                    if (written == 0) {
                        BuildFieldMap(attributes.Get());
                        if (table != nullptr)
                            PlanPlainCopy(*table);
                    }
                    WriteAttributes(output, attributes.Get());
                    attributes.Reset();
                }
                ++written;
            }
        }
    } catch (...) {
        done = written;
        throw;
    }
    done = written;
}

void CShpFile::PlanPlainCopy(CxBaseDatabase& table) {
    m_plainFields.clear();
    const int sourceCodePage = table.GetCodePage();
    const bool anyBytes = sourceCodePage == 0 && m_codePage <= 0;
    m_plainAsciiOnly = !anyBytes;
    const bool textsPass = anyBytes || (KeepsAscii(sourceCodePage) && m_asciiOutput);
    std::vector<SPlainField> plan;
    for (const SFieldMap& field : m_fieldMap) {
        if (field.source >= table.GetFieldCount())
            return;
        const SDbfField& in = table.Field(field.source);
        uint32_t offset = 0, width = 0;
        char type = 0;
        if (!m_dbf->GetFieldLayout(field.output, &offset, &width, &type) || width != in.width)
            return;
        // The same choices, in the same order, as WriteAttributes makes for a table record.
        SPlainField plain{in.offset, offset, width, field.decimals};
        if (field.type == 2 && in.type == 'N' && type == 'N')
            plain.kind = SPlainField::integer;
        else if (field.type == 3 && (in.type == 'N' || in.type == 'F') && field.decimals > 0 && type == 'N')
            plain.kind = SPlainField::fixed;
        else if (field.type != 2 && field.type != 3 && field.type != 4 &&
                 (in.type == 'C' || in.type == 'D') && type == 'C' && textsPass)
            plain.kind = SPlainField::text;
        else
            return;
        plan.push_back(plain);
    }
    if (plan.empty())
        return;
    m_plainRecord.resize(table.GetRecordLength());
    m_plainFields = std::move(plan);
}

bool CShpFile::CopyPlainRecord(CxBaseDatabase& table, uint32_t record, int32_t output) {
    if (m_plainFields.empty() || !table.ReadRecordBytes(record, m_plainRecord.data()))
        return false;
    const uint8_t* raw = m_plainRecord.data();
    for (const SPlainField& field : m_plainFields) {
        // Reading trims the blanks around a value, and writing pads texts on the right and numbers on the
        // left: bytes with blanks only on the padding side come out as they went in.
        const uint8_t* bytes = raw + field.from;
        const std::size_t width = field.width;
        if (field.kind == SPlainField::text) {
            // Reading also stops at a zero byte.
            if (width > 0 && bytes[0] == ' ' && !AllBlank(bytes, width))
                return false;
            if (!CleanBytes(bytes, width, m_plainAsciiOnly))
                return false;
            continue;
        }
        if (width == 0 || bytes[width - 1] == ' ')
            return false;
        std::size_t begin = 0;
        while (bytes[begin] == ' ')
            ++begin;
        const std::string_view text(reinterpret_cast<const char*>(bytes) + begin, width - begin);
        if (field.kind == SPlainField::integer ? !IsPlainInteger(text) : !IsPlainFixed(text, field.decimals))
            return false;
    }
    uint8_t* out = m_dbf->EditRecord(output);
    if (out == nullptr)
        return false;
    for (const SPlainField& field : m_plainFields)
        std::memcpy(out + field.to, raw + field.from, field.width);
    return true;
}

// ---- closing ----

bool CShpFile::AddCompanionCopy(const std::u16string& sourcePath, const std::u16string& extension) {
    if (m_state != State::created)
        return false;
    const std::u16string ext = NormalizeExtension(extension);
    if (ext == u".shp" || ext == u".shx" || ext == u".dbf" || ext.size() < 2)
        return false;
    // Copied beside first, so that a failed copy leaves an earlier copy of the same extension intact.
    const std::u16string temp = TempPath(ext);
    const std::u16string scratch = TempPath(u".new" + ext);
    if (!CopyFileOverwrite(sourcePath, scratch) || !RenameFile(scratch, temp)) {
        DeleteFile(scratch);
        m_lastError = u"Could not copy " + sourcePath + u".";
        return false;
    }
    bool known = false;
    for (const auto& placed : m_placed)
        known = known || placed.temp == temp;
    if (!known)
        m_placed.push_back({temp, JoinPath(m_outputDir, m_outputBase, ext)});
    if (ext == u".cpg")
        m_cpgGiven = true;
    return true;
}

void CShpFile::WriteCpg(const std::u16string& path) const {
    const std::string text = CpgText(m_codePage);
    CSysFile file;
    CFileException error(CFileException::none, path);
    if (!file.Open(path, CSysFile::kCreateWrite, &error))
        throw error;
    file.Write(text.data(), static_cast<unsigned>(text.size()));
    file.Close();
}

void CShpFile::Commit() {
    struct SStep {
        std::u16string temp, final, backup;
        bool backedUp = false;
        bool placed = false;
    };
    std::vector<SStep> steps;
    for (const auto& placed : m_placed) {
        const std::u16string ext = placed.final.substr(JoinPath(m_outputDir, m_outputBase, u"").size());
        steps.push_back({placed.temp, placed.final, TempPath(u".old" + ext)});
    }
    // An older .cpg of the output's name would misstate the new table's code page.
    if (!m_cpgGiven && m_codePage <= 0)
        steps.push_back(
            {std::u16string(), JoinPath(m_outputDir, m_outputBase, u".cpg"), TempPath(u".old.cpg")});

    auto rollBack = [&](const std::u16string& failedPath, int err) {
        for (auto it = steps.rbegin(); it != steps.rend(); ++it) {
            if (it->placed)
                RenameFile(it->final, it->temp);
            if (it->backedUp)
                RenameFile(it->backup, it->final);
        }
        CFileException::ThrowErrno(err, failedPath);
    };
    // Move existing files of the output's name aside first, so that a failure can restore them.
    for (auto& step : steps) {
        if (!PathExists(step.final))
            continue;
        if (!RenameFile(step.final, step.backup))
            rollBack(step.final, errno);
        step.backedUp = true;
    }
    for (auto& step : steps) {
        if (step.temp.empty())
            continue;
        if (!RenameFile(step.temp, step.final))
            rollBack(step.final, errno);
        step.placed = true;
    }
    for (const auto& step : steps)
        if (step.backedUp)
            DeleteFile(step.backup);
    m_placed.clear();
}

void CShpFile::Close() {
    m_writer.Close();
    m_dbf->Close();
    m_dbf.reset();
    if (m_codePage > 0 && !m_cpgGiven) {
        const std::u16string cpg = TempPath(u".cpg");
        m_placed.push_back({cpg, JoinPath(m_outputDir, m_outputBase, u".cpg")});
        WriteCpg(cpg);
    }
    Commit();
    m_state = State::closed;
}

// ---- entry points ----

template <class Body> int CShpFile::Guard(State required, Body&& body) {
    if (m_state != required) {
        m_lastError.clear();
        return 0; // out of order: the output is left as it is
    }
    m_lastError.clear();
    try {
        body();
        return 1;
    } catch (const CException& e) {
        // The user knows the output by its name, not by the temporary one being written.
        m_lastError = DescribeFailure(e);
        if (!m_tempBase.empty())
            for (auto at = m_lastError.find(m_tempBase); at != std::u16string::npos;
                 at = m_lastError.find(m_tempBase, at + m_outputBase.size()))
                m_lastError.replace(at, m_tempBase.size(), m_outputBase);
    } catch (const std::bad_alloc&) {
        m_lastError = CMemoryException().Message();
    } catch (...) {
        m_lastError.clear();
    }
    m_state = State::failed;
    RemoveTemporaries();
    return 0;
}

int CreateOutput(const std::u16string& path, CShpFile& file, IRecset* templateSet, int /*reserved*/) {
    return file.Guard(CShpFile::State::empty, [&] { file.Create(path, templateSet); });
}

int AppendRecordset(CShpFile& file, IRecset* recordset) {
    return file.Guard(CShpFile::State::created, [&] { file.Append(recordset); });
}

int CloseOutput(CShpFile& file) {
    return file.Guard(CShpFile::State::created, [&] { file.Close(); });
}

} // namespace fennick
