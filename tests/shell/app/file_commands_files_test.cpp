// The file commands on real files: save, close and open again give the same
// record; a save that cannot be written keeps the running backup.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "core/base/configuration.h"
#include "core/experiment/experiment_data.h"
#include "platform/ui/app_services.h"
#include "platform/ui/message_box.h"
#include "platform/ui/string_table.h"
#include "shell/app/file_commands_ui.h"
#include "shell/app/session_experiment.h"
#include "tests/shell/app/bare_file_host.h"
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
