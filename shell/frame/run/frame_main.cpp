// Starts the main window on this machine's instruments and cameras (with
// ORV_SIMLAB=1 on the simulated lab's), and ends it cleanly when the window
// is closed or the process gets SIGTERM or SIGINT.
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/base/configuration.h"
#include "core/experiment/session.h"
#include "instruments/interface_manager.h"
#include "platform/ui/app_services.h"
#include "shell/frame/program_frame.h"

namespace {

int signalPipe[2] = {-1, -1};
ORV::CMainFrame* runningFrame = nullptr;

// Qt ends the process with exit() when the display connection breaks; the
// frame's threads must not run on into the singletons' destruction.
void StopRunningFrame() {
  if (runningFrame != nullptr) runningFrame->StopBackgroundWork();
}

void OnTerminate(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = write(signalPipe[1], &byte, 1);
}

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

// Without a display Qt would abort with a message that names neither the
// variable nor the way out; say both instead.
bool DisplayAvailable() {
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  const std::string chosen = platform ? platform : "";
  if (chosen.rfind("offscreen", 0) == 0 || chosen.rfind("minimal", 0) == 0 || chosen.rfind("vnc", 0) == 0) return true;
  if (chosen.rfind("wayland", 0) == 0) return Set("WAYLAND_DISPLAY");
  if (chosen.rfind("xcb", 0) == 0) return Set("DISPLAY");
  return Set("DISPLAY") || Set("WAYLAND_DISPLAY");
}

}  // namespace

int main(int argc, char** argv) {
  if (!DisplayAvailable()) {
    std::fprintf(stderr,
                 "Tarvix 5 needs a display, and none is set: neither DISPLAY (X11) nor WAYLAND_DISPLAY (Wayland)"
                 " names one.\nStart it from a desktop session, under a virtual display (xvfb-run), or set"
                 " QT_QPA_PLATFORM=offscreen to run it without showing a window.\n");
    return 2;
  }
  QApplication app(argc, argv);
  ORV::UI::InitApplicationServices();

  if (pipe(signalPipe) == 0) {
    struct sigaction action {};
    action.sa_handler = OnTerminate;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
  }

  ORV::Configuration& configuration = ORV::Configuration::Instance();
  configuration.Load();
  std::unique_ptr<ORV::CMainFrame> frame =
      ORV::CreateMainFrame(configuration, ORV::Session::Instance().Experiment(), ORV::InterfaceManager::Instance());
  if (frame->OnCreate() != 0) {
    std::fprintf(stderr, "Tarvix 5: the main window could not be made (see the system log).\n");
    return 1;
  }
  runningFrame = frame.get();
  std::atexit(StopRunningFrame);
  frame->show();

  QSocketNotifier terminate(signalPipe[0], QSocketNotifier::Read);
  QObject::connect(&terminate, &QSocketNotifier::activated, &app, [&] {
    char byte;
    [[maybe_unused]] const ssize_t got = read(signalPipe[0], &byte, 1);
    // A close the user refuses keeps the window; a signal ends the run.
    if (!frame->close()) {
      frame->OnClose();
      QApplication::quit();
    }
  });
  const int result = QApplication::exec();
  runningFrame = nullptr;
  frame.reset();
  return result;
}
