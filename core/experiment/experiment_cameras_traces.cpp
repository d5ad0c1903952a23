// The experiment's cameras and custom traces.
#include <algorithm>
#include <limits>

#include "core/base/event_log.h"
#include "core/experiment/experiment_data.h"
#include "custom_traces/custom_scripts_index.h"
#include "custom_traces/custom_trace_context.h"

namespace ORV {

namespace {

using Traces::CustomTracesWithLuaContext;

std::string TraceName(const std::shared_ptr<CustomTracesWithLuaContext>& trace) {
  if (trace == nullptr) return {};
  const std::shared_ptr<Traces::CustomTraces> definition = trace->GetTrace();
  return definition != nullptr ? definition->Name : std::string();
}

}  // namespace

bool ExperimentData::AddCamera(std::string_view uniqueName) {
  return Update([&](ExperimentContents& c) {
    if (c.cameraNames.size() >= kMaxCameras) return false;
    c.cameraNames.emplace_back(uniqueName);
    c.cameraLabels.push_back("Camera " + std::to_string(c.cameraNames.size()));
    return true;
  });
}

void ExperimentData::InitCustomTraces() { LoadCustomTracesFrom(Traces::CustomScriptsFolder()); }

void ExperimentData::LoadCustomTracesFrom(const std::string& folder) {
  const Traces::CustomTraceList list = Traces::LoadCustomScriptsIndex(folder);
  auto map = std::make_shared<CustomTraceMap>();
  for (std::size_t i = 0; i < list.size(); ++i)
    (*map)[kFirstCustomTraceIdentity + static_cast<std::int32_t>(i)] = list[i];
  std::lock_guard lock(customTraceLock_);
  customTraces_ = std::move(map);
}

std::shared_ptr<CustomTracesWithLuaContext> ExperimentData::LoadCustomTraces(std::string_view name) {
  const Traces::CustomTraceList list = Traces::LoadCustomScriptsIndex(Traces::CustomScriptsFolder());
  std::shared_ptr<CustomTracesWithLuaContext> found;
  std::lock_guard lock(customTraceLock_);
  for (std::size_t i = 0; i < list.size(); ++i) {
    (*customTraces_)[kFirstCustomTraceIdentity + static_cast<std::int32_t>(i)] = list[i];
    if (TraceName(list[i]) == name) found = list[i];
  }
  return found;
}

std::shared_ptr<CustomTracesWithLuaContext> ExperimentData::GetCustomTrace(std::int32_t identity) {
  std::lock_guard lock(customTraceLock_);
  const auto it = customTraces_->find(identity);
  if (it != customTraces_->end()) return it->second;
  if (identity >= kFirstCustomTraceIdentity) (*customTraces_)[identity] = nullptr;
  return nullptr;
}

std::vector<std::pair<std::int32_t, std::string>> ExperimentData::GetCustomTraces() const {
  std::lock_guard lock(customTraceLock_);
  std::vector<std::pair<std::int32_t, std::string>> traces;
  traces.reserve(customTraces_->size());
  for (const auto& [identity, trace] : *customTraces_) traces.emplace_back(identity, TraceName(trace));
  return traces;
}

std::int32_t ExperimentData::AddCustomTrace(const std::shared_ptr<Traces::CustomTraces>& definition) {
  if (definition == nullptr) return -1;
  std::lock_guard lock(customTraceLock_);
  for (const auto& [identity, trace] : *customTraces_) {
    if (trace != nullptr && TraceName(trace) == definition->Name) return identity;
  }
  std::int32_t largest = kFirstCustomTraceIdentity - 1;
  if (!customTraces_->empty()) largest = std::max(largest, customTraces_->rbegin()->first);
  if (largest == std::numeric_limits<std::int32_t>::max()) {
    LogError("ExperimentData::AddCustomTrace() - no identity left for custom trace '" + definition->Name + "'");
    return -1;
  }
  auto trace = std::make_shared<CustomTracesWithLuaContext>();
  trace->SetTrace(definition);
  (*customTraces_)[largest + 1] = std::move(trace);
  return largest + 1;
}

}  // namespace ORV
