#pragma once
// The custom-trace dialog: the list of custom traces, their settings and
// script, and the commands to create, edit, check, save and delete them. The
// widgets are a thin shell around CustomTraceDialogModel; after a save or a
// delete the window given to SetNotifyWindow hears of it (0x81A with the
// entry's index, 0x81B).
#include <QPointer>
#include <map>
#include <memory>
#include <vector>

#include "custom_traces/ui/custom_trace_dialog_model.h"
#include "platform/ui/dialog.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace ORV::Traces {

class CustomScriptEditor;
class CustomScriptHelp;

// The insert list's names from the resource "custom_traces/commands.xml"
// (document element "Commands", one "Command" with a "Name" per entry);
// empty when the resource is missing or does not parse.
std::vector<std::string> LoadInsertNames();

class CustomTraceDialog : public UI::Dialog {
 public:
  // `folder`: where the definition files and "Scripts.xml" are.
  explicit CustomTraceDialog(std::string folder = CustomScriptsFolder(), QWidget* parent = nullptr);
  ~CustomTraceDialog() override;

  // The contexts to show, in key order; called before the dialog is shown.
  void SetCustomTraces(const std::map<int, std::shared_ptr<CustomTracesWithLuaContext>>& traces);
  // Where the save and delete notifications go.
  void SetNotifyWindow(std::shared_ptr<OS::MessageTarget> target);

  const CustomTraceDialogModel& Model() const { return model_; }

  // The commands, as the buttons and the list give them.
  void OnNew();
  void OnEdit();
  void OnSave();
  void OnCancelEdit();
  void OnDelete();
  void OnHelp();
  void OnInsert();
  void OnSelectionChanged();

  // The controls, for tests.
  QListWidget* List() const { return list_; }
  QLineEdit* NameEdit() const { return name_; }
  QComboBox* SampleRate() const { return sampleRate_; }
  QComboBox* UnitType() const { return unit_; }
  QCheckBox* AutoRange() const { return autoRange_; }
  QCheckBox* ShowUnit() const { return showUnit_; }
  QLineEdit* Minimum() const { return minimum_; }
  QLineEdit* Maximum() const { return maximum_; }
  QLineEdit* Horizontal() const { return horizontal_; }
  QLineEdit* Vertical() const { return vertical_; }
  CustomScriptEditor* Editor() const { return editor_; }
  QComboBox* InsertList() const { return insert_; }
  QPushButton* SaveButton() const { return save_; }
  QPushButton* EditButton() const { return edit_; }
  QPushButton* CancelButton() const { return cancel_; }
  QPushButton* NewButton() const { return add_; }
  QPushButton* DeleteButton() const { return remove_; }
  QPushButton* HelpButton() const { return help_; }
  QPushButton* InsertButton() const { return insertButton_; }
  CustomScriptHelp* Help() const { return helpWindow_.get(); }

 protected:
  bool OnInitDialog() override;

 private:
  void BuildControls();
  // Shows the model: the list, its selection, the mode and the fields.
  void ShowList();
  void ShowFields(const CustomTraceFields& fields);
  void ShowMode();
  CustomTraceFields ReadFields() const;

  CustomTraceDialogModel model_;
  QListWidget* list_ = nullptr;
  QLineEdit* name_ = nullptr;
  QComboBox* sampleRate_ = nullptr;
  QComboBox* unit_ = nullptr;
  QCheckBox* autoRange_ = nullptr;
  QCheckBox* showUnit_ = nullptr;
  QLineEdit* minimum_ = nullptr;
  QLineEdit* maximum_ = nullptr;
  QLineEdit* horizontal_ = nullptr;
  QLineEdit* vertical_ = nullptr;
  QLabel* scriptLabel_ = nullptr;
  CustomScriptEditor* editor_ = nullptr;
  QComboBox* insert_ = nullptr;
  QPushButton* insertButton_ = nullptr;
  QPushButton* add_ = nullptr;
  QPushButton* remove_ = nullptr;
  QPushButton* help_ = nullptr;
  QPushButton* edit_ = nullptr;
  QPushButton* save_ = nullptr;
  QPushButton* cancel_ = nullptr;
  std::unique_ptr<CustomScriptHelp> helpWindow_;
  bool showing_ = false;  // the list is being refilled: its signals are not commands
  // Last, so that the window closes before the members above go.
  ORV::UI::MessageWindowCloser closer_{*this};
};

}  // namespace ORV::Traces
