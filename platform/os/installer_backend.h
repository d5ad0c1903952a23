#pragma once
// The package installer of this platform: which products are installed, and
// how an update package is installed.
//
// Installed products are keys of the registry store, one per product code,
// under kInstalledProductsKey, each with the string values
// "InstalledProductName" and "VersionString" ("major.minor.third[.build]").
// A product's packaging (or the program itself) registers it there.
//
// A package is installed by one of a fixed list of programs, never by
// another:
//   - a package whose name ends in ".deb" by "/usr/bin/pkexec
//     /usr/bin/apt-get install --yes <its absolute path>" (apt-get as root,
//     after the desktop's authorisation prompt);
//   - any other package is a script whose first line names "/bin/sh":
//     "#!/bin/sh" and at most one argument for it. It runs as
//     "/bin/sh [argument] ./<name> <installation properties>".
// The command runs in the package's folder and is waited for. Its exit
// status gives the result: 0 installed; 194 installed, restart needed (the
// low byte of 3010, so "exit 3010" in a shell script means the same);
// anything else a failed installation. A package that names another command
// is refused without running anything.
#include <optional>
#include <string>
#include <vector>

#include "platform/os/registry_store.h"

namespace ORV::OS {

inline constexpr const char* kInstalledProductsKey = "HKEY_LOCAL_MACHINE\\Software\\Orvanta\\Installed Products";

// Results of an installation.
inline constexpr int kInstallSuccess = 0;
inline constexpr int kInstallRestartNeeded = 3010;
inline constexpr int kInstallFailure = 1603;
inline constexpr int kInstallPackageOpenFailed = 1619;
inline constexpr int kInstallPackageInvalid = 1620;
// The exit status by which an install command says "installed, restart needed".
inline constexpr int kRestartNeededExitStatus = kInstallRestartNeeded & 0xFF;

struct InstalledProductEntry {
  std::string productCode;
  std::string productName;                   // may be empty
  std::optional<std::string> versionString;  // empty when it cannot be read
};

class InstalledProducts {
 public:
  virtual ~InstalledProducts() = default;
  // Every installed product, in a stable order.
  virtual std::vector<InstalledProductEntry> Enumerate() const = 0;
};

// The products registered in a registry store (sub-keys in name order).
class RegistryInstalledProducts : public InstalledProducts {
 public:
  explicit RegistryInstalledProducts(const RegistryStore& store) : store_(store) {}
  std::vector<InstalledProductEntry> Enumerate() const override;

 private:
  const RegistryStore& store_;
};

// Records a product as installed (replacing what was recorded for its code).
bool RegisterInstalledProduct(RegistryStore& store, const std::string& productCode, const std::string& productName,
                              const std::string& versionString);

class PackageInstaller {
 public:
  virtual ~PackageInstaller() = default;
  // Installs the package at `packagePath` with the installation properties
  // ("NAME=value" texts separated by spaces); one of the results above, or
  // another failure code.
  virtual int InstallPackage(const std::string& packagePath, const std::string& properties) = 0;
};

// The programs packages are installed with.
inline constexpr const char* kScriptInterpreter = "/bin/sh";
inline constexpr const char* kAuthorisationHelper = "/usr/bin/pkexec";
inline constexpr const char* kDebianPackageTool = "/usr/bin/apt-get";

// What installs a package: the program and its arguments, and the folder
// it runs in.
struct InstallCommand {
  std::string program;
  std::vector<std::string> args;
  std::string folder;
  bool operator==(const InstallCommand&) const = default;
};

// The command for the package at `packagePath` (as above); empty, with one
// of the results above in `failure`, when the package cannot be read or
// names no command on the list.
std::optional<InstallCommand> InstallCommandFor(const std::string& packagePath, const std::string& properties,
                                                int* failure = nullptr);

// Installs a package by running its InstallCommandFor.
class CommandPackageInstaller : public PackageInstaller {
 public:
  int InstallPackage(const std::string& packagePath, const std::string& properties) override;
};

}  // namespace ORV::OS
