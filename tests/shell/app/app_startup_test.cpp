// Start-up and exit of the application object in this process, with a fake
// main frame.
#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>

#include "core/base/configuration.h"
#include "core/base/event_log.h"
#include "core/experiment/experiment_data.h"
#include "platform/os/registry_store.h"
#include "platform/ui/document_area.h"
#include "platform/ui/message_box.h"
#include "platform/ui/string_table.h"
#include "shell/app/instance_markers.h"
#include "shell/app/pelmora_app.h"
#include "shell/app/splash_screen.h"
#include "tests/shell/app/app_test_fixture.h"
#include "tests/shell/app/bare_file_host.h"
#include "tests/shell/app/stub/freshet_recording_stub.h"

using namespace ORV;
using namespace ORV::Shell;

namespace {

// What the application did to its frame.
struct FrameLog {
  std::vector<std::string> calls;
  bool alive = false;
  bool splashUpWhenMade = false;
  bool splashUpWhenCreated = false;
};

class FakeFrame : public AppFrame {
 public:
  FakeFrame(FrameLog& log, bool createSucceeds) : log_(log), createSucceeds_(createSucceeds) {
    log_.alive = true;
    log_.splashUpWhenMade = CPelmoraApp::Instance() && CPelmoraApp::Instance()->Splash();
  }
  ~FakeFrame() override { log_.alive = false; }
  bool Create() override {
    log_.calls.push_back("Create");
    if (raceMarker) raceMarker->Take();
    log_.splashUpWhenCreated = CPelmoraApp::Instance()->Splash() && CPelmoraApp::Instance()->Splash()->isVisible();
    window_ = std::make_unique<QWidget>();
    area_ = new UI::DocumentArea(window_.get());
    return createSucceeds_;
  }
  QWidget* Window() override { return window_.get(); }
  UI::DocumentArea* Documents() override { return area_; }
  bool SetCommandText(UI::CommandId id, const QString& text) override {
    log_.calls.push_back("Text " + std::to_string(id) + " " + text.toStdString());
    return true;
  }
  void OnClose() override { log_.calls.push_back("OnClose"); }
  void OnBackupImported() override { log_.calls.push_back("OnBackupImported"); }
  FileCommandsHost* FileHost() override { return fileHost; }

  FileCommandsHost* fileHost = nullptr;
  // Taken by "another instance" while this one creates its window.
  InstanceMarker* raceMarker = nullptr;

 private:
  FrameLog& log_;
  bool createSucceeds_;
  std::unique_ptr<QWidget> window_;
  UI::DocumentArea* area_ = nullptr;
};

class AppStartup : public ::testing::Test {
 protected:
  AppOptions Options(std::vector<std::string> args = {}, bool createSucceeds = true) {
    AppOptions options;
    options.args = std::move(args);
    options.eventLog = &log_;
    options.settingsStore = &store_;
    options.useSession = false;
    options.loadConfiguration = [this] { ++configurationLoads_; };
    options.frameFactory = [this, createSucceeds] { return std::make_unique<FakeFrame>(frame_, createSucceeds); };
    return options;
  }
  ~AppStartup() override { EventLog().Deregister(); }

  ORV::Test::AppSandbox sandbox_;
  OS::MemoryEventLogBackend log_;
  OS::RegistryStore store_;
  FrameLog frame_;
  int configurationLoads_ = 0;
};

}  // namespace

TEST_F(AppStartup, ComesUpInOrderAndGoesDownCleanly) {
  UI::ScriptedMessageBoxes boxes;
  CPelmoraApp app(Options({"experiment.tvx"}));
  EXPECT_EQ(app.Themes().Current(), kCustomThemeValue);
  ASSERT_TRUE(app.InitInstance());

  // The start event: information, category 1, id 3, the program and the user.
  const auto entries = log_.Entries();
  ASSERT_FALSE(entries.empty());
  EXPECT_EQ(entries[0].source, kEventSourceName);
  EXPECT_EQ(entries[0].type, OS::kEventInformation);
  EXPECT_EQ(entries[0].category, 1);
  EXPECT_EQ(entries[0].eventId, kStartEventId);
  ASSERT_EQ(entries[0].texts.size(), 2u);
  EXPECT_EQ(entries[0].texts[0], "Tarvix 5");
  EXPECT_FALSE(entries[0].texts[1].empty());

  // The frame was made behind the splash, then created after the settings
  // were loaded; the splash is gone once the window shows.
  EXPECT_TRUE(frame_.splashUpWhenMade);
  EXPECT_TRUE(frame_.splashUpWhenCreated);
  EXPECT_EQ(configurationLoads_, 1);
  EXPECT_EQ(app.Splash(), nullptr);
  ASSERT_NE(app.MainWindow(), nullptr);
  EXPECT_TRUE(app.MainWindow()->isVisible());
  EXPECT_EQ(frame_.calls, (std::vector<std::string>{
                              "Create",
                              "Text 57603 Save experiment",
                              "Text 57601 Open experiment",
                              "Text 57600 Open a new trace window",
                              "Text 57602 Close experiment",
                          }));
  // A file on the command line is not opened: no document, no question.
  EXPECT_EQ(app.Command(), ShellCommand::FileOpen);
  EXPECT_TRUE(app.Frame()->Documents()->Frames().empty());
  EXPECT_TRUE(boxes.Shown().empty());
  // The templates went to the frame's document area in their order.
  EXPECT_TRUE(app.Templates().Registered());
  EXPECT_EQ(app.Frame()->Documents()->TemplateCount(), 3u);
  // This instance is found by the next one.
  EXPECT_EQ(FindRunningInstance(), UI::kOneInstanceApplicationAlreadyString);
  // The menus use the configured font.
  EXPECT_EQ(app.MenuFont().family(), QStringLiteral("Verdana"));
  EXPECT_DOUBLE_EQ(app.MenuFont().pointSizeF(), 8.0);

  EXPECT_EQ(app.ExitInstance(7), 7);
  EXPECT_FALSE(frame_.alive) << "the frame is deleted at exit";
  EXPECT_EQ(FindRunningInstance(), 0u) << "the marker went with the frame";
}

TEST_F(AppStartup, ARunningInstanceEndsTheStartBeforeTheSettingsAreLoaded) {
  const struct {
    const char* windowClass;
    std::uint32_t text;
  } cases[] = {{"Tarvix 5", UI::kOneInstanceApplicationAlreadyString},
               {"Tarvix 4", UI::kInstanceEarlierVersionTarvixString},
               {"Tarvix II", UI::kInstanceEarlierVersionTarvixString}};
  for (const auto& c : cases) {
    log_.Clear();
    configurationLoads_ = 0;
    InstanceMarker other(c.windowClass);
    ASSERT_TRUE(other.Take());
    UI::ScriptedMessageBoxes boxes;
    CPelmoraApp app(Options());
    EXPECT_FALSE(app.InitInstance()) << c.windowClass;
    ASSERT_EQ(boxes.Shown().size(), 1u);
    EXPECT_EQ(boxes.Shown()[0].text, UI::LoadQString(c.text));
    EXPECT_EQ(boxes.Shown()[0].caption, QStringLiteral("Tarvix 5"));
    EXPECT_EQ(boxes.Shown()[0].type, UI::MB_OK | UI::MB_ICONINFORMATION);
    const auto entries = log_.Entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].eventId, kLogEventId);
    EXPECT_EQ(entries[1].type, OS::kEventInformation);
    EXPECT_EQ(entries[1].texts, std::vector<std::string>{UI::LoadString(c.text)});
    EXPECT_EQ(configurationLoads_, 0) << c.windowClass;
    EXPECT_EQ(frame_.calls.size(), 0u) << "the window is not created";
    EXPECT_EQ(app.Splash(), nullptr);
    app.ExitInstance(0);
  }
}

TEST_F(AppStartup, RegisterSwitchesWriteTheRegistrationAndShowNoWindow) {
  const std::string appId = std::string(OS::kClassesRoot) + "\\AppID\\" + kAppIdGuid;
  {
    CPelmoraApp app(Options({"/RegServer"}));
    EXPECT_FALSE(app.InitInstance());
    EXPECT_FALSE(app.MainWindow()->isVisible());
    app.ExitInstance(0);
  }
  EXPECT_TRUE(store_.KeyExists(appId));
  {
    CPelmoraApp app(Options({"/Unregister"}));
    EXPECT_FALSE(app.InitInstance());
    app.ExitInstance(0);
  }
  EXPECT_FALSE(store_.KeyExists(appId));
}

TEST_F(AppStartup, AFrameThatFailsToCreateEndsTheStart) {
  CPelmoraApp app(Options({}, false));
  EXPECT_FALSE(app.InitInstance());
  EXPECT_FALSE(frame_.alive);
  EXPECT_EQ(app.Frame(), nullptr);
  EXPECT_EQ(FindRunningInstance(), 0u);
  app.ExitInstance(0);
}

TEST(DocumentTemplates, OpenTheirViewsAndForgetClosedSheets) {
  DocumentTemplates templates;
  ASSERT_EQ(templates.All().size(), 3u);
  EXPECT_EQ(templates.All()[0].kind, DocumentKind::Trace);
  EXPECT_EQ(templates.All()[1].kind, DocumentKind::DataSheet);
  EXPECT_EQ(templates.All()[2].kind, DocumentKind::ActionSheet);
  for (const auto& t : templates.All()) EXPECT_EQ(t.resourceId, 125);

  EXPECT_EQ(templates.OpenDocument(DocumentKind::Trace), nullptr) << "nothing before registration";
  UI::DocumentArea area;
  templates.RegisterWith(area);
  EXPECT_EQ(templates.OpenDocument(DocumentKind::DataSheet), nullptr) << "no view maker yet";

  // A view maker set after registration is used.
  templates.SetViewMaker(DocumentKind::DataSheet, [](UI::CChildFrame&) { return new QWidget; });
  templates.SetViewMaker(DocumentKind::ActionSheet, [](UI::CChildFrame&) { return new QWidget; });
  UI::CChildFrame* sheet = templates.OpenDocument(DocumentKind::DataSheet);
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(sheet->frameKind, UI::CChildFrame::kDataSheet);
  EXPECT_EQ(templates.DataSheetDocument(), sheet);
  UI::CChildFrame* actions = templates.OpenDocument(DocumentKind::ActionSheet);
  ASSERT_NE(actions, nullptr);
  EXPECT_EQ(actions->frameKind, UI::CChildFrame::kActionSheet);

  sheet->close();
  EXPECT_EQ(templates.DataSheetDocument(), nullptr);
  EXPECT_EQ(templates.ActionSheetDocument(), actions) << "closing one sheet leaves the other";
}

TEST_F(AppStartup, TheAutomaticUpdateCheckRunsOnceAndOnlyWhenAllowed) {
  Configuration& config = Configuration::Instance();
  const bool saved = config.FreshetCheckEnabled;
  CPelmoraApp app(Options());
  ORV::Test::FreshetCalls().clear();
  config.FreshetCheckEnabled = false;
  EXPECT_FALSE(app.CheckForUpdatesAtStartup());
  EXPECT_TRUE(ORV::Test::FreshetCalls().empty());
  // The about box's button still runs a check.
  app.CheckForUpdates(true);
  EXPECT_EQ(ORV::Test::FreshetCalls().at(3), "SetUpdateType(\"M\")");

  ORV::Test::FreshetCalls().clear();
  config.FreshetCheckEnabled = true;
  EXPECT_TRUE(app.CheckForUpdatesAtStartup());
  EXPECT_EQ(ORV::Test::FreshetCalls().at(3), "SetUpdateType(\"A\")");
  EXPECT_FALSE(app.CheckForUpdatesAtStartup()) << "once per run";
  config.FreshetCheckEnabled = saved;
}

TEST_F(AppStartup, TheFramesFileHostGetsTheFileCommands) {
  ExperimentData experiment;
  ORV::Test::BareHost host(experiment);
  AppOptions options = Options();
  options.experiment = &experiment;
  options.frameFactory = [this, &host] {
    auto frame = std::make_unique<FakeFrame>(frame_, true);
    frame->fileHost = &host;
    return frame;
  };
  UI::ScriptedMessageBoxes boxes;
  CPelmoraApp app(std::move(options));
  ASSERT_TRUE(app.InitInstance());
  EXPECT_EQ(experiment.Hooks(), &app) << "the record asks its questions through the application";
  ASSERT_NE(app.FileCommands(), nullptr);
  app.FileCommands()->OnFileNew();
  EXPECT_EQ(host.newWindows, 1);
  app.ExitInstance(0);
  EXPECT_EQ(app.FileCommands(), nullptr);
}

TEST_F(AppStartup, OfTwoInstancesStartedTogetherOnlyTheFirstToMarkItselfGoesOn) {
  InstanceMarker other;
  AppOptions options = Options();
  options.frameFactory = [this, &other] {
    auto frame = std::make_unique<FakeFrame>(frame_, true);
    frame->raceMarker = &other;
    return frame;
  };
  UI::ScriptedMessageBoxes boxes;
  CPelmoraApp app(std::move(options));
  EXPECT_FALSE(app.InitInstance());
  ASSERT_EQ(boxes.Shown().size(), 1u);
  EXPECT_EQ(boxes.Shown()[0].text, UI::LoadQString(UI::kOneInstanceApplicationAlreadyString));
  EXPECT_FALSE(app.MainWindow()->isVisible());
  app.ExitInstance(0);
  EXPECT_FALSE(frame_.alive);
}
