#include "platform/ui/pane_factory.h"

#include <gtest/gtest.h>

#include <QMainWindow>
#include <QPointer>

#include "core/base/configuration.h"
#include "tests/support/test_support.h"

namespace ORV::UI {
namespace {

// A pane with a name of the test's choosing that can be told to fail.
class NamedPane : public DockingPane {
 public:
  NamedPane(const Configuration& configuration, const QString& name, bool fail = false)
      : DockingPane(configuration, name, name), fail_(fail) {}
  bool created = false;

 protected:
  int OnCreate() override {
    created = true;
    return fail_ ? -1 : 0;
  }

 private:
  bool fail_;
};

class PaneFactoryTest : public testing::Test {
 protected:
  PaneFactoryTest() { frame_.setCentralWidget(new QWidget); }
  ORV::Test::SandboxedHome home_;
  Configuration configuration_;
  QMainWindow frame_;
  PaneFactory factory_{frame_};
};

TEST_F(PaneFactoryTest, DocksANamedPaneTheSameWayEachTime) {
  NamedPane* first = factory_.Dock<NamedPane>(Qt::LeftDockWidgetArea, configuration_, QStringLiteral("FirstPane"));
  NamedPane* second = factory_.Dock<NamedPane>(Qt::BottomDockWidgetArea, configuration_, QStringLiteral("SecondPane"));
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  for (NamedPane* pane : {first, second}) {
    EXPECT_TRUE(pane->created);
    EXPECT_EQ(pane->parentWidget(), &frame_);
    EXPECT_EQ(pane->features(),
              QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    EXPECT_EQ(pane->allowedAreas(), Qt::AllDockWidgetAreas);
  }
  EXPECT_EQ(frame_.dockWidgetArea(first), Qt::LeftDockWidgetArea);
  EXPECT_EQ(frame_.dockWidgetArea(second), Qt::BottomDockWidgetArea);
  EXPECT_EQ(factory_.Find(QStringLiteral("FirstPane")), first);
  EXPECT_EQ(factory_.Find(QStringLiteral("SecondPane")), second);
  EXPECT_EQ(factory_.Find(QStringLiteral("Second")), nullptr);
}

TEST_F(PaneFactoryTest, RefusesAPaneTheLayoutCouldNotFindAgainOrThatFailsToCreate) {
  ASSERT_NE(factory_.Dock<NamedPane>(Qt::LeftDockWidgetArea, configuration_, QStringLiteral("FlowPane")), nullptr);
  const struct {
    const char* what;
    QString name;
    bool fail;
  } cases[] = {
      {"no object name", QString(), false},
      {"the name of a docked pane", QStringLiteral("FlowPane"), false},
      {"Create fails", QStringLiteral("OtherPane"), true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(factory_.Dock<NamedPane>(Qt::RightDockWidgetArea, configuration_, c.name, c.fail), nullptr) << c.what;
    EXPECT_EQ(frame_.findChildren<QDockWidget*>().size(), 1) << c.what << ": nothing more is docked";
  }
}

}  // namespace
}  // namespace ORV::UI
