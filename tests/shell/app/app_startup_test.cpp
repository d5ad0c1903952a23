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
#include "shell/app/session_experiment.h"
#include "shell/app/splash_screen.h"
#include "tests/shell/app/app_test_fixture.h"
#include "tests/shell/app/bare_file_host.h"
#include "tests/shell/app/stub/freshet_recording_stub.h"
#include "tests/support/test_world.h"

using namespace ORV;
using namespace ORV::Shell;

namespace {

// What the application did to its frame.
struct FrameLog {
  std::vector<std::string> calls;
  bool alive = false;
  bool splashUpWhenMade = false;
  bool splashUpWhenCreated = false;
  // The store the frame was told to save the settings to.
  OS::RegistryStore* settingsStore = nullptr;
  // The trace glue the frame was given.
  TraceGlue* glue = nullptr;
};

class FakeFrame : public AppFrame {
 public:
  FakeFrame(FrameLog& log, bool createSucceeds, AppCommands& app)
      : log_(log), createSucceeds_(createSucceeds), app_(dynamic_cast<CPelmoraApp&>(app)) {
    log_.alive = true;
    log_.splashUpWhenMade = app_.Splash() != nullptr;
  }
  ~FakeFrame() override { log_.alive = false; }
  void UseSettingsStore(OS::RegistryStore& store) override { log_.settingsStore = &store; }
  void UseTraceGlue(TraceGlue& glue) override { log_.glue = &glue; }
  bool Create() override {
    log_.calls.push_back("Create");
    if (raceMarker) raceMarker->Take();
    log_.splashUpWhenCreated = app_.Splash() && app_.Splash()->isVisible();
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
  CPelmoraApp& app_;
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
    options.loadConfiguration = [this] { ++configurationLoads_; };
    options.frameFactory = [this, createSucceeds](AppCommands& app) {
      return std::make_unique<FakeFrame>(frame_, createSucceeds, app);
    };
    return options;
  }
  // The program's objects the application works on; `experiment_` when a
  // test gave it a record.
  AppWorld World() { return AppWorld{ORV::Test::SharedConfiguration(), ORV::Test::SharedClock(), experiment_}; }
  ~AppStartup() override { EventLog().Deregister(); }

  ORV::Test::AppSandbox sandbox_;
  OS::MemoryEventLogBackend log_;
  OS::RegistryStore store_;
  FrameLog frame_;
  int configurationLoads_ = 0;
  ExperimentData* experiment_ = nullptr;
};

}  // namespace

TEST_F(AppStartup, ComesUpInOrderAndGoesDownCleanly) {
  UI::ScriptedMessageBoxes boxes;
  CPelmoraApp app(World(), Options({"experiment.tvx"}));
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
  // The frame saves the settings to the store they were loaded from.
  EXPECT_EQ(frame_.settingsStore, &store_);
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
  // Without file commands a file on the command line is not opened: no
  // document, no question.
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
    CPelmoraApp app(World(), Options());
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
    CPelmoraApp app(World(), Options({"/RegServer"}));
    EXPECT_FALSE(app.InitInstance());
    EXPECT_FALSE(app.MainWindow()->isVisible());
    app.ExitInstance(0);
  }
  EXPECT_TRUE(store_.KeyExists(appId));
  {
    CPelmoraApp app(World(), Options({"/Unregister"}));
    EXPECT_FALSE(app.InitInstance());
    app.ExitInstance(0);
  }
  EXPECT_FALSE(store_.KeyExists(appId));
}

TEST_F(AppStartup, AFrameThatFailsToCreateEndsTheStart) {
  CPelmoraApp app(World(), Options({}, false));
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
  Configuration& config = ORV::Test::SharedConfiguration();
  const bool saved = config.FreshetCheckEnabled;
  CPelmoraApp app(World(), Options());
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
  ExperimentData experiment{ORV::Test::SharedConfiguration(), ORV::Test::SharedClock()};
  ORV::Test::BareHost host(experiment);
  AppOptions options = Options();
  experiment_ = &experiment;
  options.frameFactory = [this, &host](AppCommands& app) {
    auto frame = std::make_unique<FakeFrame>(frame_, true, app);
    frame->fileHost = &host;
    return frame;
  };
  UI::ScriptedMessageBoxes boxes;
  CPelmoraApp app(World(), std::move(options));
  ASSERT_TRUE(app.InitInstance());
  EXPECT_EQ(experiment.Hooks(), &app) << "the record asks its questions through the application";
  ASSERT_NE(app.FileCommands(), nullptr);
  app.FileCommands()->OnFileNew();
  EXPECT_EQ(host.newWindows, 1);
  app.ExitInstance(0);
  EXPECT_EQ(app.FileCommands(), nullptr);
}

// A glue host that has no data sheet.
class NoSheetGlueHost final : public TraceGlueHost {
 public:
  DataSheetRows* DataSheet() override { return nullptr; }
  DataSheetRows* OpenDataSheet() override { return nullptr; }
  bool SetCommandText(std::uint32_t, const std::string&) override { return true; }
};

TEST_F(AppStartup, TheOneTraceGlueGoesToTheFrameBeforeItIsCreated) {
  ExperimentData experiment{ORV::Test::SharedConfiguration(), ORV::Test::SharedClock()};
  AppOptions options = Options();
  experiment_ = &experiment;
  AppFrame* hostFrame = nullptr;
  options.glueHost = [&hostFrame](DocumentTemplates&, AppFrame& frame) {
    hostFrame = &frame;
    return std::make_unique<NoSheetGlueHost>();
  };
  UI::ScriptedMessageBoxes boxes;
  CPelmoraApp app(World(), std::move(options));
  ASSERT_TRUE(app.InitInstance());
  ASSERT_NE(app.Glue(), nullptr);
  EXPECT_EQ(frame_.glue, app.Glue());
  EXPECT_EQ(hostFrame, app.Frame());
  app.ExitInstance(0);
  EXPECT_EQ(app.Glue(), nullptr);
}

TEST_F(AppStartup, AFileOnTheCommandLineIsOpenedThroughTheFileCommands) {
  // A saved experiment, as the desktop passes it: an absolute path.
  ORV::Test::TempDir folder;
  const std::string saved = folder / "vessel.tvx";
  {
    ExperimentData recorded{ORV::Test::SharedConfiguration(), ORV::Test::SharedClock()};
    recorded.mode = kModeLive;
    recorded.startTick = 500;
    recorded.Update([](ExperimentContents& c) {
      for (std::uint32_t i = 0; i < 50; ++i) {
        PMK4xData3 s;
        s.time = 500 + i * 200;
        s.p1 = 60.0f;
        s.index = static_cast<std::int32_t>(i);
        c.pressureSamples.push_back(s);
      }
      return 0;
    });
    SessionExperiment access(recorded, ORV::Test::SharedConfiguration(), ORV::Test::SharedClock());
    ORV::Test::BareHost host(recorded);
    ExperimentFileCommands commands(access, host);
    ASSERT_TRUE(commands.SaveExperimentToFile(saved, "vessel.tvx"));
  }

  const struct {
    std::uint32_t mode;
    bool opened;  // false: refused while a collection runs
  } cases[] = {{kModeNone, true}, {kModeLive, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    ExperimentData experiment{ORV::Test::SharedConfiguration(), ORV::Test::SharedClock()};
    experiment.mode = c.mode;
    ORV::Test::BareHost host(experiment);
    AppOptions options = Options({saved, "--Restart"});
    experiment_ = &experiment;
    options.frameFactory = [this, &host](AppCommands& app) {
      auto frame = std::make_unique<FakeFrame>(frame_, true, app);
      frame->fileHost = &host;
      return frame;
    };
    UI::ScriptedMessageBoxes boxes;
    CPelmoraApp app(World(), std::move(options));
    ASSERT_TRUE(app.InitInstance());
    EXPECT_EQ(app.Command(), ShellCommand::FileOpen);
    EXPECT_EQ(experiment.mode.load(), c.opened ? kModeFile : kModeLive);
    EXPECT_EQ(host.recent, c.opened ? std::vector<std::string>{saved} : std::vector<std::string>{});
    EXPECT_TRUE(boxes.Shown().empty());
    app.ExitInstance(0);
  }
}

TEST_F(AppStartup, OfTwoInstancesStartedTogetherOnlyTheFirstToMarkItselfGoesOn) {
  InstanceMarker other;
  AppOptions options = Options();
  options.frameFactory = [this, &other](AppCommands& app) {
    auto frame = std::make_unique<FakeFrame>(frame_, true, app);
    frame->raceMarker = &other;
    return frame;
  };
  UI::ScriptedMessageBoxes boxes;
  CPelmoraApp app(World(), std::move(options));
  EXPECT_FALSE(app.InitInstance());
  ASSERT_EQ(boxes.Shown().size(), 1u);
  EXPECT_EQ(boxes.Shown()[0].text, UI::LoadQString(UI::kOneInstanceApplicationAlreadyString));
  EXPECT_FALSE(app.MainWindow()->isVisible());
  app.ExitInstance(0);
  EXPECT_FALSE(frame_.alive);
}
