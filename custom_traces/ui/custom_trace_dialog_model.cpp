#include "custom_traces/ui/custom_trace_dialog_model.h"

#include <cctype>
#include <charconv>
#include <ctime>
#include <filesystem>
#include <limits>

#include "core/base/event_log.h"
#include "core/base/paths.h"
#include "platform/os/number_text.h"

namespace ORV::Traces {

std::int32_t ReadEditInteger(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  std::int64_t value = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1) break;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  if (value < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value);
}

CustomTraceDialogModel::CustomTraceDialogModel(std::string folder, std::string noUnitText, ConfirmFn confirm,
                                               ErrorFn error)
    : folder_(std::move(folder)),
      noUnitText_(std::move(noUnitText)),
      confirm_(std::move(confirm)),
      error_(std::move(error)) {}

void CustomTraceDialogModel::SetCustomTraces(const std::map<int, std::shared_ptr<CustomTracesWithLuaContext>>& traces) {
  traces_.clear();
  for (const auto& [key, context] : traces) traces_.push_back(context);
}

void CustomTraceDialogModel::Fill() {
  if (traces_.empty()) LoadCustomScriptsIndex(folder_, traces_, /*createFolder=*/false);
  editing_ = false;
  Select(0);
}

std::vector<std::string> CustomTraceDialogModel::Lines() const {
  std::vector<std::string> lines;
  lines.reserve(traces_.size());
  for (const auto& context : traces_) {
    const auto trace = context ? context->GetTrace() : nullptr;
    lines.push_back(trace ? trace->Name : std::string());
  }
  return lines;
}

void CustomTraceDialogModel::Select(int index) {
  selection_ = index >= 0 && static_cast<std::size_t>(index) < traces_.size() ? index : -1;
}

CustomTraceFields CustomTraceDialogModel::Shown() const {
  CustomTraceFields f;
  f.code = kEmptyCode;
  if (selection_ < 0) return f;
  const auto trace = traces_[static_cast<std::size_t>(selection_)]->GetTrace();
  if (trace == nullptr) return f;
  auto lock = traces_[static_cast<std::size_t>(selection_)]->Lock();
  f.name = trace->Name;
  f.unitIndex = trace->UnitType;
  f.unitText = trace->UnitTypeString;
  f.code = trace->Code.empty() ? kEmptyCode : trace->Code;
  f.sampleRate = trace->ScriptType;
  f.minimum = OS::FormatInt(trace->MinimumLimit);
  f.maximum = OS::FormatInt(trace->MaximumLimit);
  f.horizontal = OS::FormatInt(trace->HorizontalLabels);
  f.vertical = OS::FormatInt(trace->VerticalLabels);
  f.autoRange = trace->AutoRange;
  f.showUnit = trace->ShowUnit;
  return f;
}

void CustomTraceDialogModel::New() {
  auto trace = std::make_shared<CustomTraces>();
  trace->Name = kNewTraceName;
  trace->CreationDate = FormatCreationDate(std::time(nullptr));
  trace->Id = NewCustomTraceId();
  trace->Stored = false;
  trace->ShowUnit = true;
  trace->AutoRange = true;
  trace->HorizontalLabels = 5;
  trace->VerticalLabels = 5;
  trace->MaximumLimit = 100;
  trace->MinimumLimit = 0;
  trace->ScriptType = 0;
  trace->UnitType = 0;
  trace->UnitTypeString = noUnitText_;
  auto context = std::make_shared<CustomTracesWithLuaContext>();
  context->SetTrace(std::move(trace));
  traces_.push_back(std::move(context));
  Select(static_cast<int>(traces_.size()) - 1);
  editing_ = true;
}

void CustomTraceDialogModel::Edit() { editing_ = true; }

CustomTraceDialogModel::SaveResult CustomTraceDialogModel::Save(const CustomTraceFields& fields) {
  if (selection_ < 0) return SaveResult::NoSelection;
  const auto& context = traces_[static_cast<std::size_t>(selection_)];
  const auto trace = context->GetTrace();
  if (trace == nullptr) return SaveResult::NoSelection;

  std::string why;
  if (!CheckScriptSyntax(fields.code, why)) {
    LogInformation("Custom traces: the script of \"" + fields.name + "\" was not saved: " + why);
    if (error_) error_(kSyntaxErrorMessage);
    return SaveResult::SyntaxError;
  }

  std::string path;
  bool written = false;
  {
    // The record is shared with the experiment and the views; it changes
    // under the context's lock, so an evaluation elsewhere sees it whole.
    auto lock = context->Lock();
    trace->Stored = true;
    trace->Code = fields.code;
    trace->Name = fields.name;
    trace->UnitType = fields.unitIndex;
    trace->UnitTypeString = fields.unitText;
    trace->ScriptType = fields.sampleRate;
    trace->MinimumLimit = ReadEditInteger(fields.minimum);
    trace->MaximumLimit = ReadEditInteger(fields.maximum);
    trace->HorizontalLabels = ReadEditInteger(fields.horizontal);
    trace->VerticalLabels = ReadEditInteger(fields.vertical);
    trace->AutoRange = fields.autoRange;
    trace->ShowUnit = fields.showUnit;

    path = JoinPath(folder_, ScriptSha256Hex(*trace) + ".xml");
    written = WriteCustomTraceXml(*trace, path);
    if (written) {
      if (!trace->FileName.empty() && trace->FileName != path) {
        std::error_code ec;
        std::filesystem::remove(trace->FileName, ec);
      }
      trace->FileName = path;
    }
  }
  if (!written) {
    LogError("Custom traces: the definition file \"" + path + "\" could not be written.");
    if (error_) error_("The custom trace could not be saved to \"" + path + "\".");
  }
  if (!WriteCustomScriptsIndex(folder_, traces_, IndexIds::Written)) {
    LogError("Custom traces: the index \"" + JoinPath(folder_, kCustomScriptsIndexName) + "\" could not be written.");
  }
  editing_ = false;
  Post(kCustomTraceSavedMessage, static_cast<OS::WPARAM>(selection_));
  return written ? SaveResult::Saved : SaveResult::WriteFailed;
}

void CustomTraceDialogModel::Cancel() {
  if (selection_ >= 0) {
    const auto trace = traces_[static_cast<std::size_t>(selection_)]->GetTrace();
    if (trace != nullptr && !trace->Stored) {
      traces_.erase(traces_.begin() + selection_);
      selection_ = -1;
    }
  }
  editing_ = false;
}

bool CustomTraceDialogModel::Delete() {
  if (selection_ < 0) return false;
  if (!confirm_ || !confirm_(kDeleteQuestion)) return false;
  const auto trace = traces_[static_cast<std::size_t>(selection_)]->GetTrace();
  if (trace != nullptr && !trace->FileName.empty()) {
    std::error_code ec;
    std::filesystem::remove(trace->FileName, ec);
  }
  traces_.erase(traces_.begin() + selection_);
  selection_ = -1;
  if (!WriteCustomScriptsIndex(folder_, traces_, IndexIds::Left)) {
    LogError("Custom traces: the index \"" + JoinPath(folder_, kCustomScriptsIndexName) + "\" could not be written.");
  }
  editing_ = false;
  Post(kCustomTraceDeletedMessage, 0);
  return true;
}

void CustomTraceDialogModel::Post(std::uint32_t message, OS::WPARAM wParam) const {
  if (notify_) notify_->PostMessage(message, wParam, 0);
}

}  // namespace ORV::Traces
