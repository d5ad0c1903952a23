#include "shell/frame/stand_in_panes.h"

#include <QPainter>

#include "core/base/configuration.h"

namespace ORV {

StandInPane::StandInPane(const Configuration& configuration, const QString& objectName, const QString& title,
                         QString note)
    : DockingPane(configuration, objectName, title), note_(std::move(note)) {}

void StandInPane::OnPaint(QPainter& painter) {
  const QRect area = Client()->rect().adjusted(Scale(8), Scale(8), -Scale(8), -Scale(8));
  painter.setPen(palette().color(QPalette::Disabled, QPalette::Text));
  painter.setFont(PanelFont());
  painter.drawText(area, Qt::AlignCenter | Qt::TextWordWrap, note_);
}

}  // namespace ORV
