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
inline constexpr std::string_view kPackageRelationships =
    "http://schemas.openxmlformats.org/package/2006/relationships";
inline constexpr std::string_view kDrawingMain = "http://schemas.openxmlformats.org/drawingml/2006/main";
inline constexpr std::string_view kDrawingChart = "http://schemas.openxmlformats.org/drawingml/2006/chart";
inline constexpr std::string_view kDrawingChart2007 = "http://schemas.microsoft.com/office/drawing/2007/8/2/chart";
inline constexpr std::string_view kSpreadsheetDrawing =
    "http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing";
inline constexpr std::string_view kContentTypes = "http://schemas.openxmlformats.org/package/2006/content-types";
inline constexpr std::string_view kCoreProperties =
    "http://schemas.openxmlformats.org/package/2006/metadata/core-properties";
inline constexpr std::string_view kExtendedProperties =
    "http://schemas.openxmlformats.org/officeDocument/2006/extended-properties";
inline constexpr std::string_view kDocPropsVTypes =
    "http://schemas.openxmlformats.org/officeDocument/2006/docPropsVTypes";
inline constexpr std::string_view kDublinCore = "http://purl.org/dc/elements/1.1/";
inline constexpr std::string_view kDublinCoreTerms = "http://purl.org/dc/terms/";
inline constexpr std::string_view kDublinCoreTypes = "http://purl.org/dc/dcmitype/";
inline constexpr std::string_view kSchemaInstance = "http://www.w3.org/2001/XMLSchema-instance";

// Relationship types (officeDocument relationships namespace + "/" + kind).
inline constexpr std::string_view kRelDrawing =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/drawing";
inline constexpr std::string_view kRelVmlDrawing =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/vmlDrawing";
inline constexpr std::string_view kRelComments =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/comments";
inline constexpr std::string_view kRelChart =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/chart";
inline constexpr std::string_view kRelImage =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/image";
inline constexpr std::string_view kRelChartsheet =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/chartsheet";
inline constexpr std::string_view kRelOfficeDocument =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument";
inline constexpr std::string_view kRelExtendedProperties =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/extended-properties";
inline constexpr std::string_view kRelWorksheet =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet";
inline constexpr std::string_view kRelCalcChain =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/calcChain";
inline constexpr std::string_view kRelSharedStrings =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings";
inline constexpr std::string_view kRelStyles =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles";
inline constexpr std::string_view kRelTheme =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/theme";
// Package relationship type (package relationships namespace + "/metadata/" + kind).
inline constexpr std::string_view kRelCoreProperties =
    "http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties";

}  // namespace Xlsx::Ns
