// The time window on the program's ribbon: the edits and the slider are the
// ribbon's elements, the commands run through the router under their update
// rules, and a refused span is told in a message box.
#include "shell/glue/ui/ribbon_time_window.h"

#include <gtest/gtest.h>

#include "core/experiment/experiment_data.h"
#include "platform/ui/command_router.h"
#include "platform/ui/message_box.h"
#include "platform/ui/ribbon_model.h"
#include "tests/shell/glue/glue_fakes.h"
#include "tests/support/test_support.h"
#include "tests/support/test_world.h"

namespace ORV::Shell::Test {
namespace {

class RibbonTimeWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(ribbon_.LoadProgramRibbon(&error)) << error;
    experiment_.mode = kModeFile;
    experiment_.startTick = 5000;
    experiment_.stopTick = 5000 + 1800 * 1000;  // 30 minutes recorded
    glue_.RegisterView(view_);
    RegisterTimeWindowCommands(router_, ribbon_, window_, glue_, experiment_);
  }
  void Type(std::uint32_t id, const std::string& text) { ribbon_.FindByID<UI::RibbonEdit>(id)->SetEditText(text); }
  std::string Shown(std::uint32_t id) { return ribbon_.FindByID<UI::RibbonEdit>(id)->GetEditText(); }

  ORV::Test::SandboxedHome home_;
  ORV::Test::MemoryEventLog log_;
  UI::RibbonModel ribbon_;
  UI::CommandRouter router_;
  ExperimentData experiment_{ORV::Test::SharedConfiguration(), ORV::Test::SharedClock()};
  FakeGlueHost glueHost_;
  TraceGlue glue_{experiment_, glueHost_, Text};
  FakeView view_;
  std::vector<double> videoAt_;
  RibbonTimeWindowHost host_{ribbon_, experiment_, nullptr,
                             TimeWindowFrameParts{[this](double s) { videoAt_.push_back(s); }, {}, {}, {}, {}}};
  std::int32_t span_ = 20;
  TraceTimeWindow window_{glue_, host_, span_};
};

TEST_F(RibbonTimeWindowTest, SpanEditIsCutToTheRecordingAndRefusesNoSpan) {
  window_.ResetSlider();
  EXPECT_EQ(ribbon_.FindByID<UI::RibbonSlider>(ID_TIMESPAN_SLIDER)->GetRangeMax(), 1800);
  Type(ID_SCALETIME_EDIT_TIME, "1:00:00");
  ASSERT_TRUE(router_.Execute(ID_SCALETIME_EDIT_TIME));
  EXPECT_EQ(span_, 1800);
  EXPECT_EQ(Shown(ID_SCALETIME_EDIT_TIME), "30:00");
  EXPECT_EQ(ribbon_.FindByID<UI::RibbonSlider>(ID_TIMESPAN_SLIDER)->GetPageSize(), 1800);

  UI::ScriptedMessageBoxes boxes;
  Type(ID_SCALETIME_EDIT_TIME, "0");
  router_.Execute(ID_SCALETIME_EDIT_TIME);
  ASSERT_EQ(boxes.Shown().size(), 1u);
  EXPECT_EQ(boxes.Shown()[0].text, "The entered time is invalid");
  EXPECT_EQ(span_, 1800);
}

TEST_F(RibbonTimeWindowTest, PositionCommandsFollowLiveTraceAndMoveTheViewsAndVideo) {
  window_.ResetSlider();
  glue_.SetLiveTrace(true);
  Type(ID_TIMESPAN_EDIT, "5:00");
  EXPECT_FALSE(router_.QueryState(ID_TIMESPAN_EDIT).enabled);
  EXPECT_EQ(Shown(ID_TIMESPAN_EDIT), "") << "a disabled position shows nothing";
  EXPECT_FALSE(router_.QueryState(ID_TIMESPAN_SLIDER).enabled);

  glue_.SetLiveTrace(false);
  ASSERT_TRUE(router_.QueryState(ID_TIMESPAN_EDIT).enabled);
  Type(ID_TIMESPAN_EDIT, "10:00");
  ASSERT_TRUE(router_.Execute(ID_TIMESPAN_EDIT));
  EXPECT_EQ(view_.xStart, 600.0);
  EXPECT_EQ(videoAt_, std::vector<double>{600.0});

  ribbon_.FindByID<UI::RibbonSlider>(ID_TIMESPAN_SLIDER)->SetPos(50);
  ASSERT_TRUE(router_.Execute(ID_TIMESPAN_SLIDER));
  EXPECT_EQ(view_.xStart, 50.0);
  EXPECT_EQ(Shown(ID_TIMESPAN_EDIT), "50");
}

TEST_F(RibbonTimeWindowTest, ZoomButtonsAreEnabledByTheirRules) {
  view_.xStart = 0.0, view_.xEnd = 1.0;
  EXPECT_FALSE(router_.QueryState(ID_SCALETIME_BTN_x2).enabled);
  view_.xEnd = 2.0;
  EXPECT_TRUE(router_.QueryState(ID_SCALETIME_BTN_x2).enabled);
  EXPECT_FALSE(router_.QueryState(ID_SCALETIME_BTN_DIVIDE2).enabled);
  EXPECT_FALSE(router_.QueryState(ID_EXPAND_VIEW_BUTTON).enabled);
  ASSERT_TRUE(router_.Execute(ID_SCALETIME_BTN_x2));
  EXPECT_TRUE(router_.QueryState(ID_SCALETIME_BTN_DIVIDE2).enabled);
  glue_.SelectTraceRange(nullptr, 3.0, 9.0);
  EXPECT_TRUE(router_.QueryState(ID_EXPAND_VIEW_BUTTON).enabled);
  glue_.UnregisterView(view_);
  EXPECT_FALSE(router_.QueryState(ID_SCALETIME_EDIT_TIME).enabled);
}

}  // namespace
}  // namespace ORV::Shell::Test
