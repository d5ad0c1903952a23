#include "xlsx/styles.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <algorithm>
#include <array>

#include "platform/os/text.h"
#include "xlsx/namespaces.h"
#include "xlsx/xml_writer.h"

namespace Xlsx {

namespace {

std::string_view ColourTag(std::uint32_t code) {
  static constexpr std::array<std::string_view, 9> kTags = {"",          "[BLACK]",  "[Green]", "[White]", "[Blue]",
                                                            "[Magenta]", "[Yellow]", "[Cyan]",  "[Red]"};
  return code < kTags.size() ? kTags[code] : std::string_view();
}

std::string_view PatternName(std::uint32_t pattern) {
  static constexpr std::array<std::string_view, 19> kNames = {
      "none",     "solid",     "mediumGray",   "darkGray",    "lightGray",       "darkHorizontal", "darkVertical",
      "darkDown", "darkUp",    "darkGrid",     "darkTrellis", "lightHorizontal", "lightVertical",  "lightDown",
      "lightUp",  "lightGrid", "lightTrellis", "gray125",     "gray0625"};
  // A pattern without a name is written as no pattern.
  return pattern < kNames.size() ? kNames[pattern] : kNames[0];
}

std::string_view BorderStyleName(std::uint32_t style) {
  static constexpr std::array<std::string_view, 14> kNames = {"",
                                                              "thin",
                                                              "medium",
                                                              "dashed",
                                                              "dotted",
                                                              "thick",
                                                              "double",
                                                              "hair",
                                                              "mediumDashed",
                                                              "dashDot",
                                                              "mediumDashDot",
                                                              "dashDotDot",
                                                              "mediumDashDotDot",
                                                              "slantDashDot"};
  return style < kNames.size() ? kNames[style] : std::string_view();
}

// Horizontal and vertical alignment names for 1 to 3.
std::string_view HorizontalName(std::uint32_t h) {
  static constexpr std::array<std::string_view, 4> kNames = {"", "left", "center", "right"};
  return h < kNames.size() ? kNames[h] : std::string_view();
}

std::string_view VerticalName(std::uint32_t v) {
  static constexpr std::array<std::string_view, 4> kNames = {"", "top", "center", "bottom"};
  return v < kNames.size() ? kNames[v] : std::string_view();
}

template <typename T>
std::uint64_t FindOrAppend(std::vector<T>& list, const T& item) {
  const auto it = std::find(list.begin(), list.end(), item);
  if (it != list.end()) return static_cast<std::uint64_t>(it - list.begin());
  list.push_back(item);
  return list.size() - 1;
}

// Text in the given character set as UTF-8; empty when it cannot be converted.
std::string ConvertToUtf8(const std::string& text, const char* codeset) {
  iconv_t cd = ::iconv_open("UTF-8", codeset);
  if (cd == reinterpret_cast<iconv_t>(-1)) return {};
  std::string in = text;
  std::string out(in.size() * 4 + 8, '\0');
  char* inPtr = in.data();
  std::size_t inLeft = in.size();
  char* outPtr = out.data();
  std::size_t outLeft = out.size();
  const std::size_t r = ::iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
  ::iconv_close(cd);
  if (r == static_cast<std::size_t>(-1) || inLeft != 0) return {};
  out.resize(out.size() - outLeft);
  return out;
}

bool IsValidUtf8(const std::string& text) { return ORV::OS::Utf16ToUtf8(ORV::OS::Utf8ToUtf16(text)) == text; }

void WriteBorderSide(XmlWriter& w, std::string_view element, const BorderSide& side) {
  const std::string_view style = BorderStyleName(side.style);
  w.Tag(element);
  if (!style.empty()) {
    w.AttrRaw("style", style);
    w.BeginLeaf("color");
    if (side.colour.empty())
      w.AttrRaw("indexed", "64");
    else
      w.Attr("rgb", side.colour);
    w.EndLeaf();
  }
  w.End();
}

}  // namespace

std::string BuildFormatCode(const NumberFormat& format, std::string_view currency) {
  if (!format.code.empty()) return format.code;
  const std::string_view thousands = format.thousandsSeparator ? "#,##" : "";
  std::string digits = "0";
  if (format.decimals != 0) {
    digits += '.';
    digits.append(format.decimals, '0');
  }
  const bool hasNegative = format.negativeColour != 0 || format.positiveColour != 0;
  const bool hasZero = format.zeroColour != 0 || format.positiveColour != 0;
  const std::string number = std::string(thousands) + digits;

  switch (format.kind) {
    case 0:
    case 1:
    case kPercent:
    case kScientific:
    case kCurrency: {
      std::string suffix;
      if (format.kind == kPercent) suffix = "%";
      if (format.kind == kScientific) suffix = "E+00";
      if (format.kind == kCurrency) suffix = " " + std::string(currency);
      std::string code = std::string(ColourTag(format.positiveColour)) + number + suffix;
      if (hasNegative) code += ";" + std::string(ColourTag(format.negativeColour)) + "\\-" + number + suffix;
      if (hasZero) {
        if (!hasNegative) code += ";";
        code += ";" + std::string(ColourTag(format.zeroColour)) + "0" + suffix;
      }
      return code;
    }
    case kAccounting: {
      const std::string cur(currency);
      return std::string(ColourTag(format.positiveColour)) + "_-* " + number + cur + "_-;" +
             std::string(ColourTag(format.negativeColour)) + "\\-* " + number + cur + "_-;" + "_-* \"-\"??" + cur +
             "_-;_-@_-";
    }
    case kDate:
      return "yyyy.mm.dd";
    case kTime:
      return "hh:mm:ss";
    case kDateTime:
      return "yyyy.mm.dd hh:mm:ss";
    default:
      return {};
  }
}

std::string LocaleCurrencySymbol() {
  locale_t loc = ::newlocale(LC_MONETARY_MASK | LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
  if (loc == static_cast<locale_t>(nullptr)) return "?";
  // CRNCYSTR is the symbol preceded by a character that tells where it goes.
  const char* raw = ::nl_langinfo_l(CRNCYSTR, loc);
  std::string symbol = raw && raw[0] != '\0' ? std::string(raw + 1) : std::string();
  if (!symbol.empty() && !IsValidUtf8(symbol)) symbol = ConvertToUtf8(symbol, ::nl_langinfo_l(CODESET, loc));
  ::freelocale(loc);
  if (symbol.empty()) return "?";
  return ORV::OS::CutToUtf16Units(symbol, 13);
}

void WriteFontProperties(XmlWriter& w, const StyleFont& font, std::string_view nameElement, std::uint32_t charset) {
  static constexpr std::array<std::string_view, 8> kFlags = {"b",       "i",      "u",        "strike",
                                                             "outline", "shadow", "condense", "extend"};
  for (std::size_t bit = 0; bit < kFlags.size(); ++bit) {
    if (font.attributes & (1u << bit)) WriteLeaf(w, kFlags[bit]);
  }
  w.BeginLeaf("sz");
  w.Attr("val", font.size);
  w.EndLeaf();
  w.BeginLeaf(nameElement);
  w.Attr("val", font.name.utf8);
  w.EndLeaf();
  w.BeginLeaf("charset");
  w.Attr("val", charset);
  w.EndLeaf();
  w.BeginLeaf("color");
  if (!font.theme && !font.colour.empty())
    w.Attr("rgb", font.colour);
  else
    w.AttrRaw("theme", "1");
  w.EndLeaf();
}

std::uint64_t StyleRegistry::AddStyle(Style& style) {
  CellFormat format;
  format.borderId = FindOrAppend(borders_, style.border);
  format.fontId = FindOrAppend(fonts_, style.font);
  format.fillId = FindOrAppend(fills_, style.fill);

  const NumberFormat& wanted = style.numberFormat;
  const auto found = std::find_if(numberFormats_.begin(), numberFormats_.end(),
                                  [&](const NumberFormat& f) { return f.SameFormat(wanted); });
  if (found != numberFormats_.end()) {
    format.numberFormatId = found->id;
  } else {
    if (style.numberFormat.id >= kFirstCustomFormatId) style.numberFormat.id = nextFormatId_++;
    numberFormats_.push_back(style.numberFormat);
    format.numberFormatId = style.numberFormat.id;
  }

  for (std::size_t i = 0; i < cellFormats_.size(); ++i) {
    if (cellFormats_[i] == format && alignments_[i] == style.alignment) return i;
  }
  cellFormats_.push_back(format);
  alignments_.push_back(style.alignment);
  return cellFormats_.size() - 1;
}

void StyleRegistry::AddWorkbookDefaults() {
  Style general;
  general.numberFormat.id = 0;
  AddStyle(general);
  Style grey;
  grey.numberFormat.id = 1;
  grey.fill.pattern = 17;  // "gray125"
  AddStyle(grey);
}

std::string StyleRegistry::FormatCode(const NumberFormat& format) {
  if (!format.code.empty()) return format.code;
  if (currency_.empty()) currency_ = LocaleCurrencySymbol();
  return BuildFormatCode(format, currency_);
}

bool SaveStyles(TempFileRegistry& registry, StyleRegistry& styles) {
  XmlWriter w(registry.RegisterPartFile("/xl/styles.xml"));
  OpenTag(w, "styleSheet",
          {{"xmlns", Ns::kSpreadsheetMain},
           {"xmlns:mc", Ns::kMarkupCompatibility},
           {"mc:Ignorable", "x14ac"},
           {"xmlns:x14ac", Ns::kSpreadsheetAc}});

  const auto& numberFormats = styles.NumberFormats();
  const auto customCount = static_cast<std::uint64_t>(std::count_if(
      numberFormats.begin(), numberFormats.end(), [](const NumberFormat& f) { return f.id >= kFirstCustomFormatId; }));
  if (customCount != 0) {
    w.Tag("numFmts");
    w.Attr("count", customCount);
    for (const NumberFormat& f : numberFormats) {
      if (f.id < kFirstCustomFormatId) continue;  // built in
      w.BeginLeaf("numFmt");
      w.Attr("numFmtId", f.id);
      w.Attr("formatCode", styles.FormatCode(f));
      w.EndLeaf();
    }
    w.End();
  }

  w.Tag("fonts");
  w.Attr("count", std::uint64_t{styles.Fonts().size()});
  for (const StyleFont& font : styles.Fonts()) {
    w.Tag("font");
    WriteFontProperties(w, font, "name", 204);
    w.End();
  }
  w.End();

  w.Tag("fills");
  w.Attr("count", std::uint64_t{styles.Fills().size()});
  for (const StyleFill& fill : styles.Fills()) {
    w.Tag("fill");
    w.Tag("patternFill");
    w.AttrRaw("patternType", PatternName(fill.pattern));
    if (!fill.background.empty()) {
      w.BeginLeaf("bgColor");
      w.Attr("rgb", fill.background);
      w.EndLeaf();
    }
    if (!fill.foreground.empty()) {
      w.BeginLeaf("fgColor");
      w.Attr("rgb", fill.foreground);
      w.EndLeaf();
    }
    w.End();
    w.End();
  }
  w.End();

  w.Tag("borders");
  w.Attr("count", std::uint64_t{styles.Borders().size()});
  for (const StyleBorder& border : styles.Borders()) {
    w.Tag("border");
    if (border.diagonalUp) w.AttrRaw("diagonalUp", "1");
    if (border.diagonalDown) w.AttrRaw("diagonalDown", "1");
    WriteBorderSide(w, "left", border.left);
    WriteBorderSide(w, "right", border.right);
    WriteBorderSide(w, "top", border.top);
    WriteBorderSide(w, "bottom", border.bottom);
    WriteBorderSide(w, "diagonal", border.diagonal);
    w.End();
  }
  w.End();

  OpenTag(w, "cellStyleXfs", {{"count", "1"}});
  WriteLeaf(w, "xf", {{"numFmtId", "0"}, {"fontId", "0"}, {"fillId", "0"}, {"borderId", "0"}});
  w.End();

  const auto& cellFormats = styles.CellFormats();
  const auto& alignments = styles.Alignments();
  w.Tag("cellXfs");
  w.Attr("count", std::uint64_t{cellFormats.size()});
  for (std::size_t i = 0; i < cellFormats.size(); ++i) {
    const CellFormat& f = cellFormats[i];
    const StyleAlignment& a = alignments[i];
    w.Tag("xf");
    w.Attr("numFmtId", f.numberFormatId);
    w.Attr("fontId", f.fontId);
    w.Attr("fillId", f.fillId);
    w.Attr("borderId", f.borderId);
    if (f.fontId != 0) w.AttrRaw("applyFont", "1");
    if (f.fillId != 0) w.AttrRaw("applyFill", "1");
    if (f.borderId != 0) w.AttrRaw("applyBorder", "1");
    if (f.numberFormatId != 0) w.AttrRaw("applyNumberFormat", "1");
    if (a.horizontal != 0 || a.vertical != 0 || a.wrapText || a.textRotation != 0) {
      w.AttrRaw("applyAlignment", "1");
      w.BeginLeaf("alignment");
      if (!HorizontalName(a.horizontal).empty()) w.AttrRaw("horizontal", HorizontalName(a.horizontal));
      if (!VerticalName(a.vertical).empty()) w.AttrRaw("vertical", VerticalName(a.vertical));
      if (a.wrapText) w.AttrRaw("wrapText", "1");
      if (a.textRotation != 0) w.Attr("textRotation", a.textRotation);
      w.EndLeaf();
    }
    w.End();
  }
  w.End();

  OpenTag(w, "cellStyles", {{"count", "1"}});
  WriteLeaf(w, "cellStyle", {{"name", "Normal"}, {"xfId", "0"}, {"builtinId", "0"}});
  w.End();

  WriteLeaf(w, "dxfs", {{"count", "0"}});
  WriteLeaf(w, "tableStyles",
            {{"count", "0"}, {"defaultTableStyle", "TableStyleMedium2"}, {"defaultPivotStyle", "PivotStyleLight16"}});

  OpenTag(w, "extLst");
  OpenTag(w, "ext", {{"uri", "{EB79DEF2-80B8-43e5-95BD-54CBDDF9020C}"}, {"xmlns:x14", Ns::kSpreadsheetX14}});
  WriteLeaf(w, "x14:slicerStyles", {{"defaultSlicerStyle", "SlicerStyleLight1"}});
  w.End();
  w.End();
  w.End();
  return w.Close();
}

}  // namespace Xlsx
