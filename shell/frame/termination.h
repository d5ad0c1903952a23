#pragma once
// Ends the main window in order when the process is told to end: SIGTERM,
// SIGHUP (a logout) and SIGINT stop a running collection and close the frame
// without any question (the collection's running backup is flushed and
// closed and stays for the next start; the close handler stops the sampling,
// the workers and the cameras and saves the configuration), also while a
// dialog is open; and a process that Qt ends on its own with exit() (the
// display went away) stops the frame's threads before the process's static
// objects are destroyed.
// One watch at a time; GUI thread.
#include <QObject>
#include <memory>

class QSocketNotifier;

namespace ORV {
class CMainFrame;

class TerminationWatch {
 public:
  explicit TerminationWatch(CMainFrame& frame);
  ~TerminationWatch();
  TerminationWatch(const TerminationWatch&) = delete;
  TerminationWatch& operator=(const TerminationWatch&) = delete;

 private:
  std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace ORV
