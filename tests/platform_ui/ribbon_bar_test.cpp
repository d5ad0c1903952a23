#include "platform/ui/ribbon_bar.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QSlider>
#include <QSvgRenderer>
#include <QTabBar>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWidgetAction>
#include <set>

#include "core/base/dpi.h"
#include "platform/ui/dpi.h"
#include "platform/ui/resources.h"
#include "tests/support/ui/ui_test_support.h"

namespace ORV::UI {
namespace {

// Every command the main window's ribbon carries, with the kind its
// handlers need.
struct Expected {
  CommandId id;
  RibbonKind kind;
  const char* text;
};
const Expected kCommands[] = {
    {32819, RibbonKind::Button, "Start Data Collection"},
    {41000, RibbonKind::Button, "Pause"},
    {32796, RibbonKind::Button, "F1"},
    {32783, RibbonKind::Button, "F2"},
    {32794, RibbonKind::Button, "F3"},
    {32795, RibbonKind::Button, "F4"},
    {32786, RibbonKind::Button, "F5"},
    {32787, RibbonKind::Button, "F6"},
    {32788, RibbonKind::Button, "F7"},
    {32789, RibbonKind::Button, "F8"},
    {32790, RibbonKind::Button, "F9"},
    {32791, RibbonKind::Button, "F10"},
    {32792, RibbonKind::Button, "F11"},
    {32793, RibbonKind::Button, "F12"},
    {32784, RibbonKind::Button, "Markers"},
    {1169, RibbonKind::Button, "Add"},
    {32781, RibbonKind::CheckBox, "Auto Threshold"},
    {32776, RibbonKind::CheckBox, "Invert image"},
    {32800, RibbonKind::CheckBox, "Ignore Inner Diameter"},
    {32810, RibbonKind::ColorButton, "Zone Border"},
    {32811, RibbonKind::ColorButton, "Outer Edge"},
    {32812, RibbonKind::ColorButton, "Inner Edge"},
    {32780, RibbonKind::Button, "Play video from file"},
    {32782, RibbonKind::ComboBox, nullptr},
    {32854, RibbonKind::Button, "Pause"},
    {32855, RibbonKind::Button, "Play"},
    {32856, RibbonKind::Button, "Backward"},
    {32857, RibbonKind::Button, "Forward"},
    {32858, RibbonKind::Button, "Step"},
    {32859, RibbonKind::Edit, nullptr},
    {32815, RibbonKind::CheckBox, "Record Video"},
    {32816, RibbonKind::ComboBox, "Video Quality"},
    {32799, RibbonKind::Button, "Stop  live  trace"},
    {32771, RibbonKind::CheckBox, "Select all traces"},
    {32803, RibbonKind::ComboBox, nullptr},
    {32802, RibbonKind::Button, "Export to Data Sheet"},
    {32773, RibbonKind::Button, "Show Data Sheet"},
    {32807, RibbonKind::Button, "Show Action Sheet"},
    {32820, RibbonKind::Button, "Data &Export"},
    {32814, RibbonKind::Button, "Copy to Clipboard"},
    {32836, RibbonKind::Button, "Scripts"},
    {32817, RibbonKind::CheckBox, "Synchronise data"},
    {330, RibbonKind::Button, "Load User Config"},
    {331, RibbonKind::Button, "Save User Config"},
    {57601, RibbonKind::Button, "&Open..."},
    {57602, RibbonKind::Button, "Close"},
    {57603, RibbonKind::Button, "Save"},
    {57604, RibbonKind::Button, "Save &As..."},
    {57664, RibbonKind::Button, "About"},
    {57665, RibbonKind::Button, "&Quit"},
    {32797, RibbonKind::Edit, nullptr},
    {32798, RibbonKind::Slider, nullptr},
    {32824, RibbonKind::Edit, nullptr},
    {32818, RibbonKind::Button, "Zoom In"},
    {32833, RibbonKind::Button, "Zoom Out"},
    {32813, RibbonKind::Button, "Expand View"},
    {1182, RibbonKind::Button, "Enabled"},
    {32837, RibbonKind::Button, "Style"},
    {32809, RibbonKind::Button, "Show Analysis Window"},
    {32777, RibbonKind::Button, "Reset window layout"},
};

TEST(RibbonModelTest, TheProgramLayoutHoldsEveryCommandWithItsKind) {
  RibbonModel model;
  std::string error;
  ASSERT_TRUE(model.LoadProgramRibbon(&error)) << error;
  for (const auto& c : kCommands) {
    const RibbonElement* element = model.FindByID(c.id);
    ASSERT_NE(element, nullptr) << c.id;
    EXPECT_EQ(element->Kind(), c.kind) << c.id;
    if (c.text) {
      EXPECT_EQ(element->Text(), c.text) << c.id;
    }
  }
  EXPECT_NE(model.FindByID<RibbonComboBox>(32816), nullptr);
  EXPECT_EQ(model.FindByID<RibbonComboBox>(32819), nullptr) << "a button is not a combo box";
  EXPECT_EQ(model.FindByID(4242), nullptr);

  // Colour buttons with their picker and default sub-commands and a named palette.
  const struct {
    CommandId id, picker, fallback;
    const char* defaultText;
  } colors[] = {{32810, 1126, 1142, "Set to default color"},
                {32811, 1131, 1144, "Set to default"},
                {32812, 1130, 1147, "Set to default"}};
  for (const auto& c : colors) {
    const auto* color = model.FindByID<RibbonColorButton>(c.id);
    ASSERT_NE(color, nullptr);
    EXPECT_EQ(color->PickerId(), c.picker);
    EXPECT_EQ(color->PickerText(), "Open Color Picker");
    EXPECT_EQ(color->DefaultId(), c.fallback);
    EXPECT_EQ(color->DefaultText(), c.defaultText);
    ASSERT_FALSE(color->Palette().empty());
    for (const auto& swatch : color->Palette()) EXPECT_FALSE(swatch.name.empty());
  }

  // The panels, and an icon that renders behind every image an element uses.
  std::set<std::string> panels;
  for (const auto& tab : model.Tabs())
    for (const auto& panel : tab.panels) panels.insert(panel.name);
  for (const char* name :
       {"Data Collection", "Markers", "Analysis", "Zone colors", "Source", "Video", "Video Recording", "Live Traces",
        "Trace selection", "Data Analysis", "Export", "Custom Traces", "Time", "Scale Time", "Zoom", "Auto Range"})
    EXPECT_TRUE(panels.contains(name)) << name;
  for (int image : {28, 29, 30, 31, 38, 39}) EXPECT_FALSE(model.ImageIcon(image).empty()) << image;
  for (const RibbonElement* element : model.AllElements()) {
    if (element->ImageIndex() < 0) continue;
    const auto svg = FindResource("icons/ribbon/" + model.ImageIcon(element->ImageIndex()) + ".svg");
    ASSERT_TRUE(svg) << element->Id();
    EXPECT_TRUE(QSvgRenderer(QByteArray(svg->data(), static_cast<qsizetype>(svg->size()))).isValid()) << element->Id();
  }
}

TEST(RibbonModelTest, EveryAccessKeyOfTheProgramLayoutIsInItsTextAndUniqueOnItsTab) {
  RibbonModel model;
  std::string error;
  ASSERT_TRUE(model.LoadProgramRibbon(&error)) << error;
  const auto upper = [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); };
  const auto keyIn = [&](const std::string& keys, const std::string& text) {
    return keys.size() == 1 &&
           std::any_of(text.begin(), text.end(), [&](char c) { return upper(c) == upper(keys[0]); });
  };
  std::set<char> tabKeys = {upper(model.Application().keys.at(0))};
  for (const auto& tab : model.Tabs()) {
    ASSERT_TRUE(keyIn(tab.keys, tab.name)) << tab.name;
    EXPECT_TRUE(tabKeys.insert(upper(tab.keys[0])).second) << tab.name;
  }
  for (const auto& tab : model.Tabs()) {
    std::set<char> used = tabKeys;
    for (const auto& panel : tab.panels)
      for (const auto& element : panel.elements) {
        if (element->Keys().empty()) continue;
        EXPECT_TRUE(keyIn(element->Keys(), element->Text())) << element->Id();
        EXPECT_TRUE(used.insert(upper(element->Keys()[0])).second) << tab.name << ": " << element->Id();
      }
  }
}

TEST(RibbonModelTest, AMalformedLayoutIsRefusedWithTheReason) {
  const std::string ok = R"(<panel name="P"><button id="5" text="A"/></panel>)";
  const auto wrap = [](const std::string& body) { return "<ribbon><tab name=\"T\">" + body + "</tab></ribbon>"; };
  const struct {
    std::string xml;
    const char* reason;
  } cases[] = {
      {"", "not well-formed"},
      {"<ribbon><tab name=\"T\">", "not well-formed"},
      {"<layout/>", "no <ribbon> element"},
      {"<ribbon/>", "no tab"},
      {wrap(""), "no panel"},
      {wrap("<panel name=\"P\"/>"), "panel is empty"},
      {wrap("<panel><button id=\"5\"/></panel>"), "needs a name"},
      {wrap("<panel name=\"P\"><button text=\"A\"/></panel>"), "no id"},
      {wrap("<panel name=\"P\"><button id=\"x5\"/></panel>"), "is not a number"},
      {wrap("<panel name=\"P\"><button id=\"70000\"/></panel>"), "is not a number"},
      {wrap(ok + "<panel name=\"Q\"><check id=\"5\"/></panel>"), "used twice"},
      {wrap("<panel name=\"P\"><knob id=\"5\"/></panel>"), "unknown element kind"},
      {wrap("<panel name=\"P\"><button id=\"5\" image=\"3\"/></panel>"), "not in the image list"},
      {wrap("<panel name=\"P\"><button id=\"5\" modes=\"Show\"/></panel>"), "unknown mode \"Show\""},
      {wrap("<panel name=\"P\"><button id=\"5\" size=\"huge\"/></panel>"), "size is"},
      {wrap("<panel name=\"P\"><color id=\"5\"><swatch color=\"red\"/></color></panel>"), "#RRGGBB"},
      {wrap("<panel name=\"P\"><color id=\"5\" picker=\"5\"/></panel>"), "used twice"},
      {"<ribbon><modes><mode bit=\"3\" name=\"X\"/></modes>" + wrap(ok).substr(8), "power of two"},
      {"<ribbon><application><check id=\"9\"/></application>" + wrap(ok).substr(8), "holds only buttons"},
      {wrap("<panel name=\"P\"><button id=\"5\" shortcut=\"Print\"/></panel>"), "a shortcut is"},
  };
  for (const auto& c : cases) {
    RibbonModel model;
    std::string error;
    EXPECT_FALSE(model.LoadXml(c.xml, &error)) << c.xml;
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.xml << " -> " << error;
    EXPECT_TRUE(model.Tabs().empty());
    EXPECT_EQ(model.FindByID(5), nullptr);
  }

  // The bar refuses the same way and stays empty.
  CommandRouter router;
  RibbonBar bar;
  std::string error;
  EXPECT_FALSE(bar.CreateFromXml(router, "<ribbon><tab", &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(bar.TabCount(), 0);
  EXPECT_TRUE(bar.CreateFromXml(router, wrap(ok), &error)) << error;
  EXPECT_EQ(bar.TabCount(), 1);
}

TEST(RibbonModelTest, ApplicationModesShowAndHideElements) {
  const char* xml = R"(<ribbon>
    <modes><mode bit="1" name="Show"/><mode bit="2" name="Always Hidden"/>
           <mode bit="4" name="Video Module"/><mode bit="8" name="Show Markers"/></modes>
    <tab name="T"><panel name="P">
      <button id="1" text="show" modes="Show"/>
      <button id="2" text="hidden" modes="Always Hidden"/>
      <button id="3" text="video" modes="Video Module"/>
      <button id="4" text="markers" modes="Show Markers"/>
      <button id="5" text="any"/>
      <button id="6" text="two" modes="Always Hidden, Video Module"/>
    </panel></tab></ribbon>)";
  CommandRouter router;
  RibbonBar bar;
  std::string error;
  ASSERT_TRUE(bar.CreateFromXml(router, xml, &error)) << error;
  bar.SetApplicationModes(5);
  bar.RecalcLayout();
  const std::pair<CommandId, bool> shown[] = {{1, true}, {2, false}, {3, true}, {4, false}, {5, true}, {6, true}};
  for (const auto& [id, visible] : shown) {
    EXPECT_EQ(bar.Model().IsShown(*bar.FindByID(id)), visible) << id;
    EXPECT_EQ(bar.ElementWidget(id) != nullptr, visible) << id;
  }
  // An element's own visibility counts as well, and the layout follows on its own.
  bar.FindByID(1)->SetVisible(false);
  EXPECT_TRUE(ORV::Test::ProcessEventsUntil([&] { return bar.ElementWidget(1) == nullptr; }));

  // The program's layout: "Style" is always hidden, the video commands show.
  RibbonModel model;
  ASSERT_TRUE(model.LoadProgramRibbon(&error)) << error;
  model.SetApplicationModes(5);
  EXPECT_FALSE(model.IsShown(*model.FindByID(32837)));
  EXPECT_TRUE(model.IsShown(*model.FindByID(32855)));
  EXPECT_TRUE(model.IsShown(*model.FindByID(32819)));
}

TEST(RibbonModelTest, SubItemsRunTheirCommandsAndCanBeRemovedWhileRouted) {
  CommandRouter router;
  RibbonBar bar;
  std::string error;
  ASSERT_TRUE(bar.CreateFromXml(router, R"(<ribbon><tab name="T"><panel name="P">
      <button id="1" text="Style" size="large"><button id="2" text="Blue"/><separator/><button id="3" text="Dark"/>
      </button></panel></tab></ribbon>)",
                                &error))
      << error;
  int blue = 0;
  router.OnCommand(2, [&] { ++blue; });
  router.UpdateIdle();
  auto* button = qobject_cast<QToolButton*>(bar.ElementWidget(1));
  ASSERT_TRUE(button && button->menu());
  const auto actions = button->menu()->actions();
  ASSERT_EQ(actions.size(), 3);
  EXPECT_TRUE(actions[0]->isEnabled());
  EXPECT_FALSE(actions[2]->isEnabled()) << "no handler";
  actions[0]->trigger();
  EXPECT_EQ(blue, 1);
  bar.FindByID(1)->RemoveSubItems();
  router.UpdateIdle();  // the removed items' commands are still routed
  bar.RecalcLayout();
  EXPECT_EQ(qobject_cast<QToolButton*>(bar.ElementWidget(1))->menu(), nullptr);
}

class RibbonBarTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(bar.Create(router, &error)) << error;
    bar.SetApplicationModes(5);
    bar.RecalcLayout();
  }
  template <class W>
  W* Widget(CommandId id) {
    return qobject_cast<W*>(bar.ElementWidget(id));
  }

  CommandRouter router;
  RibbonBar bar;
};

TEST_F(RibbonBarTest, UpdateHandlersDisableCheckAndRetextInOneIdlePass) {
  bool collecting = false, autoThreshold = false;
  int starts = 0;
  router.OnCommand(32819, [&] { ++starts; });
  router.OnUpdate(32819, [&](CmdUI& ui) { ui.SetText(collecting ? "Stop" : "Start Data Collection"); });
  router.OnCommand(41000, [] {});
  router.OnUpdate(41000, [&](CmdUI& ui) { ui.Enable(collecting); });
  router.OnCommand(32781, [&] { autoThreshold = !autoThreshold; });
  router.OnUpdate(32781, [&](CmdUI& ui) { ui.SetCheck(autoThreshold); });
  router.UpdateIdle();

  auto* start = Widget<QToolButton>(32819);
  auto* pause = Widget<QToolButton>(41000);
  auto* check = Widget<QCheckBox>(32781);
  ASSERT_TRUE(start && pause && check);
  EXPECT_FALSE(pause->isEnabled());
  EXPECT_FALSE(Widget<QToolButton>(32836)->isEnabled()) << "no handler: disabled";
  EXPECT_FALSE(check->isChecked());

  collecting = true;
  autoThreshold = true;
  router.UpdateIdle();
  EXPECT_EQ(bar.FindByID(32819)->Text(), "Stop");
  EXPECT_EQ(start->text().remove(u'&'), "Stop");
  EXPECT_TRUE(pause->isEnabled());
  EXPECT_TRUE(bar.FindByID(32781)->IsChecked());
  EXPECT_TRUE(check->isChecked());

  // Clicking runs the command; a check box shows the handler's state, not its own.
  QTest::mouseClick(start, Qt::LeftButton);
  EXPECT_EQ(starts, 1);
  router.OnCommand(32781, [] {});
  QTest::mouseClick(check, Qt::LeftButton);
  EXPECT_TRUE(check->isChecked()) << "the handler left the switch on";
}

TEST_F(RibbonBarTest, ButtonTextsImagesSubItemsAndVisibility) {
  auto* button = bar.FindByID<RibbonButton>(41000);
  ASSERT_NE(button, nullptr);
  button->SetText("Resume");
  button->SetImageIndex(31);
  button->SetDescription("Command");
  button->SetToolTipText("Pause data collection");
  auto* shown = Widget<QToolButton>(41000);
  EXPECT_EQ(shown->text().remove(u'&'), "Resume");
  EXPECT_EQ(button->ImageIndex(), 31);
  EXPECT_FALSE(shown->icon().isNull());
  EXPECT_TRUE(shown->toolTip().contains("Pause data collection"));
  EXPECT_TRUE(shown->toolTip().contains("Command"));

  auto* style = bar.FindByID<RibbonButton>(32837);
  style->AddSubItem(std::make_unique<RibbonButton>(32838, "Blue"));
  EXPECT_EQ(bar.FindByID(32838)->Text(), "Blue");
  style->SetText("");
  style->RemoveSubItems();
  EXPECT_TRUE(style->SubItems().empty());
  EXPECT_EQ(bar.FindByID(32838), nullptr);

  bar.FindByID(32819)->SetVisible(false);
  bar.RecalcLayout();
  EXPECT_EQ(bar.ElementWidget(32819), nullptr);
  bar.FindByID(32819)->SetVisible(true);
  bar.RecalcLayout();
  EXPECT_NE(bar.ElementWidget(32819), nullptr);
}

TEST_F(RibbonBarTest, ComboEditSliderAndColourRoundTrip) {
  std::vector<CommandId> ran;
  for (CommandId id : {32816u, 32859u, 32798u, 32810u, 1126u, 1142u})
    router.OnCommand(id, [&ran, id] { ran.push_back(id); });
  router.UpdateIdle();

  // Combo box.
  auto* combo = bar.FindByID<RibbonComboBox>(32816);
  combo->RemoveAllItems();
  for (const char* item : {"Low", "Medium", "High", "Same As Source"}) combo->AddItem(item);
  EXPECT_TRUE(combo->SelectItem(1));
  EXPECT_EQ(combo->GetCurSel(), 1);
  EXPECT_TRUE(combo->SelectItem(std::string_view("High")));
  EXPECT_EQ(combo->GetCurSel(), 2);
  EXPECT_FALSE(combo->SelectItem(std::string_view("Ultra")));
  EXPECT_FALSE(combo->SelectItem(4));
  EXPECT_EQ(combo->GetCurSel(), 2);
  auto* shownCombo = Widget<QComboBox>(32816);
  EXPECT_EQ(shownCombo->count(), 4);
  EXPECT_EQ(shownCombo->currentText(), "High");
  shownCombo->activated(0);  // the user picks "Low"
  EXPECT_EQ(combo->GetCurSel(), 0);
  combo->RemoveAllItems();
  EXPECT_EQ(combo->GetCurSel(), -1);
  EXPECT_EQ(shownCombo->count(), 0);

  // Edit field: typed text and Enter run the command with the text in the model.
  auto* edit = bar.FindByID<RibbonEdit>(32859);
  edit->SetEditText("1:30");
  auto* shownEdit = Widget<QLineEdit>(32859);
  EXPECT_EQ(shownEdit->text(), "1:30");
  shownEdit->setText("2:05");
  std::string textAtCommand;
  router.OnCommand(32859, [&] { textAtCommand = edit->GetEditText(); });
  QTest::keyClick(shownEdit, Qt::Key_Return);
  EXPECT_EQ(textAtCommand, "2:05");
  edit->SetEditText("");
  EXPECT_TRUE(shownEdit->text().isEmpty());

  // Slider: range, page and a clamped position; the user's move runs the command.
  auto* slider = bar.FindByID<RibbonSlider>(32798);
  slider->SetRange(1800, 0);
  slider->SetPageSize(20);
  slider->SetPos(2000);
  EXPECT_EQ(slider->GetRangeMin(), 0);
  EXPECT_EQ(slider->GetRangeMax(), 1800);
  EXPECT_EQ(slider->GetPos(), 1800);
  EXPECT_EQ(slider->GetPageSize(), 20);
  slider->SetPageSize(0);
  EXPECT_EQ(slider->GetPageSize(), 1);
  slider->SetRange(0, 100);
  EXPECT_EQ(slider->GetPos(), 100);
  auto* shownSlider = Widget<QSlider>(32798);
  EXPECT_EQ(shownSlider->maximum(), 100);
  EXPECT_EQ(shownSlider->value(), 100);
  ran.clear();
  shownSlider->setValue(40);
  EXPECT_EQ(slider->GetPos(), 40);
  EXPECT_EQ(ran, std::vector<CommandId>{32798});

  // Colour button: a palette with names, the chosen colour, and the menu's commands.
  auto* color = bar.FindByID<RibbonColorButton>(32810);
  color->SetPalette({{0x0000FF, "Red"}, {0x00FF00, "Green"}});
  EXPECT_TRUE(color->SetColorName(0x00FF00, "Lime"));
  EXPECT_FALSE(color->SetColorName(0x123456, "None"));
  EXPECT_EQ(color->Palette()[1].name, "Lime");
  color->SetColor(0x00FF00);
  EXPECT_EQ(color->GetColor(), 0x00FF00u);
  QMenu* menu = Widget<QToolButton>(32810)->menu();
  ASSERT_NE(menu, nullptr);
  menu->aboutToShow();
  const auto actions = menu->actions();
  ASSERT_EQ(actions.size(), 4);  // palette, separator, picker, default
  auto* grid = static_cast<QWidgetAction*>(actions[0])->defaultWidget();
  const auto swatches = grid->findChildren<QToolButton*>();
  ASSERT_EQ(swatches.size(), 2);
  EXPECT_EQ(swatches[1]->toolTip(), "Lime");
  ran.clear();
  swatches[0]->click();
  EXPECT_EQ(color->GetColor(), 0x0000FFu);
  actions[2]->trigger();
  actions[3]->trigger();
  EXPECT_EQ(ran, (std::vector<CommandId>{32810, 1126, 1142}));
  EXPECT_EQ(actions[2]->text(), "Open Color Picker");
  EXPECT_EQ(actions[3]->text(), "Set to default color");
}

TEST_F(RibbonBarTest, TheMainButtonOffersTheFileCommandsAndRecentFiles) {
  std::vector<CommandId> ran;
  router.OnCommand(57601, [&] { ran.push_back(57601); });
  router.OnCommandRange(57616, 57621, [&](CommandId id) { ran.push_back(id); });
  router.UpdateIdle();
  bar.Model().SetRecentFiles({"/data/a&b.tvx", "/data/second.tvx"});
  bar.RecalcLayout();
  router.UpdateIdle();
  QStringList texts;
  QAction* open = nullptr;
  QAction* second = nullptr;
  for (QAction* action : bar.ApplicationMenu()->actions()) {
    if (action->isSeparator() && action->text().isEmpty()) continue;
    texts << action->text();
    if (action->text().startsWith("&Open...")) open = action;
    if (action->text().endsWith("second.tvx")) second = action;
  }
  const auto key = [this](CommandId id) { return u'\t' + bar.ShortcutOf(id).toString(QKeySequence::NativeText); };
  EXPECT_EQ(texts, (QStringList{"&Open..." + key(57601), "Save" + key(57603), "Save &As..." + key(57604), "Close",
                                "Data &Export", "Load User Config", "Save User Config", "Recent files", "&1  a&&b.tvx",
                                "&2  second.tvx", "About", "&Quit" + key(57665)}));
  ASSERT_TRUE(open && second);
  EXPECT_TRUE(open->isEnabled());
  EXPECT_FALSE(bar.ApplicationMenu()->actions().at(1)->isEnabled()) << "Save has no handler yet";
  open->trigger();
  second->trigger();
  EXPECT_EQ(ran, (std::vector<CommandId>{57601, 57617}));
}

TEST_F(RibbonBarTest, TheDesktopsStandardKeysRunTheFileCommandsWhereverTheFocusIs) {
  std::vector<CommandId> ran;
  for (CommandId id : {57600u, 57601u, 57603u, 57604u, 57665u}) router.OnCommand(id, [&ran, id] { ran.push_back(id); });
  QWidget window;
  auto* layout = new QVBoxLayout(&window);
  layout->addWidget(&bar);
  // The bar is the fixture's: it leaves the window before the window goes.
  const struct Unparent {
    RibbonBar& bar;
    ~Unparent() { bar.setParent(nullptr); }
  } unparent{bar};
  auto* elsewhere = new QLineEdit(&window);
  layout->addWidget(elsewhere);
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  elsewhere->setFocus();
  bar.SetActiveTab(0);  // the new-window command's tab is not open
  router.UpdateIdle();
  // The desktop's key, or the usual one where the desktop has none.
  const struct {
    QKeySequence::StandardKey standard;
    QKeySequence usual;
    CommandId id;
  } keys[] = {{QKeySequence::New, QKeySequence(Qt::CTRL | Qt::Key_N), 57600},
              {QKeySequence::Open, QKeySequence(Qt::CTRL | Qt::Key_O), 57601},
              {QKeySequence::Save, QKeySequence(Qt::CTRL | Qt::Key_S), 57603},
              {QKeySequence::SaveAs, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), 57604},
              {QKeySequence::Quit, QKeySequence(Qt::CTRL | Qt::Key_Q), 57665}};
  for (const auto& k : keys) {
    const QKeySequence expected = QKeySequence(k.standard).isEmpty() ? k.usual : QKeySequence(k.standard);
    EXPECT_EQ(bar.ShortcutOf(k.id), expected) << k.id;
    ran.clear();
    QTest::keySequence(elsewhere, expected);
    EXPECT_EQ(ran, std::vector<CommandId>{k.id}) << expected.toString().toStdString();
  }
  // A command its update rule disables does not run from its key either.
  router.OnUpdate(57603, [](CmdUI& cmd) { cmd.Enable(false); });
  router.UpdateIdle();
  ran.clear();
  QTest::keySequence(elsewhere, QKeySequence(QKeySequence::Save));
  EXPECT_TRUE(ran.empty());
}

TEST_F(RibbonBarTest, TabsAndElementsAnswerTheirAltKeys) {
  bar.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
  bar.activateWindow();
  bar.SetActiveTab(0);
  QTest::keyClick(&bar, Qt::Key_V, Qt::AltModifier);
  EXPECT_EQ(bar.ActiveTab(), 1);
  int plays = 0;
  router.OnCommand(32855, [&] { ++plays; });
  router.UpdateIdle();
  QTest::keyClick(&bar, Qt::Key_L, Qt::AltModifier);
  // A mnemonic presses the button visibly before it clicks.
  EXPECT_TRUE(ORV::Test::ProcessEventsUntil([&] { return plays == 1; }));
}

TEST(RibbonBarRenderTest, EachTabRendersAt96And144Dpi) {
  for (int dpi : {96, 144}) {
    ORV::Test::ScopedDpi scoped(dpi);
    CommandRouter router;
    // A few commands with handlers so the pictures show enabled and disabled elements.
    for (CommandId id : {32819u, 32784u, 1169u,  32796u, 32783u, 32794u, 32795u, 32786u, 32787u, 32788u, 32789u,
                         32790u, 32791u, 32792u, 32793u, 32781u, 32776u, 32800u, 32810u, 32811u, 32812u, 32817u,
                         32780u, 32782u, 32815u, 32816u, 32799u, 32771u, 32803u, 32773u, 32807u, 32814u, 32836u,
                         32797u, 32798u, 32824u, 32818u, 1182u,  32809u, 32777u, 57601u, 57664u})
      router.OnCommand(id, [] {});
    router.OnUpdate(32781, [](CmdUI& ui) { ui.SetCheck(); });
    RibbonBar bar;
    std::string error;
    ASSERT_TRUE(bar.Create(router, &error)) << error;
    bar.SetApplicationModes(5);
    bar.RecalcLayout();
    bar.FindByID<RibbonComboBox>(32782)->AddItem("Camera 1");
    bar.FindByID<RibbonComboBox>(32782)->SelectItem(0);
    for (const char* item : {"Low", "Medium", "High"}) bar.FindByID<RibbonComboBox>(32816)->AddItem(item);
    bar.FindByID<RibbonComboBox>(32816)->SelectItem(1);
    for (const char* item : {"Mean Value", "Maximum Value", "Minimum Value", "Average Slope"})
      bar.FindByID<RibbonComboBox>(32803)->AddItem(item);
    bar.FindByID<RibbonComboBox>(32803)->SelectItem(0);
    bar.FindByID<RibbonEdit>(32824)->SetEditText("00:00:20");
    bar.FindByID<RibbonEdit>(32797)->SetEditText("00:00:00");
    bar.FindByID<RibbonColorButton>(32811)->SetColor(0x0000FF);
    router.UpdateIdle();
    bar.resize(ScaleByDpi(1000, dpi), bar.sizeHint().height());
    bar.show();
    for (int tab = 0; tab < bar.TabCount(); ++tab) {
      bar.SetActiveTab(tab);
      QApplication::processEvents();
      const std::string name = bar.findChild<QTabBar*>()->tabText(tab).remove(u'&').toLower().toStdString();
      const QImage image =
          ORV::Test::SaveUiArtifact(bar, "ribbon_" + std::to_string(tab) + "_" + name + "_" + std::to_string(dpi));
      EXPECT_FALSE(image.isNull());
    }
    // The window's narrowest width: the tab scrolls instead of squeezing its panels.
    bar.SetActiveTab(0);
    bar.resize(ScaleByDpi(800, dpi), bar.sizeHint().height());
    QApplication::processEvents();
    EXPECT_FALSE(ORV::Test::SaveUiArtifact(bar, "ribbon_0_home_narrow_" + std::to_string(dpi)).isNull());
    QWidget* start = bar.ElementWidget(32819);
    EXPECT_GE(start->width(), start->sizeHint().width());
    bar.Model().SetRecentFiles({"/home/lab/experiments/artery 12.tvx", "/home/lab/experiments/vein 3.tvx"});
    bar.RecalcLayout();
    QMenu* menus[] = {bar.ApplicationMenu(), qobject_cast<QToolButton*>(bar.ElementWidget(32811))->menu()};
    menus[1]->aboutToShow();
    for (int i = 0; i < 2; ++i) {
      menus[i]->adjustSize();
      EXPECT_FALSE(
          ORV::Test::SaveUiArtifact(
              *menus[i], std::string(i == 0 ? "ribbon_application_menu_" : "ribbon_color_menu_") + std::to_string(dpi))
              .isNull());
    }
  }
}

}  // namespace
}  // namespace ORV::UI
