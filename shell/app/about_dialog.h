#pragma once
// The about box: the program's name, version and build, the button that runs
// an update check now, and the switch for the automatic check at start.
#include <QString>
#include <functional>
#include <string>

#include "platform/ui/dialog.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace ORV::Shell {

// The program's version texts, fixed when it was built. The build text is
// empty when the build did not come from a repository.
struct ProgramVersion {
  std::string productName;
  std::string productVersion;
  std::string gitInfo;
};
ProgramVersion ProgramVersionInfo();

// "<name>, Version:<version> (<build>)".
QString AboutVersionText(const ProgramVersion& version);

class CAboutDlg : public UI::Dialog {
 public:
  static constexpr int kIdVersionLabel = 1071;
  static constexpr int kIdUpdateCheck = 1177;
  static constexpr int kIdCheckAtStartup = 1032;

  // `checkForUpdates` runs a check the user asked for; `checkAtStartup` is
  // the configuration's switch of the automatic check, shown by the box and
  // changed by it, and outlives it.
  CAboutDlg(ProgramVersion version, std::function<void()> checkForUpdates, bool& checkAtStartup,
            QWidget* owner = nullptr);

  QLabel* VersionLabel() const { return version_; }
  QPushButton* UpdateButton() const { return update_; }
  QCheckBox* StartupCheckBox() const { return startupCheck_; }
  QPushButton* CloseButton() const { return close_; }

 protected:
  bool OnInitDialog() override;

 private:
  void OnCheckAtStartup();

  ProgramVersion versionInfo_;
  std::function<void()> checkForUpdates_;
  bool& checkAtStartup_;
  QLabel* icon_;
  QLabel* version_;
  QPushButton* update_;
  QCheckBox* startupCheck_;
  QPushButton* close_;
};

}  // namespace ORV::Shell
