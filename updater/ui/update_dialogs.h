#pragma once
// The update library's three dialogs: the update-check dialog (a running
// progress bar over the check and update tasks), the "update available"
// question with its formatted header, and the list of the offered updates
// with each one's description. The logic lives in UpdateCheckModel; these
// are the thin shells around it.
#include <QString>
#include <vector>

#include "platform/ui/dialog.h"
#include "updater/update_flow.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTextBrowser;
class QTreeWidget;

namespace ORV::Freshet {

// One offered update as the dialogs show it.
struct UpdateEntry {
  QString name;
  QString descriptionHtml;
  int major = 0;
  int minor = 0;
  int revision = 0;
  int build = 0;
};

// The entries of the update list: names, decoded descriptions, versions.
std::vector<UpdateEntry> EntriesOf(const FreshetSettings& settings);

class UpdateCheckDialog : public UI::Dialog {
 public:
  UpdateCheckDialog(UpdateTasks& tasks, bool afterCheck, UpdateCheckModel::AskFn ask);
  const UpdateCheckModel& Model() const { return model_; }
  QPushButton* CancelButton() const { return cancel_; }

 protected:
  bool OnInitDialog() override;
  void OnCancel() override;
  void timerEvent(QTimerEvent* e) override;

 private:
  void Sync();
  UpdateCheckModel model_;
  QLabel* text_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QPushButton* cancel_ = nullptr;
  int stepTimer_ = 0;
  int pollTimer_ = 0;
};

class UpdatesAvailableDialog : public UI::Dialog {
 public:
  UpdatesAvailableDialog(QString headerHtml, std::vector<UpdateEntry> entries);
  QPushButton* ListButton() const { return list_; }
  QPushButton* YesButton() const { return yes_; }
  QPushButton* NoButton() const { return no_; }
  QTextBrowser* Header() const { return header_; }

 protected:
  bool OnInitDialog() override;
  void OnOK() override { EndDialog(UI::IDYES); }
  void OnCancel() override { EndDialog(UI::IDNO); }
  void keyPressEvent(QKeyEvent* e) override;

 private:
  QString headerHtml_;
  std::vector<UpdateEntry> entries_;
  QTextBrowser* header_ = nullptr;
  QPushButton* list_ = nullptr;
  QPushButton* yes_ = nullptr;
  QPushButton* no_ = nullptr;
};

class UpdateListDialog : public UI::Dialog {
 public:
  explicit UpdateListDialog(const std::vector<UpdateEntry>& entries, QWidget* parent = nullptr);
  QTreeWidget* List() const { return list_; }
  QTextBrowser* Description() const { return description_; }
  int Shown() const { return shown_; }
  void ShowDescription(int index);

 protected:
  bool OnInitDialog() override;

 private:
  const std::vector<UpdateEntry>& entries_;
  QTreeWidget* list_ = nullptr;
  QTextBrowser* description_ = nullptr;
  int shown_ = -1;
};

// The dialogs for the flow; installed by the library when a Qt application
// runs in the process.
class DialogPresenter : public FlowPresenter {
 public:
  int RunUpdateCheckDialog(UpdateTasks& tasks, bool afterCheck) override;
  bool AskUpdatesAvailable(const FreshetSettings& settings) override;
  void ShowMessage(const std::string& text) override;
};

}  // namespace ORV::Freshet
