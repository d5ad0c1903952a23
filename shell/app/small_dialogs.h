#pragma once
// Five small dialogs, each asking one thing: the frame-grabber channel, the
// experiment's title and description before a save, which data-sheet table
// to export as CSV, a comment to store as a marker at a point of a trace,
// and the name of a user workspace; and the "save changes?" question.
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/ui/dialog.h"
#include "shell/save_answer.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace ORV {
class ExperimentData;
struct CalculationData;
}  // namespace ORV

namespace ORV::Shell {

// ---- "save changes?" ----
// Asks `text` with Yes, No and Cancel (the question icon, the application
// title as caption); Escape and the close box cancel.
SaveAnswer AskSaveChangesBox(QWidget* owner, const QString& text);

// ---- frame-grabber channel ----
class CPicoloChannelDialog : public UI::Dialog {
 public:
  static constexpr int kIdChannelList = 1066;
  // The channels by number.
  static const std::array<const char*, 5> kChannels;

  explicit CPicoloChannelDialog(QWidget* owner = nullptr);
  // Set before DoModal, read after it: the channel's number (0-4).
  int channel = 0;
  QComboBox* List() const { return list_; }

 protected:
  bool OnInitDialog() override;

 private:
  QLabel* label_;
  QComboBox* list_;
};

// ---- the experiment's title and description ----
class CExperimentDialog : public UI::Dialog {
 public:
  static constexpr int kIdTitle = 1003;
  static constexpr int kIdDescription = 1012;
  static constexpr int kIdSave = 1013;

  explicit CExperimentDialog(ExperimentData& experiment, QWidget* owner = nullptr);
  QLineEdit* Title() const { return title_; }
  QPlainTextEdit* Description() const { return description_; }
  QPushButton* SaveButton() const { return save_; }

  // Save is possible with any title that is not empty (spaces count).
  static bool CanSave(const QString& title) { return !title.isEmpty(); }

 protected:
  bool OnInitDialog() override;
  void OnOK() override;

 private:
  ExperimentData& experiment_;
  QLineEdit* title_;
  QPlainTextEdit* description_;
  QPushButton* save_;
  QPushButton* cancel_;
};

// ---- CSV export choice ----
class CExportCSVDialog : public UI::Dialog {
 public:
  // The exported tables by record kind: mean, maximum, minimum, video
  // measurements.
  static constexpr std::array<std::int32_t, 4> kKinds{0, 1, 2, 4};
  static constexpr std::array<int, 4> kIdButtons{1060, 1061, 1062, 1063};

  // Runs the export of one table to a file (path, kind); true when the
  // file was written, and then the dialog's work is done and it closes.
  using Exporter = std::function<bool(const std::string& path, std::int32_t kind)>;

  CExportCSVDialog(std::vector<CalculationData> calculations, Exporter exporter, QWidget* owner = nullptr);
  // Set before DoModal: where the save dialog opens and the name it offers.
  std::string folder;
  std::string fileName;
  // Which tables have records, in the order of kKinds.
  static std::array<bool, 4> PresentKinds(const std::vector<CalculationData>& calculations);
  QPushButton* Button(std::size_t i) const { return buttons_[i]; }
  QPushButton* CloseButton() const { return close_; }
  const std::array<bool, 4>& Present() const { return present_; }

 protected:
  bool OnInitDialog() override;

 private:
  void Export(std::size_t i);
  std::vector<CalculationData> calculations_;
  Exporter exporter_;
  std::array<bool, 4> present_{};
  std::array<QPushButton*, 4> buttons_{};
  QPushButton* close_;
};

// ---- a comment at a point of a trace ----
class CEnterMessageDialog : public UI::Dialog {
 public:
  static constexpr int kIdMessage = 1058;
  // Adds the marker (text, time in ms of the experiment, camera).
  using AddMarker = std::function<void(const std::string& text, std::uint32_t time, int camera)>;

  // `seconds`: the point on the trace's time axis; `startMs`: the view's
  // experiment start; `camera`: the view's camera.
  CEnterMessageDialog(double seconds, std::uint32_t startMs, int camera, AddMarker addMarker, QWidget* owner = nullptr);
  // The marker time of a comment at `seconds` after a start at `startMs`.
  static std::uint32_t MarkerTime(double seconds, std::uint32_t startMs);
  QLineEdit* Edit() const { return edit_; }
  QPushButton* SaveButton() const { return save_; }
  const std::string& Message() const { return message_; }

 protected:
  void OnOK() override;

 private:
  double seconds_;
  std::uint32_t startMs_;
  int camera_;
  AddMarker addMarker_;
  std::string message_;
  QLineEdit* edit_;
  QPushButton* save_;
};

// ---- a user workspace's name ----
class CustomUserWorkspaceDialog : public UI::Dialog {
 public:
  static constexpr int kIdName = 1058;
  explicit CustomUserWorkspaceDialog(QWidget* owner = nullptr);
  // Set before DoModal; read after it (changed only by Save).
  std::string name;
  QLineEdit* Edit() const { return edit_; }
  QPushButton* SaveButton() const { return save_; }
  QPushButton* CancelButton() const { return cancel_; }

 protected:
  bool OnInitDialog() override;
  void OnOK() override;

 private:
  QLineEdit* edit_;
  QPushButton* save_;
  QPushButton* cancel_;
};

}  // namespace ORV::Shell
