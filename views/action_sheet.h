#pragma once
// The logic of the action sheet: the experiment's timed actions in time
// order with their times from the start, the edits of a description, going
// to an action's time, deleting actions and clearing the sheet. The rows are
// what the experiment record removes a marker's action from.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/experiment/app_hooks.h"
#include "core/experiment/session_records.h"

namespace ORV {
class ExperimentData;
}

namespace ORV::Views {

class CPelmoraView;

class ActionSheetModel final : public ActionViewRows {
 public:
  explicit ActionSheetModel(ExperimentData& experiment) : experiment_(experiment) {}

  struct Row {
    std::uint32_t time = 0;  // ms of the experiment clock
    std::string text;
  };
  const std::vector<Row>& Rows() const { return rows_; }
  // The row's time from the experiment's start ("1:02:05.25", "01:05.25").
  std::string TimeText(std::size_t row) const;

  // Inserts an action behind every action of its time or earlier; returns
  // the row it took.
  std::size_t InsertAction(const ActionData& action);

  // ActionViewRows.
  std::size_t RowCount() const override { return rows_.size(); }
  std::uint32_t RowTime(std::size_t row) const override { return rows_.at(row).time; }
  std::string RowText(std::size_t row) const override { return rows_.at(row).text; }
  void DeleteRow(std::size_t row) override;

  // The seconds from the start to go to for a double click on the row (a
  // second before the action when the time window is longer than 2 s);
  // nothing for a row that is not there.
  std::optional<std::int64_t> GoToSeconds(std::size_t row, int traceTimeSpan) const;

  // A description edited in the list: the row, the stored action and a
  // marker of that time (in the store and in every view) take the text.
  void EditDescription(std::size_t row, const std::string& text, const std::vector<CPelmoraView*>& views);

  // Deletes the rows (any order): their actions and the markers of their
  // times leave the experiment's stores and the views, and the experiment
  // is marked modified.
  void DeleteRows(std::vector<std::size_t> rows, const std::vector<CPelmoraView*>& views);

  // Empties the sheet and the experiment's action store; the experiment is
  // marked modified.
  void Clear();

 private:
  ExperimentData& experiment_;
  std::vector<Row> rows_;
};

}  // namespace ORV::Views
