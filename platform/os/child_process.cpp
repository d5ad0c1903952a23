#include "platform/os/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <thread>
#include <utility>

extern char** environ;

namespace ORV::OS {

namespace {

// A descriptor that becomes readable when the process ends; -1 where the
// kernel offers none (the wait then polls the process every few milliseconds).
int OpenPidFd(pid_t pid) {
#ifdef SYS_pidfd_open
  const long fd = ::syscall(SYS_pidfd_open, pid, 0);
  return fd >= 0 ? static_cast<int>(fd) : -1;
#else
  (void)pid;
  return -1;
#endif
}

void SetError(std::string* error, const std::string& text) {
  if (error) *error = text;
}

}  // namespace

ChildProcess::~ChildProcess() { Release(); }

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)),
      pidfd_(std::exchange(other.pidfd_, -1)),
      ended_(std::exchange(other.ended_, false)),
      exitStatus_(std::exchange(other.exitStatus_, std::nullopt)),
      termSignal_(std::exchange(other.termSignal_, 0)) {}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
  if (this != &other) {
    Release();
    pid_ = std::exchange(other.pid_, -1);
    pidfd_ = std::exchange(other.pidfd_, -1);
    ended_ = std::exchange(other.ended_, false);
    exitStatus_ = std::exchange(other.exitStatus_, std::nullopt);
    termSignal_ = std::exchange(other.termSignal_, 0);
  }
  return *this;
}

void ChildProcess::Release() {
  if (pidfd_ >= 0) ::close(pidfd_);
  pidfd_ = -1;
  if (pid_ > 0 && !ended_) {
    // Left running: collect its exit whenever it comes.
    const pid_t pid = pid_;
    try {
      std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
      }).detach();
    } catch (...) {
      // Without a thread the ended child stays a zombie until this process ends.
    }
  }
  pid_ = -1;
  ended_ = false;
}

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& args,
                         const std::string& workingDir, std::string* error) {
  if (pid_ > 0) {
    SetError(error, "a child process is already held");
    return false;
  }
  std::vector<std::string> argvText;
  argvText.push_back(program);
  argvText.insert(argvText.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argvText) argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  if (::posix_spawn_file_actions_init(&actions) != 0) {
    SetError(error, "cannot prepare the process start");
    return false;
  }
  int rc = ::posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  if (rc == 0 && !workingDir.empty()) rc = ::posix_spawn_file_actions_addchdir_np(&actions, workingDir.c_str());
  pid_t pid = -1;
  if (rc == 0) rc = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  ::posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    SetError(error, "cannot start " + program + ": " + std::strerror(rc));
    return false;
  }
  pid_ = pid;
  pidfd_ = OpenPidFd(pid);
  ended_ = false;
  exitStatus_.reset();
  termSignal_ = 0;
  return true;
}

bool ChildProcess::Collect(bool block) {
  if (ended_) return true;
  if (pid_ <= 0) return false;
  int status = 0;
  pid_t r;
  do {
    r = ::waitpid(pid_, &status, block ? 0 : WNOHANG);
  } while (r < 0 && errno == EINTR);
  if (r == 0) return false;
  ended_ = true;
  if (r < 0) return true;  // collected elsewhere (SIGCHLD ignored): the status is unknown
  if (WIFEXITED(status)) exitStatus_ = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) termSignal_ = WTERMSIG(status);
  return true;
}

bool ChildProcess::WaitFor(std::chrono::milliseconds timeout) {
  if (ended_) return true;
  if (pid_ <= 0) return false;
  if (timeout < std::chrono::milliseconds::zero()) return Collect(true);
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    if (Collect(false)) return true;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left <= std::chrono::milliseconds::zero()) return false;
    if (pidfd_ >= 0) {
      pollfd p{pidfd_, POLLIN, 0};
      ::poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), INT_MAX)));
    } else {
      std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(10)));
    }
  }
}

}  // namespace ORV::OS
