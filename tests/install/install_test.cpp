// `cmake --install` into a temporary prefix: the files land where a Linux
// user expects them, the desktop files validate, the controls are registered
// and created by ProgID from the installed libraries, the installed update
// library loads, and the installed program starts with the simulated lab.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QWidget>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

#include "platform/com/control_loader.h"
#include "platform/os/child_process.h"
#include "platform/os/folders.h"
#include "platform/os/registry_store.h"
#include "platform/ui/control_host.h"
#include "shell/program_controls.h"
#include "tests/support/test_support.h"

namespace ORV::Test {
namespace {

// The command's exit status (-1 when it could not be run), its output in `out`.
int RunCommand(const std::string& command, std::string* out = nullptr) {
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return -1;
  std::string text;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe)) text += buffer;
  const int status = ::pclose(pipe);
  if (out) *out = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool HasCommand(const std::string& name) { return RunCommand("command -v " + name) == 0; }

// One installation for the whole suite.
class InstallTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    prefix_ = new TempDir;
    std::string output;
    installed_ = RunCommand(std::string("'") + ORV_TEST_CMAKE + "' --install '" + ORV_TEST_BUILD_DIR + "' --prefix '" +
                                prefix_->path() + "'",
                            &output) == 0;
    if (!installed_) std::fprintf(stderr, "%s", output.c_str());
  }
  static void TearDownTestSuite() {
    delete prefix_;
    prefix_ = nullptr;
  }
  void SetUp() override { ASSERT_TRUE(installed_) << "cmake --install failed"; }

  static std::string Path(const std::string& relative) { return prefix_->path() + "/" + relative; }
  static std::string LibraryDir() { return Path("lib/tarvix5"); }

  static inline TempDir* prefix_ = nullptr;
  static inline bool installed_ = false;
};

TEST_F(InstallTest, FilesLandInTheirPlaces) {
  struct File {
    const char* path;
    bool executable;
    bool present;
  } files[] = {
      {"bin/tarvix5", true, ORV_TEST_HAS_PROGRAM != 0},
      {"lib/tarvix5/libORVGraph3.so", false, true},
      {"lib/tarvix5/libORVAnalysisView3.so", false, ORV_TEST_HAS_ANALYSIS_CONTROL != 0},
      {"lib/tarvix5/libFreshet.so", false, true},
      {"lib/tarvix5/orv-installer", true, true},
      {"share/tarvix5/colors.xml", false, true},
      {"share/tarvix5/update-signing.pub", false, true},
      {"share/applications/tarvix5.desktop", false, true},
      {"share/icons/hicolor/scalable/apps/tarvix5.svg", false, true},
      {"share/mime/packages/tarvix5.xml", false, true},
      {"lib/udev/rules.d/60-tarvix5.rules", false, true},
  };
  for (const File& f : files) {
    if (!f.present) continue;
    struct stat st {};
    ASSERT_EQ(::stat(Path(f.path).c_str(), &st), 0) << f.path;
    EXPECT_TRUE(S_ISREG(st.st_mode)) << f.path;
    if (f.executable) {
      EXPECT_NE(st.st_mode & S_IXUSR, 0u) << f.path;
    }
  }
}

TEST_F(InstallTest, DesktopFileAndMimeTypesValidate) {
  ASSERT_TRUE(HasCommand("desktop-file-validate")) << "desktop-file-utils is missing (scripts/install-deps)";
  std::string output;
  EXPECT_EQ(RunCommand("desktop-file-validate '" + Path("share/applications/tarvix5.desktop") + "'", &output), 0)
      << output;
  EXPECT_EQ(output, "") << "no hints or warnings either";
  std::string desktop;
  ASSERT_TRUE(OS::ReadFile(Path("share/applications/tarvix5.desktop"), desktop));
  EXPECT_NE(desktop.find("Exec=tarvix5 %f\n"), std::string::npos);
  EXPECT_NE(desktop.find("MimeType=application/x-tarvix5-experiment;application/x-tarvix5-settings;\n"),
            std::string::npos);

  // The shared MIME database built from the installed types maps both
  // extensions to them.
  if (HasCommand("update-mime-database")) {
    ASSERT_EQ(RunCommand("update-mime-database '" + Path("share/mime") + "'", &output), 0) << output;
    std::string globs;
    ASSERT_TRUE(OS::ReadFile(Path("share/mime/globs2"), globs));
    EXPECT_NE(globs.find("application/x-tarvix5-experiment:*.tvx"), std::string::npos) << globs;
    EXPECT_NE(globs.find("application/x-tarvix5-settings:*.orvsettings"), std::string::npos) << globs;
  } else {
    std::string mime;
    ASSERT_TRUE(OS::ReadFile(Path("share/mime/packages/tarvix5.xml"), mime));
    EXPECT_NE(mime.find("<glob pattern=\"*.tvx\"/>"), std::string::npos);
    EXPECT_NE(mime.find("<glob pattern=\"*.orvsettings\"/>"), std::string::npos);
  }
}

// One "KEY{attribute}OP\"value\"" of a rule: the key (with its attribute), the
// operator; false when the text is not of that form.
bool ParseRulePair(std::string_view text, std::string& key, std::string& op) {
  const auto trim = [](std::string_view t) {
    while (!t.empty() && std::isspace(static_cast<unsigned char>(t.front()))) t.remove_prefix(1);
    while (!t.empty() && std::isspace(static_cast<unsigned char>(t.back()))) t.remove_suffix(1);
    return t;
  };
  text = trim(text);
  std::size_t i = 0;
  while (i < text.size() && (std::isupper(static_cast<unsigned char>(text[i])) || text[i] == '_')) ++i;
  if (i == 0) return false;
  if (i < text.size() && text[i] == '{') {
    const std::size_t close = text.find('}', i);
    if (close == std::string_view::npos || close == i + 1) return false;
    i = close + 1;
  }
  key = std::string(text.substr(0, i));
  const std::string_view rest = trim(text.substr(i));
  const std::size_t quote = rest.find('"');
  if (quote == std::string_view::npos) return false;
  op = std::string(trim(rest.substr(0, quote)));
  const std::string_view value = rest.substr(quote);
  if (op != "==" && op != "!=" && op != "=" && op != "+=" && op != "-=" && op != ":=") return false;
  return value.size() >= 2 && value.back() == '"' &&
         value.substr(1, value.size() - 2).find('"') == std::string_view::npos;
}

// Each rule: comma-separated pairs, the matches before the assignments.
TEST_F(InstallTest, UdevRulesAreWellFormed) {
  const std::string rules = Path("lib/udev/rules.d/60-tarvix5.rules");
  std::string output;
  if (HasCommand("udevadm") && RunCommand("udevadm verify --help") == 0) {
    EXPECT_EQ(RunCommand("udevadm verify '" + rules + "'", &output), 0) << output;
  }
  std::ifstream in(rules);
  ASSERT_TRUE(in.good());
  std::string line;
  int rulesSeen = 0;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    ++rulesSeen;
    bool assigning = false;
    std::size_t start = 0;
    for (;;) {
      const std::size_t comma = line.find(',', start);
      const std::string part = line.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
      std::string key, op;
      ASSERT_TRUE(ParseRulePair(part, key, op)) << "\"" << part << "\" in: " << line;
      const bool isMatch = op == "==" || op == "!=";
      EXPECT_FALSE(isMatch && assigning) << "a match after an assignment: " << line;
      assigning = assigning || !isMatch;
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
    EXPECT_TRUE(assigning) << "a rule that assigns nothing: " << line;
  }
  EXPECT_EQ(rulesSeen, 4);
  std::string key, op;
  EXPECT_FALSE(ParseRulePair("GROUP=dialout", key, op)) << "the checker refuses an unquoted value";
  EXPECT_FALSE(ParseRulePair("ATTRS{idVendor}=~\"0403\"", key, op)) << "and an unknown operator";
}

TEST_F(InstallTest, ControlsAreRegisteredAndCreatedFromTheInstalledLibraries) {
  OS::RegistryStore store;
  const Com::ControlFactory factory(store, {LibraryDir()});
  const Com::HRESULT hr = RegisterProgramControls(factory);
  EXPECT_EQ(hr, ORV_TEST_HAS_ANALYSIS_CONTROL ? Com::S_OK : Com::REGDB_E_CLASSNOTREG);
  EXPECT_EQ(store.GetString(Com::ControlFactory::RegistrationKey(kGraphControlProgId), "", ""),
            LibraryDir() + "/libORVGraph3.so");

  QWidget host;
  host.resize(400, 300);
  for (const std::string_view progId : kProgramControlProgIds) {
    if (progId == kAnalysisControlProgId && !ORV_TEST_HAS_ANALYSIS_CONTROL) continue;
    Com::ControlPtr control;
    ASSERT_EQ(factory.Create(progId, UI::ControlCreateParams(&host, 34768), control), Com::S_OK) << progId;
    EXPECT_TRUE(Com::IsLibraryLoaded(factory.FindLibrary(progId))) << progId;
    EXPECT_NE(UI::ControlWidget(*control), nullptr) << progId;
  }
}

TEST_F(InstallTest, TheInstalledUpdateLibraryLoadsWithItsInstallerBesideIt) {
  void* library = ::dlopen((LibraryDir() + "/libFreshet.so").c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << ::dlerror();
  using Version = void (*)(int*, int*, int*);
  auto version = reinterpret_cast<Version>(::dlsym(library, "Freshets_GetFreshetVersion"));
  ASSERT_NE(version, nullptr);
  int major = -1, minor = -1, revision = -1;
  version(&major, &minor, &revision);
  EXPECT_EQ(major, 1);
  ::dlclose(library);
  EXPECT_EQ(::access((LibraryDir() + "/orv-installer").c_str(), X_OK), 0);
}

// The installed program, with the simulated lab, off-screen in a sandboxed
// home: it comes up, registers its controls, and stays up until it is asked
// to end.
TEST_F(InstallTest, TheInstalledProgramStartsWithTheSimulatedLabAndCloses) {
  if (!ORV_TEST_HAS_PROGRAM) GTEST_SKIP() << "the program is not part of this build";
  SandboxedHome home;
  ::setenv("ORV_SIMLAB", "1", 1);
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  OS::ChildProcess program;
  std::string error;
  ASSERT_TRUE(program.Start(Path("bin/tarvix5"), {}, home.root(), &error)) << error;
  // Its first start registers its controls from the installed libraries; it
  // stays up until then however slow the machine is (the limit only guards
  // against a hang), and until it is asked to end.
  const std::string registryFile = OS::ConfigHome() + "/Orvanta/registry.dat";
  auto registered = [&](std::string_view progId) {
    return !OS::RegistryStore(registryFile).GetString(Com::ControlFactory::RegistrationKey(progId), "", "").empty();
  };
  bool endedEarly = false;
  for (int i = 0; i < 1200 && !endedEarly; ++i) {
    if (registered(kGraphControlProgId) && (!ORV_TEST_HAS_ANALYSIS_CONTROL || registered(kAnalysisControlProgId)))
      break;
    endedEarly = program.WaitFor(std::chrono::milliseconds(100));
  }
  ::unsetenv("ORV_SIMLAB");
  EXPECT_FALSE(endedEarly) << "the program ended by itself with status " << program.ExitStatus().value_or(-1)
                           << ", signal " << program.TermSignal();
  if (!endedEarly) {
    ::kill(program.Pid(), SIGTERM);
    ASSERT_TRUE(program.WaitFor(std::chrono::seconds(30)));
    EXPECT_TRUE(program.ExitStatus() == 0 || program.TermSignal() == SIGTERM)
        << "status " << program.ExitStatus().value_or(-1) << ", signal " << program.TermSignal();
  }
  // The controls are registered with the installed libraries.
  const OS::RegistryStore registry(registryFile);
  EXPECT_EQ(registry.GetString(Com::ControlFactory::RegistrationKey(kGraphControlProgId), "", ""),
            LibraryDir() + "/libORVGraph3.so");
  if (ORV_TEST_HAS_ANALYSIS_CONTROL) {
    EXPECT_EQ(registry.GetString(Com::ControlFactory::RegistrationKey(kAnalysisControlProgId), "", ""),
              LibraryDir() + "/libORVAnalysisView3.so");
  }
}

}  // namespace
}  // namespace ORV::Test
