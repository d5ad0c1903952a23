#include "platform/ui/command_router.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QCoreApplication>
#include <QObject>
#include <algorithm>

namespace ORV::UI {

CommandRouter::CommandRouter() = default;
CommandRouter::~CommandRouter() = default;

void CommandRouter::OnCommand(CommandId id, Handler handler) {
  if (handler)
    commands_[id] = std::move(handler);
  else
    commands_.erase(id);
}

void CommandRouter::OnCommandRange(CommandId first, CommandId last, RangeHandler handler) {
  if (first > last) std::swap(first, last);
  std::erase_if(commandRanges_, [&](const auto& r) { return r.first.first == first && r.first.last == last; });
  if (handler) commandRanges_.push_back({{first, last}, std::move(handler)});
}

void CommandRouter::OnUpdate(CommandId id, UpdateHandler handler) {
  if (handler)
    updates_[id] = std::move(handler);
  else
    updates_.erase(id);
}

void CommandRouter::OnUpdateRange(CommandId first, CommandId last, UpdateHandler handler) {
  if (first > last) std::swap(first, last);
  std::erase_if(updateRanges_, [&](const auto& r) { return r.first.first == first && r.first.last == last; });
  if (handler) updateRanges_.push_back({{first, last}, std::move(handler)});
}

const CommandRouter::RangeHandler* CommandRouter::FindCommandRange(CommandId id) const {
  for (auto it = commandRanges_.rbegin(); it != commandRanges_.rend(); ++it)
    if (id >= it->first.first && id <= it->first.last) return &it->second;
  return nullptr;
}

const CommandRouter::UpdateHandler* CommandRouter::FindUpdateHandler(CommandId id) const {
  if (const auto it = updates_.find(id); it != updates_.end()) return &it->second;
  for (auto it = updateRanges_.rbegin(); it != updateRanges_.rend(); ++it)
    if (id >= it->first.first && id <= it->first.last) return &it->second;
  return nullptr;
}

bool CommandRouter::HasCommandHandler(CommandId id) const {
  return commands_.contains(id) || FindCommandRange(id) != nullptr;
}

CommandState CommandRouter::QueryState(CommandId id) const {
  CmdUI ui(id);
  if (const UpdateHandler* update = FindUpdateHandler(id)) {
    // A copy: the handler may register or remove handlers while it runs.
    const UpdateHandler handler = *update;
    handler(ui);
  } else {
    ui.Enable(HasCommandHandler(id));
  }
  return ui.State();
}

bool CommandRouter::Execute(CommandId id) {
  if (!HasCommandHandler(id) || !QueryState(id).enabled) return false;
  if (const auto it = commands_.find(id); it != commands_.end()) {
    const Handler handler = it->second;
    handler();
  } else {
    const RangeHandler handler = *FindCommandRange(id);
    handler(id);
  }
  return true;
}

int CommandRouter::Subscribe(CommandId id, StateSink sink) {
  const int token = nextToken_++;
  subscriptions_[token] = Subscription{id, std::move(sink), std::nullopt};
  return token;
}

void CommandRouter::Unsubscribe(int token) { subscriptions_.erase(token); }

void CommandRouter::UpdateIdle() {
  // Tokens first: a sink or handler may subscribe or unsubscribe meanwhile.
  std::vector<int> tokens;
  tokens.reserve(subscriptions_.size());
  for (const auto& [token, subscription] : subscriptions_) tokens.push_back(token);
  for (int token : tokens) {
    auto it = subscriptions_.find(token);
    if (it == subscriptions_.end()) continue;
    const CommandState state = QueryState(it->second.id);
    it = subscriptions_.find(token);
    if (it == subscriptions_.end() || it->second.last == state) continue;
    it->second.last = state;
    const StateSink sink = it->second.sink;
    sink(it->second.id, state);
  }
}

void CommandRouter::BindAction(QAction& action, CommandId id) {
  if (!bindings_) bindings_ = std::make_unique<QObject>();
  QAction* shown = &action;
  const int token = Subscribe(id, [shown](CommandId, const CommandState& state) {
    shown->setEnabled(state.enabled);
    shown->setCheckable(shown->isCheckable() || state.checked);
    shown->setChecked(state.checked);
    if (state.text) shown->setText(QString::fromStdString(*state.text));
  });
  QObject::connect(shown, &QAction::triggered, bindings_.get(), [this, id] { Execute(id); });
  QObject::connect(shown, &QObject::destroyed, bindings_.get(), [this, token] { Unsubscribe(token); });
}

void CommandRouter::StartIdleUpdates() {
  if (idleHook_ || !QCoreApplication::instance()) return;
  auto* dispatcher = QAbstractEventDispatcher::instance(QCoreApplication::instance()->thread());
  if (!dispatcher) return;
  idleHook_ = std::make_unique<QObject>();
  QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, idleHook_.get(), [this] { UpdateIdle(); });
}

}  // namespace ORV::UI
