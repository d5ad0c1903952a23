// The whole program in a process of its own, on the simulated lab, for the
// end-to-end tests that end a process from outside (a kill, a logout) and
// start it again. It runs the real application object with the real main
// frame, answers every question Yes, and reports through files in the folder
// named by ORV_PROBE_DIR:
//   ready    start-up completed: the record as it stands then (after an
//            import of a running backup, what was imported)
//   status   the record, rewritten every 100 ms while the program runs
//   final    the record when the program has ended
//   boxes    the texts of every message box shown, one a line
// Each report is "<key> <value>" lines: mode, modified, pressures,
// lastPressure, zones0, lastZone0, markers, boxes. It takes commands from the
// file "command" (read and removed): "start" (zones in every camera, then a
// collection), "marker" (an F1 marker), "dialog" (the About box, left open),
// "quit" (closes the main window without questions).
#include <QApplication>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/base/configuration.h"
#include "core/experiment/session.h"
#include "platform/com/control_loader.h"
#include "platform/os/registry_store.h"
#include "platform/ui/app_services.h"
#include "platform/ui/message_box.h"
#include "shell/app/end_request.h"
#include "shell/app/pelmora_app.h"
#include "shell/collection_control.h"
#include "shell/frame/app_frame_adapter.h"
#include "shell/frame/frame_collection.h"
#include "shell/program/program.h"
#include "shell/program/simulated_lab_choice.h"
#include "shell/program_controls.h"
#include "tests/e2e/program_steps.h"

namespace {

using namespace ORV;

std::string g_dir;

void WriteReport(const std::string& name, const std::string& text) {
  const std::string tmp = g_dir + "/." + name + ".tmp";
  std::ofstream(tmp) << text;
  std::filesystem::rename(tmp, g_dir + "/" + name);
}

std::string Report(ExperimentData& e, const UI::ScriptedMessageBoxes& boxes) {
  std::ostringstream out;
  const std::vector<std::uint32_t> pressures = E2E::PressureTimes(e);
  const std::vector<std::uint32_t> zones = E2E::ZoneTimes(e, 0);
  out << "mode " << e.mode.load() << "\n";
  out << "modified " << (e.modified.load() ? 1 : 0) << "\n";
  out << "pressures " << pressures.size() << "\n";
  out << "lastPressure " << (pressures.empty() ? 0 : pressures.back()) << "\n";
  out << "zones0 " << zones.size() << "\n";
  out << "lastZone0 " << (zones.empty() ? 0 : zones.back()) << "\n";
  out << "markers " << e.MarkerCount() << "\n";
  out << "boxes " << boxes.Shown().size() << "\n";
  return out.str();
}

void WriteBoxes(const UI::ScriptedMessageBoxes& boxes) {
  std::ostringstream out;
  for (const UI::MessageBoxRecord& box : boxes.Shown()) out << box.text.toStdString() << "\n";
  WriteReport("boxes", out.str());
}

void RunCommand(const std::string& command, Configuration& config, Shell::CPelmoraApp& app, CMainFrame& frame,
                UI::ScriptedMessageBoxes& boxes) {
  if (command == "start") {
    E2E::CaptureAndDrawZones(frame);
    if (!frame.RecordVideo()) boxes.Answer(UI::IDNO);
    frame.Router().Execute(ID_START_STOP_BUTTON);
  } else if (command == "marker") {
    config.HotKeys[0] = "Probe marker";
    frame.SendMessage(WM_HOTKEY, IDHOT_F1, 0);
  } else if (command == "dialog") {
    // Left open: the About box's own modal loop runs until someone ends it.
    QTimer::singleShot(0, &frame, [&app] { app.OnAppAbout(); });
  } else if (command == "quit") {
    // Without questions: nothing is saved, a running backup stays.
    frame.OnClose(false);
    frame.close();
  }
}

}  // namespace

int main(int argc, char** argv) {
  const char* dir = std::getenv("ORV_PROBE_DIR");
  if (dir == nullptr) return 2;
  g_dir = dir;
  QApplication qt(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tarvix 5"));
  UI::InitApplicationServices();
  const auto lab = Shell::StartSimulatedLabWhenAsked();
  RegisterProgramControls(Com::ControlFactory(OS::RegistryStore::User(), {ORV_CONTROL_DIR}));
  UI::ScriptedMessageBoxes boxes;

  Shell::AppOptions options;
  options.args.assign(argv + 1, argv + argc);
  Program program(std::move(options));
  Shell::CPelmoraApp& app = program.App();
  ExperimentData& experiment = program.Experiment();

  QTimer reports;
  int code = 0;
  if (app.InitInstance()) {
    WriteBoxes(boxes);
    WriteReport("ready", Report(experiment, boxes));
    auto* frame = dynamic_cast<CMainFrame*>(app.MainWindow());
    QObject::connect(&reports, &QTimer::timeout, [&] {
      WriteBoxes(boxes);
      WriteReport("status", Report(experiment, boxes));
      const std::string commandFile = g_dir + "/command";
      std::string command;
      if (frame == nullptr || !std::getline(std::ifstream(commandFile), command)) return;
      std::filesystem::remove(commandFile);
      RunCommand(command, program.Settings(), app, *frame, boxes);
    });
    reports.start(100);
    if (!Shell::EndRequested()) code = QApplication::exec();
  }
  reports.stop();
  WriteBoxes(boxes);
  WriteReport("final", Report(experiment, boxes));
  return app.ExitInstance(code);
}
