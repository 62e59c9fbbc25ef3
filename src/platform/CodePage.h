#pragma once
// Text conversion between file bytes and the program's wide (UTF-16) text, by Windows code page number.
// Code page 0 is the byte-preserving ISO-8859-1; 65001 is UTF-8; the DOS, Windows, ISO and East Asian pages
// go through iconv. Conversions are strict: a byte sequence or a character the code page cannot map fails
// the whole conversion, so no text is silently replaced.

#include <cstddef>
#include <string>
#include <string_view>

namespace fennick {

// Decodes len bytes of src (len < 0: up to the terminating zero) with the code page into out.
// Returns the number of UTF-16 units produced; 0 on failure or for an empty text (out is then unchanged).
int MultiByteToWideChar(int codePage, const char* src, int len, std::u16string& out);

// Encodes len units of src (len < 0: up to the terminating zero) with the code page into out.
// A negative code page writes each unit's low byte. Returns the number of bytes produced; 0 on failure
// (a character the code page cannot hold, or an unknown code page) or for an empty text.
int WideCharToMultiByte(int codePage, const char16_t* src, int len, std::string& out);

// The code page a name stands for, as .cpg files and GDAL spell them (letter case ignored): the Windows
// number alone or after "CP", "IBM" or "windows-"; "UTF-8"/"UTF8"; the ISO 8859 parts ("ISO-8859-1",
// "ISO88591", "8859_1", "LATIN1"); GBK, GB2312, Big5, Shift_JIS, EUC-KR, EUC-JP, KOI8-R, the OEM pages. -1
// for any other text, a prefix of a name included, and for a page this platform does not convert.
int CodePageOfName(std::string_view name);

// True when the code page number is one this platform can convert.
bool IsCodePageSupported(int codePage);

// The one-unit-per-byte rule: each byte read as a signed 8-bit value, so 0x80..0xFF become U+FF80..U+FFFF.
std::u16string BytesToWideSigned(std::string_view bytes);
// Its inverse on output: the low byte of each unit.
std::string WideToLowBytes(std::u16string_view text);

// UTF-8 <-> UTF-16 for paths and for the system's own messages. Bytes that are not valid UTF-8 (a file name
// in another encoding) become U+DC80..U+DCFF and turn back into the same bytes, so any path round-trips.
std::u16string FromUtf8(std::string_view utf8);
std::string ToUtf8(std::u16string_view text);
// A whole number as decimal digits, for messages.
std::u16string Utf16Number(long long value);

} // namespace fennick
