#pragma once
// Cell styles: the flat style record a caller registers, the registry that
// keeps each distinct font, fill, border, number format and cell format once,
// and the writer of the styles part "/xl/styles.xml".
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "xlsx/part_files.h"

namespace Xlsx {

class XmlWriter;

// Font attribute bits.
enum FontAttribute : std::uint32_t {
  kFontBold = 1,
  kFontItalic = 2,
  kFontUnderline = 4,
  kFontStrike = 8,
  kFontOutline = 16,
  kFontShadow = 32,
  kFontCondense = 64,
  kFontExtend = 128,
};

struct StyleFont {
  XlsxTextRecord name{std::string_view("Calibri")};
  std::string colour;  // hexadecimal ARGB, used when theme is false
  std::uint32_t size = 11;
  std::uint32_t attributes = 0;  // FontAttribute bits
  bool theme = true;             // the colour is theme colour 1

  bool operator==(const StyleFont& o) const {
    return size == o.size && name.utf8 == o.name.utf8 && theme == o.theme && colour == o.colour &&
           attributes == o.attributes;
  }
};

struct StyleFill {
  std::uint32_t pattern = 0;  // 0 "none", 1 "solid" ... 17 "gray125", 18 "gray0625"
  std::string foreground;
  std::string background;
  bool operator==(const StyleFill&) const = default;
};

struct BorderSide {
  std::uint32_t style = 0;  // 0 none, 1 "thin" ... 13 "slantDashDot"
  std::string colour;
  bool operator==(const BorderSide&) const = default;
};

struct StyleBorder {
  BorderSide left;
  BorderSide right;
  BorderSide bottom;
  BorderSide top;
  BorderSide diagonal;
  bool diagonalUp = false;
  bool diagonalDown = false;
  bool operator==(const StyleBorder&) const = default;
};

// Kinds of number format.
enum NumberFormatKind : std::uint32_t {
  kNumber = 0,  // 1 is a number too
  kPercent = 2,
  kScientific = 3,
  kAccounting = 4,
  kCurrency = 5,
  kDate = 6,
  kTime = 7,
  kDateTime = 8,
};

// A number format: a format code, or the fields the code is built from.
// Ids below kFirstCustomFormatId name built-in formats; a format defined in
// the workbook gets its id from the registry.
inline constexpr std::uint64_t kFirstCustomFormatId = 164;

struct NumberFormat {
  std::uint64_t id = kFirstCustomFormatId;
  std::string code;
  std::uint32_t kind = kNumber;
  // Colour codes: 1 "[BLACK]", 2 "[Green]", 3 "[White]", 4 "[Blue]",
  // 5 "[Magenta]", 6 "[Yellow]", 7 "[Cyan]", 8 "[Red]", others none.
  std::uint32_t positiveColour = 0;
  std::uint32_t negativeColour = 0;
  std::uint32_t zeroColour = 0;
  bool thousandsSeparator = false;
  std::uint64_t decimals = 2;

  // Equal formats: everything but the id.
  bool SameFormat(const NumberFormat& o) const {
    return code == o.code && kind == o.kind && positiveColour == o.positiveColour &&
           negativeColour == o.negativeColour && zeroColour == o.zeroColour &&
           thousandsSeparator == o.thousandsSeparator && decimals == o.decimals;
  }
};

struct StyleAlignment {
  std::uint32_t horizontal = 0;  // 0 none, 1 left, 2 center, 3 right
  std::uint32_t vertical = 0;    // 0 none, 1 top, 2 center, 3 bottom
  bool wrapText = false;
  std::uint32_t textRotation = 0;  // degrees, 0 none
  bool operator==(const StyleAlignment&) const = default;
};

// The format of a cell as a caller describes it.
struct Style {
  StyleFont font;
  StyleFill fill;
  StyleBorder border;
  NumberFormat numberFormat;
  StyleAlignment alignment;
};

struct CellFormat {
  std::uint64_t borderId = 0;
  std::uint64_t fontId = 0;
  std::uint64_t fillId = 0;
  std::uint64_t numberFormatId = 0;
  bool operator==(const CellFormat&) const = default;
};

// The format code of a number format. `currency` is the symbol used by the
// currency and accounting kinds.
std::string BuildFormatCode(const NumberFormat& format, std::string_view currency);

// The currency symbol of the user's locale (LC_MONETARY), in UTF-8; "?"
// when the locale has none.
std::string LocaleCurrencySymbol();

// The children of a font element: the attribute flags, "sz", the name
// element, "charset" and "color".
void WriteFontProperties(XmlWriter& writer, const StyleFont& font, std::string_view nameElement, std::uint32_t charset);

// One per workbook.
class StyleRegistry {
 public:
  StyleRegistry() = default;

  // Registers a style and returns its index, the position of its cell
  // format. A number format defined in the workbook gets the next free id,
  // which is written back into `style`.
  std::uint64_t AddStyle(Style& style);
  // The two styles every workbook starts with (indices 0 and 1): the
  // default style with number format 0, and the same with number format 1
  // and the "gray125" fill.
  void AddWorkbookDefaults();

  // The format code written for a number format; the locale's currency
  // symbol is fetched once, when a code first needs it.
  std::string FormatCode(const NumberFormat& format);
  // Sets the currency symbol instead of the locale's.
  void SetCurrencySymbol(std::string symbol) { currency_ = std::move(symbol); }

  const std::vector<StyleFont>& Fonts() const { return fonts_; }
  const std::vector<StyleFill>& Fills() const { return fills_; }
  const std::vector<StyleBorder>& Borders() const { return borders_; }
  const std::vector<NumberFormat>& NumberFormats() const { return numberFormats_; }
  const std::vector<CellFormat>& CellFormats() const { return cellFormats_; }
  const std::vector<StyleAlignment>& Alignments() const { return alignments_; }

 private:
  std::uint64_t nextFormatId_ = kFirstCustomFormatId;
  std::vector<StyleBorder> borders_;
  std::vector<StyleFont> fonts_;
  std::vector<StyleFill> fills_;
  std::vector<NumberFormat> numberFormats_;
  std::vector<CellFormat> cellFormats_;
  std::vector<StyleAlignment> alignments_;
  std::string currency_;
};

// Registers "/xl/styles.xml" and writes it from the registry. False when the
// part could not be written completely.
bool SaveStyles(TempFileRegistry& registry, StyleRegistry& styles);

}  // namespace Xlsx
