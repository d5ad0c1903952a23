#include "updater/installation.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "core/base/event_log.h"
#include "platform/os/child_process.h"
#include "platform/os/folders.h"
#include "updater/update_files.h"
#include "updater/update_query.h"

namespace ORV::Freshet {

namespace fs = std::filesystem;

namespace {

constexpr int kDownloadAttempts = 5;
constexpr auto kRetryPause = std::chrono::milliseconds(100);
// How often the wait for the installer looks at the cancel event.
constexpr auto kCancelPoll = std::chrono::milliseconds(20);

std::mutex g_informationMutex;
InformationHandler g_informationHandler;

// A package's file name: a bare name (one from the service or from
// UpdateList.xml may name anything) that is none of the files the hand-off
// itself keeps in the working folder.
bool IsPackageFileName(const std::string& name) {
  return OS::IsBareFileName(name) && name != kUpdateListFile && name != kStatusFile && name != kLibraryFile &&
         name != kInstallerProgram && name != kVerifiedFolder;
}

std::string Join(const std::string& folder, const std::string& name) { return folder + "/" + name; }

// One file into the folder, replacing (never writing through) what is there.
bool CopyInto(const std::string& source, const std::string& target) {
  std::error_code ec;
  fs::remove(target, ec);
  if (fs::copy_file(source, target, fs::copy_options::overwrite_existing, ec)) return true;
  std::fprintf(stderr, "cannot copy %s to %s: %s\n", source.c_str(), target.c_str(), ec.message().c_str());
  return false;
}

// Up to five attempts; a failed attempt leaves no target behind.
bool DownloadWithRetries(const FreshetSettings& settings, const FreshetUpdateFile& file, const std::string& target) {
  for (int attempt = 1; attempt <= kDownloadAttempts; ++attempt) {
    int rc = kDownloadFailed;
    const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
      std::fprintf(stderr, "cannot create %s: %s\n", target.c_str(), std::strerror(errno));
    } else {
      rc = DownloadPackageFile(settings, file.url, fd);
      if (::close(fd) != 0 && rc == kDownloadOk) {
        std::fprintf(stderr, "cannot write %s: %s\n", target.c_str(), std::strerror(errno));
        rc = kDownloadFailed;
      }
    }
    if (rc == kDownloadOk) return true;
    ::unlink(target.c_str());
    std::this_thread::sleep_for(kRetryPause);
  }
  std::fprintf(stderr, "downloading %s failed %d times\n", file.url.c_str(), kDownloadAttempts);
  return false;
}

// Copies the library and the installer into the folder, starts the installer
// there and waits for it or for `cancel`. The installer's exit code, or
// nothing when it did not start, was not waited for, or still runs.
std::optional<int> RunInstaller(const std::string& folder, const HandOffFiles& files,
                                const Utils::Sync::Event* cancel) {
  const std::string program = Join(folder, kInstallerProgram);
  if (!CopyInto(files.library, Join(folder, kLibraryFile)) || !CopyInto(files.installer, program)) return {};
  OS::ChildProcess child;
  std::string error;
  if (!child.Start(program, {}, folder, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return {};
  }
  if (!cancel) return {};
  while (!child.WaitFor(kCancelPoll)) {
    if (cancel->IsSet()) return {};  // the installer is left running
  }
  return child.ExitStatus();
}

// A package of the updates to install that did not verify.
struct Refusal {
  const FreshetUpdate* update;
  std::string file;
  std::string reason;
};

// Checks the packages of `updates` from `first` on; with `extractDir`, each
// one's contents are written there. One refusal per update that does not
// verify (its first package that does not).
std::vector<Refusal> CheckPackages(const PackageVerifier& verifier, const std::string& folder,
                                   const std::vector<FreshetUpdate>& updates, std::size_t first,
                                   const std::string& extractDir) {
  std::vector<Refusal> refused;
  for (std::size_t i = first; i < updates.size(); ++i) {
    for (const FreshetUpdateFile& f : updates[i].files) {
      std::string reason;
      const std::string extractTo = extractDir.empty() ? std::string() : Join(extractDir, f.localName);
      if (!verifier.Verify(Join(folder, f.localName), updates[i], f, extractTo, &reason)) {
        refused.push_back({&updates[i], f.localName, std::move(reason)});
        break;
      }
    }
  }
  return refused;
}

// Writes each refusal to the event log and standard error.
void LogRefusals(const std::vector<Refusal>& refused) {
  EnsureLibraryEventLog();
  for (const Refusal& r : refused) {
    const std::string text =
        UnverifiedUpdateText(*r.update) + " The package \"" + r.file + "\" was refused: " + r.reason + ".";
    std::fprintf(stderr, "Freshet: %s\n", text.c_str());
    LogError(text);
  }
}

}  // namespace

std::string UnverifiedUpdateText(const FreshetUpdate& u) {
  return "The update \"" + u.productName + "\" " + std::to_string(u.major) + "." + std::to_string(u.minor) + "." +
         std::to_string(u.revision) + "." + std::to_string(u.build) + " could not be verified and was not installed.";
}

HandOffFiles DefaultHandOffFiles() {
  Dl_info info{};
  std::string folder;
  if (::dladdr(reinterpret_cast<void*>(&DefaultHandOffFiles), &info) != 0 && info.dli_fname) {
    std::error_code ec;
    const fs::path module = fs::canonical(info.dli_fname, ec);
    if (!ec) folder = module.parent_path().string();
  }
  if (folder.empty()) folder = OS::ProgramDir();
  return {Join(folder, kLibraryFile), Join(folder, kInstallerProgram)};
}

void SetInformationHandler(InformationHandler handler) {
  std::lock_guard lock(g_informationMutex);
  g_informationHandler = std::move(handler);
}

void ShowInformation(const std::string& text) {
  InformationHandler handler;
  {
    std::lock_guard lock(g_informationMutex);
    handler = g_informationHandler;
  }
  if (handler) {
    handler(text);
  } else {
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
  }
}

bool PrepareAndInstall(const FreshetSettings& settings, const Utils::Sync::Event* cancel, const HandOffFiles& files,
                       Notices* notices) {
  if (settings.productId.empty()) return false;
  const std::string folder = InstallationFolder(settings);
  if (folder.empty()) {
    std::fprintf(stderr, "the product id \"%s\" cannot name a folder\n", settings.productId.c_str());
    return false;
  }
  if (IsNonEmptyFolder(folder)) return false;  // an install is pending there
  if (!OS::EnsurePrivateDir(folder)) {
    std::fprintf(stderr, "cannot make the private folder %s\n", folder.c_str());
    return false;
  }
  if (!WriteUpdateList(Join(folder, kUpdateListFile), settings.updates) ||
      !WriteInitialStatus(Join(folder, kStatusFile))) {
    std::fprintf(stderr, "cannot write the update state into %s\n", folder.c_str());
    OS::RemoveTree(folder);
    return false;
  }
  return InstallStep(settings, cancel, files, notices) != 0;
}

int InstallStep(const FreshetSettings& settings, const Utils::Sync::Event* cancel, const HandOffFiles& handOff,
                Notices* notices) {
  const std::string folder = InstallationFolder(settings);
  if (!IsNonEmptyFolder(folder)) return 1;
  if (!IsPrivateFolder(folder)) {
    std::fprintf(stderr, "%s is not a private folder of this user; it is left alone\n", folder.c_str());
    return 0;
  }
  const std::string statusPath = Join(folder, kStatusFile);
  pugi::xml_document status;
  pugi::xml_document list;
  if (!LoadXmlFile(statusPath, status) || !LoadXmlFile(Join(folder, kUpdateListFile), list)) return 1;

  std::vector<FreshetUpdate> updates;
  ParseUpdates(list.document_element(), updates);
  std::vector<FreshetUpdateFile> files;
  for (const FreshetUpdate& u : updates) files.insert(files.end(), u.files.begin(), u.files.end());
  int downloaded = 0;
  if (files.empty() || !ReadCounter(status, kDownloadFileAttribute, downloaded)) return 1;
  for (const FreshetUpdateFile& f : files) {
    if (!IsPackageFileName(f.localName)) {
      // The list is never going to be installed: it goes, so that the next
      // check for updates starts clean instead of finding it pending.
      std::fprintf(stderr,
                   "the update names the file \"%s\", which is not a plain file name; the update list is removed\n",
                   f.localName.c_str());
      CleanInstallationDirectory(settings);
      return 0;
    }
  }

  const int count = static_cast<int>(files.size());
  for (int i = downloaded; i < count; ++i) {
    if (!DownloadWithRetries(settings, files[i], Join(folder, files[i].localName))) return 0;
    downloaded = i + 1;
    status.document_element().attribute(kDownloadFileAttribute).set_value(downloaded);
    if (!SaveXmlFile(status, statusPath)) std::fprintf(stderr, "cannot save %s\n", statusPath.c_str());
  }
  if (downloaded != count) return 1;

  int installed = 0;
  if (!ReadCounter(status, kInstallFileAttribute, installed)) return 1;
  bool done = installed >= static_cast<int>(updates.size());
  if (!done) {
    const std::vector<Refusal> refused = CheckPackages(InstalledPackageVerifier(settings.updateKey), folder, updates,
                                                       static_cast<std::size_t>(installed), {});
    if (!refused.empty()) {
      LogRefusals(refused);
      CleanInstallationDirectory(settings);
      for (const Refusal& r : refused) {
        if (notices) {
          notices->push_back(UnverifiedUpdateText(*r.update));
        } else {
          ShowInformation(UnverifiedUpdateText(*r.update));
        }
      }
      return 0;
    }
    const std::optional<int> exitCode = RunInstaller(folder, handOff, cancel);
    done = exitCode == 0;
    if (exitCode && *exitCode != 0)
      std::fprintf(stderr, "the installer ended with exit code %d; the update stays pending\n", *exitCode);
  }
  if (done) {
    CleanInstallationDirectory(settings);
    if (settings.uiLevel == 1) ShowInformation(kUpdateCompletedText);
  }
  return 1;
}

bool CleanInstallationDirectory(const FreshetSettings& settings) {
  if (settings.productId.empty()) return false;
  const std::string folder = InstallationFolder(settings);
  if (folder.empty()) {
    std::fprintf(stderr, "the product id \"%s\" cannot name a folder\n", settings.productId.c_str());
    return false;
  }
  struct stat st {};
  if (::lstat(folder.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    ::unlink(folder.c_str());  // the link goes; what it points to stays
  } else if (IsNonEmptyFolder(folder)) {
    OS::RemoveTree(folder);
  }
  return true;
}

int HandleInstaller(OS::PackageInstaller& installer, const PackageVerifier& verifier, const std::string& folder) {
  const std::string statusPath = Join(folder, kStatusFile);
  pugi::xml_document status;
  pugi::xml_document list;
  if (!LoadXmlFile(statusPath, status)) return kInstallerStatusUnreadable;
  if (!LoadXmlFile(Join(folder, kUpdateListFile), list)) return kInstallerListUnreadable;
  std::vector<FreshetUpdate> updates;
  ParseUpdates(list.document_element(), updates);
  int installed = 0;
  if (!ReadCounter(status, kInstallFileAttribute, installed)) return kInstallerNoInstallCounter;

  const auto first = static_cast<std::size_t>(installed);
  const std::string verified = Join(folder, kVerifiedFolder);
  if (first < updates.size()) {
    for (std::size_t i = first; i < updates.size(); ++i) {
      for (const FreshetUpdateFile& f : updates[i].files) {
        if (!IsPackageFileName(f.localName)) {
          std::fprintf(stderr, "the update \"%s\" names the file \"%s\", which is not a plain file name\n",
                       updates[i].productName.c_str(), f.localName.c_str());
          return kInstallerPackageFailed;
        }
      }
    }
    // What runs is the verified copy in a folder only this user may enter,
    // so nothing can change it between the check and the run.
    if (!IsPrivateFolder(folder) || !OS::EnsurePrivateDir(verified)) {
      std::fprintf(stderr, "%s is not a private folder of this user; nothing is installed from it\n", folder.c_str());
      return kInstallerUnverified;
    }
    const std::vector<Refusal> refused = CheckPackages(verifier, folder, updates, first, verified);
    if (!refused.empty()) {
      LogRefusals(refused);
      for (const Refusal& r : refused) ::unlink(Join(folder, r.file).c_str());
      OS::RemoveTree(verified);
      return kInstallerUnverified;
    }
  }

  for (std::size_t i = first; i < updates.size(); ++i) {
    int last = OS::kInstallSuccess;
    std::string package;
    for (const FreshetUpdateFile& f : updates[i].files) {
      package = f.localName;
      last = installer.InstallPackage(Join(verified, f.localName), kInstallProperties);
      if (last != OS::kInstallSuccess) break;
    }
    if (last != OS::kInstallSuccess && last != OS::kInstallRestartNeeded) {
      std::fprintf(stderr, "installing the update \"%s\" stopped at the package \"%s\" with code %d\n",
                   updates[i].productName.c_str(), package.c_str(), last);
      return kInstallerPackageFailed;
    }
    status.document_element().attribute(kInstallFileAttribute).set_value(static_cast<int>(i + 1));
    if (!SaveXmlFile(status, statusPath)) return kInstallerStatusNotSaved;
  }
  ShowInformation(kUpdateCompletedText);
  return kInstallerOk;
}

}  // namespace ORV::Freshet
