#pragma once
// An entry field of an instrument pane as the pane's logic sees it: the user
// types into it while it is being edited, and samples never overwrite it
// then; otherwise it shows what the instrument holds.
#include <QString>

namespace ORV {

class TargetEntry {
 public:
  virtual ~TargetEntry() = default;
  virtual QString Text() const = 0;
  virtual bool Editing() const = 0;
  virtual void SetText(const QString& text) = 0;
  virtual void EndEditing() = 0;
};

}  // namespace ORV
