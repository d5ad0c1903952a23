#include "views/trace_document.h"

#include <array>
#include <cstdio>

#include "core/base/app_registry.h"
#include "core/base/trace_kinds.h"
#include "custom_traces/custom_trace_context.h"

namespace ORV::Views {

namespace {

constexpr std::array<int, kTraceKindCount> kUnitOfKind = {0, 1, 1, 1, 1, 1, 4, 4, 4, 1, 6,
                                                          2, 2, 2, 8, 9, 3, 7, 5, 0, 0};

// Only a stored 1 means true.
bool FlagOf(int stored) { return stored == 1; }

}  // namespace

int TraceUnitIndex(int kind) { return IsBuiltInTraceKind(kind) ? kUnitOfKind[static_cast<std::size_t>(kind)] : 0; }

CPelmoraDoc::CPelmoraDoc(AppRegistry& registry, int settingsVersion, TraceTexts texts)
    : registry_(registry), settingsVersion_(settingsVersion), texts_(std::move(texts)) {}

void CPelmoraDoc::SetTraceSource(std::int32_t code, std::shared_ptr<Traces::CustomTracesWithLuaContext> source) {
  code_ = code;
  source_ = std::move(source);
}

void CPelmoraDoc::SetTraceKind(std::int32_t code) {
  code_ = code;
  if (code > 10) zone_ = -1;
  source_.reset();
}

std::string CPelmoraDoc::TraceName() const {
  if (source_) {
    const auto definition = source_->GetTrace();
    return definition ? definition->Name : std::string();
  }
  if (code_ < 0) return {};
  return texts_(kTraceKindNameBase + static_cast<std::uint32_t>(code_));
}

void CPelmoraDoc::UpdateTitle(int zone) {
  const std::string name = TraceName();
  if (zone < 1) {
    SetTitle(name);
    return;
  }
  zone_ = zone;
  SetTitle(texts_(kZoneWord) + " " + std::to_string(zone) + ":" + name);
}

void CPelmoraDoc::UpdateTitleWithCamera(const std::string& cameraLabel, int zone) {
  const std::string name = TraceName();
  if (zone < 1) {
    SetTitle(cameraLabel + ":" + name);
    return;
  }
  zone_ = zone;
  SetTitle(cameraLabel + ":" + texts_(kZoneWord) + " " + std::to_string(zone) + ":" + name);
}

void CPelmoraDoc::SetTitle(std::string title) {
  title_ = std::move(title);
  if (titleListener_) titleListener_(title_);
}

void CPelmoraDoc::WriteTraceSettings(std::int32_t code, const TraceSettings& settings) {
  if (const auto section = TraceSettingsKey(code, settingsVersion_)) {
    AppRegistry::BaseGuard keep(registry_);
    registry_.SetBase(*section);
    registry_.WriteInt("MinimumLimit", settings.minimum);
    registry_.WriteInt("MaximumLimit", settings.maximum);
    registry_.WriteInt("HorizontalLabels", settings.horizontalLabels);
    registry_.WriteInt("VerticalLabels", settings.verticalLabels);
    registry_.WriteInt("ShowTraceUnit", settings.showTraceUnit ? 1 : 0);
    registry_.WriteInt("AutoRange", settings.autoRange ? 1 : 0);
  }
  code_ = code;
  UpdateTitle(zone_);
}

TraceSettings CPelmoraDoc::ReadTraceSettings(std::int32_t code, std::string& unitText) const {
  TraceSettings s;
  if (const auto section = TraceSettingsKey(code, settingsVersion_)) {
    AppRegistry::BaseGuard keep(registry_);
    registry_.SetBase(*section);
    s.minimum = registry_.GetInt("MinimumLimit", s.minimum);
    s.maximum = registry_.GetInt("MaximumLimit", s.maximum);
    s.horizontalLabels = registry_.GetInt("HorizontalLabels", s.horizontalLabels);
    s.verticalLabels = registry_.GetInt("VerticalLabels", s.verticalLabels);
    s.showTraceUnit = FlagOf(registry_.GetInt("ShowTraceUnit", 1));
    s.autoRange = FlagOf(registry_.GetInt("AutoRange", 0));
  }
  int unit = TraceUnitIndex(code);
  if (source_) {
    const auto definition = source_->GetTrace();
    unit = definition ? definition->UnitType : 0;
    // A unit the user typed in place of one of the list.
    if (definition && unit < 0) {
      unitText = definition->UnitTypeString;
      return s;
    }
  }
  unitText = texts_(kTraceUnitNameBase + static_cast<std::uint32_t>(unit));
  return s;
}

}  // namespace ORV::Views
