#pragma once
// The whole program on the simulated lab in this test's process, for the
// end-to-end tests of the faults: a sandboxed home and runtime folder, the
// lab (two cameras), the program's two controls registered from the build,
// scripted message boxes and file dialogs, and the application object with
// the real main frame; and the steps these tests take with it (see
// program_steps.h): a collection started and stopped, the boxes shown.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/base/configuration.h"
#include "core/experiment/session.h"
#include "platform/com/control_loader.h"
#include "platform/os/event_log_backend.h"
#include "platform/os/registry_store.h"
#include "platform/sim/sim_lab.h"
#include "platform/ui/app_services.h"
#include "platform/ui/message_box.h"
#include "shell/app/pelmora_app.h"
#include "shell/collection_control.h"
#include "shell/frame/app_frame_adapter.h"
#include "shell/frame/frame_collection.h"
#include "shell/frame/main_frame_commands.h"
#include "shell/program/program.h"
#include "shell/program_controls.h"
#include "tests/e2e/program_steps.h"
#include "tests/shell/app/app_test_fixture.h"
#include "tests/support/simulated_lab.h"

namespace ORV::E2E {

class ProgramRig {
 public:
  // The program started with `args` on its command line, its settings
  // changed by `configure` after they were loaded.
  explicit ProgramRig(std::vector<std::string> args = {}, std::function<void(Configuration&)> configure = {}) {
    setenv("ORV_SIMLAB", "1", 1);
    setenv("ORV_SIMLAB_CAMERAS", "2", 1);
    ORV::Test::ProcessLab();
    EXPECT_EQ(RegisterProgramControls(Com::ControlFactory(OS::RegistryStore::User(), {ORV_CONTROL_DIR})), Com::S_OK);
    Shell::AppOptions options;
    options.args = std::move(args);
    options.eventLog = &log;
    options.loadConfiguration = [this, configure] {
      program_->Settings().Load(OS::RegistryStore::User());
      if (configure) configure(program_->Settings());
    };
    program_ = std::make_unique<ORV::Program>(std::move(options));
    app_ = &program_->App();
    up_ = app_->InitInstance();
    if (up_) frame_ = dynamic_cast<CMainFrame*>(app_->MainWindow());
    if (frame_) frame_->resize(1600, 1000);
  }
  ~ProgramRig() {
    if (frame_ && !frame_->IsClosed()) {
      // Whatever the test left, the close asks nothing it would wait for.
      for (int i = 0; i < 4; ++i) boxes.Answer(UI::IDNO);
      frame_->close();
    }
    if (app_) app_->ExitInstance(0);
  }

  // Up with its main frame, its start-up steps done.
  bool Up() const {
    return up_ && frame_ != nullptr && WaitFor([this] { return frame_->StartupChainDone(); });
  }
  Shell::CPelmoraApp& App() { return *app_; }
  CMainFrame& Frame() { return *frame_; }
  ExperimentData& Experiment() { return program_->Experiment(); }
  Configuration& Settings() { return program_->Settings(); }
  Sim::SimLab& Lab() { return ORV::Test::ProcessLab(); }
  UI::CommandRouter& Router() { return frame_->Router(); }
  std::uint32_t Now() { return Experiment().ExperimentClock().Now(); }

  // Every camera captures and has one zone across the vessel.
  void CaptureAndDrawZones() { ASSERT_TRUE(E2E::CaptureAndDrawZones(*frame_)); }

  // Starts a collection without video (the question about video is
  // answered No); every camera captures by then.
  void StartCollection() {
    ASSERT_EQ(frame_->Collection()->CollectionState(), kLiveIdle);
    if (!frame_->RecordVideo()) boxes.Answer(UI::IDNO);
    ASSERT_TRUE(Router().Execute(ID_START_STOP_BUTTON));
    ASSERT_EQ(frame_->Collection()->CollectionState(), kCollecting);
  }
  void StopCollection() {
    boxes.Answer(UI::IDYES);
    ASSERT_TRUE(Router().Execute(ID_START_STOP_BUTTON));
    ASSERT_EQ(frame_->Collection()->CollectionState(), kLiveIdle);
  }

  // The texts of the boxes shown from `from` on.
  std::vector<std::string> BoxTexts(std::size_t from = 0) const {
    std::vector<std::string> texts;
    for (std::size_t i = from; i < boxes.Shown().size(); ++i) texts.push_back(boxes.Shown()[i].text.toStdString());
    return texts;
  }
  // How many boxes shown from `from` on hold `part`.
  int BoxesWith(const std::string& part, std::size_t from = 0) const {
    int n = 0;
    for (const std::string& text : BoxTexts(from)) n += text.find(part) != std::string::npos ? 1 : 0;
    return n;
  }

  UI::ScriptedMessageBoxes boxes;
  UI::ScriptedFileDialogs dialogs;
  DialogAnswers answers;
  OS::MemoryEventLogBackend log;

 private:
  ORV::Test::AppSandbox sandbox_;
  std::unique_ptr<ORV::Program> program_;
  Shell::CPelmoraApp* app_ = nullptr;
  CMainFrame* frame_ = nullptr;
  bool up_ = false;
};

}  // namespace ORV::E2E
