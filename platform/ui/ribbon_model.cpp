#include "platform/ui/ribbon_model.h"

#include <algorithm>
#include <charconv>
#include <pugixml.hpp>
#include <set>

#include "platform/ui/resources.h"

namespace ORV::UI {

// ---- elements -------------------------------------------------------------

void RibbonElement::Changed(bool layout) {
  if (model_ && model_->onChanged) model_->onChanged(*this, layout);
}

void RibbonElement::SetText(std::string text) {
  if (text_ == text) return;
  text_ = std::move(text);
  Changed();
}

void RibbonElement::SetDescription(std::string text) {
  description_ = std::move(text);
  Changed();
}

void RibbonElement::SetToolTipText(std::string text) {
  toolTip_ = std::move(text);
  Changed();
}

void RibbonElement::SetImageIndex(int index) {
  if (image_ == index) return;
  image_ = index;
  Changed();
}

void RibbonElement::SetVisible(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  Changed(true);
}

void RibbonElement::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  Changed();
}

void RibbonElement::SetChecked(bool checked) {
  if (checked_ == checked) return;
  checked_ = checked;
  Changed();
}

void RibbonElement::AddSubItem(std::unique_ptr<RibbonElement> item) {
  if (!item) return;
  if (model_) model_->Adopt(*item);
  subItems_.push_back(std::move(item));
  Changed(true);
}

void RibbonElement::RemoveSubItems() {
  if (subItems_.empty()) return;
  subItems_.clear();
  Changed(true);
}

void RibbonElement::Redraw() { Changed(); }

void RibbonEdit::SetEditText(std::string text) {
  if (editText_ == text) return;
  editText_ = std::move(text);
  Changed();
}

void RibbonComboBox::AddItem(std::string text) {
  items_.push_back(std::move(text));
  Changed();
}

void RibbonComboBox::RemoveAllItems() {
  items_.clear();
  curSel_ = -1;
  Changed();
}

const std::string& RibbonComboBox::GetItem(int index) const {
  static const std::string kNone;
  return index >= 0 && index < GetCount() ? items_[static_cast<std::size_t>(index)] : kNone;
}

bool RibbonComboBox::SelectItem(int index) {
  if (index < -1 || index >= GetCount()) return false;
  curSel_ = index;
  SetEditText(GetItem(index));
  Changed();
  return true;
}

bool RibbonComboBox::SelectItem(std::string_view text) {
  const auto it = std::find(items_.begin(), items_.end(), text);
  return it != items_.end() && SelectItem(static_cast<int>(it - items_.begin()));
}

void RibbonComboBox::SetEditable(bool editable) {
  editable_ = editable;
  Changed();
}

void RibbonSlider::SetRange(int minimum, int maximum) {
  if (minimum > maximum) std::swap(minimum, maximum);
  min_ = minimum;
  max_ = maximum;
  pos_ = std::clamp(pos_, min_, max_);
  Changed();
}

void RibbonSlider::SetPos(int pos) {
  pos_ = std::clamp(pos, min_, max_);
  Changed();
}

void RibbonSlider::SetPageSize(int page) {
  page_ = std::max(page, 1);
  Changed();
}

void RibbonColorButton::SetPalette(std::vector<Swatch> palette) {
  palette_ = std::move(palette);
  Changed();
}

bool RibbonColorButton::SetColorName(COLORREF color, std::string name) {
  bool found = false;
  for (auto& swatch : palette_) {
    if (swatch.color != color) continue;
    swatch.name = name;
    found = true;
  }
  if (found) Changed();
  return found;
}

void RibbonColorButton::SetColor(COLORREF color) {
  color_ = color;
  Changed();
}

// ---- reading the layout ---------------------------------------------------

class RibbonXmlReader {
 public:
  explicit RibbonXmlReader(RibbonModel& model) : model_(model) {}

  bool Read(std::string_view xml, std::string& error) {
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = doc.load_buffer(xml.data(), xml.size());
    if (!parsed) {
      error = "the ribbon layout is not well-formed XML (" + std::string(parsed.description()) + " at offset " +
              std::to_string(parsed.offset) + ")";
      return false;
    }
    const pugi::xml_node root = doc.child("ribbon");
    if (!root) return Fail("the ribbon layout has no <ribbon> element", error);
    try {
      for (const auto& mode : root.child("modes").children("mode")) ReadMode(mode);
      for (const auto& image : root.child("images").children("image")) ReadImage(image);
      if (const auto app = root.child("application")) ReadApplication(app);
      for (const auto& node : root.children()) {
        const std::string_view name = node.name();
        if (name == "tab")
          ReadTab(node);
        else if (name != "modes" && name != "images" && name != "application")
          throw Error(node, "unknown element <" + std::string(name) + ">");
      }
      if (model_.tabs_.empty()) throw Error(root, "the ribbon has no tab");
    } catch (const Error& e) {
      error = e.what;
      return false;
    }
    return true;
  }

 private:
  struct Error {
    Error(const pugi::xml_node& node, const std::string& why) {
      what = "ribbon layout, <" + std::string(node.name()) + ">";
      if (const auto name = node.attribute("name")) what += " \"" + std::string(name.value()) + "\"";
      if (const auto text = node.attribute("text")) what += " \"" + std::string(text.value()) + "\"";
      if (const auto id = node.attribute("id")) what += " id " + std::string(id.value());
      what += ": " + why;
    }
    std::string what;
  };

  static bool Fail(const std::string& why, std::string& error) {
    error = why;
    return false;
  }

  static long long Number(const pugi::xml_node& node, const char* attribute, long long low, long long high,
                          long long fallback, bool required = false) {
    const pugi::xml_attribute a = node.attribute(attribute);
    if (!a) {
      if (required) throw Error(node, std::string("no ") + attribute);
      return fallback;
    }
    const std::string_view text = a.value();
    long long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high)
      throw Error(node, std::string(attribute) + " \"" + std::string(text) + "\" is not a number from " +
                            std::to_string(low) + " to " + std::to_string(high));
    return value;
  }

  CommandId Id(const pugi::xml_node& node, const char* attribute = "id", bool required = true) {
    const auto id = static_cast<CommandId>(Number(node, attribute, 1, 0xFFFF, 0, required));
    if (id != 0 && !ids_.insert(id).second) throw Error(node, "the id " + std::to_string(id) + " is used twice");
    return id;
  }

  void ReadMode(const pugi::xml_node& node) {
    const auto bit = static_cast<std::uint32_t>(Number(node, "bit", 1, 0x80000000LL, 0, true));
    if ((bit & (bit - 1)) != 0) throw Error(node, "a mode's bit must be a power of two");
    const std::string name = node.attribute("name").value();
    if (name.empty()) throw Error(node, "a mode needs a name");
    model_.modes_.emplace_back(name, bit);
  }

  void ReadImage(const pugi::xml_node& node) {
    const int index = static_cast<int>(Number(node, "index", 0, 9999, 0, true));
    const std::string icon = node.attribute("icon").value();
    if (icon.empty()) throw Error(node, "an image needs an icon");
    if (!model_.images_.emplace(index, icon).second) throw Error(node, "image index given twice");
  }

  void ReadApplication(const pugi::xml_node& node) {
    auto& app = model_.app_;
    if (const auto text = node.attribute("text")) app.text = text.value();
    if (const auto keys = node.attribute("keys")) app.keys = keys.value();
    for (const auto& child : node.children()) {
      if (std::string_view(child.name()) == "recent") {
        app.recentFirst = static_cast<CommandId>(Number(child, "first-id", 1, 0xFFFF, 0, true));
        app.recentCount = static_cast<int>(Number(child, "count", 1, 16, 4));
        app.recentIndex = app.items.size();
        for (int i = 0; i < app.recentCount; ++i)
          if (!ids_.insert(app.recentFirst + static_cast<CommandId>(i)).second)
            throw Error(child, "a recent-file id is used twice");
        continue;
      }
      app.items.push_back(ReadElement(child, false));
    }
  }

  void ReadTab(const pugi::xml_node& node) {
    RibbonModel::Tab tab;
    tab.name = node.attribute("name").value();
    tab.keys = node.attribute("keys").value();
    if (tab.name.empty()) throw Error(node, "a tab needs a name");
    for (const auto& child : node.children()) {
      if (std::string_view(child.name()) != "panel") throw Error(child, "a tab holds only panels");
      RibbonModel::Panel panel;
      panel.name = child.attribute("name").value();
      if (panel.name.empty()) throw Error(child, "a panel needs a name");
      for (const auto& element : child.children()) panel.elements.push_back(ReadElement(element, true));
      if (panel.elements.empty()) throw Error(child, "the panel is empty");
      tab.panels.push_back(std::move(panel));
    }
    if (tab.panels.empty()) throw Error(node, "the tab has no panel");
    model_.tabs_.push_back(std::move(tab));
  }

  std::unique_ptr<RibbonElement> ReadElement(const pugi::xml_node& node, bool inPanel) {
    const std::string_view kind = node.name();
    std::unique_ptr<RibbonElement> element;
    if (kind == "button") {
      element = std::make_unique<RibbonButton>(Id(node));
    } else if (kind == "separator") {
      element = std::make_unique<RibbonSeparator>();
    } else if (!inPanel) {
      throw Error(node, "the main button's menu holds only buttons, separators and recent files");
    } else if (kind == "check") {
      element = std::make_unique<RibbonCheckBox>(Id(node));
    } else if (kind == "label") {
      element = std::make_unique<RibbonLabel>();
    } else if (kind == "edit") {
      auto edit = std::make_unique<RibbonEdit>(Id(node));
      edit->width_ = static_cast<int>(Number(node, "width", 16, 600, 80));
      element = std::move(edit);
    } else if (kind == "combo") {
      auto combo = std::make_unique<RibbonComboBox>(Id(node));
      combo->width_ = static_cast<int>(Number(node, "width", 16, 600, 100));
      combo->editable_ = node.attribute("editable").as_bool(false);
      element = std::move(combo);
    } else if (kind == "slider") {
      auto slider = std::make_unique<RibbonSlider>(Id(node));
      slider->width_ = static_cast<int>(Number(node, "width", 16, 600, 120));
      slider->min_ = static_cast<int>(Number(node, "min", -1000000, 1000000, 0));
      slider->max_ = static_cast<int>(Number(node, "max", slider->min_, 1000000, std::max(slider->min_, 100)));
      slider->page_ = static_cast<int>(Number(node, "page", 1, 1000000, 10));
      slider->pos_ = slider->min_;
      element = std::move(slider);
    } else if (kind == "color") {
      element = ReadColor(node);
    } else {
      throw Error(node, "unknown element kind");
    }
    ReadCommon(node, *element);
    if (kind == "button")
      for (const auto& child : node.children()) element->subItems_.push_back(ReadElement(child, false));
    return element;
  }

  std::unique_ptr<RibbonElement> ReadColor(const pugi::xml_node& node) {
    auto color = std::make_unique<RibbonColorButton>(Id(node));
    color->pickerId_ = Id(node, "picker", false);
    color->defaultId_ = Id(node, "default", false);
    color->pickerText_ = node.attribute("picker-text").value();
    color->defaultText_ = node.attribute("default-text").value();
    for (const auto& swatch : node.children()) {
      if (std::string_view(swatch.name()) != "swatch") throw Error(swatch, "a colour button holds only swatches");
      const std::string_view text = swatch.attribute("color").value();
      unsigned rgb = 0;
      const auto [end, ec] = text.size() == 7 && text[0] == '#'
                                 ? std::from_chars(text.data() + 1, text.data() + 7, rgb, 16)
                                 : std::from_chars_result{text.data(), std::errc::invalid_argument};
      if (ec != std::errc() || end != text.data() + text.size()) throw Error(swatch, "a colour is written #RRGGBB");
      const COLORREF c = ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
      color->palette_.push_back({c, swatch.attribute("name").value()});
    }
    if (!color->palette_.empty()) color->color_ = color->palette_.front().color;
    return color;
  }

  void ReadCommon(const pugi::xml_node& node, RibbonElement& element) {
    element.text_ = node.attribute("text").value();
    element.description_ = node.attribute("description").value();
    element.toolTip_ = node.attribute("tooltip").value();
    element.keys_ = node.attribute("keys").value();
    element.shortcut_ = node.attribute("shortcut").value();
    static constexpr std::string_view kShortcuts[] = {"New", "Open", "Save", "SaveAs", "Quit"};
    if (!element.shortcut_.empty() &&
        std::find(std::begin(kShortcuts), std::end(kShortcuts), element.shortcut_) == std::end(kShortcuts))
      throw Error(node, "a shortcut is New, Open, Save, SaveAs or Quit");
    element.image_ = static_cast<int>(Number(node, "image", -1, 9999, -1));
    if (element.image_ >= 0 && !model_.images_.contains(element.image_))
      throw Error(node, "image " + std::to_string(element.image_) + " is not in the image list");
    const std::string_view size = node.attribute("size").as_string("small");
    if (size != "small" && size != "large") throw Error(node, "size is \"small\" or \"large\"");
    element.large_ = size == "large";
    std::string_view modes = node.attribute("modes").value();
    while (!modes.empty()) {
      const std::size_t comma = modes.find(',');
      std::string_view name = modes.substr(0, comma);
      while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
      while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
      const std::uint32_t bit = model_.ModeBit(name);
      if (bit == 0) throw Error(node, "unknown mode \"" + std::string(name) + "\"");
      element.modes_ |= bit;
      modes = comma == std::string_view::npos ? std::string_view() : modes.substr(comma + 1);
    }
  }

  RibbonModel& model_;
  std::set<CommandId> ids_;
};

// ---- the model ------------------------------------------------------------

RibbonModel::RibbonModel() = default;
RibbonModel::~RibbonModel() = default;

void RibbonModel::Clear() {
  tabs_.clear();
  app_ = ApplicationMenu();
  images_.clear();
  modes_.clear();
  appModes_ = ~0u;
  recent_.clear();
}

void RibbonModel::Adopt(RibbonElement& element) {
  element.model_ = this;
  for (auto& sub : element.subItems_) Adopt(*sub);
}

bool RibbonModel::LoadXml(std::string_view xml, std::string* error) {
  Clear();
  std::string why;
  if (!RibbonXmlReader(*this).Read(xml, why)) {
    Clear();
    if (error) *error = why;
    if (onReset) onReset();
    return false;
  }
  for (RibbonElement* element : AllElements()) element->model_ = this;
  if (onReset) onReset();
  return true;
}

bool RibbonModel::LoadProgramRibbon(std::string* error) {
  const auto xml = FindResource("ribbon.xml");
  if (!xml) {
    Clear();
    if (error) *error = "the ribbon layout (ribbon.xml) is missing from the program";
    return false;
  }
  return LoadXml(*xml, error);
}

std::string RibbonModel::ImageIcon(int index) const {
  const auto it = images_.find(index);
  return it == images_.end() ? std::string() : it->second;
}

namespace {
void Collect(const std::vector<std::unique_ptr<RibbonElement>>& elements, std::vector<RibbonElement*>& out) {
  for (const auto& element : elements) {
    out.push_back(element.get());
    Collect(element->SubItems(), out);
  }
}
}  // namespace

std::vector<RibbonElement*> RibbonModel::AllElements() const {
  std::vector<RibbonElement*> out;
  Collect(app_.items, out);
  for (const auto& tab : tabs_)
    for (const auto& panel : tab.panels) Collect(panel.elements, out);
  return out;
}

RibbonElement* RibbonModel::FindByID(CommandId id) const {
  if (id == 0) return nullptr;
  for (RibbonElement* element : AllElements())
    if (element->Id() == id) return element;
  return nullptr;
}

std::uint32_t RibbonModel::ModeBit(std::string_view name) const {
  for (const auto& [mode, bit] : modes_)
    if (mode == name) return bit;
  return 0;
}

void RibbonModel::SetApplicationModes(std::uint32_t modes) {
  appModes_ = modes;
  if (onReset) onReset();
}

bool RibbonModel::IsShown(const RibbonElement& element) const {
  return element.IsVisible() && (element.Modes() == 0 || (element.Modes() & appModes_) != 0);
}

void RibbonModel::SetRecentFiles(std::vector<std::string> paths) {
  if (static_cast<int>(paths.size()) > app_.recentCount) paths.resize(static_cast<std::size_t>(app_.recentCount));
  recent_ = std::move(paths);
  if (onReset) onReset();
}

}  // namespace ORV::UI
