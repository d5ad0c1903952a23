#pragma once
// Command routing: the frame's commands by numeric id.
//
// A command is a number (ribbon element, menu entry, shortcut, status-bar
// button). The frame registers
//   - a command handler per id (OnCommand) or per range of ids
//     (OnCommandRange: the handler gets the id, e.g. the visual looks 205-219
//     or the twelve function-key commands);
//   - an update handler per id or range (OnUpdate, OnUpdateRange), which
//     decides the command's state: enabled, checked and, when it sets one, a
//     text. It is given a CmdUI that starts as {enabled, unchecked, no text}.
// A command without an update handler is enabled when it has a command
// handler and disabled otherwise, so a button whose handler is not there yet
// cannot be pressed.
//
// Whatever shows a command (a ribbon element, a menu action, a status-bar
// button) subscribes to its id. UpdateIdle() runs the update handler of every
// subscribed id and gives each subscriber the new state when it differs from
// the state it last received (the first pass always delivers). After
// StartIdleUpdates() the pass runs each time the GUI event loop has nothing
// left to do and is about to wait, so every view shows the update rules'
// state without the handlers knowing who shows them.
//
// Execute() runs a command's handler only while its state is enabled, the way
// a disabled button cannot be clicked. Everything here is for the GUI thread.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QObject;

namespace ORV::UI {

using CommandId = std::uint32_t;

// What an update handler decided for one command.
struct CommandState {
  bool enabled = true;
  bool checked = false;
  // The text to show; nothing leaves the view's own text alone.
  std::optional<std::string> text;

  bool operator==(const CommandState&) const = default;
};

// Handed to update handlers: the command being updated and its state.
class CmdUI {
 public:
  explicit CmdUI(CommandId id) : id_(id) {}
  CommandId Id() const { return id_; }
  void Enable(bool on = true) { state_.enabled = on; }
  void SetCheck(bool on = true) { state_.checked = on; }
  void SetText(std::string text) { state_.text = std::move(text); }
  const CommandState& State() const { return state_; }

 private:
  CommandId id_;
  CommandState state_;
};

class CommandRouter {
 public:
  using Handler = std::function<void()>;
  using RangeHandler = std::function<void(CommandId)>;
  using UpdateHandler = std::function<void(CmdUI&)>;
  using StateSink = std::function<void(CommandId, const CommandState&)>;

  CommandRouter();
  ~CommandRouter();
  CommandRouter(const CommandRouter&) = delete;
  CommandRouter& operator=(const CommandRouter&) = delete;

  // Registration; an empty handler removes the id's handler. A handler for a
  // single id wins over a range that contains it; of two ranges the later
  // registered wins.
  void OnCommand(CommandId id, Handler handler);
  void OnCommandRange(CommandId first, CommandId last, RangeHandler handler);
  void OnUpdate(CommandId id, UpdateHandler handler);
  void OnUpdateRange(CommandId first, CommandId last, UpdateHandler handler);

  bool HasCommandHandler(CommandId id) const;
  // The command's state now (runs its update handler).
  CommandState QueryState(CommandId id) const;
  // Runs the command when it has a handler and is enabled; false otherwise.
  bool Execute(CommandId id);

  // A view of command `id`; returns a token for Unsubscribe. The sink is
  // called by UpdateIdle (and not before).
  int Subscribe(CommandId id, StateSink sink);
  void Unsubscribe(int token);

  // Shows command `id` on a menu entry or shortcut: triggering the action
  // runs the command, and each idle pass gives the action the command's
  // enabled and checked state and, when the update handler sets one, its
  // text. The binding ends when the action or the router goes.
  void BindAction(QAction& action, CommandId id);

  // One idle pass: see the top of this file.
  void UpdateIdle();
  // Runs UpdateIdle whenever the GUI event loop is about to wait. Needs the
  // application object; stops when the router is destroyed.
  void StartIdleUpdates();

 private:
  struct Range {
    CommandId first;
    CommandId last;
  };
  struct Subscription {
    CommandId id;
    StateSink sink;
    std::optional<CommandState> last;
  };
  const RangeHandler* FindCommandRange(CommandId id) const;
  const UpdateHandler* FindUpdateHandler(CommandId id) const;

  std::map<CommandId, Handler> commands_;
  std::vector<std::pair<Range, RangeHandler>> commandRanges_;
  std::map<CommandId, UpdateHandler> updates_;
  std::vector<std::pair<Range, UpdateHandler>> updateRanges_;
  std::map<int, Subscription> subscriptions_;
  int nextToken_ = 1;
  std::unique_ptr<QObject> idleHook_;
  std::unique_ptr<QObject> bindings_;  // context of the action connections
};

}  // namespace ORV::UI
