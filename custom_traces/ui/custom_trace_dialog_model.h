#pragma once
// What the custom-trace dialog does, without its widgets: the list of custom
// traces, the entry shown, browse and edit mode, and the commands (new,
// edit, save, cancel, delete) with the files they write.
//
// The dialog's widgets hold the fields while the user edits them: the shell
// shows Shown() in them, and hands their contents to Save().
//
// A save checks the script the way it will be compiled, inside its wrapper,
// and changes nothing (neither the shared definition nor a file) when the
// check fails. Definition files and "Scripts.xml" are replaced in one step.
// A trace whose code does not compile keeps its definition and its place in
// the index. The contexts are not recompiled here: the main frame hears of a
// save (kCustomTraceSavedMessage, wParam the entry's index) and a delete
// (kCustomTraceDeletedMessage) and recompiles what it shows.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "custom_traces/custom_scripts_index.h"
#include "platform/os/message_target.h"

namespace ORV::Traces {

inline constexpr std::uint32_t kCustomTraceSavedMessage = OS::WM_USER + 1050;    // 0x81A
inline constexpr std::uint32_t kCustomTraceDeletedMessage = OS::WM_USER + 1051;  // 0x81B

// The "Sample rate" choices, in list order: what drives the trace.
inline constexpr const char* kSampleRateNames[] = {"Pressure", "Flow", "Camera"};

// The dialog's fields as the user sees them (UTF-8).
struct CustomTraceFields {
  std::string name;
  int sampleRate = -1;  // index into kSampleRateNames, -1 for none
  int unitIndex = -1;   // index into the unit list, -1 when the unit was typed
  std::string unitText;
  bool autoRange = false;
  bool showUnit = false;
  std::string minimum;  // the four number edits, as typed
  std::string maximum;
  std::string horizontal;
  std::string vertical;
  std::string code;

  bool operator==(const CustomTraceFields&) const = default;
};

// A number edit's text read as a decimal integer: leading blanks, a sign and
// digits; anything else, or nothing, reads as 0; out of range is clamped.
std::int32_t ReadEditInteger(const std::string& text);

class CustomTraceDialogModel {
 public:
  // Asks a Yes/No question; true for Yes.
  using ConfirmFn = std::function<bool(const std::string& question)>;
  // Tells the user of a failure.
  using ErrorFn = std::function<void(const std::string& message)>;

  inline static const std::string kSyntaxErrorMessage = "There is a syntax error in the script!";
  inline static const std::string kDeleteQuestion = "Are you sure you want to delete trace ?";
  inline static const std::string kNewTraceName = "Custom script";
  inline static const std::string kEmptyCode = "return ";

  // `folder` holds the definition files and the index; `noUnitText` is the
  // unit list's first entry ("None").
  CustomTraceDialogModel(std::string folder, std::string noUnitText, ConfirmFn confirm, ErrorFn error);

  // Where the save and delete notifications go; none when null.
  void SetNotifyTarget(std::shared_ptr<OS::MessageTarget> target) { notify_ = std::move(target); }
  // Replaces the list by the map's contexts, in key order.
  void SetCustomTraces(const std::map<int, std::shared_ptr<CustomTracesWithLuaContext>>& traces);

  // Fills the list (from the index when it is empty; a missing folder is not
  // created), selects the first entry and switches to browse mode.
  void Fill();

  const CustomTraceList& Traces() const { return traces_; }
  // One line per entry: the definition's name.
  std::vector<std::string> Lines() const;
  int Selection() const { return selection_; }
  bool Editing() const { return editing_; }
  // "Edit" is enabled in browse mode while the list is not empty.
  bool CanEdit() const { return !editing_ && !traces_.empty(); }

  // Selects an entry (-1 or out of range: none).
  void Select(int index);
  // The fields of the selected entry; without one, empty fields and "return ".
  CustomTraceFields Shown() const;

  // "+": a new trace with the defaults, selected, in edit mode.
  void New();
  // "Edit" or a double click: edit mode, with an entry selected.
  void Edit();

  enum class SaveResult { Saved, WriteFailed, SyntaxError, NoSelection };
  // Saves the fields into the selected entry (see above). Saved and
  // WriteFailed end in browse mode; WriteFailed means the definition file
  // could not be written (the index was still rewritten, the trace keeps its
  // former file). A syntax error is reported through ErrorFn.
  SaveResult Save(const CustomTraceFields& fields);
  // Ends editing without saving; a new, never saved entry is dropped.
  void Cancel();
  // "-": asks, then deletes the selected entry and its file. True when deleted.
  bool Delete();

  const std::string& Folder() const { return folder_; }

 private:
  void Post(std::uint32_t message, OS::WPARAM wParam) const;

  std::string folder_;
  std::string noUnitText_;
  ConfirmFn confirm_;
  ErrorFn error_;
  std::shared_ptr<OS::MessageTarget> notify_;
  CustomTraceList traces_;
  int selection_ = -1;
  bool editing_ = false;
};

}  // namespace ORV::Traces
