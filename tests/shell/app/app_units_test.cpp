// The application's small rules: the restart switch, the command line, the
// display check, the looks and the module's registration.
#include <gtest/gtest.h>

#include <map>

#include "platform/os/registry_store.h"
#include "shell/app/display_check.h"
#include "shell/app/pelmora_module.h"
#include "shell/app/restart.h"
#include "shell/app/visual_theme.h"

using namespace ORV;
using namespace ORV::Shell;

TEST(RestartSwitch, IsFoundAnywhereOnTheCommandLine) {
  const struct {
    std::vector<std::string> args;
    bool restart;
  } cases[] = {
      {{}, false},
      {{"--Restart"}, true},
      {{"file.tvx", "--Restart"}, true},
      {{"--Restartx"}, true},  // also inside another word
      {{"x--Restart"}, true},
      {{"--restart"}, false},  // case-sensitive
      {{"--Rest", "art"}, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(HasRestartSwitch(c.args), c.restart) << ::testing::PrintToString(c.args);
  }
}

TEST(ShellCommandLine, RegisterSwitchesAndFiles) {
  const struct {
    std::vector<std::string> args;
    ShellCommand command;
  } cases[] = {
      {{}, ShellCommand::FileNothing},
      {{"--Restart"}, ShellCommand::FileNothing},
      {{"experiment.tvx"}, ShellCommand::FileOpen},
      {{"/RegServer"}, ShellCommand::AppRegister},
      {{"-regserver"}, ShellCommand::AppRegister},
      {{"/Register"}, ShellCommand::AppRegister},
      {{"/UnregServer"}, ShellCommand::AppUnregister},
      {{"-Unregister"}, ShellCommand::AppUnregister},
      {{"-Embedding"}, ShellCommand::Embedded},
      {{"/Automation"}, ShellCommand::Automation},
      {{"a.tvx", "/Unregister"}, ShellCommand::AppUnregister},
      {{"-unknown"}, ShellCommand::FileNothing},
      // A path at the root is a file, not a switch.
      {{"/x.tvx"}, ShellCommand::FileOpen},
      {{"/unknown"}, ShellCommand::FileOpen},
      {{"/home/lab/vessel.tvx"}, ShellCommand::FileOpen},
      {{"/home/lab/vessel.tvx", "-Embedding"}, ShellCommand::Embedded},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseShellCommand(c.args), c.command) << ::testing::PrintToString(c.args);
  }
  // The files, in their order; switches and the restart switch are none.
  EXPECT_EQ(ShellFiles({"--Restart", "a.tvx", "/Register", "/home/lab/b.tvx", "-x", "/c.tvx"}),
            (std::vector<std::string>{"a.tvx", "/home/lab/b.tvx", "/c.tvx"}));
}

TEST(DisplayCheck, NamesWhatIsMissing) {
  const struct {
    std::map<std::string, std::string> env;
    const char* mentions;  // nullptr: no problem
  } cases[] = {
      {{}, "DISPLAY and WAYLAND_DISPLAY"},
      {{{"DISPLAY", ":0"}}, nullptr},
      {{{"WAYLAND_DISPLAY", "wayland-0"}}, nullptr},
      {{{"QT_QPA_PLATFORM", "offscreen"}}, nullptr},
      {{{"QT_QPA_PLATFORM", "minimal"}}, nullptr},
      {{{"QT_QPA_PLATFORM", "xcb"}, {"WAYLAND_DISPLAY", "w"}}, "DISPLAY is not set"},
      {{{"QT_QPA_PLATFORM", "xcb:nograb"}, {"DISPLAY", ":1"}}, nullptr},
      {{{"QT_QPA_PLATFORM", "wayland"}, {"DISPLAY", ":0"}}, "WAYLAND_DISPLAY is not set"},
      {{{"QT_QPA_PLATFORM", "wayland;xcb"}, {"WAYLAND_DISPLAY", "w"}}, nullptr},
  };
  for (const auto& c : cases) {
    const std::string problem = DisplayProblem([&](const char* name) {
      const auto it = c.env.find(name);
      return it == c.env.end() ? std::string() : it->second;
    });
    if (!c.mentions) {
      EXPECT_EQ(problem, "");
    } else {
      EXPECT_NE(problem.find(c.mentions), std::string::npos) << problem;
      EXPECT_NE(problem.find("QT_QPA_PLATFORM"), std::string::npos) << problem;
    }
  }
}

TEST(VisualThemes, GalleryIsRegisteredInOrderAndTheProgramThemeIsSelected) {
  VisualThemes themes;
  themes.RegisterProgramThemes();
  ASSERT_EQ(themes.Registered().size(), 23u);
  EXPECT_EQ(themes.Registered().front().value, 5);
  EXPECT_EQ(themes.Registered().front().command, ID_VIEW_APPLOOK_2007_1);
  EXPECT_EQ(themes.ThemesOf(32842), std::vector<int>{9999});
  EXPECT_EQ(themes.ThemesOf(32850), std::vector<int>{27});
  EXPECT_EQ(themes.ThemesOf(ID_VIEW_APPLOOK_WIN7), (std::vector<int>{12, 35, 32, 33, 34, 31, 30, 29}));

  themes.SetVisualTheme(kCustomThemeValue, std::make_unique<CORVCustomTheme>());
  EXPECT_EQ(themes.Current(), 29);
  ASSERT_NE(dynamic_cast<const CORVCustomTheme*>(themes.Manager()), nullptr);
  // The program's theme draws exactly as the look it derives from.
  const QPalette custom = themes.Manager()->Palette(29);
  EXPECT_EQ(custom, VisualManager2019().Palette(29));
  EXPECT_NE(custom.color(QPalette::Window), VisualManager().Palette(6).color(QPalette::Window));
}

TEST(PelmoraModule, RegistersAndRemovesTheAppIdAndTypeLibrary) {
  OS::RegistryStore store;
  const std::string appId = std::string(OS::kClassesRoot) + "\\AppID\\" + kAppIdGuid;
  const std::string typeLib = std::string(OS::kClassesRoot) + "\\TypeLib\\" + kTypeLibGuid;
  ASSERT_TRUE(CPelmoraModule::RegisterAppId(store));
  ASSERT_TRUE(CPelmoraModule::RegisterTypeLib(store));
  EXPECT_EQ(store.GetString(appId, "", ""), kAppIdName);
  EXPECT_TRUE(store.KeyExists(typeLib + "\\" + kTypeLibVersion));

  EXPECT_TRUE(CPelmoraModule::UnregisterAppId(store));
  EXPECT_TRUE(CPelmoraModule::UnregisterTypeLib(store));
  EXPECT_FALSE(store.KeyExists(appId));
  EXPECT_FALSE(store.KeyExists(typeLib));
  EXPECT_FALSE(CPelmoraModule::UnregisterAppId(store)) << "nothing left to remove";

  CPelmoraModule module;
  EXPECT_EQ(module.Lock(), 1);
  EXPECT_EQ(module.Lock(), 2);
  EXPECT_EQ(module.Unlock(), 1);
  EXPECT_EQ(module.Unlock(), 0);
  EXPECT_EQ(module.Unlock(), 0) << "the count never goes below 0";
}
