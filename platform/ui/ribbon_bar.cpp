#include "platform/ui/ribbon_bar.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QStackedWidget>
#include <QSvgRenderer>
#include <QTabBar>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWidgetAction>

#include "platform/ui/dpi.h"
#include "platform/ui/resources.h"

namespace ORV::UI {
namespace {

constexpr int kContentHeight = 68;  // a panel's element area at 96 DPI
constexpr int kRowsPerColumn = 3;   // small elements stacked in a column
constexpr int kLargeIcon = 32;
constexpr int kSmallIcon = 16;
constexpr int kMenuIcon = 20;
constexpr int kScrollBar = 5;  // the thin bar that scrolls a tab too wide for the window

QString Q(const std::string& text) { return QString::fromStdString(text); }

// The desktop's key for a standard command named in the layout; where the
// desktop has none for it (some have no Save As or Quit key), the one most
// Linux desktops use.
QKeySequence StandardShortcut(const std::string& name) {
  static const struct {
    const char* name;
    QKeySequence::StandardKey standard;
    QKeyCombination fallback;
  } kKeys[] = {{"New", QKeySequence::New, Qt::CTRL | Qt::Key_N},
               {"Open", QKeySequence::Open, Qt::CTRL | Qt::Key_O},
               {"Save", QKeySequence::Save, Qt::CTRL | Qt::Key_S},
               {"SaveAs", QKeySequence::SaveAs, Qt::CTRL | Qt::SHIFT | Qt::Key_S},
               {"Quit", QKeySequence::Quit, Qt::CTRL | Qt::Key_Q}};
  for (const auto& key : kKeys) {
    if (name != key.name) continue;
    const QKeySequence desktops(key.standard);
    return desktops.isEmpty() ? QKeySequence(key.fallback) : desktops;
  }
  return {};
}

// Puts the mnemonic '&' before the first letter of `keys` found in the text,
// unless the text has one.
QString WithMnemonic(QString text, const std::string& keys) {
  if (keys.empty() || text.contains(u'&')) return text;
  const int at = text.indexOf(QChar(keys.front()), 0, Qt::CaseInsensitive);
  if (at >= 0) text.insert(at, u'&');
  return text;
}

// A large button's text on two lines, broken at the blank nearest the middle.
QString TwoLines(const QString& text) {
  if (text.size() < 11) return text;
  const QString simple = text.simplified();
  int best = -1;
  for (int i = 0; i < simple.size(); ++i)
    if (simple[i] == u' ' && (best < 0 || std::abs(i - simple.size() / 2) < std::abs(best - simple.size() / 2)))
      best = i;
  if (best < 0) return text;
  return simple.left(best) + u'\n' + simple.mid(best + 1);
}

// Menus show their icons at the size the DPI asks for.
class MenuStyle : public QProxyStyle {
 public:
  explicit MenuStyle(int dpi) : dpi_(dpi) {}
  int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
    if (metric == PM_SmallIconSize) return ScaleByDpi(kMenuIcon, dpi_);
    return QProxyStyle::pixelMetric(metric, option, widget);
  }

 private:
  int dpi_;
};

// One style per DPI, owned by the application object (menus refer to it
// until they are gone, and they go before the application).
QStyle* MenuStyleFor(int dpi) {
  static std::map<int, QPointer<QStyle>> styles;
  QPointer<QStyle>& style = styles[dpi];
  if (!style) {
    style = new MenuStyle(dpi);
    style->setParent(QCoreApplication::instance());
  }
  return style;
}

QPixmap RenderSvg(const std::string& icon, int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  const auto data = FindResource("icons/ribbon/" + icon + ".svg");
  if (!data) return pixmap;
  QSvgRenderer renderer(QByteArray(data->data(), static_cast<qsizetype>(data->size())));
  QPainter painter(&pixmap);
  renderer.render(&painter, QRectF(0, 0, size, size));
  return pixmap;
}

}  // namespace

RibbonBar::RibbonBar(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("RibbonBar"));
  setAttribute(Qt::WA_StyledBackground);
  model_.onChanged = [this](RibbonElement& element, bool layout) { OnChanged(element, layout); };
  model_.onReset = [this] { ScheduleRebuild(); };

  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);
  auto* top = new QHBoxLayout;
  top->setContentsMargins(0, 0, 0, 0);
  top->setSpacing(0);
  appButton_ = new QToolButton(this);
  appButton_->setObjectName(QStringLiteral("RibbonApplicationButton"));
  appButton_->setPopupMode(QToolButton::InstantPopup);
  appMenu_ = new QMenu(appButton_);
  appMenu_->setObjectName(QStringLiteral("RibbonApplicationMenu"));
  appButton_->setMenu(appMenu_);
  tabs_ = new QTabBar(this);
  tabs_->setDrawBase(false);
  tabs_->setExpanding(false);
  tabs_->setFocusPolicy(Qt::TabFocus);
  tabs_->setUsesScrollButtons(false);
  tabs_->setElideMode(Qt::ElideNone);
  top->addWidget(appButton_);
  top->addWidget(tabs_, 1);
  outer->addLayout(top);
  pages_ = new QStackedWidget(this);
  pages_->setObjectName(QStringLiteral("RibbonPages"));
  outer->addWidget(pages_);
  connect(tabs_, &QTabBar::currentChanged, pages_, &QStackedWidget::setCurrentIndex);
}

RibbonBar::~RibbonBar() {
  Unsubscribe();
  model_.onChanged = nullptr;
  model_.onReset = nullptr;
}

bool RibbonBar::Create(CommandRouter& router, std::string* error) {
  Unsubscribe();
  router_ = &router;
  dpi_ = QueryDpi();
  const bool ok = model_.LoadProgramRibbon(error);
  if (ok) Subscribe();
  Rebuild();
  return ok;
}

bool RibbonBar::CreateFromXml(CommandRouter& router, std::string_view xml, std::string* error) {
  Unsubscribe();
  router_ = &router;
  dpi_ = QueryDpi();
  const bool ok = model_.LoadXml(xml, error);
  if (ok) Subscribe();
  Rebuild();
  return ok;
}

void RibbonBar::Subscribe() {
  for (RibbonElement* element : model_.AllElements()) {
    // Found again by id: sub-items may be removed while the bar lives.
    const auto apply = [this](CommandId id, const CommandState& state) {
      RibbonElement* element = model_.FindByID(id);
      if (!element) return;
      element->SetEnabled(state.enabled);
      element->SetChecked(state.checked);
      if (state.text) element->SetText(*state.text);
    };
    if (element->Id() != 0) tokens_.push_back(router_->Subscribe(element->Id(), apply));
    if (auto* color = dynamic_cast<RibbonColorButton*>(element)) {
      for (CommandId sub : {color->PickerId(), color->DefaultId()})
        if (sub != 0)
          tokens_.push_back(router_->Subscribe(sub, [this](CommandId id, const CommandState& state) {
            subStates_[id] = state;
            if (const auto it = subActions_.find(id); it != subActions_.end()) it->second->setEnabled(state.enabled);
          }));
    }
  }
  const auto& app = model_.Application();
  for (int i = 0; i < app.recentCount; ++i)
    tokens_.push_back(router_->Subscribe(app.recentFirst + static_cast<CommandId>(i),
                                         [this](CommandId id, const CommandState& state) {
                                           subStates_[id] = state;
                                           if (const auto it = subActions_.find(id); it != subActions_.end())
                                             it->second->setEnabled(state.enabled);
                                         }));
}

void RibbonBar::Unsubscribe() {
  if (router_)
    for (int token : tokens_) router_->Unsubscribe(token);
  tokens_.clear();
  subStates_.clear();
}

void RibbonBar::Run(CommandId id) {
  if (router_ && id != 0) router_->Execute(id);
}

void RibbonBar::SetAccentColor(const QColor& color) {
  accent_ = color;
  ApplyStyle();
}

int RibbonBar::TabCount() const { return tabs_->count(); }
int RibbonBar::ActiveTab() const { return tabs_->currentIndex(); }
void RibbonBar::SetActiveTab(int index) { tabs_->setCurrentIndex(index); }

QWidget* RibbonBar::ElementWidget(CommandId id) const {
  const RibbonElement* element = model_.FindByID(id);
  const auto it = views_.find(element);
  return it == views_.end() ? nullptr : it->second.widget;
}

void RibbonBar::ScheduleRebuild() {
  if (rebuildPending_) return;
  rebuildPending_ = true;
  QTimer::singleShot(0, this, [this] {
    if (rebuildPending_) Rebuild();
  });
}

void RibbonBar::RecalcLayout() { Rebuild(); }

void RibbonBar::OnChanged(RibbonElement& element, bool layout) {
  if (layout)
    ScheduleRebuild();
  else
    Sync(element);
}

QString RibbonBar::DisplayText(const RibbonElement& element, bool large) const {
  const QString text = WithMnemonic(Q(element.Text()), element.Keys());
  return large ? TwoLines(text) : text;
}

QString RibbonBar::ToolTip(const RibbonElement& element) const {
  QString title = Q(element.ToolTipText().empty() ? element.Text() : element.ToolTipText()).toHtmlEscaped();
  title.remove(u'&');
  const QString description = Q(element.Description()).toHtmlEscaped();
  if (title.isEmpty()) return description;
  return description.isEmpty() ? QStringLiteral("<b>%1</b>").arg(title)
                               : QStringLiteral("<b>%1</b><br>%2").arg(title, description);
}

QIcon RibbonBar::ElementIcon(const RibbonElement& element, int size) const {
  const std::string icon = model_.ImageIcon(element.ImageIndex());
  if (icon.empty()) return {};
  const int px = ScaleByDpi(size, dpi_);
  if (const auto* color = dynamic_cast<const RibbonColorButton*>(&element)) {
    // The icon above a bar of the chosen colour.
    QPixmap pixmap(px, px);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    const int bar = std::max(3, px / 6);
    const int side = px - bar - 1;
    painter.drawPixmap((px - side) / 2, 0, RenderSvg(icon, side));
    painter.fillRect(QRect(1, px - bar, px - 2, bar), FromColorRef(color->GetColor()));
    painter.setPen(QColor(0x37, 0x47, 0x4f));
    painter.drawRect(QRect(1, px - bar, px - 3, bar - 1));
    return QIcon(pixmap);
  }
  return QIcon(RenderSvg(icon, px));
}

void RibbonBar::ApplyStyle() {
  const auto px = [this](int v) { return QString::number(ScaleByDpi(v, dpi_)) + QStringLiteral("px"); };
  const QString accent = accent_.name();
  const QString light = accent_.lighter(185).name();
  const QString mid = accent_.lighter(150).name();
  setStyleSheet(
      QStringLiteral("#RibbonBar { background: #eef1f2; }"
                     "#RibbonBar QTabBar::tab { background: transparent; color: #2e3a3f; border: 1px solid transparent;"
                     "  border-bottom: none; padding: %1 %2; margin-top: %3; }"
                     "#RibbonBar QTabBar::tab:selected { background: #fbfcfc; border-color: #cfd6d9; color: %4;"
                     "  border-top-left-radius: %3; border-top-right-radius: %3; }"
                     "#RibbonBar QTabBar::tab:hover:!selected { color: %4; }"
                     "#RibbonApplicationButton { background: %4; color: white; border: none; font-weight: 600;"
                     "  padding: %1 %5; margin-right: %3; }"
                     "#RibbonApplicationButton:hover { background: %6; }"
                     "#RibbonApplicationButton::menu-indicator { image: none; width: 0; }"
                     "#RibbonPages { background: #fbfcfc; border-top: 1px solid #cfd6d9;"
                     "  border-bottom: 1px solid #cfd6d9; }"
                     "#RibbonPanelCaption { color: #5d6a70; }"
                     "#RibbonPanelSeparator { background: #dce2e4; }"
                     "#RibbonPages QToolButton { background: transparent; border: 1px solid transparent;"
                     "  border-radius: %3; padding: 1px %3; color: #1f2a2e; }"
                     "#RibbonPages QToolButton:hover { background: %7; border-color: %8; }"
                     "#RibbonPages QToolButton:pressed, #RibbonPages QToolButton:checked"
                     "  { background: %8; border-color: %4; }"
                     "#RibbonPages QToolButton:disabled { color: #9aa5aa; }"
                     "#RibbonPages QToolButton::menu-indicator { image: none; width: 0px; }"
                     "#RibbonPages QLabel:disabled, #RibbonPages QCheckBox:disabled { color: #9aa5aa; }"
                     "#RibbonPages QLineEdit, #RibbonPages QComboBox { background: white; border: 1px solid #bfc8cc;"
                     "  border-radius: 2px; padding: 0px %3; min-height: %9; color: #1f2a2e; }"
                     "#RibbonPages QLineEdit:focus, #RibbonPages QComboBox:focus { border-color: %4; }"
                     "#RibbonPages QLineEdit:disabled, #RibbonPages QComboBox:disabled { background: #f1f3f4;"
                     "  color: #9aa5aa; }")
          .arg(px(4), px(14), px(2), accent, px(18), accent_.darker(115).name(), light, mid, px(18)) +
      QStringLiteral("#RibbonPages QCheckBox { spacing: %1; }"
                     "#RibbonPages QCheckBox::indicator { width: %2; height: %2; }"
                     "#RibbonPages QSlider { min-height: %3; }"
                     "#RibbonPages QSlider::groove:horizontal { height: %4; background: #cfd6d9; border-radius: 2px; }"
                     "#RibbonPages QSlider::sub-page:horizontal { background: %5; border-radius: 2px; }"
                     "#RibbonPages QSlider::handle:horizontal { width: %6; margin: -%7 0px; background: white;"
                     "  border: 1px solid %8; border-radius: %9; }"
                     "#RibbonPages QSlider::handle:horizontal:disabled { border-color: #bfc8cc; }")
          .arg(px(5), px(13), px(18), px(4), mid, px(12), px(5), accent, px(6)) +
      QStringLiteral("#RibbonPageScroller, #RibbonPageScroller > QWidget > QWidget { background: transparent; }"
                     "#RibbonPageScroller QScrollBar:horizontal { height: %1; background: transparent; }"
                     "#RibbonPageScroller QScrollBar::handle:horizontal { background: #c4cdd1; border-radius: 2px;"
                     "  min-width: %2; }"
                     "#RibbonPageScroller QScrollBar::add-line, #RibbonPageScroller QScrollBar::sub-line"
                     "  { width: 0px; }"
                     "#RibbonPageScroller QScrollBar::add-page, #RibbonPageScroller QScrollBar::sub-page"
                     "  { background: transparent; }")
          .arg(px(kScrollBar), px(40)) +
      QStringLiteral("QMenu { background: white; border: 1px solid #bfc8cc; padding: %1 0px; }"
                     "QMenu::item { padding: %3 %4 %3 %2; color: #1f2a2e; }"
                     "QMenu::item:disabled { color: #9aa5aa; }"
                     "QMenu::item:selected { background: %5; }"
                     "QMenu::icon { padding-left: %6; }"
                     "QMenu::separator { height: 1px; background: #dce2e4; margin: %1 %6; }"
                     "#RibbonMenuTitle { color: #5d6a70; font-weight: 600; padding: %3 %6; }")
          .arg(px(3), px(kMenuIcon + 16), px(4), px(24), light, px(8)));
}

void RibbonBar::BuildApplicationMenu() {
  appMenu_->clear();
  const auto& app = model_.Application();
  appButton_->setText(WithMnemonic(Q(app.text), app.keys));
  const auto addRecent = [&] {
    if (app.recentCount == 0) return;
    auto* title = new QLabel(QStringLiteral("Recent files"));
    title->setObjectName(QStringLiteral("RibbonMenuTitle"));
    QFont small = font();
    small.setPixelSize(ScaleByDpi(11, dpi_));
    title->setFont(small);
    auto* heading = new QWidgetAction(appMenu_);
    heading->setDefaultWidget(title);
    heading->setText(title->text());
    heading->setEnabled(false);
    appMenu_->addAction(heading);
    const auto& files = model_.RecentFiles();
    for (std::size_t i = 0; i < files.size(); ++i) {
      const CommandId id = app.recentFirst + static_cast<CommandId>(i);
      const QString path = Q(files[i]);
      QAction* action = appMenu_->addAction(
          QStringLiteral("&%1  %2").arg(i + 1).arg(QFileInfo(path).fileName().replace(u'&', QStringLiteral("&&"))));
      action->setToolTip(path);
      if (const auto it = subStates_.find(id); it != subStates_.end()) action->setEnabled(it->second.enabled);
      connect(action, &QAction::triggered, this, [this, id] { Run(id); });
      subActions_[id] = action;
    }
    if (files.empty()) appMenu_->addAction(QStringLiteral("(none)"))->setEnabled(false);
  };
  for (std::size_t i = 0; i < app.items.size(); ++i) {
    if (i == app.recentIndex) addRecent();
    RibbonElement& item = *app.items[i];
    if (!model_.IsShown(item)) continue;
    if (item.Kind() == RibbonKind::Separator) {
      appMenu_->addSeparator();
      continue;
    }
    QAction* action = appMenu_->addAction(QString());
    const CommandId id = item.Id();
    connect(action, &QAction::triggered, this, [this, id] { Run(id); });
    views_[&item].action = action;
    Sync(item);
  }
  if (app.recentIndex >= app.items.size()) addRecent();
}

void RibbonBar::Rebuild() {
  rebuildPending_ = false;
  const int current = std::max(tabs_->currentIndex(), 0);
  views_.clear();
  subActions_.clear();
  while (tabs_->count() > 0) tabs_->removeTab(0);
  while (pages_->count() > 0) {
    QWidget* page = pages_->widget(0);
    pages_->removeWidget(page);
    delete page;
  }
  QFont font = this->font();
  font.setPixelSize(ScaleByDpi(12, dpi_));
  setFont(font);
  appButton_->setFont(font);
  tabs_->setFont(font);
  appMenu_->setFont(font);
  appMenu_->setStyle(MenuStyleFor(dpi_));
  ApplyStyle();
  BuildApplicationMenu();
  BuildShortcuts();
  appButton_->setVisible(!model_.Tabs().empty());

  for (const auto& tab : model_.Tabs()) {
    auto* page = new QWidget;
    auto* row = new QHBoxLayout(page);
    row->setContentsMargins(ScaleByDpi(4, dpi_), ScaleByDpi(3, dpi_), ScaleByDpi(4, dpi_), ScaleByDpi(1, dpi_));
    row->setSpacing(ScaleByDpi(3, dpi_));
    bool first = true;
    for (const auto& panel : tab.panels) {
      QWidget* built = BuildPanel(panel);
      if (!built) continue;
      if (!first) {
        auto* line = new QWidget;
        line->setObjectName(QStringLiteral("RibbonPanelSeparator"));
        line->setAttribute(Qt::WA_StyledBackground);
        line->setFixedWidth(1);
        row->addWidget(line);
      }
      row->addWidget(built);
      first = false;
    }
    row->addStretch(1);
    // A window narrower than the tab scrolls it sideways rather than cutting
    // panels off.
    auto* scroller = new QScrollArea;
    scroller->setObjectName(QStringLiteral("RibbonPageScroller"));
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroller->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scroller->setWidgetResizable(true);
    scroller->setWidget(page);
    pages_->addWidget(scroller);
    tabs_->addTab(WithMnemonic(Q(tab.name), tab.keys));
  }
  pages_->setFixedHeight(ScaleByDpi(kContentHeight + 24 + kScrollBar, dpi_));
  if (tabs_->count() > 0) {
    tabs_->setCurrentIndex(std::min(current, tabs_->count() - 1));
    pages_->setCurrentIndex(tabs_->currentIndex());
  }
}

void RibbonBar::BuildShortcuts() {
  for (const auto& [id, action] : shortcuts_) delete action;
  shortcuts_.clear();
  if (!router_) return;
  // The bar is always shown in its window, so its actions' keys work
  // wherever the focus is in that window, also for elements on a tab that
  // is not open or in the closed main menu.
  for (RibbonElement* element : model_.AllElements()) {
    if (element->Id() == 0 || !model_.IsShown(*element)) continue;
    const QKeySequence key = StandardShortcut(element->Shortcut());
    if (key.isEmpty()) continue;
    auto* action = new QAction(Q(element->Text()), this);
    action->setShortcut(key);
    action->setShortcutContext(Qt::WindowShortcut);
    addAction(action);
    router_->BindAction(*action, element->Id());
    shortcuts_[element->Id()] = action;
  }
}

QKeySequence RibbonBar::ShortcutOf(CommandId id) const {
  const auto it = shortcuts_.find(id);
  return it == shortcuts_.end() ? QKeySequence() : it->second->shortcut();
}

QWidget* RibbonBar::BuildPanel(const RibbonModel::Panel& panel) {
  auto* box = new QWidget;
  auto* layout = new QVBoxLayout(box);
  layout->setContentsMargins(ScaleByDpi(2, dpi_), 0, ScaleByDpi(2, dpi_), 0);
  layout->setSpacing(0);
  auto* content = new QWidget;
  content->setFixedHeight(ScaleByDpi(kContentHeight, dpi_));
  auto* columns = new QHBoxLayout(content);
  columns->setContentsMargins(0, 0, 0, 0);
  columns->setSpacing(ScaleByDpi(2, dpi_));
  QVBoxLayout* column = nullptr;
  int rows = 0;
  bool any = false;
  for (const auto& element : panel.elements) {
    if (!model_.IsShown(*element)) continue;
    any = true;
    if (element->IsLarge()) {
      columns->addWidget(BuildElement(*element, true));
      column = nullptr;
      continue;
    }
    if (!column || rows == kRowsPerColumn) {
      column = new QVBoxLayout;
      column->setSpacing(ScaleByDpi(1, dpi_));
      column->setContentsMargins(ScaleByDpi(2, dpi_), ScaleByDpi(1, dpi_), ScaleByDpi(2, dpi_), ScaleByDpi(1, dpi_));
      columns->addLayout(column);
      rows = 0;
    }
    column->addWidget(BuildElement(*element, false), 0, Qt::AlignLeft);
    ++rows;
    if (rows == kRowsPerColumn) column->addStretch(1);
  }
  if (!any) {
    delete box;
    return nullptr;
  }
  // Columns that were not filled keep their elements at the top.
  for (int i = 0; i < columns->count(); ++i)
    if (auto* c = qobject_cast<QVBoxLayout*>(columns->itemAt(i)->layout()); c && c->count() < kRowsPerColumn + 1)
      c->addStretch(1);
  layout->addWidget(content);
  auto* caption = new QLabel(Q(panel.name));
  caption->setObjectName(QStringLiteral("RibbonPanelCaption"));
  caption->setAlignment(Qt::AlignCenter);
  QFont small = font();
  small.setPixelSize(ScaleByDpi(11, dpi_));
  caption->setFont(small);
  caption->setFixedHeight(ScaleByDpi(18, dpi_));
  layout->addWidget(caption);
  return box;
}

QWidget* RibbonBar::BuildElement(RibbonElement& element, bool large) {
  View view;
  const CommandId id = element.Id();
  const int rowHeight = ScaleByDpi(22, dpi_);
  // A caption before a field (edit, combo, slider).
  const auto labelled = [&](QWidget* field) {
    auto* holder = new QWidget;
    auto* row = new QHBoxLayout(holder);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(ScaleByDpi(6, dpi_));
    view.label = new QLabel;
    view.label->setBuddy(field);
    row->addWidget(view.label);
    row->addWidget(field);
    holder->setFixedHeight(rowHeight);
    return holder;
  };
  QWidget* shown = nullptr;
  switch (element.Kind()) {
    case RibbonKind::Button:
    case RibbonKind::ColorButton: {
      auto* button = new QToolButton;
      button->setAutoRaise(true);
      button->setFocusPolicy(Qt::TabFocus);
      if (large) {
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setIconSize(QSize(ScaleByDpi(kLargeIcon, dpi_), ScaleByDpi(kLargeIcon, dpi_)));
        button->setFixedHeight(ScaleByDpi(kContentHeight - 2, dpi_));
        button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
      } else {
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setIconSize(QSize(ScaleByDpi(kSmallIcon, dpi_), ScaleByDpi(kSmallIcon, dpi_)));
        button->setFixedHeight(rowHeight);
      }
      if (auto* color = dynamic_cast<RibbonColorButton*>(&element)) {
        auto* menu = new QMenu(button);
        menu->setFont(font());
        menu->setStyle(MenuStyleFor(dpi_));
        button->setMenu(menu);
        button->setPopupMode(QToolButton::InstantPopup);
        connect(menu, &QMenu::aboutToShow, this, [this, color, menu] { FillColorMenu(*color, *menu); });
      } else if (!element.SubItems().empty()) {
        auto* menu = new QMenu(button);
        menu->setFont(font());
        menu->setStyle(MenuStyleFor(dpi_));
        for (const auto& sub : element.SubItems()) {
          if (sub->Kind() == RibbonKind::Separator) {
            menu->addSeparator();
            continue;
          }
          QAction* action = menu->addAction(Q(sub->Text()));
          const CommandId subId = sub->Id();
          connect(action, &QAction::triggered, this, [this, subId] { Run(subId); });
          views_[sub.get()].action = action;
          Sync(*sub);
        }
        button->setMenu(menu);
        button->setPopupMode(QToolButton::MenuButtonPopup);
      }
      connect(button, &QToolButton::clicked, this, [this, id, &element] {
        Run(id);
        Sync(element);
      });
      shown = view.widget = button;
      break;
    }
    case RibbonKind::CheckBox: {
      auto* box = new QCheckBox;
      box->setFixedHeight(rowHeight);
      connect(box, &QCheckBox::clicked, this, [this, id, &element] {
        Run(id);
        Sync(element);
      });
      shown = view.widget = box;
      break;
    }
    case RibbonKind::Edit: {
      auto* edit = new QLineEdit;
      edit->setFixedWidth(ScaleByDpi(static_cast<RibbonEdit&>(element).Width(), dpi_));
      auto* model = static_cast<RibbonEdit*>(&element);
      connect(edit, &QLineEdit::returnPressed, this, [this, id, model, edit] {
        model->SetEditText(edit->text().toStdString());
        Run(id);
      });
      view.widget = edit;
      shown = labelled(edit);
      break;
    }
    case RibbonKind::ComboBox: {
      auto* combo = new QComboBox;
      auto* model = static_cast<RibbonComboBox*>(&element);
      combo->setFixedWidth(ScaleByDpi(model->Width(), dpi_));
      combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
      connect(combo, &QComboBox::activated, this, [this, id, model](int index) {
        model->SelectItem(index);
        Run(id);
      });
      view.widget = combo;
      shown = labelled(combo);
      break;
    }
    case RibbonKind::Slider: {
      auto* slider = new QSlider(Qt::Horizontal);
      auto* model = static_cast<RibbonSlider*>(&element);
      slider->setFixedWidth(ScaleByDpi(model->Width(), dpi_));
      slider->setFocusPolicy(Qt::StrongFocus);
      connect(slider, &QSlider::valueChanged, this, [this, id, model](int value) {
        if (syncing_) return;
        model->SetPos(value);
        Run(id);
      });
      view.widget = slider;
      shown = labelled(slider);
      break;
    }
    case RibbonKind::Label: {
      auto* label = new QLabel;
      label->setFixedHeight(rowHeight);
      shown = view.widget = label;
      break;
    }
    case RibbonKind::Separator: {
      auto* line = new QWidget;
      line->setObjectName(QStringLiteral("RibbonPanelSeparator"));
      line->setAttribute(Qt::WA_StyledBackground);
      line->setFixedSize(large ? 1 : ScaleByDpi(40, dpi_), large ? ScaleByDpi(kContentHeight - 8, dpi_) : 1);
      return line;
    }
  }
  // Elements keep the width their text needs; a narrow window scrolls the tab.
  if (shown) shown->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  if (view.widget && view.widget != shown) view.widget->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  if (view.widget) view.widget->setFont(font());
  if (view.label) view.label->setFont(font());
  views_[&element] = view;
  Sync(element);
  return shown;
}

void RibbonBar::FillColorMenu(RibbonColorButton& element, QMenu& menu) {
  menu.clear();
  subActions_.erase(element.PickerId());
  subActions_.erase(element.DefaultId());
  auto* grid = new QWidget;
  auto* layout = new QGridLayout(grid);
  const int gap = ScaleByDpi(4, dpi_);
  layout->setContentsMargins(gap * 2, gap * 2, gap * 2, gap);
  layout->setSpacing(gap);
  const int swatch = ScaleByDpi(22, dpi_);
  const auto& palette = element.Palette();
  for (std::size_t i = 0; i < palette.size(); ++i) {
    auto* button = new QToolButton;
    button->setFixedSize(swatch, swatch);
    const QColor c = FromColorRef(palette[i].color);
    const bool chosen = palette[i].color == element.GetColor();
    button->setStyleSheet(QStringLiteral("QToolButton { background: %1; border: %2px solid %3; border-radius: 2px; }"
                                         "QToolButton:hover { border: %4px solid %5; }")
                              .arg(c.name())
                              .arg(chosen ? 2 : 1)
                              .arg(chosen ? accent_.name() : QStringLiteral("#8d999e"))
                              .arg(2)
                              .arg(accent_.name()));
    button->setToolTip(Q(palette[i].name));
    const COLORREF value = palette[i].color;
    const CommandId id = element.Id();
    connect(button, &QToolButton::clicked, this, [this, &element, &menu, value, id] {
      menu.close();
      element.SetColor(value);
      Run(id);
    });
    layout->addWidget(button, static_cast<int>(i / 8), static_cast<int>(i % 8));
  }
  auto* holder = new QWidgetAction(&menu);
  holder->setDefaultWidget(grid);
  menu.addAction(holder);
  menu.addSeparator();
  for (const auto& [sub, text] :
       {std::pair{element.PickerId(), element.PickerText()}, std::pair{element.DefaultId(), element.DefaultText()}}) {
    if (sub == 0) continue;
    QAction* action = menu.addAction(Q(text));
    const CommandId subId = sub;
    connect(action, &QAction::triggered, this, [this, subId] { Run(subId); });
    if (const auto it = subStates_.find(sub); it != subStates_.end()) action->setEnabled(it->second.enabled);
    subActions_[sub] = action;
  }
}

void RibbonBar::Sync(RibbonElement& element) {
  const auto it = views_.find(&element);
  if (it == views_.end()) return;
  const View& view = it->second;
  const bool wasSyncing = syncing_;
  syncing_ = true;
  if (view.action) {
    // A menu entry shows its key beside its text (the key itself is the
    // bar's, see BuildShortcuts).
    const QKeySequence key = StandardShortcut(element.Shortcut());
    view.action->setText(key.isEmpty() ? Q(element.Text())
                                       : Q(element.Text()) + u'\t' + key.toString(QKeySequence::NativeText));
    view.action->setEnabled(element.IsEnabled());
    view.action->setCheckable(element.IsChecked());
    view.action->setChecked(element.IsChecked());
    view.action->setToolTip(ToolTip(element));
    if (element.ImageIndex() >= 0) view.action->setIcon(ElementIcon(element, kMenuIcon));
  }
  if (view.label) {
    view.label->setText(WithMnemonic(Q(element.Text()), element.Keys()));
    view.label->setVisible(!element.Text().empty());
    view.label->setEnabled(element.IsEnabled());
  }
  if (QWidget* w = view.widget) {
    w->setEnabled(element.IsEnabled());
    w->setToolTip(ToolTip(element));
    if (view.label) view.label->setToolTip(ToolTip(element));
    if (auto* button = qobject_cast<QToolButton*>(w)) {
      button->setText(DisplayText(element, element.IsLarge()));
      button->setIcon(ElementIcon(element, element.IsLarge() ? kLargeIcon : kSmallIcon));
      button->setCheckable(element.IsChecked());
      button->setChecked(element.IsChecked());
    } else if (auto* box = qobject_cast<QCheckBox*>(w)) {
      box->setText(DisplayText(element, false));
      box->setChecked(element.IsChecked());
    } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
      auto& model = static_cast<RibbonComboBox&>(element);
      QStringList items;
      for (int i = 0; i < model.GetCount(); ++i) items << Q(model.GetItem(i));
      QStringList shownItems;
      for (int i = 0; i < combo->count(); ++i) shownItems << combo->itemText(i);
      if (items != shownItems) {
        combo->clear();
        combo->addItems(items);
      }
      combo->setEditable(model.IsEditable());
      combo->setCurrentIndex(model.GetCurSel());
      if (model.IsEditable() && combo->currentText() != Q(model.GetEditText()))
        combo->setEditText(Q(model.GetEditText()));
    } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
      const QString text = Q(static_cast<RibbonEdit&>(element).GetEditText());
      if (edit->text() != text) edit->setText(text);
    } else if (auto* slider = qobject_cast<QSlider*>(w)) {
      const auto& model = static_cast<RibbonSlider&>(element);
      slider->setRange(model.GetRangeMin(), model.GetRangeMax());
      slider->setPageStep(model.GetPageSize());
      slider->setValue(model.GetPos());
    } else if (auto* label = qobject_cast<QLabel*>(w)) {
      label->setText(Q(element.Text()));
    }
  }
  syncing_ = wasSyncing;
}

}  // namespace ORV::UI
