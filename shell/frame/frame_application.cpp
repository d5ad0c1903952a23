#include "shell/frame/frame_application.h"

#include "core/base/configuration.h"
#include "shell/frame/frame_application_views.h"
#include "shell/frame/main_frame.h"
#include "shell/glue/trace_glue.h"

namespace ORV {

FrameFileHost::FrameFileHost(CMainFrame& frame, Configuration& configuration, ExperimentData& experiment,
                             FrameViews* views)
    : QtFileCommandsHost(experiment, [&frame]() -> QWidget* { return &frame; }),
      frame_(frame),
      configuration_(configuration),
      views_(views) {}

void FrameFileHost::OpenTraceWindow() {
  if (views_) views_->OpenTraceView();
}

int FrameFileHost::TraceViewCount() const { return views_ ? static_cast<int>(views_->TraceViews().size()) : 0; }

void FrameFileHost::CloseLastTraceView() {
  if (views_) views_->CloseLastTraceView();
}

void FrameFileHost::ClearDataSheet() {
  if (views_) views_->ClearSheet(SheetKind::Data);
}

void FrameFileHost::ClearActionSheet() {
  if (views_) views_->ClearSheet(SheetKind::Action);
}

void FrameFileHost::SetDrawNoSaveDataOnViews(bool on) {
  if (views_) views_->SetDrawNoSaveData(on);
}

bool FrameFileHost::IsDataSheetOpen() const { return views_ && views_->DataSheet() != nullptr; }

void FrameFileHost::CloseDataSheet() {
  if (views_) views_->CloseDataSheet();
}

bool FrameFileHost::IsActionSheetOpen() const { return views_ && views_->ActionSheet() != nullptr; }

void FrameFileHost::OpenActionSheet() {
  if (views_) views_->ShowActionSheet();
}

void FrameFileHost::RefreshActionSheet() {
  if (views_) views_->RefreshActionSheet();
}

void FrameFileHost::RefreshDataSheet() {
  if (views_) views_->RefreshDataSheet();
}

void FrameFileHost::StopVideoPlayback() {
  if (FrameCommands* commands = frame_.Commands()) commands->Commands().StopFilePlayback();
}

void FrameFileHost::UpdatePaneLayout() { frame_.UpdatePaneLayout(false, false); }

bool FrameFileHost::LiveTrace() const { return views_ ? views_->LiveTrace() : configuration_.LiveTrace; }

void FrameFileHost::SetLiveTrace(bool on) {
  if (views_)
    views_->SetLiveTrace(on);
  else
    configuration_.LiveTrace = on;
}

void FrameFileHost::SetTimeSliderForLoaded() { frame_.ResetTimeSlider(); }

void FrameFileHost::ResetVideoPanes() {
  if (FrameCommands* commands = frame_.Commands()) commands->Commands().ResetVideoPanes();
}

void FrameFileHost::ClearVideoPanes() {
  if (FrameCommands* commands = frame_.Commands()) commands->Commands().ClearVideoPanes();
}

bool FrameFileHost::VideoRecordingEnabled() const { return frame_.RecordVideo(); }

void FrameFileHost::AddRecentFile(const std::string& path) { frame_.AddRecentFile(path); }

FrameApplicationLink::FrameApplicationLink(FrameFileHost& host, std::function<Shell::ExperimentFileCommands*()> files,
                                           std::function<void()> restart)
    : host_(host), files_(std::move(files)), restart_(std::move(restart)) {}

int FrameApplicationLink::TraceViewCount() {
  FrameViews* views = host_.Views();
  return views ? static_cast<int>(views->Glue().Views().size()) : 0;
}

double FrameApplicationLink::SelectionStop() {
  FrameViews* views = host_.Views();
  return views ? views->SelectionStop() : 0.0;
}

void FrameApplicationLink::SetViewsSelectAll(bool on) {
  if (FrameViews* views = host_.Views()) views->SetSelectAll(on);
}

void FrameApplicationLink::ExportToDataSheet(int method) {
  if (FrameViews* views = host_.Views()) views->ExportToDataSheet(method);
}

void FrameApplicationLink::ShowDataSheet() {
  if (FrameViews* views = host_.Views()) views->ShowDataSheet();
}

void FrameApplicationLink::ShowActionSheet() {
  if (FrameViews* views = host_.Views()) views->ShowActionSheet();
}

void FrameApplicationLink::ReconfigureViewsShowing(int kind) {
  if (FrameViews* views = host_.Views()) views->ReconfigureViewsShowing(kind);
}

bool FrameApplicationLink::MainAutoRange(bool& enabled, bool& active) {
  FrameViews* views = host_.Views();
  return views && views->MainAutoRange(enabled, active);
}

void FrameApplicationLink::SetMainAutoRange(bool enabled, bool active) {
  if (FrameViews* views = host_.Views()) views->SetMainAutoRange(enabled, active);
}

bool FrameApplicationLink::ActiveIsTraceView() {
  FrameViews* views = host_.Views();
  return views && views->ActiveTraceView() != nullptr;
}

void FrameApplicationLink::CopyActiveViewToClipboard() {
  FrameViews* views = host_.Views();
  if (TraceDocument* active = views ? views->ActiveTraceView() : nullptr) active->CopyToClipboard();
}

void FrameApplicationLink::OpenDocument(const std::string& path) {
  if (Shell::ExperimentFileCommands* files = files_ ? files_() : nullptr) files->OpenDocumentFile(path);
}

void FrameApplicationLink::CloseDocument() {
  if (Shell::ExperimentFileCommands* files = files_ ? files_() : nullptr) files->CloseExperiment();
}

void FrameApplicationLink::RestartProgram() {
  if (restart_) restart_();
}

void FrameApplicationLink::NewTraceView() {
  if (Shell::ExperimentFileCommands* files = files_ ? files_() : nullptr)
    files->OnFileNew();
  else
    host_.OpenTraceWindow();
}

}  // namespace ORV
