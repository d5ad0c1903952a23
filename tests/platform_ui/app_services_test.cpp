#include "platform/ui/app_services.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <thread>

#include "core/threading/ui_dispatcher.h"
#include "platform/ui/ui_thread.h"
#include "tests/support/test_support.h"
#include "tests/support/ui/ui_test_support.h"

namespace ORV::UI {
namespace {

TEST(AppServicesTest, NumbersUseAPointWhenTheProgramStartsUnderADecimalCommaLocale) {
  { ORV::Test::CommaLocale prepare; }  // makes de_DE.UTF-8 loadable by children
  const auto run = [](const QStringList& args) {
    QProcess probe;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("de_DE.UTF-8"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    probe.setProcessEnvironment(env);
    probe.start(QStringLiteral(ORV_LOCALE_PROBE), args);
    EXPECT_TRUE(probe.waitForFinished(60000));
    return QString::fromUtf8(probe.readAllStandardOutput()).trimmed();
  };
  EXPECT_EQ(run({QStringLiteral("--no-services")}), QStringLiteral("1,500 misread")) << "the locale has a comma";
  EXPECT_EQ(run({}), QStringLiteral("1.500 parsed"));
}

TEST(AppServicesTest, TheCoresCallsForTheUserInterfaceRunOnTheGuiThread) {
  // Inline on the GUI thread.
  bool ran = false;
  EXPECT_EQ(Threading::CallOnUiThread([&] { ran = IsUiThread(); }), Threading::UiCallResult::Ran);
  EXPECT_TRUE(ran);

  // From a worker: it waits until the GUI thread has run the call.
  bool ranOnGui = false;
  bool sawIt = false;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    Threading::CallOnUiThread([&] { ranOnGui = IsUiThread(); });
    sawIt = ranOnGui;
    done = true;
  });
  ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] { return done.load(); }));
  worker.join();
  EXPECT_TRUE(sawIt);
}

TEST(AppServicesTest, FileFiltersBecomeQtFiltersAndTypedNamesGetTheDefaultExtension) {
  const struct {
    const char* filter;
    const char* qt;
  } filters[] = {
      {"AVI Files (*.avi)|*.avi|All Files (*.*)||", "AVI Files (*.avi);;All Files (*)"},
      {"Comma Separated File (*.csv)|*.csv|All Files (*.*)|*.*||", "Comma Separated File (*.csv);;All Files (*)"},
      {"Experiments (*.tvx;*.tx4)|*.tvx;*.tx4||", "Experiments (*.tvx *.tx4)"},
      {"Sequences|*.xml", "Sequences (*.xml)"},
      {"", ""},
  };
  for (const auto& f : filters) EXPECT_EQ(QtFileFilter(f.filter), QString::fromUtf8(f.qt)) << f.filter;

  const struct {
    const char* path;
    const char* extension;
    const char* result;
  } names[] = {
      {"/data/run", "tvx", "/data/run.tvx"},
      {"/data/run", ".csv", "/data/run.csv"},
      {"/data/run.avi", "tvx", "/data/run.avi"},
      {"/data.v2/run", "tvx", "/data.v2/run.tvx"},
      {"/data/run", "", "/data/run"},
  };
  for (const auto& n : names) EXPECT_EQ(AppendDefaultExtension(n.path, n.extension), n.result) << n.path;

  ScriptedFileDialogs script;
  script.Answer("/home/lab/vessel");
  script.Answer(std::nullopt);
  FileDialogRequest request{true, QStringLiteral("Save"), "Experiment (*.tvx)|*.tvx||", "tvx", "/home/lab", ""};
  EXPECT_EQ(AskForFile(nullptr, request), "/home/lab/vessel.tvx");
  EXPECT_EQ(AskForFile(nullptr, request), std::nullopt) << "cancelled";
  ASSERT_EQ(script.Asked().size(), 2u);
  EXPECT_EQ(script.Asked()[0].folder, "/home/lab");
}

TEST(AppServicesTest, AFileDialogOpensInTheFolderAskedForOrTheDocumentsOrTheHomeFolder) {
  ORV::Test::SandboxedHome home;
  const QString root = QDir::homePath();
  ASSERT_TRUE(root.startsWith(QString::fromStdString(home.root()))) << root.toStdString();
  ASSERT_TRUE(QDir().mkpath(root));
  const std::string lab = home.root() + "/lab";
  ASSERT_TRUE(QDir().mkpath(QString::fromStdString(lab)));
  EXPECT_EQ(DialogStartFolder(lab + "/"), QString::fromStdString(lab));
  EXPECT_EQ(DialogStartFolder(""), root) << "no documents folder: home";
  EXPECT_EQ(DialogStartFolder(home.root() + "/gone/"), root);
  EXPECT_EQ(DialogStartFolder(lab + "/file.tvx"), root) << "not a folder";
  ASSERT_TRUE(QDir().mkpath(root + QStringLiteral("/Documents")));
  EXPECT_EQ(DialogStartFolder(home.root() + "/gone/"), root + QStringLiteral("/Documents"));
}

TEST(AppServicesTest, TheWaitCursorShowsWhileACommandRuns) {
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  {
    CWaitCursor wait;
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  }
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

}  // namespace
}  // namespace ORV::UI
