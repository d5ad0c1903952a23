#include "instruments/ui/myograph_pane_base.h"

#include <QLineEdit>
#include <QPainter>
#include <QTimer>

#include "instruments/ui/multi_myograph_pane_logic.h"
#include "instruments/ui/myograph_pane_logic.h"
#include "platform/ui/focus_edit.h"
#include "platform/ui/icon_button.h"
#include "platform/ui/painting.h"

namespace ORV::UI {

namespace {
constexpr int kUpdateMs = 200;  // how often the controls' enabled states are brought up to date
}  // namespace

template <class PaneLogic>
MyographPaneBase<PaneLogic>::MyographPaneBase(const InstrumentPaneContext& context, const char* objectName,
                                              const QString& title, QWidget* parent, std::uint32_t sampleMessage,
                                              std::uint32_t activeMessage)
    : DockingPane(context.configuration, QString::fromLatin1(objectName), title, parent),
      experiment_(context.experiment),
      activeMessage_(activeMessage),
      runner_(std::make_unique<WorkerCommandRunner>(this)) {
  SetHandler(sampleMessage, [this](WPARAM, LPARAM) {
    ShowQueuedSamples();
    return LRESULT{0};
  });
  SetHandler(activeMessage, [this](WPARAM on, LPARAM) {
    logic_->SetActive(on != 0);
    return LRESULT{0};
  });
  RepaintOwnerWhenMoved(*this);
}

template <class PaneLogic>
TargetEntry* MyographPaneBase<PaneLogic>::AddEntry(int id) {
  auto& entry = entries_[id];
  entry = std::make_unique<FocusEditEntry>();
  return entry.get();
}

template <class PaneLogic>
void MyographPaneBase<PaneLogic>::SetLogic(std::unique_ptr<PaneLogic> logic) {
  logic_ = std::move(logic);
  logic_->onChanged = [this] { ShowState(); };
}

template <class PaneLogic>
QWidget* MyographPaneBase<PaneLogic>::Control(int id) const {
  const auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

template <class PaneLogic>
CFocusEdit* MyographPaneBase<PaneLogic>::Entry(int id) const {
  const auto it = entries_.find(id);
  return it == entries_.end() ? nullptr : it->second->edit;
}

template <class PaneLogic>
void MyographPaneBase<PaneLogic>::AddButton(int id, const QString& text, const QRect& rect, bool icon) {
  CIconButton* button = MakeIconButton(*this, text, rect, id, icon);
  QObject::connect(button, &QPushButton::clicked, this, [this, id] { OnCommand(id); });
  controls_[id] = button;
}

template <class PaneLogic>
CFocusEdit* MyographPaneBase<PaneLogic>::AddEntryEdit(int id, bool numericOnly, bool decimalAllowed) {
  auto* focus = new CFocusEdit(Client());
  focus->enterHandler = this;
  focus->numericOnly = numericOnly;
  focus->decimalAllowed = decimalAllowed;
  entries_.at(id)->edit = focus;
  return focus;
}

template <class PaneLogic>
void MyographPaneBase<PaneLogic>::AddValueEdit(int id, const QRect& rect, QLineEdit* edit) {
  controls_[id] = MakeValueEdit(*this, rect, id, edit);
}

template <class PaneLogic>
void MyographPaneBase<PaneLogic>::OnCommand(int id) {
  switch (id) {
    case PaneLogic::kHeaterOff:
      logic_->HeaterOff();
      break;
    case PaneLogic::kPressureOn:
      logic_->PressureOn();
      break;
    case PaneLogic::kPressureOff:
      logic_->PressureOff();
      break;
    case PaneLogic::kZeroForce:
      logic_->ZeroForce();
      break;
    default:
      RunCommand(id);
      break;
  }
  UpdateControls();
}

template <class PaneLogic>
void MyographPaneBase<PaneLogic>::LinkTabOrder(const std::vector<CFocusEdit*>& ring) {
  for (std::size_t i = 0; i < ring.size(); ++i) {
    ring[i]->nextWindow = ring[(i + 1) % ring.size()];
    ring[i]->previousWindow = ring[(i + ring.size() - 1) % ring.size()];
  }
}

template <class PaneLogic>
void MyographPaneBase<PaneLogic>::StartUpdates() {
  auto* timer = new QTimer(this);
  QObject::connect(timer, &QTimer::timeout, this, [this] { UpdateControls(); });
  timer->start(kUpdateMs);
  UpdateControls();
}

template <class PaneLogic>
void MyographPaneBase<PaneLogic>::UpdateControls() {
  for (const auto& [id, control] : controls_) control->setEnabled(logic_->Enabled(id));
}

template <class PaneLogic>
void MyographPaneBase<PaneLogic>::SetActive(bool on) {
  PostMessage(activeMessage_, on ? 1 : 0);
}

template <class PaneLogic>
void MyographPaneBase<PaneLogic>::ShowState() {
  for (int id : {PaneLogic::kCurrentTemperature, PaneLogic::kCurrentP1, PaneLogic::kCurrentP2, PaneLogic::kForce,
                 PaneLogic::kPH})
    if (auto* edit = static_cast<QLineEdit*>(Control(id))) edit->setText(logic_->ValueText(id));
  UpdateControls();
  OnStateShown();
}

template <class PaneLogic>
void MyographPaneBase<PaneLogic>::PaintHeads(QPainter& painter, int top) {
  DrawLabel(painter, Rect96(26, top, 66, top + 18), QStringLiteral("Current"), Qt::AlignCenter);
  DrawLabel(painter, Rect96(71, top, 121, top + 18), QStringLiteral("Target"), Qt::AlignCenter);
}

template <class PaneLogic>
void MyographPaneBase<PaneLogic>::PaintProbe(QPainter& painter, const QString& title, int top) {
  DrawLabel(painter, Rect96(5, top, 195, top + 20), title, Qt::AlignCenter);
  DrawEtchedFrame(painter, Rect96(5, top + 20, 196, top + 54));
  DrawLabel(painter, Rect96(26, top + 30, 66, top + 48), QStringLiteral("Current"), Qt::AlignCenter);
}

template class MyographPaneBase<MyographPaneLogic>;
template class MyographPaneBase<MultiMyographPaneLogic>;

}  // namespace ORV::UI
