#include "views/ui/trace_view_window.h"

#include <QContextMenuEvent>
#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPalette>
#include <QPushButton>
#include <QResizeEvent>
#include <QSvgRenderer>
#include <QToolButton>
#include <QWheelEvent>
#include <algorithm>

#include "core/base/configuration.h"
#include "core/base/event_log.h"
#include "core/experiment/experiment_data.h"
#include "graph_control/graph_interface.h"
#include "platform/ui/app_services.h"
#include "platform/ui/dpi.h"
#include "platform/ui/icons.h"
#include "platform/ui/message_box.h"
#include "platform/ui/string_table.h"
#include "views/ui/trace_settings_dialog.h"

namespace ORV::Views {

namespace {

// The band above the graph, and the buttons in it, at 96 dpi.
constexpr int kBandHeight = 28;
constexpr int kButtonSize = 24;
constexpr int kFirstZoneButtonX = 36;
constexpr int kZoneButtonStep = 26;
// The timer of the live view's redraw (CPelmoraView::OnRedrawTimer).
constexpr std::uintptr_t kRedrawTimerId = 1;

int Scaled(int value) { return ScaleByDpi(value, QueryDpi()); }

// A Qt color as the graph takes it (0x00BBGGRR).
std::int32_t ColorRef(const QColor& c) { return c.red() | (c.green() << 8) | (c.blue() << 16); }

QIcon SvgIcon(int id, int size) {
  QSvgRenderer renderer(UI::LoadIconResource(id));
  if (!renderer.isValid()) return {};
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  renderer.render(&painter);
  return QIcon(pixmap);
}

}  // namespace

TraceViewWindow::TraceViewWindow(Params p, QWidget* parent) : QWidget(parent) {
  CPelmoraView::Params vp;
  vp.experiment = p.experiment;
  vp.registry = p.registry;
  if (p.configuration) {
    vp.settingsVersion = p.configuration->SettingsVersion;
    vp.traceTimeSpan = p.configuration->TraceTimeSpan;
  }
  vp.texts = [](std::uint32_t id) { return UI::LoadString(id); };
  vp.devices = p.devices;
  vp.self = Target();
  vp.host = this;
  vp.live = p.live;
  view_ = std::make_unique<CPelmoraView>(std::move(vp));
  view_->Document().SetTitleListener(
      [this](const std::string& title) { setWindowTitle(QString::fromStdString(title)); });

  view_->SetInterfaceType(p.interfaceType);
  for (std::uint32_t m : {WM_IMAGE_ANALYSIS_ARRIVED, WM_PRESSURE_ARRIVED, WM_MICROSCOPE_ARRIVED, WM_FLOW_ARRIVED})
    SetHandler(m, [this, m](UI::WPARAM, UI::LPARAM) {
      view_->HandleMessage(m);
      return 0;
    });
  SetHandler(UI::WM_TIMER, [this](UI::WPARAM id, UI::LPARAM) {
    if (id == kRedrawTimerId) {
      KillTimer(kRedrawTimerId);
      view_->OnRedrawTimer();
    }
    return 0;
  });
  for (std::uint32_t m : {WM_TRACE_NAVIGATE, WM_TRACE_MOVE_MARKER})
    SetHandler(m, [this, m](UI::WPARAM w, UI::LPARAM l) {
      view_->HandleFrameMessage(m, w, l);
      return 0;
    });
  setFocusPolicy(Qt::StrongFocus);

  setAutoFillBackground(true);
  band_ = new QWidget(this);
  settings_ = new QToolButton(band_);
  settings_->setAutoRaise(true);
  settings_->setIcon(SvgIcon(UI::kIconSettings, Scaled(kButtonSize)));
  settings_->setIconSize(QSize(Scaled(20), Scaled(20)));
  settings_->setToolTip(QStringLiteral("Trace settings"));
  connect(settings_, &QToolButton::clicked, this, [this] { OnCommand(kCmdTraceSettings); });
  for (int i = 0; i < 4; ++i) {
    auto* button = new QPushButton(QString::number(i + 1), band_);
    button->setFocusPolicy(Qt::NoFocus);
    connect(button, &QPushButton::clicked, this, [this, i] { OnCommand(kCmdFirstZoneButton + i); });
    zoneButtons_[static_cast<std::size_t>(i)] = button;
  }
  graphHost_ = new QWidget(this);
  CreateGraph(p.factory, p.noSaveData);
  // Over the plot, above the middle where the graph writes its own notes;
  // the mouse goes through it to the graph (its right-click menu).
  hint_ = new QLabel(graphHost_);
  hint_->setObjectName(QStringLiteral("PlotHint"));
  hint_->setAlignment(Qt::AlignCenter);
  hint_->setWordWrap(true);
  hint_->setAttribute(Qt::WA_TransparentForMouseEvents);
  QFont hintFont = font();
  hintFont.setPointSizeF(hintFont.pointSizeF() * 1.25);
  hint_->setFont(hintFont);
  QPalette hintPalette = hint_->palette();
  hintPalette.setColor(QPalette::WindowText, palette().color(QPalette::Disabled, QPalette::WindowText));
  hint_->setPalette(hintPalette);
  Invalidate();
}

TraceViewWindow::~TraceViewWindow() {
  // Later posts fail and queued channel messages are dropped; the view then
  // leaves the experiment's receivers before the graph goes.
  CloseMessageWindow();
  events_.Reset();
  view_->DetachGraph();
  graph_.Destroy();
  view_.reset();
}

void TraceViewWindow::CreateGraph(const Com::ControlFactory* factory, bool noSaveData) {
  const Com::HRESULT hr = factory ? graph_.Create(graphHost_, Graph::kGraphProgId, kGraphControlId, Target(), *factory)
                                  : graph_.Create(graphHost_, Graph::kGraphProgId, kGraphControlId, Target());
  if (Com::Failed(hr) || !graph_) {
    LogError("CPelmoraView::OnInitialUpdate() - Unable to locate ORVGraph Control - Bad installation");
    UI::MessageBox(this, QStringLiteral("Unable to locate ORVGraph Control"), QStringLiteral("Error"),
                   UI::MB_OK | UI::MB_ICONERROR);
    view_->AttachGraph(nullptr, 0, noSaveData);
    return;
  }
  view_->AttachGraph(graph_.control(), ColorRef(palette().color(QPalette::Window)), noSaveData);
  sink_.view = view_.get();
  events_ = Com::SinkConnection(*graph_.control(), &sink_);
}

void TraceViewWindow::SetBusy(bool busy) {
  if (busy && !wait_)
    wait_ = std::make_unique<UI::CWaitCursor>();
  else if (!busy)
    wait_.reset();
}

void TraceViewWindow::StartRedrawTimer(int ms) { SetTimer(kRedrawTimerId, static_cast<unsigned>(ms)); }

void TraceViewWindow::RedrawGraph() {
  if (QWidget* g = graph_.widget()) g->update();
}

void TraceViewWindow::Invalidate() {
  const CPelmoraView::ZoneButtons state = view_->ZoneButtonState();
  QFont normal = font();
  QFont bold = normal;
  bold.setBold(true);
  for (int i = 0; i < 4; ++i) {
    QPushButton* button = zoneButtons_[static_cast<std::size_t>(i)];
    button->setVisible(i < state.shown);
    button->setFont(i == state.bold ? bold : normal);
  }
  if (hint_) {
    const QString hint = QString::fromStdString(view_->EmptyPlotHint());
    hint_->setText(hint);
    hint_->setVisible(!hint.isEmpty());
  }
  Layout();
  if (QWidget* g = graph_.widget()) g->update();
  update();
}

void TraceViewWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Layout();
}

void TraceViewWindow::Layout() {
  const int dpi = QueryDpi();
  const QSize size96(width() * 96 / dpi, height() * 96 / dpi);
  const bool band = view_->HasGraph() && view_->ControlBandFits(size96.width(), size96.height());
  const int bandHeight = band ? Scaled(kBandHeight) : 0;
  band_->setVisible(band);
  band_->setGeometry(0, 0, width(), bandHeight);
  const int top = (Scaled(kBandHeight) - Scaled(kButtonSize)) / 2;
  settings_->setGeometry(Scaled(4), top, Scaled(kButtonSize), Scaled(kButtonSize));
  for (int i = 0; i < 4; ++i)
    zoneButtons_[static_cast<std::size_t>(i)]->setGeometry(Scaled(kFirstZoneButtonX + i * kZoneButtonStep), top,
                                                           Scaled(kButtonSize), Scaled(kButtonSize));
  graphHost_->setGeometry(0, bandHeight, width(), height() - bandHeight);
  if (hint_) {
    const int lines = 2 * hint_->fontMetrics().height();
    const int margin = Scaled(8);
    hint_->setGeometry(margin, std::max(0, graphHost_->height() / 4 - lines / 2), std::max(0, width() - 2 * margin),
                       lines);
    hint_->raise();
  }
}

bool TraceViewWindow::OnCommand(int command) {
  if (command == kCmdTraceSettings) {
    OnTraceSettings();
    return true;
  }
  return view_->OnCommand(command);
}

void TraceViewWindow::OnTraceSettings() {
  ExperimentData& experiment = view_->Experiment();
  CustomTraceList custom;
  for (const auto& [identity, name] : experiment.GetCustomTraces())
    custom.emplace_back(identity, experiment.GetCustomTrace(identity));
  CTraceSettingsDialog dialog(view_->Document(), std::move(custom), view_->InterfaceType(), this);
  if (dialog.DoModal() == UI::IDOK) view_->TraceSettingsAccepted();
}

void TraceViewWindow::wheelEvent(QWheelEvent* event) {
  const Qt::KeyboardModifiers m = event->modifiers();
  CPelmoraView::WheelKeys keys;
  keys.shift = m & Qt::ShiftModifier;
  keys.control = m & Qt::ControlModifier;
  keys.alt = m & Qt::AltModifier;
  // Qt turns the vertical wheel sideways while Alt is held.
  const QPoint angle = event->angleDelta();
  view_->OnMouseWheel(keys, angle.y() != 0 ? angle.y() : angle.x());
  event->accept();
}

void TraceViewWindow::keyPressEvent(QKeyEvent* event) {
  if (event->modifiers() & Qt::ControlModifier) {
    static constexpr std::pair<int, NavigationKey> kKeys[] = {
        {Qt::Key_End, NavigationKey::End}, {Qt::Key_Home, NavigationKey::Home},   {Qt::Key_Left, NavigationKey::Left},
        {Qt::Key_Up, NavigationKey::Up},   {Qt::Key_Right, NavigationKey::Right}, {Qt::Key_Down, NavigationKey::Down}};
    for (const auto& [key, navigation] : kKeys) {
      if (event->key() == key) {
        view_->OnNavigationKey(navigation);
        event->accept();
        return;
      }
    }
  }
  QWidget::keyPressEvent(event);
}

void TraceViewWindow::contextMenuEvent(QContextMenuEvent* event) {
  const double time =
      view_->HasGraph() ? view_->Graph().Invoke<double>(Graph::Dispid::GetTimeAtPos, std::int32_t{0}) : 0.0;
  ShowContextMenu(event->globalPos(), time);
}

void TraceViewWindow::ShowContextMenu(const QPoint& globalPos, double time) {
  QMenu menu(this);
  for (const MenuItem& item : view_->ContextMenu(time)) {
    if (item.text.empty()) {
      menu.addSeparator();
      continue;
    }
    QAction* action = menu.addAction(QString::fromStdString(item.text));
    action->setCheckable(item.checked);
    action->setChecked(item.checked);
    action->setEnabled(item.enabled);
    const int command = item.command;
    connect(action, &QAction::triggered, this, [this, command] { OnCommand(command); });
  }
  menu.exec(globalPos);
}

}  // namespace ORV::Views
