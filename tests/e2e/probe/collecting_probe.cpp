// A second program for the whole-program tests: the program on the simulated
// lab in a process of its own, which starts a data collection and records
// until it is killed. Once the running backup holds a second's worth of
// samples it writes the number of pressure samples the record held a second
// earlier (all of them on disk by then) to the file named by its first
// argument, and records on.
//
// The test sets the environment (the sandboxed folders, the lab); every
// question of the start is answered No.
#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "core/experiment/experiment_data.h"
#include "core/experiment/session.h"
#include "platform/com/control_loader.h"
#include "platform/os/event_log_backend.h"
#include "platform/os/registry_store.h"
#include "platform/ui/app_services.h"
#include "platform/ui/message_box.h"
#include "shell/app/pelmora_app.h"
#include "shell/frame/app_frame_adapter.h"
#include "shell/frame/frame_application.h"
#include "shell/frame/main_frame.h"
#include "shell/program/simulated_lab_choice.h"
#include "shell/program_controls.h"

using namespace ORV;

namespace {

std::size_t PressureSamples() {
  return Session::Instance().Experiment().Read([](const ExperimentContents& c) { return c.pressureSamples.size(); });
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <ready file>\n", argv[0]);
    return 2;
  }
  const std::string readyFile = argv[1];
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication qtApp(argc, argv);
  UI::InitApplicationServices();
  const auto lab = Shell::StartSimulatedLabWhenAsked();
  if (RegisterProgramControls(Com::ControlFactory(OS::RegistryStore::User(), {ORV_CONTROL_DIR})) != Com::S_OK) {
    std::fprintf(stderr, "the controls could not be registered\n");
    return 3;
  }

  UI::ScriptedMessageBoxes boxes;  // unscripted: the first button; the start's questions are answered below
  OS::MemoryEventLogBackend log;
  Shell::AppOptions options;
  options.eventLog = &log;
  options.frameFactory = MakeMainAppFrame;
  options.glueHost = MakeProgramGlueHost;
  Shell::CPelmoraApp app(std::move(options));
  if (!app.InitInstance()) return 4;
  auto* frame = dynamic_cast<CMainFrame*>(app.MainWindow());
  if (frame == nullptr) return 5;

  // Started once the start-up chain is done; then, a second after the
  // record first held enough samples, the count of that moment is reported.
  enum class Step { Starting, Collecting, Reported } step = Step::Starting;
  std::size_t marked = 0;
  int ticksSinceMark = 0;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    switch (step) {
      case Step::Starting:
        if (!frame->StartupChainDone()) return;
        boxes.Answer(UI::IDNO);  // no video recording
        boxes.Answer(UI::IDNO);  // the camera stays as it is
        frame->Router().Execute(ID_START_STOP_BUTTON);
        step = Step::Collecting;
        return;
      case Step::Collecting:
        if (marked == 0) {
          if (PressureSamples() >= 100) marked = PressureSamples();
          return;
        }
        // The backup syncs its streams to the disk once a second.
        if (++ticksSinceMark < 75) return;
        {
          std::ofstream out(readyFile + ".part");
          out << marked << "\n";
        }
        std::rename((readyFile + ".part").c_str(), readyFile.c_str());
        step = Step::Reported;
        return;
      case Step::Reported:
        return;
    }
  });
  poll.start(20);
  return qtApp.exec();
}
