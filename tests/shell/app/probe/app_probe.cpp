// A second program for the application tests: it runs the real application
// object in a process of its own, so that two instances, a restart and the
// end of a process can be watched from the test. It reports through files in
// the folder named by ORV_PROBE_DIR:
//   <role>.ready      start-up completed (its text: the lines noted by then)
//   <role>.result     everything noted, written when the probe ends
//   stderr.<role>     its standard error
// and it closes its main window once the file "quit" exists (or at once for
// the roles that only start).
//
// Roles (first argument): serve, second, waiter <argument>, endless; a probe
// started with "--Restart" (by a serve probe's restart) is "restarted".
#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "core/base/configuration.h"
#include "core/storage/relative_time.h"
#include "core/threading/async_task.h"
#include "platform/os/event_log_backend.h"
#include "platform/os/registry_store.h"
#include "platform/ui/app_services.h"
#include "platform/ui/message_box.h"
#include "shell/app/pelmora_app.h"
#include "tests/support/test_world.h"

namespace {

using namespace ORV;
using namespace ORV::Shell;

std::string g_dir;
std::string g_role;
std::ostringstream g_notes;

bool Exists(const std::string& name) { return std::filesystem::exists(g_dir + "/" + name); }

void WriteFile(const std::string& name, const std::string& text) {
  const std::string tmp = g_dir + "/." + name + ".tmp";
  std::ofstream(tmp) << text;
  std::filesystem::rename(tmp, g_dir + "/" + name);
}

void Note(const std::string& line) { g_notes << line << "\n"; }

// The placeholder frame, reporting what the other process had done when it
// was made, and keeping a counter a worker task may write to.
class ProbeFrame : public AppFrame {
 public:
  ProbeFrame() : inner_(MakePlaceholderFrame()) {
    Note(std::string("frame made; other gone: ") + (Exists("serve.frame-gone") ? "yes" : "no") +
         "; released: " + (Exists("released") ? "yes" : "no"));
  }
  ~ProbeFrame() override {
    if (g_role == "serve") WriteFile("serve.frame-gone", "");
  }
  bool Create() override { return inner_->Create(); }
  QWidget* Window() override { return inner_->Window(); }
  UI::DocumentArea* Documents() override { return inner_->Documents(); }
  bool SetCommandText(UI::CommandId id, const QString& text) override { return inner_->SetCommandText(id, text); }
  void OnClose() override { inner_->OnClose(); }
  void OnBackupImported() override {}

  std::atomic<long> touched{0};

 private:
  std::unique_ptr<AppFrame> inner_;
};

ProbeFrame* g_frame = nullptr;

}  // namespace

int main(int argc, char** argv) {
  const char* dir = std::getenv("ORV_PROBE_DIR");
  if (!dir || argc < 2) return 2;
  g_dir = dir;
  const std::vector<std::string> args(argv + 1, argv + argc);
  g_role = args[0] == "--Restart" ? "restarted" : args[0];
  // Standard error (also the sanitizers' reports) goes to a file the test reads.
  const int err = ::open((g_dir + "/stderr." + g_role).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (err >= 0) ::dup2(err, 2);

  QApplication qtApp(argc, argv);
  UI::InitApplicationServices();
  OS::MemoryEventLogBackend log;
  OS::RegistryStore store;
  UI::ScriptedMessageBoxes boxes;

  AppOptions options;
  options.args = g_role == "serve" || g_role == "endless" || g_role == "second"
                     ? std::vector<std::string>{}
                     : std::vector<std::string>(args.begin() + (g_role == "waiter" ? 1 : 0), args.end());
  options.eventLog = &log;
  options.settingsStore = &store;
  options.loadConfiguration = [] { Note("configuration loaded"); };
  options.frameFactory = [](AppCommands&) {
    auto frame = std::make_unique<ProbeFrame>();
    g_frame = frame.get();
    return frame;
  };
  // A forced end still reports, then ends the process as the program does.
  options.endProcess = [](int code) {
    Note("ended with tasks running");
    WriteFile(g_role + ".result", g_notes.str());
    std::quick_exit(code);
  };
  if (g_role == "waiter") WriteFile("waiter.waiting", "");

  RelativeTime::RelativeTime clock;
  CPelmoraApp app(AppWorld{ORV::Test::SharedConfiguration(), clock, nullptr}, std::move(options));
  // Acts once the main window shows (the splash lets events run before).
  bool ready = false;
  auto* poll = new QTimer(qApp);
  QObject::connect(poll, &QTimer::timeout, [&app, &ready] {
    if (!app.MainWindow() || !app.MainWindow()->isVisible()) return;
    if (!ready) {
      ready = true;
      WriteFile(g_role + ".ready", g_notes.str());
      if (g_role == "endless") {
        // A task that never ends and keeps writing into the frame.
        ProbeFrame* frame = g_frame;
        ::Utils::Threading::AsyncTask<int>([frame] {
          for (;;) {
            frame->touched.fetch_add(1);
            ORV::Test::SharedConfiguration().TraceTimeSpan += 0;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
          }
          return 0;
        }).Start();
      }
      if (g_role != "serve" && g_role != "endless") app.Frame()->OnClose();
      return;
    }
    if (g_role == "endless") {
      // Closes once the task runs.
      if (g_frame->touched.load() > 0) app.Frame()->OnClose();
      return;
    }
    if (g_role != "serve") return;
    if (Exists("restart")) {
      std::filesystem::remove(g_dir + "/restart");
      Note(app.Restart() ? "restart started" : "restart failed");
    } else if (Exists("quit")) {
      app.Frame()->OnClose();
    }
  });
  poll->start(10);
  const int code = app.Run();
  for (const UI::MessageBoxRecord& box : boxes.Shown()) {
    Note("box: " + box.text.toStdString() + " | " + box.caption.toStdString() + " | " + std::to_string(box.type));
  }
  for (const OS::EventRecord& e : log.Entries()) {
    std::string texts;
    for (const std::string& t : e.texts) texts += " [" + t + "]";
    Note("event " + std::to_string(e.type) + "/" + std::to_string(e.category) + "/" + std::to_string(e.eventId) +
         texts);
  }
  WriteFile(g_role + ".result", g_notes.str());
  return code;
}
