#pragma once
// Downloading the update packages into the working folder and handing them to
// the installer program.
//
// PrepareAndInstall writes UpdateList.xml and InstallationStatus.xml into a
// new working folder and runs InstallStep. InstallStep downloads the files
// not yet downloaded (five attempts each), copies the library and the
// installer program into the folder and starts the installer there. The
// installer, in its own process, loads that copy of the library and calls
// Freshets_HandleInstaller, which runs HandleInstaller: it installs the
// updates not yet installed, one after the other, through the platform's
// package installer. The two processes share only the folder's files and the
// installer's exit code.
//
// Every package is signed by the maker (updater/package_signature.h). Both
// sides check every package still to be installed before anything runs: the
// host before it starts the installer, the installer again before it runs
// the first package (it may be started on its own). An update that does not
// verify is refused: the user is told, the event log records why, and the
// downloads go, so that the next check starts afresh.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/threading/event.h"
#include "platform/os/installer_backend.h"
#include "updater/freshet_settings.h"
#include "updater/package_signature.h"

namespace ORV::Freshet {

inline constexpr const char* kLibraryFile = "libFreshet.so";
inline constexpr const char* kInstallerProgram = "orv-installer";
inline constexpr const char* kUpdateCompletedText = "The update completed successfully";
// The folder of the working folder into which the installer writes each
// package's verified contents, which is what it runs.
inline constexpr const char* kVerifiedFolder = "Verified";
// The properties every package is installed with.
inline constexpr const char* kInstallProperties = "STARTAUTO=1";

// Downloaded packages larger than this are refused.
inline constexpr std::uint64_t kMaxPackageBytes = 2ull << 30;

// Results of DownloadPackageFile.
inline constexpr int kDownloadOk = 0;
inline constexpr int kDownloadNoHandle = -1;
inline constexpr int kDownloadFailed = -2;     // the transfer or the file write failed
inline constexpr int kDownloadHttpError = -3;  // the reply's HTTP status is not 2xx
inline constexpr int kDownloadTooLarge = -4;

// Results of HandleInstaller.
inline constexpr int kInstallerOk = 0;
inline constexpr int kInstallerStatusUnreadable = -1;
inline constexpr int kInstallerListUnreadable = -2;
inline constexpr int kInstallerNoInstallCounter = -4;
inline constexpr int kInstallerPackageFailed = -5;
inline constexpr int kInstallerStatusNotSaved = -6;
inline constexpr int kInstallerUnverified = -7;  // a package is not the maker's, or the folder is not private

// Where the library and the installer program are copied from.
struct HandOffFiles {
  std::string library;    // libFreshet.so
  std::string installer;  // orv-installer
};
// The library as loaded in this process and the installer program beside it.
HandOffFiles DefaultHandOffFiles();

// Shows an information message; by default the text goes to standard output.
using InformationHandler = std::function<void(const std::string& text)>;
// Installs a handler for the whole process; an empty one restores the default.
void SetInformationHandler(InformationHandler handler);
void ShowInformation(const std::string& text);

// What the user is told of an update that was refused: it names the update
// and says that it could not be verified.
std::string UnverifiedUpdateText(const FreshetUpdate& update);

// Messages for the user that a step gives back instead of showing them (an
// update it refused); without such a list they go to ShowInformation.
using Notices = std::vector<std::string>;

// "filename=" followed by the url with every byte but ASCII letters, digits
// and "-._~" written as "%" and two upper-case hexadecimal digits.
std::string BuildDownloadBody(std::string_view url);

// Fetches one package file from the service into `fd`: 0, or a negative
// result above (with a message on standard error; a transfer that failed is
// written to the event log instead).
int DownloadPackageFile(const FreshetSettings& settings, const std::string& url, int fd,
                        std::uint64_t maxBytes = kMaxPackageBytes);

// Creates the working folder (it must not exist, or be empty), writes the
// state files and runs InstallStep. False when the product id is empty or
// not valid, or the folder or its files cannot be made.
bool PrepareAndInstall(const FreshetSettings& settings, const Utils::Sync::Event* cancel,
                       const HandOffFiles& files = DefaultHandOffFiles(), Notices* notices = nullptr);

// Downloads what is left, checks every package still to be installed
// (InstalledPackageVerifier with the settings' update key), then starts the
// installer and waits for it or for `cancel` (no wait at all when `cancel`
// is null); an installer that ends with 0 has its folder deleted, any other
// outcome leaves the update pending. 1, or 0 when a file could not be
// downloaded, a package does not verify (the folder is deleted), the update
// list names a file that is not a bare name, or the folder is not private to
// the user.
int InstallStep(const FreshetSettings& settings, const Utils::Sync::Event* cancel,
                const HandOffFiles& files = DefaultHandOffFiles(), Notices* notices = nullptr);

// Deletes the working folder with everything in it, never following a
// symbolic link out of it; an empty folder stays. True when the product id is
// set and valid.
bool CleanInstallationDirectory(const FreshetSettings& settings);

// The installer side, run in the working folder `folder`: checks every
// package from InstallationStatus.xml's InstallFile on with `verifier`,
// writing each one's contents into kVerifiedFolder, and only when all of them
// verify installs those contents, update by update, and shows
// kUpdateCompletedText. One of the installer results above;
// kInstallerUnverified when the folder is not private to the user or a
// package does not verify (the refused packages are deleted).
int HandleInstaller(OS::PackageInstaller& installer, const PackageVerifier& verifier, const std::string& folder = ".");

}  // namespace ORV::Freshet
