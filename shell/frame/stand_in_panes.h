#pragma once
// A pane that stands in for a pane the frame does not make yet (the
// sequencer pane), showing its caption and a line on what it will hold. It
// is a plain docking pane, so the frame places, shows and hides it like the
// others.
#include <QString>

#include "platform/ui/docking_pane.h"

namespace ORV {

class StandInPane : public UI::DockingPane {
 public:
  StandInPane(const Configuration& configuration, const QString& objectName, const QString& title, QString note);
  const QString& Note() const { return note_; }

 protected:
  void OnPaint(QPainter& painter) override;

 private:
  QString note_;
};

}  // namespace ORV
