#include "views/action_sheet.h"

#include <algorithm>

#include "core/base/time_text.h"
#include "core/experiment/experiment_data.h"
#include "views/trace_view.h"

namespace ORV::Views {

std::string ActionSheetModel::TimeText(std::size_t row) const {
  const std::uint32_t relative = rows_.at(row).time - experiment_.startTick;
  return FormatTimeSecondsFraction(static_cast<double>(relative) / 1000.0);
}

std::size_t ActionSheetModel::InsertAction(const ActionData& action) {
  const auto at = std::upper_bound(rows_.begin(), rows_.end(), action.time,
                                   [](std::uint32_t t, const Row& r) { return t < r.time; });
  const auto row = static_cast<std::size_t>(at - rows_.begin());
  rows_.insert(at, Row{action.time, action.text});
  return row;
}

void ActionSheetModel::DeleteRow(std::size_t row) {
  if (row < rows_.size()) rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(row));
}

std::optional<std::int64_t> ActionSheetModel::GoToSeconds(std::size_t row, int traceTimeSpan) const {
  if (row >= rows_.size()) return std::nullopt;
  std::int64_t seconds = (rows_[row].time - experiment_.startTick) / 1000;
  if (traceTimeSpan > 2 && seconds >= 1) --seconds;
  return seconds;
}

void ActionSheetModel::EditDescription(std::size_t row, const std::string& text,
                                       const std::vector<CPelmoraView*>& views) {
  if (row >= rows_.size()) return;
  rows_[row].text = text;
  const std::uint32_t time = rows_[row].time;
  const bool markerEdited = experiment_.WithStores([&](MarkerStore& markers, ActionStore& actions) {
    const auto& actionKeys = actions.Keys();
    if (const auto it = std::find(actionKeys.begin(), actionKeys.end(), time); it != actionKeys.end()) {
      const auto at = static_cast<std::size_t>(it - actionKeys.begin());
      ActionData action = actions.Get(at);
      action.text = text;
      actions.Put(at, action, true);
    }
    const auto& markerKeys = markers.Keys();
    const auto it = std::find(markerKeys.begin(), markerKeys.end(), time);
    if (it == markerKeys.end()) return false;
    const auto at = static_cast<std::size_t>(it - markerKeys.begin());
    MarkerData2 marker = markers.Get(at);
    marker.text = text;
    markers.Put(at, marker, true);
    return true;
  });
  // Each view finds the marker's annotation in its own map.
  if (markerEdited)
    for (CPelmoraView* view : views) view->SetMarkerCaption(time, text);
  experiment_.modified = true;
}

void ActionSheetModel::DeleteRows(std::vector<std::size_t> rows, const std::vector<CPelmoraView*>& views) {
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
    if (*it >= rows_.size()) continue;
    const std::uint32_t time = rows_[*it].time;
    for (CPelmoraView* view : views) view->OnMarkerRemoved(time);
    // The action and its marker leave the experiment too, so they do not
    // come back when the experiment is read again.
    experiment_.WithStores([&](MarkerStore& markers, ActionStore& actions) {
      markers.Delete(time);
      return actions.Delete(time);
    });
    DeleteRow(*it);
  }
  if (!rows.empty()) experiment_.modified = true;
}

void ActionSheetModel::Clear() {
  if (rows_.empty()) return;
  rows_.clear();
  experiment_.WithStores([](MarkerStore&, ActionStore& actions) {
    actions.Reset();
    return 0;
  });
  // Also for an experiment without zones: else the cleared actions come
  // back when it is read again.
  experiment_.modified = true;
}

}  // namespace ORV::Views
