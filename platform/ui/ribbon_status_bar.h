#pragma once
// The main window's status bar, in the ribbon's look: a row of elements
// (labels, buttons, custom-drawn bars) on the left and the extended elements
// on the right, with separators between groups.
//
// Elements are handed to the bar and owned by it from then on; the bar keeps
// them in the order they were added (AddElement / AddSeparator on the left,
// AddExtendedElement / AddExtendedSeparator on the right) and finds them by
// command id (FindElement). Each element has a text, a tool tip, a
// description, a label (the name the frame gives it, e.g. a marker key's
// marker text) and a visibility; Redraw() paints it again.
//
// Buttons run their command through the CommandRouter given to SetRouter
// when clicked, and show the enabled/checked state (and text, when set) of
// their command's update handler, like the ribbon's elements.
//
// Custom elements derive from RibbonStatusProgressBar (a fixed-size element
// with a range and a position) and override Draw and, when they take the
// mouse, the mouse operations. The bar routes the mouse to the element under
// it through its own virtual OnMouseMove / OnLButtonDown / OnLButtonUp /
// OnLButtonDblClk, which a derived bar overrides to take some events itself.
//
// Sizes are given at 96 DPI and scaled with the DPI at construction.
#include <QColor>
#include <QPoint>
#include <QRect>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/command_router.h"

class QPainter;

namespace ORV::UI {

class RibbonStatusBar;

class StatusBarElement {
 public:
  enum class Kind { Label, Button, Separator, Custom };

  StatusBarElement(Kind kind, CommandId id, std::string text = {});
  virtual ~StatusBarElement();
  StatusBarElement(const StatusBarElement&) = delete;
  StatusBarElement& operator=(const StatusBarElement&) = delete;

  Kind GetKind() const { return kind_; }
  CommandId Id() const { return id_; }
  const std::string& Text() const { return text_; }
  void SetText(std::string text);
  const std::string& ToolTipText() const { return toolTip_; }
  void SetToolTipText(std::string text);
  const std::string& Description() const { return description_; }
  void SetDescription(std::string text);
  const std::string& Label() const { return label_; }
  void SetLabel(std::string label) { label_ = std::move(label); }
  bool IsVisible() const { return visible_; }
  // Hides or shows the element; the bar arranges its row again.
  void SetVisible(bool visible);
  bool IsEnabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  bool IsChecked() const { return checked_; }
  void SetChecked(bool checked);

  // Where the element was placed at the last layout (bar coordinates).
  const QRect& Rect() const { return rect_; }
  bool IsHighlighted() const { return highlighted_; }
  // Paints the element again.
  void Redraw();
  RibbonStatusBar* Bar() const { return bar_; }

  // Width and height the element asks for, in device pixels at `dpi`.
  virtual QSize SizeHint(const QFontMetrics& metrics, int dpi) const;
  // Paints the element in `rect` with the bar's font.
  virtual void Draw(QPainter& painter, const QRect& rect);
  // Mouse over the element, in bar coordinates. The default: a button
  // highlights while the mouse is over it and runs its command when a left
  // click is pressed and released on it.
  virtual void OnMouseMove(const QPoint& point);
  virtual void OnLButtonDown(const QPoint& point);
  virtual void OnLButtonUp(const QPoint& point);
  virtual void OnLButtonDblClk(const QPoint& point);
  virtual void OnMouseLeave();

 protected:
  // Runs the element's command through the bar's router.
  void RunCommand();
  // Asks the bar to lay the row out again.
  void Relayout();

 private:
  friend class RibbonStatusBar;
  Kind kind_;
  CommandId id_;
  std::string text_, toolTip_, description_, label_;
  bool visible_ = true;
  bool enabled_ = true;
  bool checked_ = false;
  bool highlighted_ = false;
  bool pressed_ = false;
  QRect rect_;
  RibbonStatusBar* bar_ = nullptr;
};

// Static text; its width follows the text (blanks hold room for texts that
// come later, such as a clock).
class StatusBarLabel : public StatusBarElement {
 public:
  explicit StatusBarLabel(std::string text, CommandId id = 0) : StatusBarElement(Kind::Label, id, std::move(text)) {}
};

class StatusBarButton : public StatusBarElement {
 public:
  StatusBarButton(CommandId id, std::string text) : StatusBarElement(Kind::Button, id, std::move(text)) {}
};

class StatusBarSeparator : public StatusBarElement {
 public:
  StatusBarSeparator() : StatusBarElement(Kind::Separator, 0) {}
};

// A fixed-size element with a range and a position; drawn as a progress bar
// unless a derived element draws itself.
class RibbonStatusProgressBar : public StatusBarElement {
 public:
  // Width and height at 96 DPI.
  RibbonStatusProgressBar(CommandId id, int width, int height);
  QSize SizeHint(const QFontMetrics& metrics, int dpi) const override;
  void Draw(QPainter& painter, const QRect& rect) override;

  void SetRange(int minimum, int maximum);
  int GetRangeMin() const { return min_; }
  int GetRangeMax() const { return max_; }
  void SetPos(int pos);
  int GetPos() const { return pos_; }
  // Infinite mode: the position runs round the range instead of stopping.
  void SetInfiniteMode(bool on) { infinite_ = on; }
  bool IsInfiniteMode() const { return infinite_; }
  int Width() const { return width_; }
  int Height() const { return height_; }

 private:
  int width_, height_;
  int min_ = 0, max_ = 100, pos_ = 0;
  bool infinite_ = false;
};

class RibbonStatusBar : public QWidget {
 public:
  explicit RibbonStatusBar(QWidget* parent = nullptr);
  ~RibbonStatusBar() override;

  // Buttons' commands and states go through `router`, which must outlive
  // the bar (or be replaced by null first).
  void SetRouter(CommandRouter* router);
  CommandRouter* Router() const { return router_; }

  // Takes the element; `label` names it (see the top of this file).
  StatusBarElement* AddElement(std::unique_ptr<StatusBarElement> element, std::string label = {}, bool visible = true);
  StatusBarElement* AddExtendedElement(std::unique_ptr<StatusBarElement> element, std::string label,
                                       bool visible = true);
  void AddSeparator();
  void AddExtendedSeparator();
  void RemoveAll();

  // The first element with that id (left row, then extended); null if none.
  StatusBarElement* FindElement(CommandId id) const;
  // The first element the frame named `label` (left row, then extended);
  // null if none.
  StatusBarElement* FindLabelled(const std::string& label) const;
  int GetCount() const { return static_cast<int>(elements_.size()); }
  StatusBarElement* GetElement(int index) const;
  int GetExCount() const { return static_cast<int>(extended_.size()); }
  StatusBarElement* GetExElement(int index) const;
  // The visible element under a point of the bar; null over empty space.
  StatusBarElement* HitTest(const QPoint& point) const;

  // Places the elements again (after size or visibility changes).
  void RecalcLayout();
  int Dpi() const { return dpi_; }

  // Mouse routing; a derived bar overrides these and calls the base for the
  // events it does not take.
  virtual void OnMouseMove(const QPoint& point);
  virtual void OnLButtonDown(const QPoint& point);
  virtual void OnLButtonUp(const QPoint& point);
  virtual void OnLButtonDblClk(const QPoint& point);

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  bool event(QEvent* event) override;

 private:
  friend class StatusBarElement;
  StatusBarElement* Adopt(std::vector<std::unique_ptr<StatusBarElement>>& list,
                          std::unique_ptr<StatusBarElement> element, std::string label, bool visible);
  void Subscribe(StatusBarElement& element);
  void Unsubscribe();

  std::vector<std::unique_ptr<StatusBarElement>> elements_;
  std::vector<std::unique_ptr<StatusBarElement>> extended_;
  CommandRouter* router_ = nullptr;
  std::vector<int> tokens_;
  StatusBarElement* hover_ = nullptr;
  StatusBarElement* captured_ = nullptr;
  int extendedLeft_ = 0;
  int dpi_ = 96;
};

}  // namespace ORV::UI
