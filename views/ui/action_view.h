#pragma once
// The action sheet's view: a thin Qt shell around ActionSheetModel. The
// experiment's title and description for editing, and the list of actions
// (description, time from the start). A double click moves the trace views
// to an action's time; Delete deletes the selected actions after asking;
// the clear command empties the sheet after asking.
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "platform/os/message_target.h"
#include "views/action_sheet.h"

class QLineEdit;
class QPlainTextEdit;
class QTableWidget;

namespace ORV::Views {

// The experiment reaches the sheet's rows through ActionViewRows: a row it
// deletes leaves the list and the model together.
class CActionView final : public QWidget, public ActionViewRows {
 public:
  static constexpr int kClearCommand = 32808;

  // `mainWindow` takes the navigation message of a double click; `views`
  // gives the open trace views (to edit and drop marker annotations).
  CActionView(ExperimentData& experiment, int traceTimeSpan, std::shared_ptr<OS::MessageTarget> mainWindow,
              std::function<std::vector<CPelmoraView*>()> views, QWidget* parent = nullptr);

  ActionSheetModel& Model() { return model_; }
  QTableWidget* List() const { return list_; }
  QLineEdit* TitleBox() const { return title_; }
  QPlainTextEdit* DescriptionBox() const { return description_; }

  // The application's calls.
  void InsertAction(const ActionData& action);
  // Fills the title and description boxes from the experiment.
  void OnInitialUpdate();
  // Runs a command; false for one the view does not handle.
  bool OnCommand(int command);
  bool CanClear() const { return model_.RowCount() > 0; }
  // ActionViewRows.
  std::size_t RowCount() const override { return model_.RowCount(); }
  std::uint32_t RowTime(std::size_t row) const override { return model_.RowTime(row); }
  std::string RowText(std::size_t row) const override { return model_.RowText(row); }
  void DeleteRow(std::size_t row) override;
  // Empties the list; the experiment's actions stay.
  void ClearRows();

  // Deletes the selected rows after asking (the Delete key).
  void DeleteSelected();
  // A double click on a row.
  void GoTo(int row);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void StoreTitleAndDescription();

  ExperimentData& experiment_;
  int traceTimeSpan_;
  std::shared_ptr<OS::MessageTarget> mainWindow_;
  std::function<std::vector<CPelmoraView*>()> views_;
  ActionSheetModel model_;
  QLineEdit* title_;
  QPlainTextEdit* description_;
  QTableWidget* list_;
  bool filling_ = false;
};

}  // namespace ORV::Views
