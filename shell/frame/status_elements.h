#pragma once
// The main frame's status bar and its own elements:
//   - CORVRibbonProgressBar: the sequencer's progress, one cell per task;
//   - CORVRibbonHeatControllerBar: the four chamber temperatures;
//   - CNavigationControllerBar: where the reviewed experiment's shown time
//     window lies in the whole, with a thumb; a double click or a drag of the
//     thumb moves the window there;
//   - CNavigationControllerDialog: the pop-up beside the mouse over the
//     navigation bar, showing the recorded picture of the time under it in
//     grey (a placeholder when there is none); it hides itself half a second
//     after the mouse has left it alone;
//   - CORVStatusbar: routes the mouse over the navigation bar to it and the
//     pop-up, and everything else to the bar's own elements.
// What they show is decided in shell/status_elements_logic.h. GUI thread,
// except SequencerProgressBar::Redraw, which the sequencer calls from its
// own thread.
#include <QImage>
#include <QPoint>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "instruments/sequencer_task.h"
#include "platform/ui/ribbon_status_bar.h"
#include "shell/status_elements_logic.h"

namespace ORV {

class CORVRibbonProgressBar final : public UI::RibbonStatusProgressBar, public SequencerProgressBar {
 public:
  static constexpr UI::CommandId kId = 36788;
  explicit CORVRibbonProgressBar(std::string idleText);
  // Any thread: takes the sequencer's fields and paints them on the GUI
  // thread.
  void Redraw() override;
  void Draw(QPainter& painter, const QRect& rect) override;
  SequencerProgressState State() const;

 private:
  std::string idleText_;
  mutable std::mutex mutex_;
  SequencerProgressState state_;  // guarded by mutex_
};

class CORVRibbonHeatControllerBar final : public UI::RibbonStatusProgressBar {
 public:
  static constexpr UI::CommandId kId = 36789;
  explicit CORVRibbonHeatControllerBar(std::string offText);
  void SetState(const HeatBarState& state);
  const HeatBarState& State() const { return state_; }
  void Draw(QPainter& painter, const QRect& rect) override;

 private:
  std::string offText_;
  HeatBarState state_;
};

class CNavigationControllerDialog final : public QWidget {
 public:
  // The picture recorded at a position (8-bit grey); nothing when none is.
  using PictureSource = std::function<std::optional<QImage>(std::int32_t position)>;
  using Clock = std::function<std::uint64_t()>;

  explicit CNavigationControllerDialog(QWidget* parent = nullptr, Clock clock = {});
  void SetPictureSource(PictureSource source) { source_ = std::move(source); }
  // Takes the picture at `position` and moves next to `globalPoint`.
  void ShowAt(std::int32_t position, const QPoint& globalPoint);
  // The hide timer's tick (every two seconds while shown).
  void OnTimer();
  bool HasPicture() const { return !picture_.isNull(); }
  const QImage& Picture() const { return picture_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void moveEvent(QMoveEvent* event) override;

 private:
  Clock clock_;
  PictureSource source_;
  QImage picture_;
  NavigationPopupTimer hide_;
  QTimer timer_;
};

class ExperimentData;
// The pop-up's pictures: the experiment's index image nearest to the
// position (seconds), in grey.
CNavigationControllerDialog::PictureSource IndexImagePictures(const ExperimentData& experiment);

class CNavigationControllerBar final : public UI::RibbonStatusProgressBar {
 public:
  static constexpr UI::CommandId kId = 36790;
  // Moves the shown time window to a position.
  using Navigate = std::function<void(std::int32_t position)>;

  CNavigationControllerBar();
  void SetNavigate(Navigate navigate) { navigate_ = std::move(navigate); }
  void SetRange(const NavigationRange& range);
  const NavigationRange& Range() const { return range_; }
  NavigationGeometry Geometry() const;
  // The position under a point of the status bar; nothing outside the range.
  std::optional<std::int32_t> PositionAt(const QPoint& point) const;
  // Navigates to the point (double click, drag of the thumb).
  bool NavigateTo(const QPoint& point);
  // A move with the left button held inside the thumb drags it.
  void OnDragMove(const QPoint& point, bool leftButton);

  void Draw(QPainter& painter, const QRect& rect) override;

 private:
  NavigationRange range_;
  Navigate navigate_;
  bool dragging_ = false;
};

class CORVStatusbar final : public UI::RibbonStatusBar {
 public:
  explicit CORVStatusbar(QWidget* parent = nullptr);
  void SetNavigationBar(CNavigationControllerBar* bar) { navigation_ = bar; }
  CNavigationControllerDialog& Popup() { return *popup_; }

  void OnMouseMove(const QPoint& point) override;
  void OnLButtonDown(const QPoint& point) override;
  void OnLButtonUp(const QPoint& point) override;
  void OnLButtonDblClk(const QPoint& point) override;

 private:
  bool OverNavigation(const QPoint& point) const;

  CNavigationControllerBar* navigation_ = nullptr;
  std::unique_ptr<CNavigationControllerDialog> popup_;
  std::optional<QPoint> last_;
};

}  // namespace ORV
