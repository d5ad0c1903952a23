#include "platform/ui/icon_button.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QSignalSpy>
#include <QTest>

#include "platform/ui/icons.h"
#include "platform/ui/painting.h"
#include "platform/ui/window_styles.h"
#include "tests/support/ui/ui_test_support.h"

namespace ORV::UI {
namespace {

constexpr std::uint32_t kShown = WS_VISIBLE | WS_TABSTOP;

TEST(IconButtonTest, SetIconLoadsTheDrawnIconsAndDropsAnUnknownOne) {
  CIconButton button;
  for (int id : {kIconApply, kIconMenu, kIconRotateLeft, kIconRotateRight}) {
    EXPECT_EQ(button.SetIcon(id), 0) << id;
    EXPECT_EQ(button.IconSize(), QSize(16, 16)) << id;
  }
  EXPECT_EQ(button.SetIcon(9999), 1);
  EXPECT_TRUE(button.IconSize().isEmpty()) << "the old icon is dropped too";
}

TEST(IconButtonTest, TheStyleDecidesCheckBoxModeDefaultFocusAndVisibility) {
  QWidget parent;
  const struct {
    std::uint32_t style;
    bool checkBox;
    bool isDefault;
    bool enabled;
    bool visible;
    Qt::FocusPolicy focus;
  } cases[] = {
      {BS_PUSHBUTTON | kShown, false, false, true, true, Qt::StrongFocus},
      {BS_DEFPUSHBUTTON | kShown, false, true, true, true, Qt::StrongFocus},
      {BS_CHECKBOX | WS_VISIBLE, true, false, true, true, Qt::ClickFocus},
      {BS_AUTOCHECKBOX | kShown | WS_DISABLED, true, false, false, true, Qt::StrongFocus},
      {BS_PUSHBUTTON, false, false, true, false, Qt::ClickFocus},
  };
  for (const auto& c : cases) {
    CIconButton button;
    ASSERT_TRUE(button.Create(QStringLiteral("Set"), c.style, QRect(5, 5, 60, 24), &parent, 33001));
    EXPECT_EQ(button.parentWidget(), &parent);
    EXPECT_EQ(button.CommandId(), 33001);
    EXPECT_EQ(button.geometry(), QRect(5, 5, 60, 24));
    EXPECT_EQ(button.IsCheckBoxMode(), c.checkBox) << std::hex << c.style;
    EXPECT_EQ(button.IsDefaultButton(), c.isDefault) << std::hex << c.style;
    EXPECT_EQ(button.isDefault(), c.isDefault) << std::hex << c.style;
    EXPECT_EQ(button.isEnabled(), c.enabled) << std::hex << c.style;
    EXPECT_EQ(button.isVisibleTo(&parent), c.visible) << std::hex << c.style;
    EXPECT_EQ(button.focusPolicy(), c.focus) << std::hex << c.style;
  }
  CIconButton button;
  button.SetButtonStyle(BS_DEFPUSHBUTTON);
  EXPECT_TRUE(button.IsDefaultButton());
  button.SetButtonStyle(BS_PUSHBUTTON);
  EXPECT_FALSE(button.IsDefaultButton());
}

TEST(IconButtonTest, CheckBoxModeKeepsItsStateAndAPushButtonHasNone) {
  QWidget parent;
  CIconButton check, push;
  check.Create(QStringLiteral("Auto"), BS_AUTOCHECKBOX | kShown, QRect(0, 0, 60, 24), &parent, 1);
  push.Create(QStringLiteral("Set"), BS_PUSHBUTTON | kShown, QRect(0, 30, 60, 24), &parent, 2);
  parent.show();
  QTest::mouseClick(&check, Qt::LeftButton);
  EXPECT_TRUE(check.GetCheck());
  QTest::mouseClick(&check, Qt::LeftButton);
  EXPECT_FALSE(check.GetCheck());
  check.SetCheck(true);
  EXPECT_TRUE(check.GetCheck());
  push.SetCheck(true);
  QTest::mouseClick(&push, Qt::LeftButton);
  EXPECT_FALSE(push.GetCheck());
}

TEST(IconButtonTest, ADoubleClickCountsAsTwoClicks) {
  QWidget parent;
  CIconButton button;
  button.Create(QStringLiteral("+"), BS_PUSHBUTTON | kShown, QRect(0, 0, 40, 24), &parent, 43169);
  parent.show();
  QSignalSpy clicks(&button, &QAbstractButton::clicked);
  // The window system reports a double click as press, release, double
  // click, release.
  QTest::mouseClick(&button, Qt::LeftButton);
  QTest::mouseDClick(&button, Qt::LeftButton);
  QTest::mouseRelease(&button, Qt::LeftButton);
  EXPECT_EQ(clicks.count(), 2);
}

TEST(IconButtonTest, ADisabledButtonPassesTheFocusOn) {
  QWidget parent;
  CIconButton first, second;
  first.Create(QStringLiteral("On"), BS_PUSHBUTTON | kShown, QRect(0, 0, 60, 24), &parent, 1);
  second.Create(QStringLiteral("Off"), BS_PUSHBUTTON | kShown, QRect(0, 30, 60, 24), &parent, 2);
  parent.show();
  parent.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&parent));
  first.setFocus();
  ASSERT_TRUE(first.hasFocus());
  first.setEnabled(false);
  EXPECT_TRUE(second.hasFocus());
}

TEST(IconButtonTest, TooltipTextIgnoresANullText) {
  CIconButton button;
  button.SetTooltipText(QStringLiteral("Rotate camera left"));
  button.SetTooltipText(QString());
  EXPECT_EQ(button.toolTip(), QStringLiteral("Rotate camera left"));
}

// Renders the button in its states; the face and edges are checked on
// pixels, the whole picture is kept for review.
class IconButtonPaintTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window.resize(220, 40);
    button.Create(QStringLiteral("Set"), BS_PUSHBUTTON | kShown, QRect(10, 5, 90, 28), &window, 1);
    button.SetIcon(kIconApply);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  }
  void Hover() {
    QEnterEvent enter(QPointF(20, 10), QPointF(30, 15), button.mapToGlobal(QPointF(20, 10)));
    QApplication::sendEvent(&button, &enter);
  }
  QWidget window;
  CIconButton button;
};

TEST_F(IconButtonPaintTest, AFlatButtonShowsAnEdgeOnlyWhileTheMouseIsOverIt) {
  const QRgb face = GetSysColor(SystemColor::ButtonFace).rgb();
  const QRgb hilight = GetSysColor(SystemColor::ButtonHighlight).rgb();
  const QRgb shadow = GetSysColor(SystemColor::ButtonShadow).rgb();

  QImage image = ORV::Test::SaveUiArtifact(button, "icon_button_normal");
  EXPECT_EQ(image.pixel(40, 0), face);
  EXPECT_EQ(image.pixel(40, 27), face);

  Hover();
  ASSERT_TRUE(button.IsHovering());
  image = ORV::Test::SaveUiArtifact(button, "icon_button_hover");
  EXPECT_EQ(image.pixel(40, 0), hilight);
  EXPECT_EQ(image.pixel(0, 14), hilight);
  EXPECT_EQ(image.pixel(40, 27), shadow);
  EXPECT_EQ(image.pixel(89, 14), shadow);

  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(&button, &leave);
  EXPECT_FALSE(button.IsHovering());

  button.setDown(true);
  image = ORV::Test::SaveUiArtifact(button, "icon_button_pressed");
  EXPECT_EQ(image.pixel(40, 0), shadow) << "pressed: sunken";
  EXPECT_EQ(image.pixel(40, 27), hilight);
  button.setDown(false);
}

TEST_F(IconButtonPaintTest, TheIconSitsLeftOfTheCaptionAndStaysWhenDisabled) {
  QImage image = ORV::Test::SaveUiArtifact(button, "icon_button_icon");
  // The icon's green disc at the left margin, vertically centred.
  const QColor disc = image.pixelColor(3 + 8, 6 + 3);
  EXPECT_GT(disc.green(), disc.red() + 60) << disc.name().toStdString();

  button.setEnabled(false);
  image = ORV::Test::SaveUiArtifact(button, "icon_button_disabled");
  const QColor still = image.pixelColor(3 + 8, 6 + 3);
  EXPECT_GT(still.green(), still.red() + 60) << "the icon is drawn as it is";

  CIconButton iconOnly;
  iconOnly.Create(QString(), BS_PUSHBUTTON | kShown, QRect(120, 5, 28, 28), &window, 10121);
  iconOnly.SetIcon(kIconMenu);
  ORV::Test::SaveUiArtifact(iconOnly, "icon_button_icon_only");
  CIconButton rotate;
  rotate.Create(QString(), BS_PUSHBUTTON | kShown, QRect(150, 5, 28, 28), &window, 32895);
  rotate.SetIcon(kIconRotateLeft);
  ORV::Test::SaveUiArtifact(rotate, "icon_button_rotate_left");
  rotate.SetIcon(kIconRotateRight);
  ORV::Test::SaveUiArtifact(rotate, "icon_button_rotate_right");
}

}  // namespace
}  // namespace ORV::UI
