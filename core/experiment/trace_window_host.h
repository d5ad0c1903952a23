#pragma once
// What the experiment core needs of the views: the open trace windows of the
// main view and the two sheets (action sheet, data sheet).
//
// The views implement this interface; the experiment file and the open-views
// file reopen windows through it, and tests use a fake. Every call happens on
// the user-interface thread.
#include <cstdint>
#include <vector>

namespace ORV {

// The two sheets that the application opens as documents of their own.
enum class SheetKind {
  Action,  // the action sheet (timed actions)
  Data,    // the data sheet
};

// One open trace window as the experiment file and the open-views file record it.
struct TraceWindowState {
  // Below 220 a built-in trace kind, 220 and above a custom trace identity.
  std::int32_t traceCode = 0;
  std::int32_t camera = 0;
  // The zone shown, per camera (index = camera).
  std::vector<std::int32_t> zones;
  // The graph's visible time range, in seconds.
  double visibleStart = 0.0;
  double visibleEnd = 0.0;
};

class TraceWindowHost {
 public:
  virtual ~TraceWindowHost() = default;

  // The open trace windows in display order; a window's position in this
  // list is the `window` argument of the operations below.
  virtual std::vector<TraceWindowState> TraceWindows() const = 0;

  // Opens a new, visible trace window at the end of the list and returns its
  // position, or -1 when no window could be opened.
  virtual int OpenTraceWindow() = 0;

  // Sets the window's trace source: a built-in kind (below 220) or a custom
  // trace identity (220 and above), and shows it.
  virtual void ShowTrace(int window, std::int32_t traceCode) = 0;
  virtual void SetCamera(int window, std::int32_t camera) = 0;
  // Sets the zone shown for one camera of the window; a camera outside the
  // window's per-camera zones is ignored.
  virtual void SetZone(int window, std::int32_t camera, std::int32_t zone) = 0;
  // Sets the graph's axis ranges and labels for the trace, and redraws.
  virtual void ConfigureGraphForTrace(int window, std::int32_t traceCode) = 0;
  // Sets the graph's visible time range (seconds).
  virtual void SetVisibleRange(int window, double start, double end) = 0;
  virtual void Redraw(int window) = 0;

  // Whether the sheet's document is open.
  virtual bool IsSheetOpen(SheetKind sheet) const = 0;
  // Opens a new, visible document of the sheet, records it as the sheet's
  // document and refills the sheet from the session.
  virtual void OpenSheet(SheetKind sheet) = 0;
};

}  // namespace ORV
