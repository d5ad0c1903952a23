// The application in two processes: the restart handshake, the second
// instance's message, and the exit with a task that never ends. The probe
// program (probe/app_probe.cpp) runs the real application object.
#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/os/child_process.h"
#include "platform/os/named_lock.h"
#include "shell/app/restart.h"
#include "tests/shell/app/app_test_fixture.h"

using namespace ORV;
using namespace std::chrono_literals;

namespace {

// Waits for a file of the probe; the limit only guards against a hang.
bool WaitForFile(const std::string& path, std::chrono::seconds limit = 60s) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!std::filesystem::exists(path)) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class AppProcesses : public ::testing::Test {
 protected:
  AppProcesses() { setenv("ORV_PROBE_DIR", dir_.path().c_str(), 1); }
  ~AppProcesses() override {
    for (auto& child : children_) {
      if (!child.Ended()) {
        ::kill(child.Pid(), SIGKILL);
        child.WaitFor(-1ms);
      }
    }
  }

  OS::ChildProcess& Start(std::vector<std::string> args) {
    children_.emplace_back();
    std::string error;
    EXPECT_TRUE(children_.back().Start(ORV_APP_PROBE, args, "", &error)) << error;
    return children_.back();
  }
  // Waits for the child to end and returns its exit status (-1 when killed).
  int Finish(OS::ChildProcess& child, const std::string& role) {
    EXPECT_TRUE(child.WaitFor(60s)) << role << " did not end";
    const std::string errors = ReadText(dir_ / ("stderr." + role));
    EXPECT_EQ(errors.find("Sanitizer"), std::string::npos) << errors;
    return child.ExitStatus().value_or(-1);
  }
  std::string Result(const std::string& role) {
    EXPECT_TRUE(WaitForFile(dir_ / (role + ".result"))) << role;
    return ReadText(dir_ / (role + ".result"));
  }
  void Touch(const std::string& name) { std::ofstream(dir_ / name) << ""; }

  ORV::Test::AppSandbox sandbox_;
  ORV::Test::TempDir dir_;
  std::deque<OS::ChildProcess> children_;  // stable references
};

}  // namespace

TEST_F(AppProcesses, ARestartedCopyGoesOnOnlyAfterTheOldInstanceHasGone) {
  OS::ChildProcess& first = Start({"serve"});
  ASSERT_TRUE(WaitForFile(dir_ / "serve.ready"));
  Touch("restart");
  EXPECT_EQ(Finish(first, "serve"), 0);
  EXPECT_NE(Result("serve").find("restart started"), std::string::npos) << Result("serve");

  // The copy started by the restart, with "--Restart".
  ASSERT_TRUE(WaitForFile(dir_ / "restarted.result"));
  const std::string restarted = Result("restarted");
  EXPECT_NE(restarted.find("frame made; other gone: yes"), std::string::npos) << restarted;
  EXPECT_NE(restarted.find("configuration loaded"), std::string::npos) << restarted;
  EXPECT_EQ(restarted.find("box:"), std::string::npos) << "the old instance was not found: " << restarted;
}

TEST_F(AppProcesses, TheRestartSwitchWaitsForTheHolderAlsoInsideAWord) {
  OS::NamedLock holder(Shell::kRestartLockName);
  ASSERT_EQ(holder.TryAcquire(), OS::NamedLock::TryResult::Acquired);
  OS::ChildProcess& waiter = Start({"waiter", "--Restartx"});
  ASSERT_TRUE(WaitForFile(dir_ / "waiter.waiting"));
  Touch("released");
  holder.Release();
  EXPECT_EQ(Finish(waiter, "waiter"), 0);
  EXPECT_NE(Result("waiter").find("released: yes"), std::string::npos) << Result("waiter");
}

TEST_F(AppProcesses, WithoutAHolderTheRestartedCopyGoesOnAtOnce) {
  OS::ChildProcess& waiter = Start({"waiter", "--Restart"});
  EXPECT_EQ(Finish(waiter, "waiter"), 0);
  EXPECT_NE(Result("waiter").find("released: no"), std::string::npos) << Result("waiter");
}

TEST_F(AppProcesses, ASecondInstanceFindsTheFirstAndSaysSo) {
  OS::ChildProcess& first = Start({"serve"});
  ASSERT_TRUE(WaitForFile(dir_ / "serve.ready"));
  OS::ChildProcess& second = Start({"second"});
  EXPECT_EQ(Finish(second, "second"), 0);
  const std::string result = Result("second");
  EXPECT_NE(result.find("box: One instance of the application is already running  | Tarvix 5"), std::string::npos)
      << result;
  EXPECT_NE(result.find("event 4/1/4 [One instance of the application is already running ]"), std::string::npos)
      << result;
  EXPECT_EQ(result.find("configuration loaded"), std::string::npos) << result;

  Touch("quit");
  EXPECT_EQ(Finish(first, "serve"), 0);
  EXPECT_EQ(Result("serve").find("box:"), std::string::npos);
}

TEST_F(AppProcesses, ExitWithANeverEndingTaskEndsWithoutFreeingWhatItUses) {
  const auto start = std::chrono::steady_clock::now();
  OS::ChildProcess& probe = Start({"endless"});
  EXPECT_EQ(Finish(probe, "endless"), 0);
  const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_NE(Result("endless").find("ended with tasks running"), std::string::npos) << Result("endless");
  std::cout << "exit with a never-ending task took " << seconds << " s\n";
}
