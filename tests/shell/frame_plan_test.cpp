// The main frame's decisions as plain tables: product type, cameras and
// title, sampling settings and the panes per product type and devices.
#include "shell/frame_plan.h"

#include <gtest/gtest.h>

namespace ORV {
namespace {

TEST(FramePlan, AHeatControllerMakesAnIncubationChamber) {
  EXPECT_EQ(ProductTypeAfterLoad(kPressureChamber, 1 | 2 | 8), kPressureChamber);
  EXPECT_EQ(ProductTypeAfterLoad(kPressureChamber, 32), kIncubationChamber);
  EXPECT_EQ(ProductTypeAfterLoad(kIncubationChamber, 0), kIncubationChamber);
}

TEST(FramePlan, TheTitleNamesTheExperimentWithTheChangeMarkAndTheProgram) {
  const struct {
    const char* fileName;
    const char* title;
  } cases[] = {
      {"", "Untitled[*] - Tarvix 5"},
      {"Rat aorta.tvx", "Rat aorta[*] - Tarvix 5"},
      {"run.TVX", "run.TVX[*] - Tarvix 5"},  // only the program's own extension goes
      {".tvx", ".tvx[*] - Tarvix 5"},
      {"a[*]b.tvx", "a[*][*]b[*] - Tarvix 5"},  // a mark of the name is shown as it is
  };
  for (const auto& c : cases) EXPECT_EQ(FrameTitle(c.fileName, "Tarvix 5"), c.title) << c.fileName;
}

TEST(FramePlan, TheFirstStartTakesTheScreenAndIsMaximisedWhenTheScreenIsSmall) {
  const struct {
    int areaWidth, areaHeight, neededWidth, neededHeight;
    bool maximised;
  } cases[] = {
      {2560, 1400, 1400, 900, false}, {1400, 900, 1400, 900, false},
      {1366, 740, 1400, 900, true},   {1920, 740, 1400, 900, true},  // too low
      {1280, 1000, 1400, 900, true},                                 // too narrow
  };
  for (const auto& c : cases) {
    const FirstPlacement place = PlaceAtFirstStart(10, 30, c.areaWidth, c.areaHeight, c.neededWidth, c.neededHeight);
    EXPECT_EQ(place.maximised, c.maximised) << c.areaWidth << "x" << c.areaHeight;
    EXPECT_EQ(place.left, 10);
    EXPECT_EQ(place.top, 30);
    EXPECT_EQ(place.width, c.areaWidth) << "the whole available area";
    EXPECT_EQ(place.height, c.areaHeight);
  }
}

TEST(FramePlan, SamplingSettingsByIndexAndCameraKind) {
  struct Case {
    int configured, kind;
    bool sync;
    bool synchronised, storeBack;
    int stored, frequency;
  };
  const Case cases[] = {
      {1, 0, true, true, false, 1, 0},   {5, 0, false, false, false, 5, 4}, {0, 0, false, false, true, 3, 2},
      {6, 0, false, false, true, 3, 2},  {2, 1, true, false, false, 2, 5},  {4, 2, true, false, false, 4, 5},
      {-3, 2, false, false, true, 3, 5},
  };
  for (const Case& c : cases) {
    const SamplingPlan plan = PlanSampling(c.configured, c.kind, c.sync);
    EXPECT_EQ(plan.synchronised, c.synchronised) << c.configured << "/" << c.kind;
    EXPECT_EQ(plan.storeBack, c.storeBack) << c.configured << "/" << c.kind;
    EXPECT_EQ(plan.configuredIndex, c.stored) << c.configured << "/" << c.kind;
    EXPECT_EQ(plan.frequencyIndex, c.frequency) << c.configured << "/" << c.kind;
  }
}

TEST(FramePlan, CamerasTitleAndRegisteredNamesByProductType) {
  const std::vector<std::string> names{"cam A", "cam B"};
  const CameraPlan incubation = PlanCameras(kIncubationChamber, names);
  EXPECT_EQ(incubation.titleStringId, 186u);
  EXPECT_TRUE(incubation.multipleCameras);
  EXPECT_TRUE(incubation.tellInterfaceManager);
  EXPECT_EQ(incubation.captions, (std::vector<std::string>{"Camera 1", "Camera 2"}));
  EXPECT_EQ(incubation.registeredNames, names);

  const CameraPlan pressure = PlanCameras(kPressureChamber, names);
  EXPECT_EQ(pressure.titleStringId, 174u);
  EXPECT_FALSE(pressure.multipleCameras);
  EXPECT_FALSE(pressure.tellInterfaceManager);
  EXPECT_EQ(pressure.deviceNames, names);
  EXPECT_EQ(pressure.registeredNames, (std::vector<std::string>{"cam A"}));

  EXPECT_FALSE(PlanCameras(kIncubationChamber, {"one"}).multipleCameras);
  EXPECT_TRUE(PlanCameras(kPressureChamber, {}).captions.empty());
}

// The panes in creation order as "kind index id", with the sizes of a few.
std::vector<std::string> Names(const std::vector<PanePlan>& panes) {
  static const char* kinds[] = {"window", "camera", "flow",       "video", "sequencer",
                                "multi",  "single", "microscope", "heater"};
  std::vector<std::string> out;
  for (const PanePlan& p : panes)
    out.push_back(std::string(kinds[static_cast<int>(p.kind)]) + " " + std::to_string(p.index) + " " +
                  std::to_string(p.id));
  return out;
}

TEST(FramePlan, PanesPerProductTypeAndDevices) {
  struct Case {
    const char* name;
    PaneFacts facts;
    std::vector<std::string> panes;
  };
  const std::vector<std::string> common{"camera 0 256", "flow 0 258",  "video 0 263",
                                        "video 1 263",  "video 2 263", "video 3 263"};
  auto with = [&](std::vector<std::string> head, std::vector<std::string> tail) {
    head.insert(head.end(), common.begin(), common.end());
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
  };
  const Case cases[] = {
      {"no camera, nothing loaded",
       {kPressureChamber, 0, false, false, false, 0, false},
       with({"window 0 43268"}, {"sequencer 0 260"})},
      {"six cameras keep four windows",
       {kPressureChamber, 6, false, false, false, 0, false},
       with({"window 0 43268", "window 1 43269", "window 2 43270", "window 3 43271"}, {"sequencer 0 260"})},
      {"pressure chamber with every device",
       {kPressureChamber, 1, false, true, true, 2, true},
       with({"window 0 43268"},
            {"sequencer 0 260", "multi 0 259", "single 0 257", "microscope 0 4869", "microscope 1 4870"})},
      {"incubation chamber: heater, no sequencer",
       {kIncubationChamber, 2, true, true, false, 1, true},
       with({"window 0 43268", "window 1 43269"}, {"multi 0 259", "microscope 0 4869", "heater 0 262"})},
      {"incubation chamber without a heat controller",
       {kIncubationChamber, 1, false, false, true, 0, false},
       with({"window 0 43268"}, {"single 0 257"})},
  };
  for (const Case& c : cases) EXPECT_EQ(Names(PlanPanes(c.facts)), c.panes) << c.name;
}

TEST(FramePlan, PaneSizesCaptionsAndSides) {
  const std::vector<PanePlan> panes = PlanPanes({kIncubationChamber, 2, true, true, true, 1, true});
  auto find = [&](PaneKind kind) {
    for (const PanePlan& p : panes)
      if (p.kind == kind) return p;
    return PanePlan{};
  };
  const PanePlan window = find(PaneKind::CameraWindow);
  EXPECT_EQ(window.captionStringId, 1u);
  EXPECT_EQ(std::vector<int>({window.width, window.height, window.minWidth, window.minHeight}),
            std::vector<int>({400, 160, 400, 160}));
  EXPECT_FALSE(window.fixedSize);
  EXPECT_EQ(window.homeSide, 0x8000u);
  const PanePlan multi = find(PaneKind::Multi);
  EXPECT_TRUE(multi.fixedSize);
  EXPECT_EQ(multi.minWidth, 0);  // no minimum
  const PanePlan microscope = find(PaneKind::Microscope);
  EXPECT_EQ(microscope.height, 220);  // with multiple cameras
  EXPECT_EQ(microscope.minHeight, 180);
  EXPECT_EQ(microscope.homeSide, 0x1000u);
  EXPECT_EQ(find(PaneKind::Flow).caption, "Flow Meter");
  EXPECT_EQ(find(PaneKind::Flow).homeSide, 0x4000u);
  EXPECT_EQ(find(PaneKind::Heater).captionStringId, 169u);
  const PanePlan video = find(PaneKind::Video);
  EXPECT_EQ(video.caption, "Camera: 1");
  EXPECT_TRUE(video.autoHideAtBottom);
  EXPECT_EQ(find(PaneKind::CameraPane).homeSide, 0x1000u);
  EXPECT_EQ(PlanPanes({kPressureChamber, 1, false, false, false, 1, false}).back().height, 180);
}

}  // namespace
}  // namespace ORV
