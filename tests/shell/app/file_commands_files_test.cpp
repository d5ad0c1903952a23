// The file commands on real files: save, close and open again give the same
// record; a save that cannot be written keeps the running backup.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "core/base/configuration.h"
#include "core/experiment/backup_files.h"
#include "core/experiment/experiment_data.h"
#include "core/storage/relative_time.h"
#include "platform/ui/app_services.h"
#include "platform/ui/message_box.h"
#include "platform/ui/string_table.h"
#include "shell/app/file_commands_ui.h"
#include "shell/app/session_experiment.h"
#include "tests/shell/app/bare_file_host.h"
#include "tests/support/saved_experiment.h"
#include "tests/support/test_support.h"
#include "tests/support/test_world.h"

using namespace ORV;
using namespace ORV::Shell;

namespace {

// A recorded experiment: pressures over two minutes, a title.
void Record(ExperimentData& data) {
  data.mode = kModeLive;
  data.startTick = 500;
  data.Update([](ExperimentContents& c) {
    c.title = "Simulated vessel";
    c.description = "60 then 80 mmHg";
    for (std::uint32_t i = 0; i < 600; ++i) {
      PMK4xData3 s;
      s.time = 500 + i * 200;
      s.p1 = 60.0f + (i >= 300 ? 20.0f : 0.0f);
      s.p2 = s.p1 - 0.5f;
      s.temperature = 37.0f;
      s.index = static_cast<std::int32_t>(i);
      c.pressureSamples.push_back(s);
    }
    return 0;
  });
  data.modified = true;
}

std::vector<std::tuple<std::uint32_t, float, float>> Pressures(const ExperimentData& data) {
  return data.Read([](const ExperimentContents& c) {
    std::vector<std::tuple<std::uint32_t, float, float>> out;
    for (const PMK4xData3& s : c.pressureSamples) out.emplace_back(s.time, s.p1, s.p2);
    return out;
  });
}

}  // namespace

TEST(FileCommandsOnFiles, SaveCloseAndReopenGiveTheSameRecord) {
  ORV::Test::SandboxedHome home;
  ORV::Test::TempDir folder;
  ExperimentData data{ORV::Test::SharedConfiguration(), ORV::Test::SharedClock()};
  Configuration& config = ORV::Test::SharedConfiguration();
  SessionExperiment experiment(data, config, ORV::Test::SharedClock());
  ORV::Test::BareHost host(data);
  ExperimentFileCommands commands(experiment, host);
  UI::ScriptedMessageBoxes boxes;
  UI::ScriptedFileDialogs files;

  Record(data);
  const auto before = Pressures(data);
  files.Answer(folder / "vessel");
  ASSERT_TRUE(commands.SaveExperiment());
  const std::string saved = folder / "vessel.tvx";
  EXPECT_TRUE(std::filesystem::exists(saved));
  EXPECT_EQ(config.LastUsedExperimentPath, folder.path() + "/");
  EXPECT_FALSE(data.modified.load());
  EXPECT_EQ(experiment.FilePath(), saved);

  ASSERT_TRUE(commands.CloseExperiment());
  EXPECT_EQ(data.mode.load(), kModeNone);
  EXPECT_TRUE(Pressures(data).empty());
  EXPECT_TRUE(boxes.Shown().empty()) << "nothing changed since the save: no question";

  ASSERT_TRUE(commands.OpenExperimentCommand(saved));
  EXPECT_EQ(data.mode.load(), kModeFile);
  EXPECT_EQ(Pressures(data), before);
  EXPECT_EQ(data.Read([](const ExperimentContents& c) { return c.title; }), "Simulated vessel");
  EXPECT_EQ(host.recent, std::vector<std::string>{saved});
  EXPECT_TRUE(boxes.Shown().empty());

  // Saved again in place: the file is the program's own, in its version.
  ASSERT_TRUE(commands.SaveExperiment());
  EXPECT_EQ(files.Asked().size(), 1u) << "no second file dialog";
}

TEST(FileCommandsOnFiles, ASaveThatCannotBeWrittenKeepsTheRunningBackup) {
  ORV::Test::SandboxedHome home;
  ORV::Test::TempDir folder;
  ExperimentData data{ORV::Test::SharedConfiguration(), ORV::Test::SharedClock()};
  Configuration& config = ORV::Test::SharedConfiguration();
  config.LastUsedExperimentPath = "/kept/";
  SessionExperiment experiment(data, config, ORV::Test::SharedClock());
  ORV::Test::BareHost host(data);
  ExperimentFileCommands commands(experiment, host);
  UI::ScriptedMessageBoxes boxes;

  data.StartRunningBackup();
  Record(data);
  const std::string backup = data.BackupFolder();
  ASSERT_FALSE(backup.empty());
  ASSERT_TRUE(std::filesystem::is_directory(backup));

  // A folder that cannot be written: read-only, or (for a user who may
  // write anywhere) one that is a file.
  std::string target;
  if (::geteuid() != 0) {
    std::filesystem::create_directory(folder / "readonly");
    std::filesystem::permissions(folder / "readonly",
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    target = folder / "readonly/vessel.tvx";
  } else {
    std::ofstream(folder / "plainfile") << "x";
    target = folder / "plainfile/vessel.tvx";
  }
  EXPECT_FALSE(commands.SaveExperimentToFile(target, "vessel.tvx"));
  ASSERT_EQ(boxes.Shown().size(), 1u);
  // The message names the file and the system's reason.
  const int reason = ::geteuid() != 0 ? EACCES : ENOTDIR;
  EXPECT_EQ(boxes.Shown()[0].text.toStdString(),
            "Failed to save experiment to file \"" + target + "\": " + std::strerror(reason) +
                ".\nThe experiment stays open with its changes; an earlier file of that name is unchanged.");
  EXPECT_EQ(boxes.Shown()[0].type, UI::MB_OK | UI::MB_ICONERROR);
  EXPECT_TRUE(std::filesystem::is_directory(backup)) << "the running backup is kept";
  EXPECT_FALSE(std::filesystem::is_empty(backup));
  EXPECT_EQ(config.LastUsedExperimentPath, "/kept/");
  EXPECT_TRUE(data.modified.load());
  std::error_code ec;  // made writable again, so the folder can be removed
  std::filesystem::permissions(folder / "readonly", std::filesystem::perms::owner_all, ec);
  config.LastUsedExperimentPath.clear();
}

namespace {

// Answers the backup import's question with Yes.
class ImportYes : public ApplicationHooks {
 public:
  void AddAction(std::uint32_t, const std::string&) override {}
  ActionViewRows* ActionView() override { return nullptr; }
  std::string AppTitle() const override { return "Tarvix 5"; }
  Answer AskYesNo(const std::string&, const std::string&) override { return Answer::Yes; }
};

// A collection with a marker and one camera's video in the running backup,
// left as a crash leaves it; returns the backup's folder.
std::string CollectionLeftInTheBackup(Configuration& config, RelativeTime::RelativeTime& clock) {
  ExperimentData recorded(config, clock);
  EXPECT_TRUE(recorded.AddCamera("camera-a"));
  recorded.mode = kModeLive;
  recorded.startTick = clock.Now();
  recorded.StartRunningBackup();
  clock.Start();
  for (int i = 0; i < 40; ++i) {
    PMK4xData3 sample;
    sample.time = recorded.startTick + 100 * static_cast<std::uint32_t>(i);
    sample.p1 = 60.0f;
    recorded.AddPressureSample(sample);
  }
  recorded.AddMarker("Drug A", recorded.startTick + 1500, -1);
  const std::string video = recorded.AddRecordingFiles(0);
  std::ofstream(video, std::ios::binary) << std::string(5000, 'v');
  const std::string analysis = recorded.Read([](const ExperimentContents& c) { return c.analysisFiles.at(0); });
  std::ofstream out(analysis, std::ios::binary);
  for (int i = 0; i < 3; ++i) {
    AnalysisData record;
    record.startTime = static_cast<std::int32_t>(recorded.startTick.load());
    std::array<std::uint8_t, AnalysisData::kSize> bytes{};
    record.Serialize(bytes);
    out.write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  }
  out.close();
  const std::string folder = recorded.BackupFolder();
  recorded.ResetStores();
  recorded.CloseStores();
  clock.Pause();
  clock.CloseStore();
  return folder;
}

}  // namespace

TEST(FileCommandsOnFiles, AnImportedBackupSavedAgainAndAgainKeepsEverythingAndIsNotOfferedAgain) {
  ORV::Test::SandboxedHome home;
  ORV::Test::TempDir folder;
  Configuration& config = ORV::Test::SharedConfiguration();
  config.BackupBufferDir.clear();
  config.RunningBackupDirectory.clear();
  RelativeTime::RelativeTime clock;
  const std::string backup = CollectionLeftInTheBackup(config, clock);

  // The next start imports it.
  ExperimentData data(config, clock);
  ImportYes hooks;
  data.SetApplicationHooks(&hooks);
  ASSERT_EQ(data.CheckBackupAtStartup(), 1);
  SessionExperiment experiment(data, config, clock);
  ORV::Test::BareHost host(data);
  ExperimentFileCommands commands(experiment, host);
  UI::ScriptedMessageBoxes boxes;
  UI::ScriptedFileDialogs files;

  files.Answer(folder / "a");
  ASSERT_TRUE(commands.SaveExperiment());
  const ORV::Test::SavedExperiment first = ORV::Test::ReadSavedExperiment(folder / "a.tvx", config);
  ASSERT_EQ(first.result, 1);
  ASSERT_EQ(first.markers.size(), 1u);
  EXPECT_EQ(std::get<1>(first.markers[0]), "Drug A");
  EXPECT_EQ(first.pressureTimes.size(), 40u);
  ASSERT_EQ(first.videos.size(), 1u);
  EXPECT_EQ(first.videos[0], std::vector<char>(5000, 'v'));
  EXPECT_EQ(first.analysisRecords, std::vector<std::size_t>{3});
  EXPECT_EQ(data.MarkerCount(), 1u) << "the open experiment keeps its marker";
  EXPECT_FALSE(std::filesystem::exists(backup + "/" + kBackupIndexName)) << "the saved backup is not offered again";

  // Saved again under another name, unchanged; then in place after a change.
  files.Answer(folder / "b");
  ASSERT_TRUE(commands.SaveExperimentAs());
  const ORV::Test::SavedExperiment second = ORV::Test::ReadSavedExperiment(folder / "b.tvx", config);
  EXPECT_TRUE(second.DifferencesFrom(first).empty()) << ::testing::PrintToString(second.DifferencesFrom(first));
  data.AddMarker("Checked", data.startTick + 2500, 0);
  ASSERT_TRUE(commands.SaveExperiment());
  const ORV::Test::SavedExperiment third = ORV::Test::ReadSavedExperiment(folder / "b.tvx", config);
  EXPECT_EQ(third.markers.size(), 2u);
  EXPECT_EQ(third.videos, first.videos);
  EXPECT_TRUE(boxes.Shown().empty());

  // Closed: the retired backup's recordings go with it.
  ASSERT_TRUE(commands.CloseExperiment());
  EXPECT_FALSE(std::filesystem::exists(backup));
  EXPECT_TRUE(std::filesystem::exists(folder / "b_0.avi"));
  data.CloseStores();
  clock.CloseStore();
}

TEST(FileCommandsOnFiles, AFileThatOpensInPartSaysWhatItLeftOut) {
  ORV::Test::SandboxedHome home;
  ORV::Test::TempDir folder;
  Configuration& config = ORV::Test::SharedConfiguration();
  ExperimentData data{config, ORV::Test::SharedClock()};
  ASSERT_TRUE(data.OpenStores(folder.path()));
  SessionExperiment experiment(data, config, ORV::Test::SharedClock());
  ORV::Test::BareHost host(data);
  ExperimentFileCommands commands(experiment, host);
  UI::ScriptedMessageBoxes boxes;

  Record(data);
  data.WithStores([](MarkerStore&, ActionStore& actions) {
    for (std::uint32_t i = 0; i < 3; ++i)
      actions.Put(i, ActionData{1000 + 500 * i, "Step " + std::to_string(i)}, false);
    return 0;
  });
  const std::string saved = folder / "vessel.tvx";
  ASSERT_TRUE(commands.SaveExperimentToFile(saved, "vessel.tvx"));
  ASSERT_TRUE(commands.CloseExperiment());

  // The second action's text length is altered beyond any text's.
  std::vector<char> bytes = ORV::Test::FileBytes(saved);
  const auto u32At = [&](std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<std::uint8_t>(bytes.at(at + static_cast<std::size_t>(i)));
    return v;
  };
  const std::size_t actions = u32At(6);   // the block table's first entry
  const std::size_t first = actions + 8;  // after the block's total and record size
  const std::size_t second = first + 8 + 2 * u32At(first + 4);
  for (std::size_t i = 0; i < 4; ++i) bytes[second + 4 + i] = static_cast<char>(0x7F);
  std::ofstream(saved, std::ios::binary | std::ios::trunc)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));

  ASSERT_TRUE(commands.OpenExperimentCommand(saved)) << "the rest of the experiment opens";
  EXPECT_EQ(Pressures(data).size(), 600u);
  EXPECT_EQ(data.WithStores([](MarkerStore&, ActionStore& a) { return a.Count(); }), 1u);
  ASSERT_EQ(boxes.Shown().size(), 1u);
  EXPECT_EQ(boxes.Shown()[0].text.toStdString(),
            "Parts of the experiment file \"" + saved +
                "\" could not be read: the last 2 of 3 actions (the file is damaged).\nThe rest of the experiment is "
                "shown. Saving it under the same name would drop the parts that could not be read; use Save As to "
                "keep the file as it is.");
  EXPECT_EQ(boxes.Shown()[0].type, UI::MB_OK | UI::MB_ICONWARNING);
  data.CloseStores();
}
