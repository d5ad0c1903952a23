#pragma once
// What the graph does with the mouse, without a window: selection by
// dragging, annotation picking and dragging with Ctrl, the right click, the
// double click, the wheel over the axis zones, the data coordinates under
// the pointer, and the start of the three drag-outs. The control's window
// feeds it mouse messages in client pixels and carries out what it asks of
// its InteractionHost (events, posts to the parent, the mouse cursor, the
// drags).
#include <cstdint>
#include <string>

#include "graph_control/graph_model.h"

namespace ORV::Graph {

// Key and button state of a mouse message.
enum MouseKeys : unsigned {
  kLeftButton = 0x1,
  kRightButton = 0x2,
  kShiftKey = 0x4,
  kControlKey = 0x8,
  kAltKey = 0x100,
};

enum class MouseCursor { Arrow, SizeNS, SizeWE };

class InteractionHost {
 public:
  virtual ~InteractionHost() = default;
  // Events of the control.
  virtual void FireCursorPosition(double /*x*/, double /*y*/) {}
  virtual void FireSelectTrace(double /*start*/, double /*stop*/) {}
  virtual void FireDoubleClick(double /*time*/) {}
  // Posts to the parent window; false when there is none.
  virtual bool PostToParent(std::uint32_t /*message*/, std::uintptr_t /*wParam*/, std::intptr_t /*lParam*/) {
    return false;
  }
  virtual bool HasParent() const { return false; }
  virtual void SetMouseCursor(MouseCursor) {}
  virtual void Redraw() {}
  // Drag-outs: the whole graph as a picture; the selected points as text;
  // the selected points as the CSV file at `path`.
  virtual void DragPicture() {}
  virtual void DragText(const std::string& /*text*/) {}
  virtual void DragFile(const std::string& /*path*/) {}
};

class GraphInteraction {
 public:
  GraphInteraction(GraphModel& model, InteractionHost& host) : m_(model), host_(host) {}

  // The DPI that pixel distances are scaled with.
  void SetDpi(int dpi) { dpi_ = dpi > 0 ? dpi : 96; }
  // Where the CSV drag file is made (the user's temporary folder when empty).
  void SetTempFolder(std::string folder) { tempFolder_ = std::move(folder); }

  void LeftDoubleClick(unsigned keys, int x, int y);
  void LeftDown(unsigned keys, int x, int y);
  void LeftUp(unsigned keys, int x, int y);
  void MouseMove(unsigned keys, int x, int y);
  void RightDown(unsigned keys, int x, int y);
  // The wheel at client point (x, y); true when the graph handled it (a
  // wheel outside the plot area of a control with a parent), false for the
  // default handling.
  bool Wheel(int delta, int x, int y);

  // Fires the double-click event with the X at the right edge of the plot.
  void AddMarkerAtCurrentTime();
  // The X 25 pixels (scaled) right of the last right-button press; the
  // argument is not used.
  double GetTimeAtPos(std::int32_t position) const;

  int RightClickX() const { return rightClickX_; }
  int RightClickY() const { return rightClickY_; }

 private:
  double T(int x) const { return m_.XAtPixel(x); }
  int Scaled(int pixels) const;

  GraphModel& m_;
  InteractionHost& host_;
  int dpi_ = 96;
  std::string tempFolder_;
  int rightClickX_ = 0, rightClickY_ = 0;
};

}  // namespace ORV::Graph
