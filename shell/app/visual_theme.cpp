#include "shell/app/visual_theme.h"

#include <QApplication>
#include <QStyleFactory>
#include <utility>

namespace ORV::Shell {
namespace {

// The gallery: each command with the look value(s) it carries, in order.
struct GalleryRow {
  UI::CommandId command;
  std::vector<int> values;
};
const std::vector<GalleryRow>& Gallery() {
  static const std::vector<GalleryRow> rows = {
      {32838, {5}},    {32839, {6}},  {32840, {8}},  {32841, {7}},
      {32842, {9999}}, {32843, {13}}, {32844, {15}}, {32845, {14}},
      {32846, {19}},   {32847, {20}}, {32848, {21}}, {32849, {25}},
      {32850, {27}},   {32851, {26}}, {32852, {28}}, {32853, {12, 35, 32, 33, 34, 31, 30, 29}},
  };
  return rows;
}

// The colours a look is drawn with.
struct LookColors {
  int value;
  QRgb window;     // frames, panes, dialogs
  QRgb base;       // edit fields and lists
  QRgb button;     // buttons and bars
  QRgb text;       // text on all of them
  QRgb highlight;  // selection and the default button
};

constexpr LookColors kLooks[] = {
    {5, 0xFFD5E4F2, 0xFFFFFFFF, 0xFFE3EDF8, 0xFF15428B, 0xFF3D7BC8},     // blue
    {6, 0xFF535353, 0xFF3C3C3C, 0xFF6A6A6A, 0xFFF0F0F0, 0xFFE8A33C},     // black
    {8, 0xFFDDE1E6, 0xFFFFFFFF, 0xFFEDEFF2, 0xFF3B3B3B, 0xFF6E8FB5},     // silver
    {7, 0xFFD0E8E6, 0xFFFFFFFF, 0xFFE2F1EF, 0xFF24443F, 0xFF2E8C80},     // aqua
    {9999, 0xFFD5E4F2, 0xFFFFFFFF, 0xFFE3EDF8, 0xFF15428B, 0xFF3D7BC8},  // custom blue
    {13, 0xFFCFDDEE, 0xFFFFFFFF, 0xFFE4ECF7, 0xFF1E395B, 0xFF2B579A},    // blue
    {15, 0xFF444444, 0xFF333333, 0xFF5A5A5A, 0xFFEDEDED, 0xFFD29A3A},    // black
    {14, 0xFFE9ECEE, 0xFFFFFFFF, 0xFFF3F4F5, 0xFF3C3C3C, 0xFF5B7FA8},    // silver
    {19, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFF3F3F3, 0xFF262626, 0xFF2B579A},    // white
    {20, 0xFFF3F3F3, 0xFFFFFFFF, 0xFFE6E6E6, 0xFF262626, 0xFF2B579A},    // light grey
    {21, 0xFFD4D4D4, 0xFFF7F7F7, 0xFFC6C6C6, 0xFF1E1E1E, 0xFF2B579A},    // dark grey
    {25, 0xFFE6E6E6, 0xFFFFFFFF, 0xFFF3F3F3, 0xFF262626, 0xFF2B579A},    // colourful
    {27, 0xFF6A6A6A, 0xFF4B4B4B, 0xFF7D7D7D, 0xFFF3F3F3, 0xFF8CB4E6},    // dark grey
    {26, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFF3F3F3, 0xFF262626, 0xFF2B579A},    // white
    {28, 0xFF262626, 0xFF1F1F1F, 0xFF363636, 0xFFF0F0F0, 0xFF4F8AD6},    // black
    {12, 0xFFEAF1FB, 0xFFFFFFFF, 0xFFF4F8FD, 0xFF1E395B, 0xFF3399FF},    // light
    {35, 0xFF2D2D30, 0xFF1E1E1E, 0xFF3E3E42, 0xFFF1F1F1, 0xFF007ACC},    // dark
    {32, 0xFFEEEEF2, 0xFFFFFFFF, 0xFFF5F5F5, 0xFF1E1E1E, 0xFF007ACC},    // light
    {33, 0xFFCFD6E5, 0xFFFFFFFF, 0xFFE6EBF5, 0xFF1E1E1E, 0xFF3399FF},    // blue
    {34, 0xFF252526, 0xFF1E1E1E, 0xFF333337, 0xFFF1F1F1, 0xFF0E639C},    // dark
    {31, 0xFFF5F5F5, 0xFFFFFFFF, 0xFFEBEBEB, 0xFF1E1E1E, 0xFF0078D7},    // white
    {30, 0xFFE8E8EC, 0xFFFFFFFF, 0xFFF0F0F3, 0xFF1E1E1E, 0xFF0078D7},    // light grey
    {29, 0xFFF0F3F9, 0xFFFFFFFF, 0xFFF8F9FC, 0xFF1B1B1B, 0xFF2B6CC4},    // the 2019 look
};

QPalette PaletteOf(const LookColors& look) {
  const QColor window(look.window), base(look.base), button(look.button), text(look.text), highlight(look.highlight);
  QPalette p(button, window);
  p.setColor(QPalette::Base, base);
  p.setColor(QPalette::AlternateBase, window);
  p.setColor(QPalette::Text, text);
  p.setColor(QPalette::WindowText, text);
  p.setColor(QPalette::ButtonText, text);
  p.setColor(QPalette::ToolTipBase, base);
  p.setColor(QPalette::ToolTipText, text);
  p.setColor(QPalette::PlaceholderText, QColor(0x80, 0x80, 0x80));
  p.setColor(QPalette::Highlight, highlight);
  p.setColor(QPalette::HighlightedText, QColor(Qt::white));
  p.setColor(QPalette::Link, highlight);
  // Disabled text is half way between the text and its background.
  const auto mix = [](const QColor& a, const QColor& b) {
    return QColor((a.red() + b.red()) / 2, (a.green() + b.green()) / 2, (a.blue() + b.blue()) / 2);
  };
  p.setColor(QPalette::Disabled, QPalette::Text, mix(text, base));
  p.setColor(QPalette::Disabled, QPalette::WindowText, mix(text, window));
  p.setColor(QPalette::Disabled, QPalette::ButtonText, mix(text, button));
  return p;
}

}  // namespace

QPalette VisualManager::Palette(int value) const {
  for (const LookColors& look : kLooks) {
    if (look.value == value) return PaletteOf(look);
  }
  return PaletteOf(kLooks[std::size(kLooks) - 1]);
}

void VisualThemes::AddVisualTheme(int value, UI::CommandId command) { themes_.push_back({value, command}); }

void VisualThemes::RegisterProgramThemes() {
  for (const GalleryRow& row : Gallery()) {
    for (int value : row.values) AddVisualTheme(value, row.command);
  }
}

void VisualThemes::SetVisualTheme(int value, std::unique_ptr<VisualManager> manager) {
  current_ = value;
  manager_ = manager ? std::move(manager) : std::make_unique<VisualManager>();
  if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return;
  // Fusion draws every control from the palette, so the look reaches the
  // program's own dialogs and controls too.
  if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) QApplication::setStyle(fusion);
  QApplication::setPalette(manager_->Palette(value));
}

std::vector<int> VisualThemes::ThemesOf(UI::CommandId command) const {
  std::vector<int> values;
  for (const VisualThemeEntry& e : themes_) {
    if (e.command == command) values.push_back(e.value);
  }
  return values;
}

}  // namespace ORV::Shell
