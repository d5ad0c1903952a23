#pragma once
// The formatted texts of the update dialogs: the services's descriptions come
// as RTF, which is turned into the HTML subset the dialogs' text views show.
//
// Understood: groups; \par and \line; \b, \i, \ul and \ulnone (with a 0 to
// switch off); \pard, \ql, \qc, \qr and \qj; \'hh (Windows-1252); \uN with
// the \ucN replacement count; the escapes \\ \{ \}. The font and colour
// tables, the style sheet, the document information, pictures and every \*
// destination are skipped; other control words are ignored. Text that does
// not start with "{\rtf" is shown as plain text. The work is linear in the
// input and nesting deeper than kMaxRtfDepth is read as flat text.
#include <string>
#include <string_view>

namespace ORV::Freshet {

inline constexpr int kMaxRtfDepth = 100;

std::string RtfToHtml(std::string_view rtf);

// Escapes '\', '{' and '}' so that text can be put into an RTF document.
std::string RtfEscape(std::string_view text);

// The question's header, with the product name put in bold:
// "There is an update to <name>" and "Do you want to update now ?", centred.
std::string UpdateHeaderRtf(std::string_view productName);

}  // namespace ORV::Freshet
