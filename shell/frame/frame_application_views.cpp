#include "shell/frame/frame_application_views.h"

#include <QApplication>
#include <QMdiArea>
#include <QPointer>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "core/base/configuration.h"
#include "core/experiment/experiment_data.h"
#include "graph_control/graph_interface.h"
#include "platform/ui/document_area.h"
#include "platform/ui/ribbon_status_bar.h"
#include "shell/app/document_templates.h"
#include "shell/app/small_dialogs.h"
#include "shell/frame/main_frame.h"
#include "shell/glue/trace_glue.h"
#include "shell/glue/trace_view_link.h"
#include "video/ui/video_pane.h"
#include "views/data_sheet/ui/data_view.h"
#include "views/ui/action_view.h"
#include "views/ui/trace_view_window.h"

namespace ORV {

// ---- TraceDocument ----

TraceDocument::TraceDocument(FrameViews& owner, std::unique_ptr<Views::TraceViewWindow> window)
    : owner_(owner), window_(window.release()) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(window_);
  window_->setParent(this);
  // The tab shows the trace's title as the view sets it.
  const auto retitle = [this](const QString& title) {
    const QString shown = title.isEmpty() ? QStringLiteral("Trace") : title;
    setWindowTitle(shown);
    if (QWidget* child = parentWidget()) child->setWindowTitle(shown);
  };
  retitle(window_->windowTitle());
  connect(window_, &QWidget::windowTitleChanged, this, retitle);
  window_->SetFrame(this);
  // Only a view with a graph takes part in the fan-out.
  if (View().HasGraph())
    link_ = std::make_unique<Shell::TraceViewLink>(owner_.Glue(), View(), owner_.Config().SelectAllTraces);
}

TraceDocument::~TraceDocument() {
  // The glue lets go of the view before the view goes, and the view stops
  // reporting to this document.
  link_.reset();
  window_->SetFrame(nullptr);
  delete window_;
}

Views::CPelmoraView& TraceDocument::View() { return window_->View(); }

void TraceDocument::Unregister() { link_.reset(); }

void TraceDocument::CopyToClipboard() {
  if (View().HasGraph()) View().Graph().Invoke(Graph::Dispid::CopyToClipboard);
}

void TraceDocument::PostToMainWindow(std::uint32_t message, OS::WPARAM wParam, OS::LPARAM lParam) {
  if (CMainFrame* frame = owner_.Frame()) frame->PostMessage(message, wParam, lParam);
}

void TraceDocument::SetCursorReadout(const std::string& text) {
  CMainFrame* frame = owner_.Frame();
  UI::RibbonStatusBar* bar = frame ? frame->StatusBar() : nullptr;
  if (!bar) return;
  // The first label of the bar's right-hand row holds the read-out.
  for (int i = 0; i < bar->GetExCount(); ++i) {
    UI::StatusBarElement* element = bar->GetExElement(i);
    if (element && element->GetKind() == UI::StatusBarElement::Kind::Label) {
      element->SetText(text);
      element->Redraw();
      return;
    }
  }
}

void TraceDocument::SelectTraceRange(double start, double stop) {
  owner_.Glue().SelectTraceRange(link_.get(), start, stop);
}

void TraceDocument::EnterMarker(double time) {
  ExperimentData& experiment = owner_.Experiment();
  Shell::CEnterMessageDialog dialog(
      time, View().StartTime(), View().CurrentCamera(),
      [&experiment](const std::string& text, std::uint32_t ms, int camera) { experiment.AddMarker(text, ms, camera); },
      owner_.Frame());
  dialog.DoModal();
}

void TraceDocument::EnsureActionSheetOpen() {
  if (!owner_.ActionSheet()) owner_.ShowActionSheet();
}

namespace {

Video::CVideoPane* VideoPaneOf(CMainFrame* frame, int camera) {
  return frame ? dynamic_cast<Video::CVideoPane*>(frame->PaneOf(PaneKind::Video, camera)) : nullptr;
}

}  // namespace

std::optional<Views::TraceViewFrame::Video> TraceDocument::RecordedVideo(int camera) const {
  ::ORV::Video::CVideoPane* pane = VideoPaneOf(owner_.Frame(), camera);
  if (!pane || !pane->Images().VideoLoaded()) return std::nullopt;
  return Video{pane->Images().FrameRate(), pane->Images().FrameCount()};
}

void TraceDocument::ShowVideoFrame(int camera, int frame) {
  if (::ORV::Video::CVideoPane* pane = VideoPaneOf(owner_.Frame(), camera))
    pane->Images().ShowFrameAt(static_cast<std::uint32_t>(std::max(frame, 0)), false);
}

// ---- FrameViews ----

FrameViews::FrameViews(Setup setup) : setup_(setup), registry_(setup.settings) {
  using Shell::DocumentKind;
  setup_.templates.SetViewMaker(DocumentKind::Trace, [this](UI::CChildFrame& f) { return MakeTraceView(f); });
  setup_.templates.SetViewMaker(DocumentKind::DataSheet, [this](UI::CChildFrame& f) { return MakeDataSheet(f); });
  setup_.templates.SetViewMaker(DocumentKind::ActionSheet, [this](UI::CChildFrame& f) { return MakeActionSheet(f); });
  // The live flag starts with the glue's.
  setup_.configuration.LiveTrace = setup_.glue.LiveTrace();
}

FrameViews::~FrameViews() {
  using Shell::DocumentKind;
  for (DocumentKind kind : {DocumentKind::Trace, DocumentKind::DataSheet, DocumentKind::ActionSheet})
    setup_.templates.SetViewMaker(kind, {});
}

Views::DevicesPresent FrameViews::Devices() const {
  Views::DevicesPresent d;
  if (!frame_) return d;
  d.flowMeter = frame_->FlowPresent();
  d.multiInterface = frame_->PaneOf(PaneKind::Multi) != nullptr;
  d.pressureInterface = d.multiInterface || frame_->PaneOf(PaneKind::Single) != nullptr;
  d.heatController = frame_->PaneOf(PaneKind::Heater) != nullptr;
  d.microscope = frame_->PaneOf(PaneKind::Microscope) != nullptr;
  d.productType = frame_->ProductType();
  return d;
}

QWidget* FrameViews::MakeTraceView(UI::CChildFrame& child) {
  if (!frame_) return nullptr;
  Views::TraceViewWindow::Params p;
  p.experiment = &setup_.experiment;
  p.registry = &registry_;
  p.configuration = &setup_.configuration;
  p.devices = Devices();
  p.live = setup_.glue.LiveTrace();
  p.noSaveData = drawNoSaveData_;
  p.factory = setup_.graphFactory;
  auto* document = new TraceDocument(*this, std::make_unique<Views::TraceViewWindow>(p));
  QPointer<TraceDocument> guard(document);
  child.onClosed = [guard](UI::CChildFrame&) {
    if (guard) guard->Unregister();
  };
  return document;
}

QWidget* FrameViews::MakeDataSheet(UI::CChildFrame& child) {
  if (!frame_) return nullptr;
  auto* view = new Views::CDataView(setup_.experiment, setup_.configuration);
  view->setWindowTitle(QStringLiteral("Data Sheet"));
  // Filled by whoever opens it (showing it, or an export to it).
  UI::CommandRouter& router = frame_->Router();
  ExperimentData& experiment = setup_.experiment;
  CMainFrame* frame = frame_;
  view->RegisterCommands(router, [view, &experiment, frame] {
    Shell::CExportCSVDialog dialog(
        experiment.Read([](const ExperimentContents& c) { return c.calculations; }),
        [view](const std::string& path, std::int32_t kind) { return view->ExportToCsv(path, kind); }, frame);
    dialog.folder = view->SaveFolder();
    dialog.fileName = view->SaveFileName(".csv");
    dialog.DoModal();
  });
  child.onClosed = [&router](UI::CChildFrame&) { Views::CDataView::UnregisterCommands(router); };
  return view;
}

QWidget* FrameViews::MakeActionSheet(UI::CChildFrame&) {
  if (!frame_) return nullptr;
  auto* view = new Views::CActionView(setup_.experiment, setup_.configuration.TraceTimeSpan, frame_->Target(),
                                      [this] { return OpenViews(); });
  view->setWindowTitle(QStringLiteral("Action Sheet"));
  return view;
}

void FrameViews::Activate(UI::CChildFrame* child) {
  if (!child) return;
  child->show();
  if (QMdiArea* area = child->mdiArea()) area->setActiveSubWindow(child);
}

TraceDocument* FrameViews::OpenTraceView() {
  UI::CChildFrame* child = setup_.templates.OpenDocument(Shell::DocumentKind::Trace, true);
  return child ? dynamic_cast<TraceDocument*>(child->widget()) : nullptr;
}

void FrameViews::OpenTraceViewIfNone() {
  if (setup_.glue.Views().empty()) OpenTraceView();
}

std::vector<TraceDocument*> FrameViews::TraceViews() const {
  std::vector<TraceDocument*> views;
  UI::DocumentArea* area = frame_ ? frame_->Documents() : nullptr;
  if (!area) return views;
  for (UI::CChildFrame* child : area->Frames())
    if (auto* document = dynamic_cast<TraceDocument*>(child->widget())) views.push_back(document);
  return views;
}

std::vector<Views::CPelmoraView*> FrameViews::OpenViews() const {
  std::vector<Views::CPelmoraView*> views;
  for (TraceDocument* document : TraceViews()) views.push_back(&document->View());
  return views;
}

void FrameViews::CloseLastTraceView() {
  const std::vector<TraceDocument*> views = TraceViews();
  if (views.empty()) return;
  if (QWidget* child = views.back()->parentWidget()) child->close();
}

TraceDocument* FrameViews::ActiveTraceView() const {
  UI::DocumentArea* area = frame_ ? frame_->Documents() : nullptr;
  QMdiSubWindow* active = area ? area->currentSubWindow() : nullptr;
  return active ? dynamic_cast<TraceDocument*>(active->widget()) : nullptr;
}

TraceDocument* FrameViews::MainDocument() const {
  const Shell::GlueTraceView* main = setup_.glue.MainView();
  if (!main) return nullptr;
  for (TraceDocument* document : TraceViews())
    if (document->Link() == main) return document;
  return nullptr;
}

bool FrameViews::MainAutoRange(bool& enabled, bool& active) const {
  TraceDocument* main = MainDocument();
  if (!main) return false;
  enabled = main->View().UseAutoRange();
  active = main->View().AutoRangeNow();
  return true;
}

void FrameViews::SetMainAutoRange(bool enabled, bool active) {
  TraceDocument* main = MainDocument();
  if (!main || !enabled) return;
  if (active)
    main->View().OnAutoRangeNow();
  else
    main->View().SetAutoRangeNow(false);
}

Views::CDataView* FrameViews::DataSheet() const {
  UI::CChildFrame* child = setup_.templates.DataSheetDocument();
  return child ? dynamic_cast<Views::CDataView*>(child->widget()) : nullptr;
}

Views::CActionView* FrameViews::ActionSheet() const {
  UI::CChildFrame* child = setup_.templates.ActionSheetDocument();
  return child ? dynamic_cast<Views::CActionView*>(child->widget()) : nullptr;
}

Views::CDataView* FrameViews::ShowDataSheet() {
  UI::CChildFrame* child = setup_.templates.DataSheetDocument();
  if (!child) child = setup_.templates.OpenDocument(Shell::DocumentKind::DataSheet, true);
  if (!child) return nullptr;
  RefreshDataSheet();
  setup_.configuration.DataViewShown = true;
  Activate(child);
  return DataSheet();
}

Views::CActionView* FrameViews::ShowActionSheet(bool toFront) {
  UI::DocumentArea* area = frame_ ? frame_->Documents() : nullptr;
  QMdiSubWindow* watched = area ? area->currentSubWindow() : nullptr;
  const QPointer<QWidget> focus = QApplication::focusWidget();
  UI::CChildFrame* child = setup_.templates.ActionSheetDocument();
  if (!child) child = setup_.templates.OpenDocument(Shell::DocumentKind::ActionSheet, true);
  if (!child) return nullptr;
  RefreshActionSheet();
  setup_.configuration.ActionViewShown = true;
  if (toFront) {
    Activate(child);
  } else {
    // A new window opens in front: the one the user watched comes back.
    if (watched && watched != child) area->setActiveSubWindow(watched);
    if (focus) {
      focus->setFocus(Qt::OtherFocusReason);
    } else if (QWidget* taken = QApplication::focusWidget(); taken && child->isAncestorOf(taken)) {
      taken->clearFocus();
    }
  }
  return ActionSheet();
}

void FrameViews::CloseDataSheet() {
  if (UI::CChildFrame* child = setup_.templates.DataSheetDocument()) child->close();
}

void FrameViews::RefreshDataSheet() {
  if (Views::CDataView* sheet = DataSheet()) sheet->Refresh();
}

void FrameViews::RefreshActionSheet() {
  Views::CActionView* sheet = ActionSheet();
  if (!sheet) return;
  sheet->ClearRows();
  const std::vector<ActionData> actions = setup_.experiment.WithStores([](MarkerStore&, ActionStore& store) {
    std::vector<ActionData> all;
    for (std::size_t i = 0; i < store.Count(); ++i) all.push_back(store.Get(i));
    return all;
  });
  for (const ActionData& action : actions) sheet->InsertAction(action);
  sheet->OnInitialUpdate();
}

void FrameViews::ClearSheet(SheetKind sheet) {
  if (sheet == SheetKind::Data) {
    if (Views::CDataView* data = DataSheet()) data->DestroyCameraTables();
  } else if (Views::CActionView* actions = ActionSheet()) {
    actions->ClearRows();
  }
}

void FrameViews::ClearSheets() {
  ClearSheet(SheetKind::Data);
  ClearSheet(SheetKind::Action);
}

void FrameViews::AddAction(std::uint32_t time, const std::string& text) {
  Views::CActionView* sheet = ActionSheet();
  if (!sheet) sheet = ShowActionSheet(false);
  if (!sheet) return;
  sheet->InsertAction(ActionData{time, text});
}

bool FrameViews::LiveTrace() const { return setup_.glue.LiveTrace(); }

void FrameViews::SetLiveTrace(bool on) {
  setup_.glue.SetLiveTrace(on);
  setup_.configuration.LiveTrace = on;
}

void FrameViews::SetDrawNoSaveData(bool on) {
  drawNoSaveData_ = on;
  for (TraceDocument* document : TraceViews()) {
    Views::CPelmoraView& view = document->View();
    if (!view.HasGraph()) continue;
    view.Graph().Put(Graph::Dispid::DrawNoSaveData, on);
    if (!view.Live()) document->Window().update();
  }
}

double FrameViews::SelectionStop() const { return setup_.glue.Selection().stop; }

void FrameViews::SetSelectAll(bool on) {
  for (TraceDocument* document : TraceViews())
    if (Shell::TraceViewLink* link = document->Link()) link->SetSelectAll(on);
}

void FrameViews::ExportToDataSheet(int method) { setup_.glue.ExportToDataSheet(method); }

void FrameViews::ReconfigureViewsShowing(int kind) {
  for (TraceDocument* document : TraceViews()) {
    Views::CPelmoraView& view = document->View();
    if (view.TraceCode() == kind) view.ShowTrace(kind);
  }
}

// ---- TraceWindowHost ----

TraceDocument* FrameViews::At(int window) const {
  const std::vector<TraceDocument*> views = TraceViews();
  return window >= 0 && window < static_cast<int>(views.size()) ? views[static_cast<std::size_t>(window)] : nullptr;
}

std::vector<TraceWindowState> FrameViews::TraceWindows() const {
  std::vector<TraceWindowState> states;
  for (TraceDocument* document : TraceViews()) states.push_back(document->View().State());
  return states;
}

int FrameViews::OpenTraceWindow() {
  if (!OpenTraceView()) return -1;
  return static_cast<int>(TraceViews().size()) - 1;
}

void FrameViews::ShowTrace(int window, std::int32_t traceCode) {
  if (TraceDocument* document = At(window)) document->View().ShowTrace(traceCode);
}

void FrameViews::SetCamera(int window, std::int32_t camera) {
  if (TraceDocument* document = At(window)) document->View().SetCurrentCamera(camera);
}

void FrameViews::SetZone(int window, std::int32_t camera, std::int32_t zone) {
  if (TraceDocument* document = At(window)) document->View().SetSelectedZone(camera, zone);
}

void FrameViews::ConfigureGraphForTrace(int window, std::int32_t traceCode) {
  if (TraceDocument* document = At(window)) document->View().ConfigureGraphForTrace(traceCode);
}

void FrameViews::SetVisibleRange(int window, double start, double end) {
  if (TraceDocument* document = At(window)) document->View().SetVisibleRange(start, end);
}

void FrameViews::Redraw(int window) {
  if (TraceDocument* document = At(window)) document->Window().update();
}

bool FrameViews::IsSheetOpen(SheetKind sheet) const {
  return sheet == SheetKind::Data ? DataSheet() != nullptr : ActionSheet() != nullptr;
}

void FrameViews::OpenSheet(SheetKind sheet) {
  if (sheet == SheetKind::Data)
    ShowDataSheet();
  else
    ShowActionSheet();
}

}  // namespace ORV
