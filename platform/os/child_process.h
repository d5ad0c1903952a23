#pragma once
// Starting another program and waiting for it to end.
//
// The child gets the caller's environment, its standard input from /dev/null
// and inherits standard output and error. A child that is still running when
// its ChildProcess object goes away is left running; its exit is collected in
// the background so that it does not linger as a zombie.
#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace ORV::OS {

class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess();
  ChildProcess(ChildProcess&& other) noexcept;
  ChildProcess& operator=(ChildProcess&& other) noexcept;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts `program` (a path, not looked up in PATH) with `args` as its
  // arguments after the program name, in `workingDir` (empty: the caller's
  // current folder). False, with a reason in `error`, when it cannot start
  // or when this object already holds a child.
  bool Start(const std::string& program, const std::vector<std::string>& args, const std::string& workingDir,
             std::string* error = nullptr);

  bool Started() const { return pid_ > 0; }
  pid_t Pid() const { return pid_; }

  // Waits up to `timeout` (negative: without a limit) for the child to end;
  // true once it has ended. A zero time-out only tests it.
  bool WaitFor(std::chrono::milliseconds timeout);
  bool Ended() const { return ended_; }

  // The exit status once the child has ended normally; empty while it runs,
  // when a signal ended it, or when its status could not be collected.
  std::optional<int> ExitStatus() const { return exitStatus_; }
  // The signal that ended the child, else 0.
  int TermSignal() const { return termSignal_; }

 private:
  bool Collect(bool block);
  void Release();

  pid_t pid_ = -1;
  int pidfd_ = -1;
  bool ended_ = false;
  std::optional<int> exitStatus_;
  int termSignal_ = 0;
};

}  // namespace ORV::OS
