#include "platform/os/installer_backend.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string_view>

#include "platform/os/child_process.h"
#include "platform/os/text.h"

namespace ORV::OS {

namespace {

constexpr const char* kNameValue = "InstalledProductName";
constexpr const char* kVersionValue = "VersionString";
// The first line of a package is at most this long.
constexpr std::size_t kMaxCommandLine = 4096;

std::string KeyOf(const std::string& productCode) { return std::string(kInstalledProductsKey) + "\\" + productCode; }

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The command line the package names: the command and its optional argument.
enum class Named { Ok, CannotRead, NoCommand };
Named ReadNamedCommand(const std::string& packagePath, std::string& command, std::string& argument) {
  const int fd = ::open(packagePath.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return Named::CannotRead;
  std::string head(kMaxCommandLine, '\0');
  std::size_t got = 0;
  while (got < head.size()) {
    const ssize_t n = ::read(fd, head.data() + got, head.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  ::close(fd);
  head.resize(got);
  const std::size_t eol = head.find('\n');
  if (head.compare(0, 2, "#!") != 0 || eol == std::string::npos) return Named::NoCommand;
  std::string_view line = Trim(std::string_view(head).substr(2, eol - 2));
  std::size_t end = 0;
  while (end < line.size() && !IsBlank(line[end])) ++end;
  command = std::string(line.substr(0, end));
  argument = std::string(Trim(line.substr(end)));
  if (command.empty() || command.front() != '/' || command.find('\0') != std::string::npos ||
      argument.find('\0') != std::string::npos) {
    return Named::NoCommand;
  }
  return Named::Ok;
}

}  // namespace

std::vector<InstalledProductEntry> RegistryInstalledProducts::Enumerate() const {
  std::vector<InstalledProductEntry> out;
  for (const std::string& code : store_.SubKeyNames(kInstalledProductsKey)) {
    InstalledProductEntry e;
    e.productCode = code;
    const std::string key = KeyOf(code);
    e.productName = store_.GetString(key, kNameValue, "");
    if (auto v = store_.GetValue(key, kVersionValue);
        v && (v->type == RegType::String || v->type == RegType::ExpandString)) {
      e.versionString = v->text;
    }
    out.push_back(std::move(e));
  }
  return out;
}

bool RegisterInstalledProduct(RegistryStore& store, const std::string& productCode, const std::string& productName,
                              const std::string& versionString) {
  if (productCode.empty() || productCode.find('\\') != std::string::npos) return false;
  RegistryStore::Batch batch(store);
  const std::string key = KeyOf(productCode);
  store.DeleteTree(key);
  return store.SetValue(key, kNameValue, RegValue::MakeString(productName)) &&
         store.SetValue(key, kVersionValue, RegValue::MakeString(versionString));
}

std::optional<InstallCommand> InstallCommandFor(const std::string& packagePath, const std::string& properties,
                                                int* failure) {
  const std::filesystem::path path(packagePath);
  const std::string name = path.filename().string();
  auto fail = [failure](int code) {
    if (failure) *failure = code;
    return std::nullopt;
  };
  if (name.size() > 4 && name.compare(name.size() - 4, 4, ".deb") == 0) {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    if (ec || ::access(packagePath.c_str(), R_OK) != 0) {
      std::fprintf(stderr, "cannot read the package %s\n", packagePath.c_str());
      return fail(kInstallPackageOpenFailed);
    }
    return InstallCommand{kAuthorisationHelper,
                          {kDebianPackageTool, "install", "--yes", absolute.lexically_normal().string()},
                          path.parent_path().string()};
  }
  std::string command;
  std::string argument;
  switch (ReadNamedCommand(packagePath, command, argument)) {
    case Named::CannotRead:
      std::fprintf(stderr, "cannot read the package %s\n", packagePath.c_str());
      return fail(kInstallPackageOpenFailed);
    case Named::NoCommand:
      std::fprintf(stderr, "the package %s names no install command\n", packagePath.c_str());
      return fail(kInstallPackageInvalid);
    case Named::Ok:
      break;
  }
  if (command != kScriptInterpreter) {
    std::fprintf(stderr, "the package %s names the command %s; packages are run only by %s\n", packagePath.c_str(),
                 command.c_str(), kScriptInterpreter);
    return fail(kInstallPackageInvalid);
  }
  // The package goes by a path that cannot be mistaken for an option.
  InstallCommand c{command, {}, path.parent_path().string()};
  if (!argument.empty()) c.args.push_back(argument);
  c.args.push_back("./" + name);
  std::size_t start = 0;
  while (start < properties.size()) {
    std::size_t end = properties.find(' ', start);
    if (end == std::string::npos) end = properties.size();
    if (end > start) c.args.push_back(properties.substr(start, end - start));
    start = end + 1;
  }
  return c;
}

int CommandPackageInstaller::InstallPackage(const std::string& packagePath, const std::string& properties) {
  int failure = kInstallPackageInvalid;
  const std::optional<InstallCommand> command = InstallCommandFor(packagePath, properties, &failure);
  if (!command) return failure;
  ChildProcess child;
  std::string error;
  if (!child.Start(command->program, command->args, command->folder, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return kInstallPackageOpenFailed;
  }
  child.WaitFor(std::chrono::milliseconds(-1));
  const auto status = child.ExitStatus();
  if (status == 0) return kInstallSuccess;
  if (status == kRestartNeededExitStatus) return kInstallRestartNeeded;
  if (status)
    std::fprintf(stderr, "installing %s failed with exit status %d\n", packagePath.c_str(), *status);
  else
    std::fprintf(stderr, "installing %s was ended by signal %d\n", packagePath.c_str(), child.TermSignal());
  return kInstallFailure;
}

}  // namespace ORV::OS
