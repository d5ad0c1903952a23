#pragma once
// What the experiment record needs of the application: the data sheet, which
// takes the video measurements of the data pad; the action sheet, to
// which every marker adds an action and from which a removed marker takes
// its action row again, and the program's title. The application shell
// implements it; tests use a fake. The record calls it on the thread that
// adds or removes the marker (the user-interface thread in the program).
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/threading/event.h"

namespace ORV {

// The rows of the open action sheet: a list of rows and, parallel to it, the
// time each row was stored with.
class ActionViewRows {
 public:
  virtual ~ActionViewRows() = default;
  virtual std::size_t RowCount() const = 0;
  // The stored time (ms of the experiment clock) and the text of a row.
  virtual std::uint32_t RowTime(std::size_t row) const = 0;
  virtual std::string RowText(std::size_t row) const = 0;
  // Deletes the row from the list and its entry from the time list.
  virtual void DeleteRow(std::size_t row) = 0;
};

class ApplicationHooks {
 public:
  virtual ~ApplicationHooks() = default;
  // Appends one timed action to the action sheet (opening the sheet when it
  // is not open) and shows it at its place in time order.
  virtual void AddAction(std::uint32_t time, const std::string& text) = 0;
  // The action sheet's rows; nullptr while the sheet is not open.
  virtual ActionViewRows* ActionView() = 0;
  // The program's title, the caption of its questions and error boxes.
  virtual std::string AppTitle() const = 0;

  // Moves new calculations of a method into the data sheet (opening the
  // sheet when it is not open); for the video-measurement method, the rows
  // of the experiment's data pad.
  virtual void ExportToDataSheet(std::int32_t method) { (void)method; }

  // The user's answer to a question; None when no one could be asked.
  enum class Answer { Yes, No, None };
  // Asks a Yes/No question (question icon) in a modal box with the caption,
  // owned by the main window.
  virtual Answer AskYesNo(const std::string& caption, const std::string& text) {
    (void)caption;
    (void)text;
    return Answer::None;
  }
  // Shows an information box (information icon, OK) with the caption, owned
  // by the main window, and returns when the user closed it. Events go on
  // meanwhile (timers, the panes' commands).
  virtual void ShowInformation(const std::string& caption, const std::string& text) {
    (void)caption;
    (void)text;
  }
  // Shows a modal wait dialog with the text until the event is signalled
  // (checked every 250 ms); returns once it is.
  virtual void WaitForEvent(const Utils::Sync::Event& event, const std::string& text) {
    (void)text;
    event.Wait();
  }
};

}  // namespace ORV
