#pragma once
// The frame's docking panes by id: how each is made, where it lives, and
// showing, hiding and docking it.
//
// Panes are made through the PaneFactory (which checks their object names,
// by which the layout is saved and restored) and then given what the frame
// asks of each: its caption, command id (several panes may share one, as the
// four video panes do), default and minimum size at 96 DPI, whether it keeps
// a fixed size, the sides it may dock at (the docking style bits) and its
// home side. The close box hides a pane; it stays and can be shown again.
//
// Qt's dock widgets have no auto-hide: the auto-hide queries answer false and
// taking a pane out of auto-hide changes nothing. GUI thread.
#include <QMainWindow>
#include <QSize>
#include <QString>
#include <cstdint>
#include <utility>
#include <vector>

#include "platform/ui/pane_factory.h"

namespace ORV::UI {

// Docking style bits of a pane (which sides it may dock at).
inline constexpr std::uint32_t CBRS_ALIGN_LEFT = 0x1000;
inline constexpr std::uint32_t CBRS_ALIGN_TOP = 0x2000;
inline constexpr std::uint32_t CBRS_ALIGN_RIGHT = 0x4000;
inline constexpr std::uint32_t CBRS_ALIGN_BOTTOM = 0x8000;
inline constexpr std::uint32_t CBRS_ALIGN_ANY = 0xF000;

// The dock areas of the side bits in `align`.
Qt::DockWidgetAreas DockAreasOf(std::uint32_t align);
// The dock area of one side bit; the left side for anything else.
Qt::DockWidgetArea DockAreaOf(std::uint32_t side);

struct PaneLayout {
  int id = 0;
  QString caption;
  QSize defaultSize96;
  QSize minimumSize96;  // empty: none
  bool fixedSize = false;
  std::uint32_t allowedSides = CBRS_ALIGN_ANY;
  std::uint32_t homeSide = CBRS_ALIGN_LEFT;
};

class PaneManager {
 public:
  explicit PaneManager(QMainWindow& frame) : frame_(frame), factory_(frame) {}

  // Constructs a `Pane` from `args`, docks it at the layout's home side and
  // gives it the layout. Null when the factory refuses it.
  template <class Pane, class... Args>
  Pane* Create(const PaneLayout& layout, Args&&... args) {
    Pane* pane = factory_.Dock<Pane>(DockAreaOf(layout.homeSide), std::forward<Args>(args)...);
    if (pane) Apply(*pane, layout);
    return pane;
  }

  // Every pane with the command id, in the order they were made.
  std::vector<DockingPane*> FindAll(int id) const;
  // The first pane with the id; null when there is none.
  DockingPane* Find(int id) const;
  DockingPane* FindByName(const QString& objectName) const;
  const std::vector<DockingPane*>& Panes() const { return panes_; }
  const PaneLayout* SpecOf(const DockingPane& pane) const;

  // Docks the pane at `side` (one side bit), after the panes already there.
  // False when the pane may not dock at that side.
  bool DockToFrameWindow(DockingPane& pane, std::uint32_t side);
  // The side the pane is docked at now; 0 while it floats or is unknown.
  std::uint32_t DockedSide(const DockingPane& pane) const;
  // Shows the pane (raising it to the front of its tab group when
  // `activate`), or hides it.
  void ShowPane(DockingPane& pane, bool show, bool activate);
  // What the pane's close box does: the pane is hidden and kept.
  void OnPressCloseButton(DockingPane& pane) { ShowPane(pane, false, false); }
  // Visible within the frame (also while the frame itself is hidden).
  bool IsPaneVisible(const DockingPane& pane) const;

  bool IsAutoHideMode(const DockingPane&) const { return false; }
  void SetAutoHideMode(DockingPane&, bool, std::uint32_t) {}
  // Takes every pane that is in auto-hide out of it.
  void UnhideDockingPanes();

  // Docks every pane at its home side and gives it its default size.
  void DockAllAtHomeSides();

 private:
  void Apply(DockingPane& pane, const PaneLayout& layout);
  void ResizeToDefault(DockingPane& pane, const PaneLayout& layout);

  QMainWindow& frame_;
  PaneFactory factory_;
  // The context of the connections that forget destroyed panes; they end
  // with the manager.
  QObject connections_;
  std::vector<DockingPane*> panes_;
  std::vector<std::pair<DockingPane*, PaneLayout>> layouts_;
};

}  // namespace ORV::UI
