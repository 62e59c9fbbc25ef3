#include "platform/CodePage.h"

#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <unordered_map>
#include <vector>

namespace fennick {

namespace {

constexpr int kUtf8 = 65001;
constexpr int kLatin1 = 0;

const char* IconvName(int codePage) {
    switch (codePage) {
    case 437:
        return "CP437";
    case 737:
        return "CP737";
    case 850:
        return "CP850";
    case 852:
        return "CP852";
    case 855:
        return "CP855";
    case 857:
        return "CP857";
    case 860:
        return "CP860";
    case 861:
        return "CP861";
    case 862:
        return "CP862";
    case 863:
        return "CP863";
    case 864:
        return "CP864";
    case 865:
        return "CP865";
    case 866:
        return "CP866";
    case 869:
        return "CP869";
    case 874:
        return "CP874";
    case 932:
        return "CP932";
    case 936:
        return "CP936";
    case 949:
        return "CP949";
    case 950:
        return "CP950";
    case 1250:
        return "CP1250";
    case 1251:
        return "CP1251";
    case 1252:
        return "CP1252";
    case 1253:
        return "CP1253";
    case 1254:
        return "CP1254";
    case 1255:
        return "CP1255";
    case 1256:
        return "CP1256";
    case 1257:
        return "CP1257";
    case 1258:
        return "CP1258";
    case 1361:
        return "JOHAB";
    case 10000:
        return "MACINTOSH";
    case 20866:
        return "KOI8-R";
    case 21866:
        return "KOI8-U";
    case 28591:
        return "ISO-8859-1";
    case 28592:
        return "ISO-8859-2";
    case 28593:
        return "ISO-8859-3";
    case 28594:
        return "ISO-8859-4";
    case 28595:
        return "ISO-8859-5";
    case 28596:
        return "ISO-8859-6";
    case 28597:
        return "ISO-8859-7";
    case 28598:
        return "ISO-8859-8";
    case 28599:
        return "ISO-8859-9";
    case 28603:
        return "ISO-8859-13";
    case 28605:
        return "ISO-8859-15";
    case 51932:
        return "EUC-JP";
    case 54936:
        return "GB18030";
    default:
        return nullptr;
    }
}

// One converter per code page and direction, opened once per thread and reused.
class IconvCache {
public:
    ~IconvCache() {
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

IconvCache& Cache() {
    thread_local IconvCache cache;
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
    for (std::size_t i = 0; i < n; ++i) {
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

} // namespace fennick
