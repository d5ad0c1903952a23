#include "shell/frame/frame_sequencer.h"

#include "instruments/ui/sequencer_pane.h"
#include "platform/ui/pane_manager.h"
#include "shell/frame/frame_cameras.h"

namespace ORV {

ProgramSequencer::ProgramSequencer(Configuration& configuration, ExperimentData& experiment, InterfaceManager& manager)
    : sequencer_(configuration, experiment, manager) {}

void ProgramSequencer::SetCameraWindow(FrameCameraWnd* window) { zones_.window = window; }

SequencerWnd* ProgramSequencer::Pane() const { return pane_; }

int ProgramSequencer::CameraZones::ZoneCount() const { return window ? window->Model().ZoneCount() : 0; }

UI::DockingPane* ProgramSequencer::CreatePane(UI::PaneManager& panes, const UI::PaneLayout& layout,
                                              InstrumentPaneContext context) {
  context.sequencer = &sequencer_;
  pane_ = panes.Create<SequencerWnd>(layout, context, layout.caption);
  if (pane_) pane_->SetCameraWindow(&zones_);
  return pane_;
}

void ProgramSequencer::OnClockTick() {
  bool finished = false;
  sequencer_.SequencerTick(finished);
  if (finished && pane_) pane_->UpdateButtons();
}

bool ProgramSequencer::SaveSequence() { return pane_ && pane_->SaveSequence(); }

}  // namespace ORV
