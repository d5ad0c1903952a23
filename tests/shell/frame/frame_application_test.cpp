// The frame's application link on the main frame with fake services: the
// ribbon's Save, Close and Open go through the experiment file commands and
// give back the saved record; documents open through the application's
// templates on the frame's document area.
#include "shell/frame/frame_application.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <filesystem>

#include "platform/ui/app_services.h"
#include "platform/ui/document_area.h"
#include "platform/ui/message_box.h"
#include "shell/app/document_templates.h"
#include "shell/app/session_experiment.h"
#include "shell/app/small_dialogs.h"
#include "shell/frame/main_frame.h"
#include "tests/shell/frame/frame_fakes.h"

namespace ORV::Test {
namespace {

using namespace FrameCommand;

std::vector<std::tuple<std::uint32_t, float>> Pressures(const ExperimentData& data) {
  return data.Read([](const ExperimentContents& c) {
    std::vector<std::tuple<std::uint32_t, float>> out;
    for (const PMK4xData3& s : c.pressureSamples) out.emplace_back(s.time, s.p1);
    return out;
  });
}

struct FrameApplicationTest : MainFrameTest {
  void SetUp() override {
    frame = Make();
    ASSERT_EQ(frame->OnCreate(), 0);
    for (const auto kind :
         {Shell::DocumentKind::Trace, Shell::DocumentKind::DataSheet, Shell::DocumentKind::ActionSheet})
      templates.SetViewMaker(kind, [](UI::CChildFrame&) { return new QLabel("document"); });
    templates.RegisterWith(*frame->Documents());
    fileHost = std::make_unique<FrameFileHost>(*frame, config, experiment);
    access = std::make_unique<Shell::SessionExperiment>(experiment, config);
    files = std::make_unique<Shell::ExperimentFileCommands>(*access, *fileHost);
    link = std::make_unique<FrameApplicationLink>(
        *fileHost, [this] { return files.get(); }, [this] { ++restarts; });
    frame->Commands()->SetApplication(link.get());
  }
  void TearDown() override {
    if (frame) frame->Commands()->SetApplication(nullptr);
  }

  std::unique_ptr<CMainFrame> frame;
  Shell::DocumentTemplates templates;
  std::unique_ptr<FrameFileHost> fileHost;
  std::unique_ptr<Shell::SessionExperiment> access;
  std::unique_ptr<Shell::ExperimentFileCommands> files;
  std::unique_ptr<FrameApplicationLink> link;
  int restarts = 0;
};

TEST_F(FrameApplicationTest, RibbonSaveCloseAndOpenGiveTheSameRecord) {
  TempDir folder;
  UI::ScriptedMessageBoxes boxes;
  UI::ScriptedFileDialogs dialogs;
  experiment.mode = kModeLive;
  experiment.Update([](ExperimentContents& c) {
    c.title = "Vessel on the frame";
    for (std::uint32_t i = 0; i < 300; ++i) {
      PMK4xData3 s;
      s.time = 100 + i * 200;
      s.p1 = 40.0f + static_cast<float>(i % 7);
      s.p2 = s.p1 - 1.0f;
      s.index = static_cast<std::int32_t>(i);
      c.pressureSamples.push_back(s);
    }
    return 0;
  });
  experiment.modified = true;
  const auto before = Pressures(experiment);

  // The "Save Experiment" dialog keeps the title and saves.
  QTimer saveDetails;
  int detailsShown = 0;
  QObject::connect(&saveDetails, &QTimer::timeout, [&] {
    if (auto* details = dynamic_cast<Shell::CExperimentDialog*>(QApplication::activeModalWidget())) {
      ++detailsShown;
      details->SaveButton()->click();
    }
  });
  saveDetails.start(20);

  UI::CommandRouter& router = frame->Router();
  // A new recording has no file of its own: Save As names it.
  dialogs.Answer(folder / "frame_vessel");
  ASSERT_TRUE(router.Execute(kFileSaveAs));
  const std::string saved = folder / "frame_vessel.tvx";
  ASSERT_TRUE(std::filesystem::exists(saved));
  EXPECT_FALSE(experiment.modified.load());
  EXPECT_EQ(detailsShown, 1);

  // Close is for an opened file only; the live record is dropped by hand
  // so that the open below must read everything back from the file.
  EXPECT_FALSE(router.QueryState(kFileClose).enabled);
  experiment.Update([](ExperimentContents& c) {
    c.pressureSamples.clear();
    c.title.clear();
    return 0;
  });

  dialogs.Answer(saved);
  ASSERT_TRUE(router.Execute(kFileOpen));
  EXPECT_EQ(experiment.mode.load(), kModeFile);
  EXPECT_EQ(Pressures(experiment), before);
  EXPECT_EQ(experiment.Read([](const ExperimentContents& c) { return c.title; }), "Vessel on the frame");
  EXPECT_EQ(dialogs.Asked().size(), 2u);
  EXPECT_TRUE(boxes.Shown().empty());

  // Changed after the open: Save writes its own file in place, no dialog.
  experiment.modified = true;
  router.UpdateIdle();
  ASSERT_TRUE(router.Execute(kFileSave));
  EXPECT_FALSE(experiment.modified.load());
  EXPECT_EQ(dialogs.Asked().size(), 2u);

  ASSERT_TRUE(router.Execute(kFileClose));
  EXPECT_EQ(experiment.mode.load(), kModeNone);
  EXPECT_TRUE(Pressures(experiment).empty());
}

TEST_F(FrameApplicationTest, DocumentsOpenThroughTheTemplatesAndSheetsOnce) {
  EXPECT_EQ(link->TraceViewCount(), 0);
  link->NewTraceView();
  link->NewTraceView();
  EXPECT_EQ(link->TraceViewCount(), 2);
  fileHost->CloseLastTraceView();
  EXPECT_EQ(link->TraceViewCount(), 1);

  EXPECT_FALSE(link->DataSheetOpen());
  ASSERT_TRUE(frame->Router().Execute(kShowDataSheet));
  ASSERT_TRUE(frame->Router().Execute(kShowActionSheet));
  link->ShowActionSheet();
  EXPECT_TRUE(link->DataSheetOpen());
  EXPECT_TRUE(link->ActionSheetOpen());
  EXPECT_EQ(frame->Documents()->Frames().size(), 3u) << "one trace view and each sheet once";
  fileHost->CloseDataSheet();
  EXPECT_FALSE(link->DataSheetOpen());

  const bool live = config.LiveTrace;
  ASSERT_TRUE(frame->Router().Execute(kLiveTrace));
  EXPECT_EQ(config.LiveTrace, !live);
  link->RestartProgram();
  EXPECT_EQ(restarts, 1);
}

}  // namespace
}  // namespace ORV::Test
