#include "shp/AttributeWriter.h"

#include "data/GeoTypes.h"
#include "data/IFieldDesc.h"
#include "data/IShapeAttr.h"
#include "data/IString.h"
#include "platform/Boundary.h"
#include "platform/CodePage.h"
#include "platform/Exceptions.h"
#include "platform/GenericEx.h"
#include "platform/TextCase.h"
#include "platform/Variant.h"
#include "shp/IStoredRecords.h"
#include "shp/XBaseNumbers.h"
#include "shp/XBaseWriter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace fennick {

namespace {

bool IsSkippedName(std::u16string_view name) {
    return EqualIgnoringCase(name, u"shp_data") || EqualIgnoringCase(name, u"shapedata");
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

// A stored date in its written form: eight digits.
bool IsDateText(std::string_view text) {
    return text.size() == 8 &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Bytes as hexadecimal pairs, for a message about bytes that are no text.
std::u16string HexBytes(std::string_view bytes) {
    static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    std::u16string text;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (!text.empty())
            text.push_back(u' ');
        text.push_back(kDigits[b >> 4]);
        text.push_back(kDigits[b & 15]);
    }
    return text;
}

// A text in double quotes, for messages; built by appending (GCC 12 at -O3 warns falsely on literal +
// string).
std::u16string Quoted(std::u16string_view text) {
    std::u16string quoted(1, u'"');
    quoted.append(text);
    quoted += u'"';
    return quoted;
}

std::u16string NumberText(double value) {
    char digits[kNumberTextSize];
    return FromUtf8(std::string_view(digits, PrintShortest(digits, value)));
}

// Bytes of a stored text for a message: as they are when ASCII, else as hexadecimal pairs.
std::u16string BytesText(std::string_view bytes) {
    return IsAscii(bytes) ? std::u16string(bytes.begin(), bytes.end()) : HexBytes(bytes);
}

// A whole number's text ([sign]digits, any number of them) in printed form: no plus, no leading zeros, no
// "-0"; false for any other text.
bool PrintedWhole(std::string_view text, std::string& printed) {
    const bool negative = !text.empty() && text[0] == '-';
    const std::size_t start = !text.empty() && (negative || text[0] == '+') ? 1 : 0;
    if (text.size() == start || text.find_first_not_of("0123456789", start) != std::string_view::npos)
        return false;
    const std::size_t first = std::min(text.find_first_not_of('0', start), text.size() - 1);
    printed.clear();
    if (negative && text[first] != '0')
        printed.push_back('-');
    printed.append(text.data() + first, text.size() - first);
    return true;
}

} // namespace

bool CAttributeWriter::EncodeText(int codePage, std::u16string_view text, std::size_t maxBytes,
                                  std::string& out) {
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

bool CAttributeWriter::IsSkippedField(std::u16string_view name) {
    return IsSkippedName(name);
}

CAttributeWriter::CAttributeWriter()
    : m_text(std::make_unique<CIString>()), m_value(std::make_unique<CVariant>()) {}

CAttributeWriter::~CAttributeWriter() = default;

// ---- the table and its fields ----

void CAttributeWriter::Create(const std::u16string& path, bool writeBehind) {
    CFileException error(CFileException::none, path);
    m_dbf = CxBaseWriter::Create(path, &error, writeBehind);
    if (!m_dbf)
        throw error;
    m_dbf->SetLanguageDriver(m_languageDriver);
    m_asciiOutput = KeepsAscii(m_codePage);
}

void CAttributeWriter::DefineFields(IShapeAttr* templateRecord) {
    if (templateRecord != nullptr) {
        auto* desc = dynamic_cast<IFieldDesc*>(templateRecord);
        if (desc == nullptr)
            ThrowUser();
        const IStoredRecord* stored = QueryStoredRecord(templateRecord);
        const int count = desc->GetFieldCount();
        for (int i = 0; i < count; ++i) {
            CIString fieldName;
            if (desc->GetFieldName(i, &fieldName) == 0)
                ThrowUser();
            if (IsSkippedName(fieldName.Str())) {
                ++m_skipped;
                continue;
            }
            AddOutputField(fieldName.Str(), desc->GetFieldType(i), desc->GetFieldWidth(i),
                           desc->GetFieldDecimals(i), stored != nullptr ? stored->GetTypeLetter(i) : '\0');
        }
    }
    AddIdFieldWhenEmpty();
}

void CAttributeWriter::AddIdFieldWhenEmpty() {
    // A table without fields cannot hold one record per shape (readers then lose every shape), so a
    // template without fields, or with only skipped ones, is treated like a source without a table.
    if (m_dbf->GetFieldCount() == 0) {
        AddOutputField(u"ID", FIELD_INTEGER, 10, 0);
        m_idField = true;
    }
}

void CAttributeWriter::AddOutputField(std::u16string_view fieldName, int type, int width, int decimals,
                                      char letter) {
    int kind = 0;
    switch (type) {
    case FIELD_CHARACTER:
        kind = CxBaseWriter::typeText;
        break;
    case FIELD_DATE:
        kind = CxBaseWriter::typeDate;
        width = 8;
        decimals = 0;
        break;
    case FIELD_INTEGER:
        kind = CxBaseWriter::typeInteger;
        break;
    case FIELD_REAL:
        kind = letter == 'F' ? CxBaseWriter::typeFloat : CxBaseWriter::typeReal;
        break;
    case FIELD_LOGICAL:
        kind = CxBaseWriter::typeLogical;
        width = 1;
        decimals = 0;
        break;
    default:
        ThrowUser(); // memo and other types have no place in the output
    }
    std::string name;
    if (!EncodeText(m_codePage, fieldName, kNameBytes, name))
        ThrowGenericError(std::u16string(u"The field name ").append(Quoted(fieldName)) +
                          u" cannot be written in code page " + Utf16Number(m_codePage) + u".");
    if (m_dbf->AddField(std::string_view(name), kind, width, decimals) < 0)
        ThrowUser();
    m_outputWidths.push_back(width);
    m_outputDecimals.push_back(type == FIELD_REAL ? decimals : 0);
    m_outputTypes.push_back(type);
}

void CAttributeWriter::DefineLayout(const std::vector<SOutputField>& fields) {
    m_byLayout = true;
    for (const SOutputField& field : fields)
        AddOutputField(field.name, field.type, field.width, field.decimals, field.letter);
    AddIdFieldWhenEmpty();
}

void CAttributeWriter::SetSourceFields(const std::vector<int>& sources, std::u16string_view constant) {
    if (m_idField && sources.empty())
        return; // no fields by layout: the ID field alone
    if (!m_byLayout || m_idField || sources.size() != m_outputWidths.size())
        ThrowInvalidArg();
    m_sourceOf = sources;
    m_nullFields.clear();
    m_constantField = -1;
    m_readsSource = false;
    for (std::size_t i = 0; i < sources.size(); ++i) {
        if (sources[i] == kNoSource)
            m_nullFields.push_back(static_cast<int>(i));
        else if (sources[i] == kConstant)
            m_constantField = static_cast<int>(i);
        else
            m_readsSource = true;
    }
    m_constant.clear();
    if (m_constantField >= 0) {
        const auto width =
            static_cast<std::size_t>(m_outputWidths[static_cast<std::size_t>(m_constantField)]);
        if (!EncodeWhole(m_codePage, constant, m_constant))
            ThrowGenericError(Quoted(constant) + u" cannot be written in code page " +
                              Utf16Number(m_codePage) + u".");
        if (m_constant.size() > width)
            ThrowGenericError(Quoted(constant) + u" needs a width of " +
                              Utf16Number(static_cast<long long>(m_constant.size())) + u", its field holds " +
                              Utf16Number(static_cast<long long>(width)) + u".");
        // Padded as the table pads texts, so that a copied record can take it as it stands.
        m_constant.resize(width, ' ');
    }
}

void CAttributeWriter::WriteFilled(int32_t record) {
    for (const int field : m_nullFields)
        if (m_dbf->WriteNull(record, field) == 0)
            ThrowUser();
    if (m_constantField >= 0 && m_dbf->WriteString(record, m_constantField, m_constant) == 0)
        ThrowUser();
}

void CAttributeWriter::WriteFixed(int32_t record) {
    if (m_sourceStart < 0)
        m_sourceStart = record;
    WriteFilled(record);
}

bool CAttributeWriter::TakesValues() const {
    return !m_idField && m_skipped + m_dbf->GetFieldCount() > 0;
}

void CAttributeWriter::WriteId(int32_t record, int32_t number) {
    if (m_dbf->WriteInteger(record, 0, number) == 0)
        ThrowUser();
}

bool CAttributeWriter::Retract(int32_t record) {
    if (m_sourceStart < 0)
        m_sourceStart = record;
    --m_sourceStart;
    // A record left out before its values were begun has nothing in the table.
    return m_dbf->GetRecordCount() <= record || m_dbf->DropNewestRecord();
}

void CAttributeWriter::Close() {
    m_dbf->Close();
    m_dbf.reset();
}

void CAttributeWriter::Discard() {
    m_dbf.reset();
}

// ---- records through their values ----

void CAttributeWriter::BeginSource() {
    m_sourceStart = -1;
    m_queriedFrom = nullptr;
    m_queried = nullptr;
    m_plainFields.clear();
    m_undeclaredPassed = false;
}

void CAttributeWriter::MapFields(IShapeAttr* record) {
    auto* desc = dynamic_cast<IFieldDesc*>(record);
    if (desc == nullptr)
        ThrowUser();
    m_fieldMap.clear();
    if (m_byLayout) {
        MapByLayout(*desc);
        const IStoredRecord* stored = QueryStoredRecord(record);
        for (SFieldMap& field : m_fieldMap)
            MarkSame(field, *desc, stored);
        return;
    }
    const IStoredRecord* stored = QueryStoredRecord(record);
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
        SFieldMap& field = m_fieldMap.emplace_back(
            SFieldMap{i, output, desc->GetFieldType(i), m_outputWidths[static_cast<std::size_t>(output)],
                      m_outputDecimals[static_cast<std::size_t>(output)], fieldName.Str()});
        MarkSame(field, *desc, stored);
        ++output;
    }
}

void CAttributeWriter::MapByLayout(IFieldDesc& desc) {
    const int sourceCount = desc.GetFieldCount();
    for (std::size_t output = 0; output < m_sourceOf.size(); ++output) {
        const int source = m_sourceOf[output];
        if (source < 0)
            continue;
        CIString fieldName;
        if (source >= sourceCount || desc.GetFieldName(source, &fieldName) == 0)
            ThrowUser();
        // An integer into a field that has become real is written as an integer with the field's decimals
        // (without decimals, as it stands).
        int type = desc.GetFieldType(source);
        if (type == FIELD_INTEGER && m_outputTypes[output] == FIELD_REAL && m_outputDecimals[output] > 0)
            type = kIntegerAsReal;
        else if (type != m_outputTypes[output] &&
                 !(type == FIELD_INTEGER && m_outputTypes[output] == FIELD_REAL))
            ThrowUser();
        m_fieldMap.push_back({source, static_cast<int>(output), type, m_outputWidths[output],
                              m_outputDecimals[output], fieldName.Str()});
    }
}

CAttributeWriter::EStoredForm CAttributeWriter::StoredFormOf(const SFieldMap& field, char storedType) {
    // How a stored text that is not the output field's own is written again: numbers by their value (whole
    // ones by their digits), dates and texts from their text.
    if ((field.type == FIELD_INTEGER || field.type == kIntegerAsReal) && storedType == 'N')
        return EStoredForm::integer;
    if (field.type == FIELD_REAL && (storedType == 'N' || storedType == 'F') && field.decimals > 0)
        return EStoredForm::fixed;
    if (field.type == FIELD_DATE && storedType == 'D')
        return EStoredForm::date;
    if (field.type == FIELD_CHARACTER && storedType == 'C')
        return EStoredForm::text;
    return EStoredForm::none;
}

void CAttributeWriter::MarkSame(SFieldMap& field, IFieldDesc& desc, const IStoredRecord* stored) const {
    field.same = field.undeclared = false;
    uint32_t offset = 0, width = 0;
    char letter = 0;
    if (stored == nullptr || !m_dbf->GetFieldLayout(field.output, &offset, &width, &letter) ||
        letter != stored->GetTypeLetter(field.source) ||
        static_cast<int>(width) != desc.GetFieldWidth(field.source))
        return;
    if (letter == 'C') {
        // A table without a code page is read as its bytes: they pass whatever the output declares.
        const int codePage = stored->CodePage();
        field.undeclared = codePage == 0 && m_codePage > 0;
        field.same = codePage == 0 || codePage == m_codePage;
        return;
    }
    field.same = (letter != 'N' && letter != 'F') || desc.GetFieldDecimals(field.source) == field.decimals;
}

void CAttributeWriter::CopySame(int32_t record, const SFieldMap& field, const IStoredRecord& stored) {
    const std::string_view bytes = stored.GetStoredBytes(field.source);
    if (field.undeclared)
        PassUndeclared(record, field, bytes);
    Check(record, field, m_dbf->WriteFieldBytes(record, field.output, bytes), {});
}

void CAttributeWriter::PassUndeclared(int32_t record, const SFieldMap& field, std::string_view bytes) {
    if (IsAscii(bytes))
        return;
    m_undeclaredPassed = true;
    if (m_codePage == 65001 &&
        MultiByteToWideChar(65001, bytes.data(), static_cast<int>(bytes.size()), m_wide) == 0)
        FailValue(record, field,
                  u"the text " + HexBytes(bytes.substr(0, bytes.find_last_not_of(' ') + 1)) +
                      u" is not UTF-8, and its table declares no code page (a .cpg file beside it can "
                      u"declare one)");
}

CAttributeWriter::EPassage CAttributeWriter::TextPassage(int sourceCodePage) {
    // Latin-1 bytes decode to the characters the byte-preserving rule writes back as the same bytes, and a
    // text in the output's own code page is already what it would be written as, decodable or not.
    if ((sourceCodePage == 0 && m_codePage <= 0) || (sourceCodePage > 0 && sourceCodePage == m_codePage))
        return EPassage::any;
    if (sourceCodePage != m_asciiCodePage) {
        m_asciiCodePage = sourceCodePage;
        m_asciiSource = KeepsAscii(sourceCodePage);
    }
    return m_asciiSource && m_asciiOutput ? EPassage::ascii : EPassage::none;
}

void CAttributeWriter::FailValue(int32_t record, const SFieldMap& field, const std::u16string& why) const {
    const long long number =
        m_sourceStart >= 0 ? static_cast<long long>(record) - m_sourceStart + 1 : record + 1LL;
    ThrowGenericError(u"Record " + Utf16Number(number) + u", field " + field.name + u": " + why + u".");
}

void CAttributeWriter::FailRead(int32_t record, const SFieldMap& field) const {
    const std::u16string reason = TakeFailureReason();
    FailValue(record, field,
              reason.empty() ? u"the value cannot be read" : u"the value cannot be read (" + reason + u")");
}

void CAttributeWriter::Write(int32_t record, IShapeAttr* values) {
    if (m_sourceStart < 0)
        m_sourceStart = record;
    // A record set hands out one recycled record object after another, so the query is mostly remembered;
    // a source that makes a new object for every record makes them of one type, and a type found to keep
    // no stored form is not asked again (the query is a cross-cast, dearer than the rest of a small record).
    if (values != m_queriedFrom) {
        m_queriedFrom = values;
        const std::type_info* type = values != nullptr ? &typeid(*values) : nullptr;
        if (type != nullptr && m_plainType != nullptr && *type == *m_plainType) {
            m_queried = nullptr;
        } else {
            m_queried = QueryStoredRecord(values);
            m_plainType = m_queried == nullptr ? type : nullptr;
        }
    }
    const IStoredRecord* stored = m_queried;
    for (const SFieldMap& field : m_fieldMap) {
        if (stored != nullptr && field.same)
            CopySame(record, field, *stored);
        else if (stored == nullptr || !WriteStored(record, field, *stored))
            WriteValue(record, field, values);
    }
    if (m_byLayout)
        WriteFilled(record);
}

bool CAttributeWriter::WriteStored(int32_t record, const SFieldMap& field, const IStoredRecord& stored) {
    const char storedType = stored.GetTypeLetter(field.source);
    std::string_view text = stored.GetText(field.source);
    if (IsStoredNull(storedType, text)) {
        // A blank logical stays blank: readers tell it from the "?" of a written null.
        if (!(storedType == 'L' && text.empty()))
            Check(record, field, m_dbf->WriteNull(record, field.output), text);
        return true;
    }
    // A number printed again is read strictly: a text such as 68,500 is never taken for another number.
    double number = 0.0;
    if ((storedType == 'N' || storedType == 'F') && !ParseXBaseNumber(text, number))
        FailValue(record, field, u"the stored text " + Quoted(BytesText(text)) + u" is not a number");
    switch (StoredFormOf(field, storedType)) {
    case EStoredForm::integer:
        // Whole numbers are printed from their digits, so that none is lost on the way through a double;
        // a real field takes its decimals where they fit.
        if (!PrintedWhole(text, m_bytes)) {
            Check(record, field, m_dbf->WriteDouble(record, field.output, number), text);
            return true;
        }
        if (field.type == kIntegerAsReal && m_bytes.size() + 1 + static_cast<std::size_t>(field.decimals) <=
                                                static_cast<std::size_t>(field.width))
            m_bytes.append(".").append(static_cast<std::size_t>(field.decimals), '0');
        Check(record, field, m_dbf->WriteNumberText(record, field.output, m_bytes), m_bytes);
        return true;
    case EStoredForm::fixed:
        Check(record, field,
              IsPlainFixed(text, field.decimals) ? m_dbf->WriteNumberText(record, field.output, text)
                                                 : m_dbf->WriteDouble(record, field.output, number),
              text);
        return true;
    case EStoredForm::date:
        if (!IsDateText(text))
            return false;
        Check(record, field, m_dbf->WriteString(record, field.output, text), text);
        return true;
    case EStoredForm::text:
        break;
    case EStoredForm::none:
        return false;
    }
    // The decoder reads up to the first zero byte.
    text = text.substr(0, std::min(text.find('\0'), text.size()));
    const int sourceCodePage = stored.CodePage();
    if (sourceCodePage == 0 && m_codePage > 0) {
        PassUndeclared(record, field, text);
        WriteTextBytes(record, field, text);
        return true;
    }
    const EPassage passage = TextPassage(sourceCodePage);
    if (passage == EPassage::any || (passage == EPassage::ascii && IsAscii(text))) {
        WriteTextBytes(record, field, text);
        return true;
    }
    // Decoded with the source's code page, strictly: bytes it does not define are reported, not guessed.
    std::u16string& wide = m_wide;
    if (sourceCodePage < 0)
        wide = BytesToWideSigned(text);
    else if (MultiByteToWideChar(sourceCodePage == 0 ? 28591 : sourceCodePage, text.data(),
                                 static_cast<int>(text.size()), wide) == 0)
        FailValue(record, field,
                  u"the text " + HexBytes(text) + u" cannot be read in code page " +
                      Utf16Number(sourceCodePage));
    EncodeAndWrite(record, field, wide);
    return true;
}

void CAttributeWriter::WriteValue(int32_t record, const SFieldMap& field, IShapeAttr* values) {
    CVariant& value = *m_value;
    const bool typed = field.type != FIELD_CHARACTER && values->GetValue(field.source, &value) != 0;
    if (typed && (value.vt == VT_NULL || value.vt == VT_EMPTY)) {
        Check(record, field, m_dbf->WriteNull(record, field.output), {});
        return;
    }
    switch (field.type) {
    case kIntegerAsReal:
    case FIELD_INTEGER: { // exactly, whatever its size
        int64_t number = 0;
        if (typed) {
            switch (value.vt) {
            case VT_I4:
                number = value.lVal;
                break;
            case VT_DECIMAL:
                if (!value.DecimalToInt64(number))
                    FailValue(record, field, u"the integer is too large for 64 bits");
                break;
            case VT_R8:
                if (!std::isfinite(value.dblVal) || value.dblVal != std::trunc(value.dblVal) ||
                    std::fabs(value.dblVal) >= 9.2e18)
                    FailValue(record, field,
                              u"the value " + NumberText(value.dblVal) +
                                  u" is not a whole number of 64 bits");
                number = static_cast<int64_t>(value.dblVal);
                break;
            default: {
                CVariant converted;
                if (VariantChangeType(&converted, &value, VT_DECIMAL) != 0 ||
                    !converted.DecimalToInt64(number))
                    FailValue(record, field, u"the value is not a whole number of 64 bits");
                break;
            }
            }
        } else {
            int32_t small = 0;
            if (values->GetInteger(field.source, &small) == 0)
                FailRead(record, field);
            number = small;
        }
        // Printed from its digits (with a real field's decimals), so that none is lost through a double.
        if (m_dbf->WriteInt64(record, field.output, number) == 0) {
            char digits[kNumberTextSize];
            FailValue(record, field,
                      u"the value " + FromUtf8(std::string_view(digits, PrintInt64(digits, number))) +
                          u" does not fit its width of " + Utf16Number(field.width));
        }
        return;
    }
    case FIELD_REAL: {
        double number = 0.0;
        CVariant converted;
        if (typed && VariantChangeType(&converted, &value, VT_R8) == 0)
            number = converted.dblVal;
        else if (values->GetDouble(field.source, &number) == 0)
            FailRead(record, field);
        if (m_dbf->WriteDouble(record, field.output, number) == 0)
            FailValue(record, field,
                      u"the value " + NumberText(number) + u" does not fit its width of " +
                          Utf16Number(field.width) + u" with " + Utf16Number(field.decimals) + u" decimals");
        return;
    }
    case FIELD_LOGICAL: { // the letters xBase readers take for true and false become T and F
        const char* letter = "";
        if (typed && value.vt == VT_BOOL) {
            letter = value.boolVal != VARIANT_FALSE ? "T" : "F";
        } else {
            m_text->Set(std::u16string());
            if (values->GetString(field.source, m_text.get()) == 0)
                FailRead(record, field);
            const std::u16string& text = m_text->Str();
            const char16_t first = text.empty() ? u' ' : text[0];
            if (first == u'T' || first == u't' || first == u'Y' || first == u'y')
                letter = "T";
            else if (first == u'F' || first == u'f' || first == u'N' || first == u'n')
                letter = "F";
        }
        Check(record, field, m_dbf->WriteString(record, field.output, letter), {});
        return;
    }
    case FIELD_DATE:
        if (typed && value.vt == VT_BSTR && value.bstrVal.empty()) {
            Check(record, field, m_dbf->WriteNull(record, field.output), {});
            return;
        }
        if (typed && value.vt == VT_DATE) {
            int y, mo, d, h, mi, sec;
            if (!VariantTimeToSystemTime(value.dblVal, &y, &mo, &d, &h, &mi, &sec))
                FailValue(record, field,
                          u"the date " + NumberText(value.dblVal) + u" is outside the years 100 to 9999");
            char text[9];
            std::snprintf(text, sizeof text, "%04d%02d%02d", y, mo, d);
            Check(record, field, m_dbf->WriteString(record, field.output, std::string_view(text, 8)), {});
            return;
        }
        break;
    default:
        break;
    }
    // Text, and anything else: the text. A string object keeps its text when it is handed an empty value,
    // so start each value empty.
    m_text->Set(std::u16string());
    if (values->GetString(field.source, m_text.get()) == 0)
        FailRead(record, field);
    EncodeAndWrite(record, field, m_text->Str());
}

void CAttributeWriter::EncodeAndWrite(int32_t record, const SFieldMap& field, std::u16string_view text) {
    if (!EncodeWhole(m_codePage, text, m_bytes))
        FailValue(record, field,
                  u"the value \"" + std::u16string(text) + u"\" cannot be written in code page " +
                      Utf16Number(m_codePage));
    WriteTextBytes(record, field, m_bytes);
}

void CAttributeWriter::WriteTextBytes(int32_t record, const SFieldMap& field, std::string_view bytes) {
    // A text is never cut: one that needs more bytes than its field holds fails.
    if (bytes.size() > static_cast<std::size_t>(std::max(field.width, 0)))
        FailValue(record, field,
                  u"the text needs a width of " + Utf16Number(static_cast<long long>(bytes.size())) +
                      u", its field holds " + Utf16Number(field.width));
    Check(record, field, m_dbf->WriteString(record, field.output, bytes), bytes);
}

void CAttributeWriter::Check(int32_t record, const SFieldMap& field, int written,
                             std::string_view text) const {
    if (written != 0)
        return;
    if (text.empty())
        FailValue(record, field, u"the value does not fit its width of " + Utf16Number(field.width));
    FailValue(record, field,
              u"the value " + FromUtf8(text) + u" does not fit its width of " + Utf16Number(field.width));
}

// ---- records as their stored bytes ----

void CAttributeWriter::PlanCopy(IStoredRecords& table) {
    m_plainFields.clear();
    m_wholeRecords = false;
    // Nulls are written in the form of their field's type, which a copy does not know.
    if (!m_nullFields.empty())
        return;
    std::vector<SPlainField> plan;
    for (const SFieldMap& field : m_fieldMap) {
        uint32_t offset = 0, width = 0;
        char type = 0;
        if (!field.same || field.source >= table.StoredFieldCount() ||
            !m_dbf->GetFieldLayout(field.output, &offset, &width, &type))
            return;
        const SStoredField in = table.StoredField(field.source);
        if (in.width != width || in.type != type)
            return;
        plan.push_back({in.offset, offset, width, field.undeclared});
    }
    if (plan.empty())
        return;
    // The constant is copied like the fields, from behind the stored record's bytes.
    const uint32_t length = table.StoredRecordLength();
    std::vector<SPlainField> copied = plan;
    if (m_constantField >= 0) {
        uint32_t offset = 0, width = 0;
        char type = 0;
        if (!m_dbf->GetFieldLayout(m_constantField, &offset, &width, &type) || width != m_constant.size())
            return;
        copied.push_back({length, offset, width, false});
    }
    m_plainRecord.assign(length, 0);
    m_plainRecord.insert(m_plainRecord.end(), m_constant.begin(), m_constant.end());
    // Fields in place, one after another from the flag on, and the output's record no longer.
    uint32_t end = 1;
    bool whole = m_constantField < 0;
    for (const SPlainField& field : plan) {
        whole = whole && field.from == end && field.to == end && !field.asciiOnly;
        end += field.width;
    }
    uint32_t lastOffset = 0, lastWidth = 0;
    char lastType = 0;
    m_wholeRecords = whole && end == length &&
                     m_dbf->GetFieldLayout(m_dbf->GetFieldCount() - 1, &lastOffset, &lastWidth, &lastType) &&
                     lastOffset + lastWidth == length;
    m_plainFields = std::move(plan);
    m_copiedFields = std::move(copied);
}

int32_t CAttributeWriter::CopyStoredRun(IStoredRecords& table, uint32_t record, int32_t output,
                                        int32_t count) {
    SStoredTableFile file;
    if (!m_wholeRecords || output != m_dbf->GetRecordCount() || !table.GetStoredTableFile(file) ||
        record >= file.records)
        return 0;
    // Records the table does not state are not copied, even where its file holds bytes for them.
    count = static_cast<int32_t>(std::min<uint64_t>(static_cast<uint64_t>(count), file.records - record));
    const uint64_t length = table.StoredRecordLength();
    return m_dbf->AppendCopied(file.fd, file.dataStart + record * length, file.length, count);
}

bool CAttributeWriter::CopyStored(IStoredRecords& table, uint32_t record, int32_t output) {
    if (m_plainFields.empty() || !table.ReadStoredBytes(record, m_plainRecord.data()))
        return false;
    const uint8_t* raw = m_plainRecord.data();
    for (const SPlainField& field : m_plainFields)
        if (field.asciiOnly &&
            !IsAscii(std::string_view(reinterpret_cast<const char*>(raw + field.from), field.width)))
            return false;
    uint8_t* out = m_dbf->EditRecord(output);
    if (out == nullptr)
        return false;
    for (const SPlainField& field : m_copiedFields)
        std::memcpy(out + field.to, raw + field.from, field.width);
    return true;
}

} // namespace fennick
