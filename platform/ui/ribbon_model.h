#pragma once
// The ribbon's content without widgets: tabs of panels of elements, the main
// (application) button's menu, the image list and the application modes, as
// read from the program's ribbon layout (resources/ribbon.xml). RibbonBar
// (ribbon_bar.h) shows a model; tests drive the model alone.
//
// The layout file:
//   <ribbon>
//     <modes> <mode bit="1" name="Show"/> ... </modes>      up to 32 named bits
//     <images> <image index="28" icon="start"/> ... </images>
//                                  index -> resources/icons/ribbon/<icon>.svg
//     <application text="File" keys="F">                    the main button
//       <button id=".." text=".." image=".."/> <separator/> <recent first-id=".." count=".."/>
//     </application>
//     <tab name="Home" keys="H">
//       <panel name="Markers">
//         <button id text image size="large|small" tooltip description modes keys shortcut>
//           <button .../>                                  sub-items (a drop-down menu)
//         </button>
//         <check id text/>          <label text/>
//         <combo id text width editable="true|false"/>    <edit id text width/>
//         <slider id width min max page/>
//         <color id text image picker picker-text default default-text>
//           <swatch color="#RRGGBB" name=".."/> ...        the named palette
//         </color>
//       </panel>
//     </tab>
//   </ribbon>
// `shortcut` names the desktop's standard key of the element's command (New,
// Open, Save, SaveAs or Quit; the usual Linux key where the desktop has
// none); it runs the command wherever the focus is in the window. `modes` is a comma-separated list of mode names; an
// element with modes is shown only while one of them is among the application modes, one without modes always. Ids are
// unique across the file.
//
// Changes to an element call the model's change callback (the bar redraws
// the element); visibility changes ask for a new layout.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/command_router.h"
#include "platform/ui/painting.h"

namespace ORV::UI {

class RibbonModel;

enum class RibbonKind { Button, CheckBox, ComboBox, Edit, Slider, ColorButton, Label, Separator };

class RibbonElement {
 public:
  RibbonElement(RibbonKind kind, CommandId id) : kind_(kind), id_(id) {}
  virtual ~RibbonElement() = default;
  RibbonElement(const RibbonElement&) = delete;
  RibbonElement& operator=(const RibbonElement&) = delete;

  RibbonKind Kind() const { return kind_; }
  CommandId Id() const { return id_; }

  const std::string& Text() const { return text_; }
  void SetText(std::string text);
  const std::string& Description() const { return description_; }
  void SetDescription(std::string text);
  const std::string& ToolTipText() const { return toolTip_; }
  void SetToolTipText(std::string text);
  // Index into the ribbon's image list; -1 for none.
  int ImageIndex() const { return image_; }
  void SetImageIndex(int index);
  bool IsLarge() const { return large_; }
  const std::string& Keys() const { return keys_; }
  // The standard key's name (`shortcut`); empty for none.
  const std::string& Shortcut() const { return shortcut_; }

  // The element's own visibility; the application modes decide as well
  // (RibbonModel::IsShown).
  bool IsVisible() const { return visible_; }
  void SetVisible(bool visible);
  std::uint32_t Modes() const { return modes_; }

  // State given by the command's update handler.
  bool IsEnabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  bool IsChecked() const { return checked_; }
  void SetChecked(bool checked);

  // Sub-items: the entries of the element's drop-down menu.
  const std::vector<std::unique_ptr<RibbonElement>>& SubItems() const { return subItems_; }
  void AddSubItem(std::unique_ptr<RibbonElement> item);
  void RemoveSubItems();

  // Asks the bar to draw the element again.
  void Redraw();

 protected:
  void Changed(bool layout = false);

 private:
  friend class RibbonModel;
  friend class RibbonXmlReader;
  RibbonKind kind_;
  CommandId id_;
  std::string text_, description_, toolTip_, keys_, shortcut_;
  int image_ = -1;
  bool large_ = false;
  bool visible_ = true;
  bool enabled_ = true;
  bool checked_ = false;
  std::uint32_t modes_ = 0;
  std::vector<std::unique_ptr<RibbonElement>> subItems_;
  RibbonModel* model_ = nullptr;
};

class RibbonButton : public RibbonElement {
 public:
  explicit RibbonButton(CommandId id, std::string text = {}) : RibbonElement(RibbonKind::Button, id) {
    SetText(std::move(text));
  }
};

class RibbonCheckBox : public RibbonElement {
 public:
  explicit RibbonCheckBox(CommandId id) : RibbonElement(RibbonKind::CheckBox, id) {}
};

class RibbonLabel : public RibbonElement {
 public:
  RibbonLabel() : RibbonElement(RibbonKind::Label, 0) {}
};

class RibbonSeparator : public RibbonElement {
 public:
  RibbonSeparator() : RibbonElement(RibbonKind::Separator, 0) {}
};

// A one-line text field with a caption (Text()) before it.
class RibbonEdit : public RibbonElement {
 public:
  explicit RibbonEdit(CommandId id, RibbonKind kind = RibbonKind::Edit) : RibbonElement(kind, id) {}
  const std::string& GetEditText() const { return editText_; }
  void SetEditText(std::string text);
  // Field width at 96 DPI.
  int Width() const { return width_; }

 private:
  friend class RibbonXmlReader;
  std::string editText_;
  int width_ = 80;
};

// A drop-down list; an editable one also takes typed text (its edit text).
class RibbonComboBox : public RibbonEdit {
 public:
  explicit RibbonComboBox(CommandId id) : RibbonEdit(id, RibbonKind::ComboBox) {}
  void AddItem(std::string text);
  void RemoveAllItems();
  int GetCount() const { return static_cast<int>(items_.size()); }
  const std::string& GetItem(int index) const;  // empty when out of range
  // Selects by index (-1 for none); false for an index out of range.
  bool SelectItem(int index);
  // Selects the first item with that text; false when there is none.
  bool SelectItem(std::string_view text);
  int GetCurSel() const { return curSel_; }
  bool IsEditable() const { return editable_; }
  void SetEditable(bool editable);

 private:
  friend class RibbonXmlReader;
  std::vector<std::string> items_;
  int curSel_ = -1;
  bool editable_ = false;
};

class RibbonSlider : public RibbonElement {
 public:
  explicit RibbonSlider(CommandId id) : RibbonElement(RibbonKind::Slider, id) {}
  // A reversed range is put in order; the position is kept inside it.
  void SetRange(int minimum, int maximum);
  int GetRangeMin() const { return min_; }
  int GetRangeMax() const { return max_; }
  // Clamped to the range.
  void SetPos(int pos);
  int GetPos() const { return pos_; }
  // At least 1.
  void SetPageSize(int page);
  int GetPageSize() const { return page_; }
  int Width() const { return width_; }

 private:
  friend class RibbonXmlReader;
  int min_ = 0, max_ = 100, pos_ = 0, page_ = 10;
  int width_ = 120;
};

// A colour button: a named palette, the chosen colour, and two sub-commands
// shown under the palette (open a colour picker; go back to the default).
class RibbonColorButton : public RibbonElement {
 public:
  struct Swatch {
    COLORREF color;
    std::string name;
  };
  explicit RibbonColorButton(CommandId id) : RibbonElement(RibbonKind::ColorButton, id) {}
  const std::vector<Swatch>& Palette() const { return palette_; }
  void SetPalette(std::vector<Swatch> palette);
  // Names the palette's entries of that colour; false when there is none.
  bool SetColorName(COLORREF color, std::string name);
  COLORREF GetColor() const { return color_; }
  void SetColor(COLORREF color);
  CommandId PickerId() const { return pickerId_; }
  const std::string& PickerText() const { return pickerText_; }
  CommandId DefaultId() const { return defaultId_; }
  const std::string& DefaultText() const { return defaultText_; }

 private:
  friend class RibbonXmlReader;
  std::vector<Swatch> palette_;
  COLORREF color_ = 0;
  CommandId pickerId_ = 0, defaultId_ = 0;
  std::string pickerText_, defaultText_;
};

class RibbonModel {
 public:
  struct Panel {
    std::string name;
    std::vector<std::unique_ptr<RibbonElement>> elements;
  };
  struct Tab {
    std::string name;
    std::string keys;
    std::vector<Panel> panels;
  };
  struct ApplicationMenu {
    std::string text = "File";
    std::string keys = "F";
    std::vector<std::unique_ptr<RibbonElement>> items;
    // Recent files: commands first .. first + count - 1, placed at
    // recentIndex among the items.
    CommandId recentFirst = 0;
    int recentCount = 0;
    std::size_t recentIndex = 0;
  };

  RibbonModel();
  ~RibbonModel();
  RibbonModel(const RibbonModel&) = delete;
  RibbonModel& operator=(const RibbonModel&) = delete;

  // Reads a layout. On an error returns false with a message that names the
  // place and the fault, and leaves the model empty.
  bool LoadXml(std::string_view xml, std::string* error);
  // The program's layout: resources/ribbon.xml, built into the program.
  bool LoadProgramRibbon(std::string* error);

  const std::vector<Tab>& Tabs() const { return tabs_; }
  const ApplicationMenu& Application() const { return app_; }
  // Icon name of image `index`; empty when the list has none.
  std::string ImageIcon(int index) const;

  // The first element with that id (main button, tabs, sub-items); null
  // when there is none.
  RibbonElement* FindByID(CommandId id) const;
  // The element when it is of kind T; null otherwise.
  template <class T>
  T* FindByID(CommandId id) const {
    return dynamic_cast<T*>(FindByID(id));
  }
  // Every element, sub-items included, in file order.
  std::vector<RibbonElement*> AllElements() const;

  // The bit of a named mode; 0 when the layout has no such mode.
  std::uint32_t ModeBit(std::string_view name) const;
  void SetApplicationModes(std::uint32_t modes);
  std::uint32_t ApplicationModes() const { return appModes_; }
  // Visible itself and allowed by the application modes.
  bool IsShown(const RibbonElement& element) const;

  // The recent files shown in the main button's menu (at most its count).
  void SetRecentFiles(std::vector<std::string> paths);
  const std::vector<std::string>& RecentFiles() const { return recent_; }

  // Called on every change of an element; `layout` when the arrangement
  // changes (visibility, sub-items). Set by the bar.
  std::function<void(RibbonElement&, bool layout)> onChanged;
  // Called when the layout as a whole changes (load, modes, recent files).
  std::function<void()> onReset;

 private:
  friend class RibbonElement;
  friend class RibbonXmlReader;
  void Clear();
  void Adopt(RibbonElement& element);

  std::vector<Tab> tabs_;
  ApplicationMenu app_;
  std::map<int, std::string> images_;
  std::vector<std::pair<std::string, std::uint32_t>> modes_;
  std::uint32_t appModes_ = ~0u;
  std::vector<std::string> recent_;
};

}  // namespace ORV::UI
