#pragma once
// The ribbon: the main window's bar of tabs and panels, shown from a
// RibbonModel (ribbon_model.h) and wired to a CommandRouter.
//
// Clicking a button or check box, choosing a combo entry or a colour, moving
// the slider and pressing Enter in an edit field run the element's command
// through the router (the model holds the new selection, text, position or
// colour when the handler runs). The router's idle pass gives every element
// the state of its update handler: enabled, checked and, when set, its text.
//
// The bar has a main (application) button whose menu holds the layout's
// file commands and the recent files (with the standard keys of those that
// have one, which work wherever the focus is in the window), the tabs with their panels, tool tips
// (tool tip or text in bold, then the description) and keyboard access: each
// tab, the main button and the elements carry the mnemonic letter of their
// `keys` attribute (Alt+letter), and Tab moves through the elements.
//
// Sizes are given at 96 DPI and scaled with the DPI at Create.
#include <QColor>
#include <QKeySequence>
#include <QWidget>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "platform/ui/command_router.h"
#include "platform/ui/ribbon_model.h"

class QMenu;
class QStackedWidget;
class QTabBar;
class QToolButton;
class QLabel;
class QAction;

namespace ORV::UI {

class RibbonBar : public QWidget {
 public:
  explicit RibbonBar(QWidget* parent = nullptr);
  ~RibbonBar() override;

  // Reads the program's ribbon layout (or the given one) and builds the bar,
  // its commands routed through `router`, which must outlive the bar. False
  // with the reason in `error` when the layout is missing or malformed; the
  // bar is then empty.
  bool Create(CommandRouter& router, std::string* error);
  bool CreateFromXml(CommandRouter& router, std::string_view xml, std::string* error);

  RibbonModel& Model() { return model_; }
  RibbonElement* FindByID(CommandId id) const { return model_.FindByID(id); }
  template <class T>
  T* FindByID(CommandId id) const {
    return model_.FindByID<T>(id);
  }

  // Only elements of these modes (and those without modes) are shown.
  void SetApplicationModes(std::uint32_t modes) { model_.SetApplicationModes(modes); }
  // Arranges the elements again (after visibility changes; also done on its
  // own once the event loop runs).
  void RecalcLayout();
  // The colour of the main button and of the selected tab's text.
  void SetAccentColor(const QColor& color);

  int TabCount() const;
  int ActiveTab() const;
  void SetActiveTab(int index);

  // For tests and the frame: the widget showing an element (null while it
  // is not shown), and the main button's menu.
  QWidget* ElementWidget(CommandId id) const;
  QMenu* ApplicationMenu() const { return appMenu_; }
  QToolButton* ApplicationButton() const { return appButton_; }
  // The key that runs command `id` (an element's `shortcut`); empty when it
  // has none.
  QKeySequence ShortcutOf(CommandId id) const;

 private:
  struct View {
    QWidget* widget = nullptr;
    QLabel* label = nullptr;
    QAction* action = nullptr;
  };

  void Subscribe();
  void Unsubscribe();
  void Rebuild();
  void BuildApplicationMenu();
  void BuildShortcuts();
  QWidget* BuildPanel(const RibbonModel::Panel& panel);
  QWidget* BuildElement(RibbonElement& element, bool large);
  void Sync(RibbonElement& element);
  void OnChanged(RibbonElement& element, bool layout);
  void Run(CommandId id);
  void ScheduleRebuild();
  QIcon ElementIcon(const RibbonElement& element, int size) const;
  QString DisplayText(const RibbonElement& element, bool large) const;
  QString ToolTip(const RibbonElement& element) const;
  void ApplyStyle();
  void FillColorMenu(RibbonColorButton& element, QMenu& menu);

  RibbonModel model_;
  CommandRouter* router_ = nullptr;
  std::vector<int> tokens_;
  std::map<CommandId, CommandState> subStates_;  // colour sub-commands, recent files
  std::map<const RibbonElement*, View> views_;
  std::map<CommandId, QAction*> subActions_;
  int dpi_ = 96;
  QColor accent_{84, 107, 115};
  bool syncing_ = false;
  bool rebuildPending_ = false;

  std::map<CommandId, QAction*> shortcuts_;  // the elements' standard keys
  QToolButton* appButton_ = nullptr;
  QMenu* appMenu_ = nullptr;
  QTabBar* tabs_ = nullptr;
  QStackedWidget* pages_ = nullptr;
};

}  // namespace ORV::UI
