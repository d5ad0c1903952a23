#include "shell/frame/termination.h"

#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdlib>

#include "shell/app/end_request.h"
#include "shell/frame/main_frame.h"

namespace ORV {

namespace {
int signalPipe[2] = {-1, -1};
CMainFrame* watchedFrame = nullptr;

void OnSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = write(signalPipe[1], &byte, 1);
}

void StopWatchedFrame() {
  if (watchedFrame != nullptr) watchedFrame->StopBackgroundWork();
}

bool MakePipe() {
  if (signalPipe[0] >= 0) return true;
  if (pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);
  std::atexit(StopWatchedFrame);
  return true;
}
}  // namespace

TerminationWatch::TerminationWatch(CMainFrame& frame) {
  watchedFrame = &frame;
  if (!MakePipe()) return;
  notifier_ = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [&frame] {
    char bytes[16];
    while (read(signalPipe[0], bytes, sizeof bytes) > 0) {
    }
    // From here on no one is asked anything: a question open now ends
    // without an answer, and the start-up runs no event loop.
    Shell::RequestEnd();
    frame.EndWithoutQuestions();
    frame.close();
    // Every event loop ends, those of open dialogs too.
    QApplication::quit();
  });
}

TerminationWatch::~TerminationWatch() { watchedFrame = nullptr; }

}  // namespace ORV
