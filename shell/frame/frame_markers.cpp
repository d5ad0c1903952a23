#include "shell/frame/frame_markers.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

#include "core/base/configuration.h"
#include "graph_control/graph_interface.h"
#include "platform/com/caller.h"
#include "platform/ui/string_table.h"
#include "shell/glue/trace_glue.h"

namespace ORV {
namespace {

UI::DialogFrame MarkerFrame() {
  UI::DialogFrame frame;
  frame.caption = QStringLiteral("Marker strings");
  frame.widthDlu = 220;
  frame.heightDlu = 74;
  return frame;
}

QPushButton* Button(UI::Dialog& dialog, const char* text, int id, QRect where) {
  auto* button = new QPushButton(QString::fromUtf8(text), &dialog);
  button->setObjectName(QString::number(id));
  button->setGeometry(where);
  button->setAutoDefault(false);
  return button;
}

}  // namespace

CMarkerDlg::CMarkerDlg(Configuration& configuration, QWidget* owner)
    : Dialog(MarkerFrame(), owner),
      configuration_(configuration),
      strings_(configuration.HotKeys),
      key_(new QComboBox(this)),
      text_(new QLineEdit(this)),
      ok_(Button(*this, "OK", UI::IDOK, MapDialogRect(108, 53, 50, 14))),
      cancel_(Button(*this, "Cancel", UI::IDCANCEL, MapDialogRect(163, 53, 50, 14))) {
  (new QLabel(QStringLiteral("Hotkey"), this))->setGeometry(MapDialogRect(7, 9, 50, 10));
  (new QLabel(QStringLiteral("Marker text"), this))->setGeometry(MapDialogRect(7, 29, 50, 10));
  key_->setObjectName(QString::number(kIdKey));
  key_->setGeometry(MapDialogRect(60, 7, 100, 14));
  text_->setObjectName(QString::number(kIdText));
  text_->setGeometry(MapDialogRect(60, 27, 153, 14));
  // Enter does not store the texts unasked: Cancel is the default.
  cancel_->setDefault(true);
  QObject::connect(key_, &QComboBox::activated, this, [this](int index) { OnSelChangeKey(index); });
  QObject::connect(ok_, &QPushButton::clicked, this, [this] { OnOK(); });
  QObject::connect(cancel_, &QPushButton::clicked, this, [this] { OnCancel(); });
}

bool CMarkerDlg::OnInitDialog() {
  key_->clear();
  for (const std::string& item : MarkerStrings::KeyItems(UI::LoadString(UI::kHotkeyString)))
    key_->addItem(QString::fromStdString(item));
  key_->setCurrentIndex(0);
  text_->setText(QString::fromStdString(strings_.Text(0)));
  return true;
}

void CMarkerDlg::OnSelChangeKey(int index) {
  if (const std::optional<std::string> text = strings_.Select(index, text_->text().toStdString()))
    text_->setText(QString::fromStdString(*text));
}

void CMarkerDlg::OnOK() {
  configuration_.HotKeys = strings_.Accept(text_->text().toStdString());
  Dialog::OnOK();
}

Shell::GlueTraceView* MarkerView(const std::vector<Shell::GlueTraceView*>& views, Shell::GlueTraceView* active) {
  const auto shows = [](Shell::GlueTraceView* view) {
    return view != nullptr && view->TraceKind() != 0 && view->GraphControl() != nullptr;
  };
  if (shows(active) && std::find(views.begin(), views.end(), active) != views.end()) return active;
  const auto first = std::find_if(views.begin(), views.end(), shows);
  return first != views.end() ? *first : nullptr;
}

bool AddMarkerOnView(const std::vector<Shell::GlueTraceView*>& views, Shell::GlueTraceView* active) {
  Shell::GlueTraceView* view = MarkerView(views, active);
  if (view == nullptr) return false;
  // While collecting the current time is the experiment clock's, as for the
  // function keys; otherwise the time the graph shows at its right edge.
  if (view->AskMarkerAtClockTime()) return true;
  Com::Dispatcher(view->GraphControl()).Invoke(Graph::Dispid::AddMarkerAtCurrentTime);
  return true;
}

void AddMarkerCommands(UI::CommandRouter& router, QWidget* owner, Configuration& configuration, Shell::TraceGlue* glue,
                       std::function<void()> updateButtons, std::function<Shell::GlueTraceView*()> activeView) {
  router.OnCommand(ID_MARKER_SETTINGS_BUTTON, [owner, &configuration, updateButtons = std::move(updateButtons)] {
    CMarkerDlg dialog(configuration, owner);
    if (dialog.DoModal() == UI::IDOK && updateButtons) updateButtons();
  });
  router.OnUpdate(ID_MARKER_SETTINGS_BUTTON, [](UI::CmdUI& cmd) { cmd.Enable(true); });
  const auto active = [activeView = std::move(activeView)] { return activeView ? activeView() : nullptr; };
  router.OnCommand(IDC_ADD_MARKER_BUTTON, [glue, active] {
    if (glue) AddMarkerOnView(glue->Views(), active());
  });
  router.OnUpdate(IDC_ADD_MARKER_BUTTON,
                  [glue](UI::CmdUI& cmd) { cmd.Enable(glue && MarkerView(glue->Views(), nullptr) != nullptr); });
}

}  // namespace ORV
