#include "views/trace_settings.h"

#include <algorithm>
#include <cctype>
#include <climits>

#include "core/base/trace_kinds.h"
#include "custom_traces/custom_trace_context.h"

namespace ORV::Views {

int LeadingInteger(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > INT_MAX) {
      value = INT_MAX;
      break;
    }
  }
  return static_cast<int>(negative ? -value : value);
}

TraceSettingsEditor::TraceSettingsEditor(CPelmoraDoc& doc, CustomTraceList customTraces, std::uint32_t interfaceType,
                                         TraceTexts texts)
    : doc_(doc), custom_(std::move(customTraces)), texts_(std::move(texts)) {
  const auto leftOut = [&](int kind) {
    if (interfaceType == kInterfaceWithoutForce) return kind == kTraceForce;
    if (interfaceType == kInterfaceWithoutOutletFlowForce)
      return kind == kTraceForce || kind == kTraceFlow || kind == kTraceOutlet;
    return false;
  };
  for (int kind = 0; kind < kTraceKindCount; ++kind)
    if (!leftOut(kind)) rows_.push_back({kind, texts_(kTraceKindNameBase + static_cast<std::uint32_t>(kind))});
  std::sort(custom_.begin(), custom_.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (const auto& [code, trace] : custom_) {
    const auto definition = trace ? trace->GetTrace() : nullptr;
    rows_.push_back({code, definition ? definition->Name : std::string()});
  }
  int chosen = 0;
  for (std::size_t i = 0; i < rows_.size(); ++i)
    if (rows_[i].code == doc_.TraceCode()) chosen = static_cast<int>(i);
  Select(chosen);
}

std::shared_ptr<Traces::CustomTracesWithLuaContext> TraceSettingsEditor::CustomOf(std::int32_t code) const {
  for (const auto& [c, trace] : custom_)
    if (c == code) return trace;
  return nullptr;
}

const TraceSettingsEditor::Fields& TraceSettingsEditor::Select(int row) {
  if (row < 0 || row >= static_cast<int>(rows_.size())) return fields_;
  selected_ = row;
  const std::int32_t code = rows_[static_cast<std::size_t>(row)].code;
  fields_ = Fields{};
  if (code == kTraceNone) {
    fields_.editable = false;
    return fields_;
  }
  TraceSettings s;
  if (IsCustomTraceId(code)) {
    const auto trace = CustomOf(code);
    if (const auto definition = trace ? trace->GetTrace() : nullptr) {
      s = TraceSettings{definition->MinimumLimit,   definition->MaximumLimit, definition->HorizontalLabels,
                        definition->VerticalLabels, definition->ShowUnit,     definition->AutoRange};
      fields_.unit = definition->UnitType >= 0
                         ? texts_(kTraceUnitNameBase + static_cast<std::uint32_t>(definition->UnitType))
                         : definition->UnitTypeString;
    }
  } else {
    s = doc_.ReadTraceSettings(code, fields_.unit);
    // The kind's own unit, also while the document shows a custom trace.
    fields_.unit = texts_(kTraceUnitNameBase + static_cast<std::uint32_t>(TraceUnitIndex(code)));
  }
  fields_.minimum = std::to_string(s.minimum);
  fields_.maximum = std::to_string(s.maximum);
  fields_.horizontalLabels = std::to_string(s.horizontalLabels);
  fields_.verticalLabels = std::to_string(s.verticalLabels);
  fields_.showUnit = s.showTraceUnit;
  fields_.autoRange = s.autoRange;
  return fields_;
}

bool TraceSettingsEditor::Accept(const Fields& f) {
  const TraceSettings s{LeadingInteger(f.minimum),
                        LeadingInteger(f.maximum),
                        LeadingInteger(f.horizontalLabels),
                        LeadingInteger(f.verticalLabels),
                        f.showUnit,
                        f.autoRange};
  if (s.minimum > s.maximum) return false;
  if (selected_ < 0) return true;
  const std::int32_t code = rows_[static_cast<std::size_t>(selected_)].code;
  if (IsCustomTraceId(code)) {
    const auto trace = CustomOf(code);
    if (const auto definition = trace ? trace->GetTrace() : nullptr) {
      auto lock = trace->Lock();
      definition->MinimumLimit = s.minimum;
      definition->MaximumLimit = s.maximum;
      definition->HorizontalLabels = s.horizontalLabels;
      definition->VerticalLabels = s.verticalLabels;
      definition->ShowUnit = s.showTraceUnit;
      definition->AutoRange = s.autoRange;
    }
    doc_.SetTraceSource(code, trace);
  }
  doc_.WriteTraceSettings(code, s);
  return true;
}

}  // namespace ORV::Views
