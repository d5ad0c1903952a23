#pragma once
// Formatted texts that arrive as RTF (the update service's descriptions, the
// custom-trace script help) turned into the HTML subset that Qt's text views
// show.
//
// Understood: groups; \par and \line; \b, \i, \ul and \ulnone (with a 0 to
// switch off); \pard, \ql, \qc, \qr and \qj; \fsN (the first size set is
// the text's own size, the view's font, and a later size clearly larger or
// smaller than it is shown larger or smaller); \bullet; \'hh (Windows-1252);
// \uN with
// the \ucN replacement count; the escapes \\ \{ \}. The font and colour
// tables, the style sheet, the document information, pictures and every \*
// destination are skipped; other control words are ignored. Text that does
// not start with "{\rtf" is shown as plain text. The work is linear in the
// input and nesting deeper than kMaxRtfDepth is read as flat text.
#include <string>
#include <string_view>

namespace ORV {

inline constexpr int kMaxRtfDepth = 100;

std::string RtfToHtml(std::string_view rtf);

// Escapes '\', '{' and '}' so that text can be put into an RTF document.
std::string RtfEscape(std::string_view text);

}  // namespace ORV
