#pragma once
// The protocol sequencer in the main frame: the program's one sequencer on
// the experiment record and the interface manager, and its pane
// (SequencerWnd, made with the instrument panes' context). The frame hands
// it the status bar's progress element, which the sequencer fills as the
// tasks run, and steps it once a second; when a step ends the sequence the
// pane's buttons follow at once. The close asks it whether the sequence
// changed and saves it through the pane. GUI thread.
#include <QPointer>

#include "instruments/sequencer.h"
#include "instruments/ui/pane_context.h"
#include "instruments/ui/sequencer_pane_logic.h"
#include "shell/frame/frame_services.h"

class SequencerWnd;

namespace ORV {

class FrameCameraWnd;

class ProgramSequencer final : public FrameSequencer {
 public:
  ProgramSequencer(Configuration& configuration, ExperimentData& experiment, InterfaceManager& manager);

  Sequencer& Engine() { return sequencer_; }
  // The camera window whose zones decide whether a sequence can start (the
  // first one); set before the pane is made.
  void SetCameraWindow(FrameCameraWnd* window);
  // Makes the pane; the context's sequencer becomes this one.
  UI::DockingPane* CreatePane(UI::PaneManager& panes, const UI::PaneLayout& layout, InstrumentPaneContext context);
  SequencerWnd* Pane() const;

  void SetProgressBar(SequencerProgressBar* bar) override { sequencer_.progressBar = bar; }
  void OnClockTick() override;

  // The sequence changed since it was loaded or saved.
  bool SequenceChanged() const { return sequencer_.sequenceModified != 0; }
  // Asks for a file and saves the sequence; false when nothing was saved.
  bool SaveSequence();

 private:
  struct CameraZones final : SequencerZones {
    QPointer<FrameCameraWnd> window;
    int ZoneCount() const override;
  };

  Sequencer sequencer_;
  CameraZones zones_;
  QPointer<SequencerWnd> pane_;
};

}  // namespace ORV
