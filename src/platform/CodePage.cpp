#include "platform/CodePage.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <initializer_list>
#include <iterator>
#include <unordered_map>
#include <vector>

namespace fennick {

namespace {

constexpr int kUtf8 = 65001;
constexpr int kLatin1 = 0;

// The code pages this platform converts, by Windows number, with iconv's name and the other names .cpg
// files and GDAL give them (upper case). Sorted by number. UTF-8 (65001) and the byte-preserving code page 0
// are converted without iconv.
struct SCodePageName {
    int codePage;
    const char* iconv;
    std::initializer_list<std::string_view> aliases;
};

const SCodePageName kCodePages[] = {
    {437, "CP437", {"OEM", "IBM437"}},
    {737, "CP737", {}},
    {850, "CP850", {"IBM850"}},
    {852, "CP852", {"IBM852"}},
    {855, "CP855", {}},
    {857, "CP857", {}},
    {860, "CP860", {}},
    {861, "CP861", {}},
    {862, "CP862", {}},
    {863, "CP863", {}},
    {864, "CP864", {}},
    {865, "CP865", {}},
    {866, "CP866", {"IBM866"}},
    {869, "CP869", {}},
    {874, "CP874", {}},
    {932, "CP932", {"SJIS", "SHIFT_JIS", "SHIFT-JIS", "MS932"}},
    {936, "CP936", {"GBK", "GB2312", "EUC-CN"}},
    {949, "CP949", {"EUC-KR", "UHC", "KS_C_5601-1987"}},
    {950, "CP950", {"BIG5", "BIG-5"}},
    {1250, "CP1250", {"ANSI"}},
    {1251, "CP1251", {}},
    {1252, "CP1252", {}},
    {1253, "CP1253", {}},
    {1254, "CP1254", {}},
    {1255, "CP1255", {}},
    {1256, "CP1256", {}},
    {1257, "CP1257", {}},
    {1258, "CP1258", {}},
    {1361, "JOHAB", {}},
    {10000, "MACINTOSH", {"MAC", "MACROMAN"}},
    {20866, "KOI8-R", {"KOI8R"}},
    {21866, "KOI8-U", {"KOI8U"}},
    {28591, "ISO-8859-1", {"ISO"}},
    {28592, "ISO-8859-2", {}},
    {28593, "ISO-8859-3", {}},
    {28594, "ISO-8859-4", {}},
    {28595, "ISO-8859-5", {}},
    {28596, "ISO-8859-6", {}},
    {28597, "ISO-8859-7", {}},
    {28598, "ISO-8859-8", {}},
    {28599, "ISO-8859-9", {}},
    {28603, "ISO-8859-13", {}},
    {28605, "ISO-8859-15", {}},
    {51932, "EUC-JP", {}},
    {54936, "GB18030", {}},
    {65001, nullptr, {"UTF-8", "UTF8"}},
};

const SCodePageName* FindCodePage(int codePage) {
    const auto* end = std::end(kCodePages);
    const auto* it = std::lower_bound(std::begin(kCodePages), end, codePage,
                                      [](const SCodePageName& e, int n) { return e.codePage < n; });
    return it != end && it->codePage == codePage ? it : nullptr;
}

const char* IconvName(int codePage) {
    const SCodePageName* entry = FindCodePage(codePage);
    return entry != nullptr ? entry->iconv : nullptr;
}

// Decimal digits only, as a number below 100000; -1 otherwise.
int DigitsValue(std::string_view text) {
    if (text.empty() || text.size() > 5)
        return -1;
    int n = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return -1;
        n = n * 10 + (c - '0');
    }
    return n;
}

// "8859-5", "8859_5", "88595" and the like: the ISO 8859 part's code page, 28590 + part; -1 otherwise.
int Iso8859Part(std::string_view text) {
    if (text.substr(0, 4) != "8859")
        return -1;
    text.remove_prefix(4);
    if (!text.empty() && (text[0] == '-' || text[0] == '_'))
        text.remove_prefix(1);
    const int part = text.size() <= 2 ? DigitsValue(text) : -1;
    return part >= 1 && part <= 16 ? 28590 + part : -1;
}

// One converter per code page and direction, opened once per thread and reused.
class CIconvCache {
public:
    ~CIconvCache() {
        for (auto& [key, cd] : m_handles)
            if (cd != reinterpret_cast<iconv_t>(-1))
                iconv_close(cd);
    }
    iconv_t Get(int codePage, bool toWide) {
        const long long key = static_cast<long long>(codePage) * 2 + (toWide ? 1 : 0);
        auto it = m_handles.find(key);
        if (it != m_handles.end())
            return it->second;
        const char* name = IconvName(codePage);
        iconv_t cd = reinterpret_cast<iconv_t>(-1);
        if (name != nullptr)
            cd = toWide ? iconv_open("UTF-16LE", name) : iconv_open(name, "UTF-16LE");
        m_handles.emplace(key, cd);
        return cd;
    }

private:
    std::unordered_map<long long, iconv_t> m_handles;
};

CIconvCache& Cache() {
    thread_local CIconvCache cache;
    return cache;
}

bool AllAscii(const char* s, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        if (static_cast<unsigned char>(s[i]) >= 0x80)
            return false;
    return true;
}

bool AllAscii(const char16_t* s, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        if (s[i] >= 0x80)
            return false;
    return true;
}

// Strict UTF-8 decoder; returns false on any malformed sequence.
bool DecodeUtf8(const char* s, std::size_t n, std::u16string& out, bool escapeInvalid) {
    std::u16string result;
    result.reserve(n);
    std::size_t i = 0;
    while (i < n) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            result.push_back(c);
            ++i;
            continue;
        }
        int extra = 0;
        char32_t cp = 0;
        char32_t min = 0;
        if ((c & 0xE0) == 0xC0) {
            extra = 1;
            cp = c & 0x1F;
            min = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            cp = c & 0x0F;
            min = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            cp = c & 0x07;
            min = 0x10000;
        } else {
            extra = -1;
        }
        bool ok = extra > 0 && i + static_cast<std::size_t>(extra) < n;
        if (ok) {
            for (int k = 1; k <= extra; ++k) {
                const unsigned char cc = static_cast<unsigned char>(s[i + k]);
                if ((cc & 0xC0) != 0x80) {
                    ok = false;
                    break;
                }
                cp = (cp << 6) | (cc & 0x3F);
            }
        }
        if (ok && (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)))
            ok = false;
        if (!ok) {
            if (!escapeInvalid)
                return false;
            result.push_back(static_cast<char16_t>(0xDC00 + c));
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            result.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            result.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            result.push_back(static_cast<char16_t>(cp));
        }
        i += static_cast<std::size_t>(extra) + 1;
    }
    out = std::move(result);
    return true;
}

void AppendUtf8(char32_t cp, std::string& out) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// UTF-16 -> UTF-8. Lone surrogates fail unless escapes are allowed, in which case U+DC80..U+DCFF give back
// their byte.
bool EncodeUtf8(const char16_t* s, std::size_t n, std::string& out, bool escapes) {
    std::string result;
    result.reserve(n);
    // Paths and names are mostly ASCII: their leading run is copied without encoding each character.
    std::size_t ascii = 0;
    while (ascii < n && s[ascii] < 0x80)
        ++ascii;
    result.resize(ascii);
    for (std::size_t i = 0; i < ascii; ++i)
        result[i] = static_cast<char>(s[i]);
    for (std::size_t i = ascii; i < n; ++i) {
        char32_t cp = s[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            if (escapes && cp >= 0xDC80 && cp <= 0xDCFF) {
                result.push_back(static_cast<char>(cp - 0xDC00));
                continue;
            }
            return false;
        }
        AppendUtf8(cp, result);
    }
    out = std::move(result);
    return true;
}

bool IconvConvert(iconv_t cd, const char* in, std::size_t inBytes, std::vector<char>& buffer) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    buffer.resize(inBytes * 4 + 16);
    char* inPtr = const_cast<char*>(in);
    char* outPtr = buffer.data();
    std::size_t outLeft = buffer.size();
    while (inBytes > 0) {
        if (iconv(cd, &inPtr, &inBytes, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) {
            if (errno != E2BIG)
                return false;
            const std::size_t used = static_cast<std::size_t>(outPtr - buffer.data());
            buffer.resize(buffer.size() * 2);
            outPtr = buffer.data() + used;
            outLeft = buffer.size() - used;
        }
    }
    // Flush any shift state.
    if (iconv(cd, nullptr, nullptr, &outPtr, &outLeft) == static_cast<std::size_t>(-1))
        return false;
    buffer.resize(static_cast<std::size_t>(outPtr - buffer.data()));
    return true;
}

} // namespace

bool IsCodePageSupported(int codePage) {
    if (codePage == kLatin1 || codePage == kUtf8)
        return true;
    return IconvName(codePage) != nullptr && Cache().Get(codePage, true) != reinterpret_cast<iconv_t>(-1);
}

int MultiByteToWideChar(int codePage, const char* src, int len, std::u16string& out) {
    if (src == nullptr)
        return 0;
    const std::size_t n = len < 0 ? std::strlen(src) : static_cast<std::size_t>(len);
    if (n == 0)
        return 0;
    if (codePage < 0) {
        out = BytesToWideSigned(std::string_view(src, n));
        return static_cast<int>(out.size());
    }
    if (codePage == kLatin1 || (AllAscii(src, n) && IconvName(codePage) != nullptr) ||
        (codePage == kUtf8 && AllAscii(src, n))) {
        out.resize(n);
        for (std::size_t i = 0; i < n; ++i)
            out[i] = static_cast<unsigned char>(src[i]);
        return static_cast<int>(n);
    }
    if (codePage == kUtf8)
        return DecodeUtf8(src, n, out, false) ? static_cast<int>(out.size()) : 0;
    iconv_t cd = Cache().Get(codePage, true);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return 0;
    thread_local std::vector<char> buffer;
    if (!IconvConvert(cd, src, n, buffer) || buffer.empty())
        return 0;
    out.resize(buffer.size() / 2);
    std::memcpy(out.data(), buffer.data(), out.size() * 2);
    return static_cast<int>(out.size());
}

int WideCharToMultiByte(int codePage, const char16_t* src, int len, std::string& out) {
    if (src == nullptr)
        return 0;
    std::size_t n = 0;
    if (len < 0) {
        while (src[n] != 0)
            ++n;
    } else {
        n = static_cast<std::size_t>(len);
    }
    if (n == 0)
        return 0;
    if (codePage < 0) {
        out = WideToLowBytes(std::u16string_view(src, n));
        return static_cast<int>(out.size());
    }
    if (AllAscii(src, n) && (codePage == kLatin1 || codePage == kUtf8 || IconvName(codePage) != nullptr)) {
        out.resize(n);
        for (std::size_t i = 0; i < n; ++i)
            out[i] = static_cast<char>(src[i]);
        return static_cast<int>(n);
    }
    if (codePage == kLatin1) {
        std::string result(n, '\0');
        for (std::size_t i = 0; i < n; ++i) {
            if (src[i] > 0xFF)
                return 0;
            result[i] = static_cast<char>(src[i]);
        }
        out = std::move(result);
        return static_cast<int>(n);
    }
    if (codePage == kUtf8)
        return EncodeUtf8(src, n, out, false) ? static_cast<int>(out.size()) : 0;
    iconv_t cd = Cache().Get(codePage, false);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return 0;
    thread_local std::vector<char> buffer;
    if (!IconvConvert(cd, reinterpret_cast<const char*>(src), n * 2, buffer) || buffer.empty())
        return 0;
    out.assign(buffer.data(), buffer.size());
    return static_cast<int>(out.size());
}

std::u16string BytesToWideSigned(std::string_view bytes) {
    std::u16string out(bytes.size(), u'\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        out[i] = static_cast<char16_t>(static_cast<int16_t>(static_cast<int8_t>(bytes[i])));
    return out;
}

std::string WideToLowBytes(std::u16string_view text) {
    std::string out(text.size(), '\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        out[i] = static_cast<char>(text[i] & 0xFF);
    return out;
}

std::u16string FromUtf8(std::string_view utf8) {
    std::u16string out;
    DecodeUtf8(utf8.data(), utf8.size(), out, true);
    return out;
}

std::string ToUtf8(std::u16string_view text) {
    std::string out;
    if (!EncodeUtf8(text.data(), text.size(), out, true)) {
        // A lone surrogate that is not an escape: write U+FFFD for it rather than losing the rest.
        std::u16string cleaned(text);
        for (std::size_t i = 0; i < cleaned.size(); ++i) {
            const char16_t c = cleaned[i];
            const bool high = c >= 0xD800 && c <= 0xDBFF;
            const bool low = c >= 0xDC00 && c <= 0xDFFF;
            if (high && i + 1 < cleaned.size() && cleaned[i + 1] >= 0xDC00 && cleaned[i + 1] <= 0xDFFF) {
                ++i;
                continue;
            }
            if ((high || low) && !(c >= 0xDC80 && c <= 0xDCFF))
                cleaned[i] = 0xFFFD;
        }
        EncodeUtf8(cleaned.data(), cleaned.size(), out, true);
    }
    return out;
}

std::u16string Utf16Number(long long value) {
    const std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

int CodePageOfName(std::string_view name) {
    std::string upper;
    for (const char c : name)
        upper.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
    std::string_view text = upper;
    int codePage = -1;
    for (const SCodePageName& entry : kCodePages) {
        if ((entry.iconv != nullptr && text == entry.iconv) ||
            std::find(entry.aliases.begin(), entry.aliases.end(), text) != entry.aliases.end())
            return entry.codePage;
    }
    if (text.starts_with("WINDOWS-")) {
        codePage = DigitsValue(text.substr(8));
    } else if (text.starts_with("CP") || text.starts_with("IBM")) {
        codePage = DigitsValue(text.substr(text[0] == 'C' ? 2 : 3));
    } else if (text.starts_with("ISO")) {
        text.remove_prefix(3);
        if (!text.empty() && (text[0] == '-' || text[0] == '_'))
            text.remove_prefix(1);
        codePage = Iso8859Part(text);
    } else if (text.starts_with("LATIN")) {
        // Latin-N is the ISO 8859 part that holds it.
        static constexpr int kParts[] = {0, 1, 2, 3, 4, 9, 10, 13, 14, 15, 16};
        text.remove_prefix(text.size() > 5 && text[5] == '-' ? 6 : 5);
        const int n = text.size() <= 2 ? DigitsValue(text) : -1;
        codePage = n >= 1 && n <= 10 ? 28590 + kParts[n] : -1;
    } else if (text.starts_with("8859")) {
        codePage = Iso8859Part(text);
    } else {
        codePage = DigitsValue(text);
    }
    return codePage > 0 && FindCodePage(codePage) != nullptr ? codePage : -1;
}

} // namespace fennick
