#pragma once
// What a pane implements to act on a key in one of its entry fields: the
// field (CFocusEdit) calls OnEnterKey with the key press when Enter goes
// down, and a field that has an Escape handler calls it for Escape too.
class QKeyEvent;

class CEnterKeyInterface {
 public:
  virtual ~CEnterKeyInterface() = default;
  virtual void OnEnterKey(QKeyEvent* key) = 0;
};
