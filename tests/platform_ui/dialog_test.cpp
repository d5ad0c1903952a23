// Where dialogs open: beside what they edit, inside the screen.
#include "platform/ui/dialog.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <string_view>

#include "tests/support/ui/ui_test_support.h"

namespace ORV::UI {
namespace {

TEST(DialogPlacement, APopUpGoesBesideItsAnchorNeverOverIt) {
  const QRect area(0, 0, 1000, 700);
  const QSize size(300, 100);
  const struct {
    const char* where;
    QRect anchor;
    QPoint corner;
  } cases[] = {
      {"below", {100, 200, 200, 20}, {100, 220}},
      {"below, moved left to stay on the screen", {900, 200, 90, 20}, {700, 220}},
      {"above when there is no room below", {100, 650, 200, 20}, {100, 550}},
      {"to the right when neither above nor below has room", {100, 50, 200, 600}, {300, 50}},
      {"to the left at the right edge", {800, 50, 200, 600}, {500, 50}},
      {"no room anywhere: below, kept on the screen", {0, 0, 1000, 650}, {0, 600}},
  };
  for (const auto& c : cases) {
    const QPoint corner = PlaceBeside(c.anchor, size, area);
    EXPECT_EQ(corner, c.corner) << c.where;
    EXPECT_TRUE(area.contains(QRect(corner, size))) << c.where;
    if (std::string_view(c.where).starts_with("no room")) continue;
    EXPECT_FALSE(QRect(corner, size).intersects(c.anchor)) << c.where;
  }
}

TEST(DialogPlacement, ADialogOpenedBesideARectangleIsThere) {
  DialogFrame frame;
  frame.captionBar = false;
  frame.widthDlu = 100;
  frame.heightDlu = 30;
  frame.centerOnMouse = true;
  Dialog dialog(frame);
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  const QRect anchor(screen.left() + 20, screen.top() + 20, 120, 24);
  dialog.OpenBeside(anchor);
  QRect shown;
  ORV::Test::RunModal(dialog, [&] {
    shown = dialog.frameGeometry();
    dialog.done(IDCANCEL);
  });
  EXPECT_EQ(shown.topLeft(), QPoint(anchor.left(), anchor.bottom() + 1)) << "below it, not under the mouse";
}

// A dialog with a title bar that opens above its anchor leaves room for its
// window frame: the frame's lower border must not reach over the anchor (the
// frame the desktop reports, or a title bar and border where it reports none
// before the window is shown).
TEST(DialogPlacement, ATitledDialogAboveItsAnchorKeepsItsFrameOffIt) {
  DialogFrame frame;
  frame.caption = QStringLiteral("Target");
  frame.widthDlu = 100;
  frame.heightDlu = 30;
  Dialog dialog(frame);
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  const QRect anchor(screen.left() + 20, screen.bottom() - 30, 120, 24);
  dialog.OpenBeside(anchor);
  QRect client;
  QRect outer;
  ORV::Test::RunModal(dialog, [&] {
    client = dialog.geometry();
    outer = dialog.frameGeometry();
    dialog.done(IDCANCEL);
  });
  EXPECT_LT(outer.bottom(), anchor.top()) << "the frame stays off the anchor";
  EXPECT_LT(client.bottom(), anchor.top() - 1) << "room is left below the dialog for its frame's border";
  EXPECT_GE(outer.top(), screen.top()) << "on the screen";
}

}  // namespace
}  // namespace ORV::UI
