#pragma once
// UTF-8 <-> UTF-16 conversion and small text helpers.
//
// Text inside the program is UTF-8 in std::string; UTF-16 appears only where a
// file format stores it or where a limit is counted in UTF-16 units. Invalid
// input never fails a conversion: malformed UTF-8 sequences and unpaired
// surrogates become U+FFFD.
#include <string>
#include <string_view>

namespace ORV::OS {

// Decodes the code point that starts at utf8[i] and advances i past it. A
// malformed sequence, an encoded surrogate or an overlong form gives U+FFFD
// and consumes one byte. i must be less than utf8.size().
char32_t DecodeUtf8(std::string_view utf8, std::size_t& i);

std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

// Number of UTF-16 units the UTF-8 text takes.
std::size_t Utf16Length(std::string_view utf8);

// The longest prefix of `utf8` that takes at most `maxUnits` UTF-16 units,
// cut at a character boundary (never inside a surrogate pair).
std::string CutToUtf16Units(std::string_view utf8, std::size_t maxUnits);

// ASCII-only case folding; bytes >= 0x80 compare as they are.
std::string ToLowerAscii(std::string_view s);
bool EqualsNoCase(std::string_view a, std::string_view b);
// Orders like a case-insensitive compare: negative, 0 or positive.
int CompareNoCase(std::string_view a, std::string_view b);

// ASCII white space: space, tab, line feed, carriage return, form feed and
// vertical tab.
bool IsAsciiSpace(char c);
// `s` without the ASCII white space at its start and end.
std::string_view Trim(std::string_view s);

}  // namespace ORV::OS
