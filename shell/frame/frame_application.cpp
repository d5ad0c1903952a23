#include "shell/frame/frame_application.h"

#include "core/base/configuration.h"
#include "platform/ui/document_area.h"
#include "shell/frame/main_frame.h"

namespace ORV {
namespace {

unsigned ChildKind(FrameDocument kind) {
  switch (kind) {
    case FrameDocument::Trace:
      return UI::CChildFrame::kTraceView;
    case FrameDocument::DataSheet:
      return UI::CChildFrame::kDataSheet;
    case FrameDocument::ActionSheet:
      return UI::CChildFrame::kActionSheet;
  }
  return UI::CChildFrame::kTraceView;
}

int CountOf(UI::DocumentArea* area, FrameDocument kind) {
  if (area == nullptr) return 0;
  int count = 0;
  for (UI::CChildFrame* child : area->Frames())
    if (child->frameKind == ChildKind(kind)) ++count;
  return count;
}

}  // namespace

FrameFileHost::FrameFileHost(CMainFrame& frame, Configuration& configuration, ExperimentData& experiment)
    : QtFileCommandsHost(experiment, [&frame]() -> QWidget* { return &frame; }),
      frame_(frame),
      configuration_(configuration) {}

UI::CChildFrame* FrameFileHost::Open(FrameDocument kind) {
  UI::DocumentArea* area = frame_.Documents();
  return area ? area->OpenDocument(static_cast<int>(kind)) : nullptr;
}

UI::CChildFrame* FrameFileHost::Last(FrameDocument kind) const {
  UI::DocumentArea* area = frame_.Documents();
  if (area == nullptr) return nullptr;
  UI::CChildFrame* last = nullptr;
  for (UI::CChildFrame* child : area->Frames())
    if (child->frameKind == ChildKind(kind)) last = child;
  return last;
}

void FrameFileHost::OpenTraceWindow() { Open(FrameDocument::Trace); }

int FrameFileHost::TraceViewCount() const { return CountOf(frame_.Documents(), FrameDocument::Trace); }

void FrameFileHost::CloseLastTraceView() {
  if (UI::CChildFrame* last = Last(FrameDocument::Trace)) last->close();
}

bool FrameFileHost::IsDataSheetOpen() const { return Last(FrameDocument::DataSheet) != nullptr; }

void FrameFileHost::CloseDataSheet() {
  if (UI::CChildFrame* sheet = Last(FrameDocument::DataSheet)) sheet->close();
}

bool FrameFileHost::IsActionSheetOpen() const { return Last(FrameDocument::ActionSheet) != nullptr; }

void FrameFileHost::OpenActionSheet() {
  if (!IsActionSheetOpen()) Open(FrameDocument::ActionSheet);
}

void FrameFileHost::UpdatePaneLayout() { frame_.UpdatePaneLayout(false, false); }

bool FrameFileHost::LiveTrace() const { return configuration_.LiveTrace; }

void FrameFileHost::SetLiveTrace(bool on) { configuration_.LiveTrace = on; }

void FrameFileHost::ResetVideoPanes() {
  if (FrameCommands* commands = frame_.Commands()) commands->Commands().ResetVideoPanes();
}

bool FrameFileHost::VideoRecordingEnabled() const { return frame_.RecordVideo(); }

FrameApplicationLink::FrameApplicationLink(FrameFileHost& host, std::function<Shell::ExperimentFileCommands*()> files,
                                           std::function<void()> restart)
    : host_(host), files_(std::move(files)), restart_(std::move(restart)) {}

void FrameApplicationLink::Show(FrameDocument kind) {
  UI::CChildFrame* child = host_.Last(kind);
  if (child == nullptr) child = host_.Open(kind);
  if (child == nullptr) return;
  child->show();
  if (auto* area = child->mdiArea()) area->setActiveSubWindow(child);
}

void FrameApplicationLink::ShowDataSheet() { Show(FrameDocument::DataSheet); }

void FrameApplicationLink::ShowActionSheet() { Show(FrameDocument::ActionSheet); }

bool FrameApplicationLink::SaveExperiment() {
  Shell::ExperimentFileCommands* files = files_ ? files_() : nullptr;
  return files != nullptr && files->SaveExperiment();
}

void FrameApplicationLink::OpenDocument(const std::string& path) {
  if (Shell::ExperimentFileCommands* files = files_ ? files_() : nullptr) files->OpenDocumentFile(path);
}

void FrameApplicationLink::CloseDocument() {
  if (Shell::ExperimentFileCommands* files = files_ ? files_() : nullptr) files->CloseExperiment();
}

void FrameApplicationLink::SaveDocument(bool askName) {
  Shell::ExperimentFileCommands* files = files_ ? files_() : nullptr;
  if (files == nullptr) return;
  if (askName)
    files->SaveExperimentAs();
  else
    files->SaveExperiment();
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
