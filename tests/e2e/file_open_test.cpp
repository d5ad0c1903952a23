// File > Open with a file the program refuses, on the simulated lab: the
// experiment shown (a stopped collection, changed since its save) stays
// exactly as it was: its data, markers and actions, its trace window, its
// title, and the start of a new collection. The good file then opens.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/base/trace_kinds.h"
#include "platform/ui/string_ids.h"
#include "platform/ui/string_table.h"
#include "shell/frame/frame_collection.h"
#include "shell/frame/main_frame_commands.h"
#include "tests/e2e/program_on_lab.h"
#include "views/ui/action_view.h"

namespace ORV {
namespace {

using namespace FrameCommand;
using namespace E2E;
namespace fs = std::filesystem;

// What the user sees of the experiment shown.
struct Shown {
  std::uint32_t mode = 0;
  bool modified = false;
  std::size_t pressures = 0;
  std::vector<std::string> markers;
  std::vector<std::string> actions;
  std::vector<std::int32_t> traces;  // the trace windows' kinds
  QString title;
  bool startEnabled = false;
  bool operator==(const Shown&) const = default;
};

Views::CActionView* ActionSheet(CMainFrame& frame) {
  for (UI::CChildFrame* child : Documents(frame, UI::CChildFrame::kActionSheet))
    if (auto* view = FindWidget<Views::CActionView>(*child)) return view;
  return nullptr;
}

Shown WhatIsShown(CMainFrame& frame, ExperimentData& experiment) {
  Shown shown;
  shown.mode = experiment.mode.load();
  shown.modified = experiment.modified.load();
  shown.pressures = PressureSamples(experiment);
  for (const MarkerData2& marker : Markers(experiment)) shown.markers.push_back(marker.text);
  if (Views::CActionView* sheet = ActionSheet(frame))
    for (std::size_t row = 0; row < sheet->RowCount(); ++row) shown.actions.push_back(sheet->RowText(row));
  for (Views::TraceViewWindow* window : TraceWindows(frame)) shown.traces.push_back(window->View().TraceCode());
  shown.title = frame.windowTitle();
  frame.Router().UpdateIdle();
  shown.startEnabled = frame.Router().QueryState(ID_START_STOP_BUTTON).enabled;
  return shown;
}

TEST(WholeProgramOpen, ARefusedFileLeavesTheExperimentShownExactlyAsItWas) {
  ProgramOnLab lab(1);
  ORV::Test::TempDir work;
  ASSERT_TRUE(lab.Start());
  CMainFrame& frame = *lab.frame;
  ExperimentData& experiment = lab.experiment();
  ASSERT_TRUE(WaitFor([&] { return frame.StartupChainDone(); }));
  lab.router().Execute(Shell::ID_FILE_NEW);
  ASSERT_FALSE(TraceWindows(frame).empty());
  TraceWindows(frame).back()->View().OnShowTraceKind(kTraceInlet);

  // A short collection (no recording, the camera left as it is), saved.
  lab.boxes.Answer(UI::IDNO);
  lab.boxes.Answer(UI::IDNO);
  ASSERT_TRUE(lab.router().Execute(ID_START_STOP_BUTTON));
  ASSERT_TRUE(WaitFor([&] { return PressureSamples(experiment) >= 50; }));
  lab.boxes.Answer(UI::IDYES);
  ASSERT_TRUE(lab.router().Execute(ID_START_STOP_BUTTON));
  ASSERT_EQ(frame.Collection()->CollectionState(), kLiveIdle);
  const std::string good = work / "good.tvx";
  lab.dialogs.Answer(work / "good");
  ASSERT_TRUE(lab.router().Execute(kFileSaveAs));
  ASSERT_TRUE(fs::exists(good));

  // A copy cut in half: its header reads, its blocks do not.
  const std::string cut = work / "cut.tvx";
  {
    std::ifstream in(good, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::ofstream(cut, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size() / 2));
  }
  // The experiment changes after its save: a marker, with its action row.
  experiment.AddMarker("After the save", experiment.startTick.load() + 500, 0);
  const Shown before = WhatIsShown(frame, experiment);
  ASSERT_TRUE(before.modified);
  ASSERT_FALSE(before.actions.empty());
  ASSERT_TRUE(before.startEnabled);

  // Open the cut file; "save before?" No.
  const std::size_t boxesBefore = lab.boxes.Shown().size();
  lab.boxes.Answer(UI::IDNO);
  lab.dialogs.Answer(cut);
  lab.router().Execute(kFileOpen);
  ASSERT_EQ(lab.boxes.Shown().size(), boxesBefore + 2) << "the save question and the refusal";
  EXPECT_EQ(lab.boxes.Shown().back().text.toStdString(), UI::LoadString(UI::kFailedOpenExperimentFileString));
  EXPECT_EQ(WhatIsShown(frame, experiment), before) << "the refused file changed the experiment shown";

  // The good file opens.
  lab.boxes.Answer(UI::IDNO);
  lab.dialogs.Answer(good);
  ASSERT_TRUE(lab.router().Execute(kFileOpen));
  EXPECT_EQ(experiment.mode.load(), kModeFile);
  EXPECT_EQ(PressureSamples(experiment), before.pressures);
}

}  // namespace
}  // namespace ORV
