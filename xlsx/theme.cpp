#include "xlsx/theme.h"

#include <string_view>

#include "xlsx/namespaces.h"
#include "xlsx/xml_writer.h"

namespace Xlsx {

namespace {

using Attribute = RawAttribute;

// The placeholder colour with its modifiers ("a:tint", "a:shade", ...).
void PlaceholderColour(XmlWriter& w, std::initializer_list<Attribute> modifiers) {
  OpenTag(w, "a:schemeClr", {{"val", "phClr"}});
  for (const auto& [modifier, value] : modifiers) WriteLeaf(w, modifier, {{"val", value}});
  w.End();
}

struct GradientStop {
  std::string_view pos;
  std::initializer_list<Attribute> modifiers;
};

void GradientStops(XmlWriter& w, std::initializer_list<GradientStop> stops) {
  OpenTag(w, "a:gsLst");
  for (const GradientStop& stop : stops) {
    OpenTag(w, "a:gs", {{"pos", stop.pos}});
    PlaceholderColour(w, stop.modifiers);
    w.End();
  }
  w.End();
}

void ColourScheme(XmlWriter& w) {
  OpenTag(w, "a:clrScheme", {{"name", "Office"}});
  OpenTag(w, "a:dk1");
  WriteLeaf(w, "a:sysClr", {{"val", "windowText"}, {"lastClr", "000000"}});
  w.End();
  OpenTag(w, "a:lt1");
  WriteLeaf(w, "a:sysClr", {{"val", "window"}, {"lastClr", "FFFFFF"}});
  w.End();
  static constexpr Attribute kSlots[] = {{"a:dk2", "1F497D"},     {"a:lt2", "EEECE1"},     {"a:accent1", "4F81BD"},
                                         {"a:accent2", "C0504D"}, {"a:accent3", "9BBB59"}, {"a:accent4", "8064A2"},
                                         {"a:accent5", "4BACC6"}, {"a:accent6", "F79646"}, {"a:hlink", "0000FF"},
                                         {"a:folHlink", "800080"}};
  for (const auto& [slot, rgb] : kSlots) {
    OpenTag(w, slot);
    WriteLeaf(w, "a:srgbClr", {{"val", rgb}});
    w.End();
  }
  w.End();
}

void ThemeFont(XmlWriter& w, std::string_view element) {
  static constexpr Attribute kScripts[] = {{"Arab", "Times New Roman"},
                                           {"Herb", "Times New Roman"},
                                           {"Thai", "Tahoma"},
                                           {"Ethi", "Nyala"},
                                           {"Beng", "Vrinda"},
                                           {"Gujr", "Shruti"},
                                           {"Khmr", "MoolBoran"},
                                           {"Knda", "Tunga"},
                                           {"Guru", "Raavi"},
                                           {"Cans", "Euphemia"},
                                           {"Cher", "Plantagenet Cherokee"},
                                           {"Yiii", "Microsoft Yi Baiti"},
                                           {"Tibt", "Microsoft Himalaya"},
                                           {"Thaa", "MV Boli"},
                                           {"Deva", "Mangal"},
                                           {"Telu", "Gautami"},
                                           {"Taml", "Latha"},
                                           {"Syrc", "Estrangelo Edessa"},
                                           {"Orya", "Kalinga"},
                                           {"Mlym", "Kartika"},
                                           {"Laoo", "DokChampa"},
                                           {"Sinh", "Iskoola Pota"},
                                           {"Mong", "Mongolian Baiti"},
                                           {"Viet", "Times New Roman"},
                                           {"Uigh", "Microsoft Uighur"},
                                           {"Geor", "Sylfaen"}};
  OpenTag(w, element);
  WriteLeaf(w, "a:latin", {{"typeface", "Cambria"}});
  WriteLeaf(w, "a:ea", {{"typeface", ""}});
  WriteLeaf(w, "a:cs", {{"typeface", ""}});
  for (const auto& [script, typeface] : kScripts) WriteLeaf(w, "a:font", {{"script", script}, {"typeface", typeface}});
  w.End();
}

void SolidPlaceholderFill(XmlWriter& w, std::initializer_list<Attribute> modifiers = {}) {
  OpenTag(w, "a:solidFill");
  PlaceholderColour(w, modifiers);
  w.End();
}

void FormatScheme(XmlWriter& w) {
  OpenTag(w, "a:fmtScheme", {{"name", "Office"}});

  OpenTag(w, "a:fillStyleLst");
  SolidPlaceholderFill(w);
  OpenTag(w, "a:gradFill", {{"rotWithShape", "1"}});
  GradientStops(w, {{"0", {{"a:tint", "50000"}, {"a:satMod", "300000"}}},
                    {"35000", {{"a:tint", "37000"}, {"a:satMod", "300000"}}},
                    {"100000", {{"a:tint", "15000"}, {"a:satMod", "350000"}}}});
  WriteLeaf(w, "a:lin", {{"ang", "16200000"}, {"scaled", "1"}});
  w.End();
  OpenTag(w, "a:gradFill", {{"rotWithShape", "1"}});
  GradientStops(w, {{"0", {{"a:shade", "51000"}, {"a:satMod", "130000"}}},
                    {"80000", {{"a:shade", "93000"}, {"a:satMod", "130000"}}},
                    {"100000", {{"a:shade", "94000"}, {"a:satMod", "135000"}}}});
  WriteLeaf(w, "a:lin", {{"ang", "16200000"}, {"scaled", "0"}});
  w.End();
  w.End();

  OpenTag(w, "a:lnStyleLst");
  for (std::string_view width : {"9525", "25400", "38100"}) {
    OpenTag(w, "a:ln", {{"w", width}, {"cap", "flat"}, {"cmpd", "sng"}, {"algn", "ctr"}});
    if (width == "9525")
      SolidPlaceholderFill(w, {{"a:shade", "95000"}, {"a:satMod", "105000"}});
    else
      SolidPlaceholderFill(w);
    WriteLeaf(w, "a:prstDash", {{"val", "solid"}});
    w.End();
  }
  w.End();

  OpenTag(w, "a:effectStyleLst");
  for (int style = 0; style < 3; ++style) {
    OpenTag(w, "a:effectStyle");
    OpenTag(w, "a:effectLst");
    OpenTag(
        w, "a:outerShdw",
        {{"blurRad", "40000"}, {"dist", style == 0 ? "20000" : "23000"}, {"dir", "5400000"}, {"rotWithShape", "0"}});
    OpenTag(w, "a:srgbClr", {{"val", "000000"}});
    WriteLeaf(w, "a:alpha", {{"val", style == 0 ? "38000" : "35000"}});
    w.End();
    w.End();
    w.End();
    if (style == 2) {
      OpenTag(w, "a:scene3d");
      OpenTag(w, "a:camera", {{"prst", "orthographicFront"}});
      WriteLeaf(w, "a:rot", {{"lat", "0"}, {"lon", "0"}, {"rev", "0"}});
      w.End();
      OpenTag(w, "a:lightRig", {{"rig", "threePt"}, {"dir", "t"}});
      WriteLeaf(w, "a:rot", {{"lat", "0"}, {"lon", "0"}, {"rev", "1200000"}});
      w.End();
      w.End();
      OpenTag(w, "a:sp3d");
      WriteLeaf(w, "a:bevelT", {{"w", "63500"}, {"h", "25400"}});
      w.End();
    }
    w.End();
  }
  w.End();

  OpenTag(w, "a:bgFillStyleLst");
  SolidPlaceholderFill(w);
  OpenTag(w, "a:gradFill", {{"rotWithShape", "1"}});
  GradientStops(w, {{"0", {{"a:tint", "40000"}, {"a:satMod", "350000"}}},
                    {"40000", {{"a:tint", "45000"}, {"a:shade", "99000"}, {"a:satMod", "350000"}}},
                    {"100000", {{"a:shade", "20000"}, {"a:satMod", "255000"}}}});
  OpenTag(w, "a:path", {{"path", "circle"}});
  WriteLeaf(w, "a:fillToRect", {{"l", "50000"}, {"t", "-80000"}, {"r", "50000"}, {"b", "180000"}});
  w.End();
  w.End();
  OpenTag(w, "a:gradFill", {{"rotWithShape", "1"}});
  GradientStops(w, {{"0", {{"a:tint", "80000"}, {"a:satMod", "300000"}}},
                    {"100000", {{"a:shade", "30000"}, {"a:satMod", "200000"}}}});
  OpenTag(w, "a:path", {{"path", "circle"}});
  WriteLeaf(w, "a:fillToRect", {{"l", "50000"}, {"t", "50000"}, {"r", "50000"}, {"b", "50000"}});
  w.End();
  w.End();
  w.End();

  w.End();
}

}  // namespace

bool SaveTheme(TempFileRegistry& registry) {
  XmlWriter w(registry.RegisterPartFile("/xl/theme/theme1.xml"));
  OpenTag(w, "a:theme", {{"xmlns:a", Ns::kDrawingMain}, {"name", "Office Theme"}});
  OpenTag(w, "a:themeElements");
  ColourScheme(w);
  OpenTag(w, "a:fontScheme", {{"name", "Office"}});
  ThemeFont(w, "a:majorFont");
  ThemeFont(w, "a:minorFont");
  w.End();
  FormatScheme(w);
  w.End();
  WriteLeaf(w, "a:objectDefaults");
  WriteLeaf(w, "a:extraClrSchemeLst");
  w.End();
  return w.Close();
}

}  // namespace Xlsx
