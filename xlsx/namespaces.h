#pragma once
// XML namespaces and relationship types of the package format, as published.
#include <string_view>

namespace Xlsx::Ns {

inline constexpr std::string_view kSpreadsheetMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
inline constexpr std::string_view kDocumentRelationships =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
inline constexpr std::string_view kMarkupCompatibility = "http://schemas.openxmlformats.org/markup-compatibility/2006";
inline constexpr std::string_view kSpreadsheetAc = "http://schemas.microsoft.com/office/spreadsheetml/2009/9/ac";
inline constexpr std::string_view kSpreadsheetX14 = "http://schemas.microsoft.com/office/spreadsheetml/2009/9/main";
inline constexpr std::string_view kPackageRelationships = "http://schemas.openxmlformats.org/package/2006/relationships";
inline constexpr std::string_view kDrawingMain = "http://schemas.openxmlformats.org/drawingml/2006/main";

// Relationship types (officeDocument relationships namespace + "/" + kind).
inline constexpr std::string_view kRelDrawing =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/drawing";
inline constexpr std::string_view kRelVmlDrawing =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/vmlDrawing";
inline constexpr std::string_view kRelComments =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/comments";

}  // namespace Xlsx::Ns
