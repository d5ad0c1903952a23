#pragma once
// The base of the program's docking panes (instrument panes, camera and
// video panes, the sequencer pane).
//
// A pane is a QDockWidget whose client area holds child controls at fixed
// positions. Positions and sizes are given in pixels at 96 DPI (Rect96) and
// scaled by the system DPI / 96. A pane with a fixed size returns it at 96
// DPI from FixedSize96; CalcFixedLayout gives it scaled. Every pane has the
// two fonts of the configuration: the header font (its own font and that of
// painted text) and the panel font (for its controls).
//
// A pane is given what it uses when it is constructed: the configuration
// (its fonts) here, the experiment record and the devices in the panes'
// own constructors. Its object name is stable (the frame saves and restores
// the layout by it); PaneFactory docks panes into the frame.
//
// Create() makes the fonts, gives the pane the header font, calls OnCreate
// (where a pane creates its controls as children of Client()) and fixes the
// client size. OnPaint draws on the client area, under the controls; text
// drawn there through DrawLabel is kept as the pane's painted labels, so
// that their places can be checked like those of the controls. Samples
// from other threads reach the pane as posted messages (MessageWindow).
//
// The client area sits in a scroll area: a pane that is given less room
// than its client needs scrolls rather than cutting its controls off, so a
// column of panes fits a small window. A pane asks for its client's size;
// it may be made as small as a title and a strip of its client. A pane with
// a fixed size keeps its client's width and scrolls only up and down.
#include <QDockWidget>
#include <QFont>
#include <QRect>
#include <QSize>
#include <QString>
#include <string>
#include <vector>

#include "platform/ui/message_window.h"

class QPainter;
class QScrollArea;

namespace ORV {
class Configuration;
}

namespace ORV::UI {

class DockingPane : public QDockWidget, public MessageWindow {
 public:
  // A pane named `objectName` (stable across runs), with the fonts of
  // `configuration`.
  DockingPane(const Configuration& configuration, const QString& objectName, const QString& title,
              QWidget* parent = nullptr);

  // 0 on success, -1 when the pane could not be made.
  int Create();

  // The pane's fixed size, scaled; an empty size when it has none.
  QSize CalcFixedLayout() const;

  int Dpi() const;
  int Scale(int value96) const;
  // A rectangle given by its edges at 96 DPI.
  QRect Rect96(int left, int top, int right, int bottom) const;

  const Configuration& Config() const { return configuration_; }
  const QFont& HeaderFont() const { return headerFont_; }
  const QFont& PanelFont() const { return panelFont_; }
  // The parent of the pane's controls and the surface OnPaint draws on.
  QWidget* Client() const;
  // The scroll area that shows the client.
  QScrollArea* ClientScroller() const;

  // A text OnPaint drew with DrawLabel: the rectangle it was given and the
  // one its letters cover (client coordinates), at the last paint.
  struct PaintedLabel {
    QString text;
    QRect rect;
    QRect inked;
  };
  const std::vector<PaintedLabel>& PaintedLabels() const { return paintedLabels_; }

 protected:
  // The fixed size at 96 DPI; an empty size for a pane that may be resized.
  virtual QSize FixedSize96() const { return {}; }
  virtual int OnCreate() { return 0; }
  // Paints the client area; the painter has the header font and draws text
  // with a transparent background.
  virtual void OnPaint(QPainter& painter);
  // Draws a label in the painter's pen and font with nothing behind it, and
  // keeps its place among the pane's painted labels.
  void DrawLabel(QPainter& painter, const QRect& rect, const QString& text, int alignment);

 private:
  class ClientArea;
  class Scroller;
  const Configuration& configuration_;
  ClientArea* client_;
  Scroller* scroller_;
  std::vector<PaintedLabel> paintedLabels_;
  QFont headerFont_;
  QFont panelFont_;
  // Last, so that the window closes before the members above go.
  ORV::UI::MessageWindowCloser closer_{*this};
};

// A point font of `face` at a size in tenths of a point (8 points when not
// above 0).
QFont MakePointFont(const std::string& face, int tenthsOfPoint);

}  // namespace ORV::UI
