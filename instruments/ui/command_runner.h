#pragma once
// Where the instrument panes run their commands. A command's exchange with
// the instrument (`work`) must not hold up the GUI thread: it may wait for
// the device's lock while a sampling cycle runs, then for the reply. The
// pane's state changes only in `done`, which runs on the GUI thread after
// the work has finished, so the pane's logic needs no lock of its own.
//
// InlineCommandRunner runs both at once (tests of the logic);
// WorkerCommandRunner runs the work on a thread of its own, in the order the
// commands were given, and queues `done` to the GUI thread.
#include <QObject>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace ORV::UI {

class CommandRunner {
 public:
  virtual ~CommandRunner() = default;
  virtual void Run(std::function<void()> work, std::function<void()> done) = 0;
};

class InlineCommandRunner final : public CommandRunner {
 public:
  void Run(std::function<void()> work, std::function<void()> done) override {
    if (work) work();
    if (done) done();
  }
};

class WorkerCommandRunner final : public CommandRunner {
 public:
  // `context` lives on the GUI thread and owns the runner, so it outlives
  // the worker; a `done` still queued when it goes away is dropped.
  explicit WorkerCommandRunner(QObject* context);
  // Finishes the command under way, drops those not started, and joins.
  ~WorkerCommandRunner() override;

  void Run(std::function<void()> work, std::function<void()> done) override;
  // Commands given and not yet finished (their `done` may still be queued).
  bool Busy() const;

 private:
  struct Job {
    std::function<void()> work;
    std::function<void()> done;
  };
  void Loop();

  QObject* const context_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Job> jobs_;
  bool running_ = false;  // a job's work is under way
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace ORV::UI
