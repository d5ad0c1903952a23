// The action sheet's view: rows in time order, a double click that moves
// the trace views, Delete and clear after asking; a render.
#include "views/ui/action_view.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QTest>

#include "platform/ui/dialog.h"
#include "platform/ui/message_box.h"
#include "tests/core/experiment/experiment_fixture.h"
#include "tests/support/ui/ui_test_support.h"
#include "tests/views/view_fixture.h"

namespace ORV::Views::Test {
namespace {

using ActionViewTest = ViewFixture;

TEST_F(ActionViewTest, ListGoToDeleteAndClear) {
  Record();
  data().startTick = 1000;
  auto trace = MakeView();
  trace->ShowTrace(11);
  data().AddMarker("Drug added", 1000 + 90600, 0);
  data().WithStores([](MarkerStore&, ActionStore& a) {
    return a.Put(0, ActionData{1000 + 90600, "Drug added"}, false);
  });
  CActionView view(data(), 20, posts_, [&] { return std::vector<CPelmoraView*>{trace.get()}; });
  view.InsertAction({1000 + 3725250, "Washout"});
  view.InsertAction({1000 + 90600, "Drug added"});
  view.InsertAction({1000 + 65250, "Step to 60 mmHg"});
  data().Update([](ExperimentContents& c) {
    c.title = "Mesenteric artery";
    c.description = "Myogenic response, 20-80 mmHg";
    return 0;
  });
  view.OnInitialUpdate();
  view.resize(560, 320);
  view.show();
  ASSERT_EQ(view.List()->rowCount(), 3);
  EXPECT_EQ(view.List()->item(0, 0)->text(), QStringLiteral("Step to 60 mmHg"));
  EXPECT_EQ(view.List()->item(0, 1)->text(), QStringLiteral("01:05.25"));
  EXPECT_EQ(view.List()->item(2, 1)->text(), QStringLiteral("1:02:05.25"));
  EXPECT_EQ(view.TitleBox()->text(), QStringLiteral("Mesenteric artery"));
  for (int dpi : {96, 144}) {
    ORV::Test::ScopedDpi scoped(dpi);
    ORV::Test::SaveUiArtifact(view, "action_view_" + std::to_string(dpi));
  }

  posts_->Take();
  view.GoTo(1);
  EXPECT_EQ(posts_->Take(), (std::vector<std::uint32_t>{WM_TRACE_NAVIGATE}));

  // Delete, answered No then Yes.
  UI::ScriptedMessageBoxes boxes({UI::IDNO, UI::IDYES, UI::IDYES});
  view.List()->selectRow(1);
  view.DeleteSelected();
  EXPECT_EQ(view.List()->rowCount(), 3);
  view.DeleteSelected();
  EXPECT_EQ(view.List()->rowCount(), 2);
  EXPECT_TRUE(trace->Annotations().empty());
  EXPECT_TRUE(data().MarkerIds().empty());
  EXPECT_TRUE(view.OnCommand(CActionView::kClearCommand));
  EXPECT_EQ(view.List()->rowCount(), 0);
  EXPECT_EQ(boxes.Shown().size(), 3u);
  EXPECT_EQ(boxes.Shown()[2].text, QStringLiteral("All collected actions will be deleted - Continue?"));
  // An empty sheet asks nothing.
  EXPECT_TRUE(view.OnCommand(CActionView::kClearCommand));
  EXPECT_EQ(boxes.Shown().size(), 3u);
}

// The application whose action sheet is the view under test.
class SheetHooks final : public ORV::Test::FakeHooks {
 public:
  ActionViewRows* ActionView() override { return sheet; }
  CActionView* sheet = nullptr;
};

// A marker the experiment removes (as a moved marker's old place is) takes
// its row out of the list as well as the model, so the rows after it keep
// their actions.
TEST_F(ActionViewTest, ARowTheExperimentRemovesLeavesTheList) {
  Record();
  data().startTick = 1000;
  CActionView view(data(), 20, posts_, [] { return std::vector<CPelmoraView*>{}; });
  SheetHooks hooks;
  hooks.sheet = &view;
  data().SetApplicationHooks(&hooks);
  data().AddMarker("Drug added", 1000 + 90600, 0);
  view.InsertAction({1000 + 65250, "Step to 60 mmHg"});
  view.InsertAction({1000 + 90600, "Drug added"});
  view.InsertAction({1000 + 3725250, "Washout"});
  ASSERT_EQ(data().MarkerIds().size(), 1u);

  data().RemoveMarkerFromViews(data().MarkerIds().front());
  ASSERT_EQ(view.List()->rowCount(), 2);
  ASSERT_EQ(view.Model().RowCount(), 2u);
  EXPECT_EQ(view.List()->item(1, 0)->text(), QStringLiteral("Washout"));
  EXPECT_EQ(view.Model().RowText(1), "Washout");
  data().SetApplicationHooks(nullptr);
}

// Keeps every posted message with its parameters.
class MessageLog final : public OS::MessageTarget {
 public:
  struct Posted {
    std::uint32_t message;
    OS::WPARAM w;
    OS::LPARAM l;
    bool operator==(const Posted&) const = default;
  };
  bool PostMessage(std::uint32_t message, OS::WPARAM w, OS::LPARAM l) override {
    posted.push_back({message, w, l});
    return true;
  }
  std::vector<Posted> posted;
};

TEST_F(ActionViewTest, DoubleClickTitleDescriptionAndListEdits) {
  Record();
  data().startTick = 1000;
  auto log = std::make_shared<MessageLog>();
  // The time window's length decides whether the views stop a second early.
  for (const auto& [span, seconds] : {std::pair{20, 89}, std::pair{2, 90}}) {
    CActionView view(data(), span, log, [] { return std::vector<CPelmoraView*>{}; });
    view.InsertAction({1000 + 90600, "Drug added"});
    view.resize(560, 320);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    const QRect cell = view.List()->visualItemRect(view.List()->item(0, 0));
    // A double click is a press and a double-click press on the same cell.
    QTest::mousePress(view.List()->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(view.List()->viewport(), Qt::LeftButton, {}, cell.center());
    ASSERT_FALSE(log->posted.empty());
    EXPECT_EQ(log->posted.back(), (MessageLog::Posted{WM_TRACE_NAVIGATE, 1, seconds}));
  }

  // The title and the description are stored when their box loses the
  // focus.
  CActionView view(data(), 20, log, [] { return std::vector<CPelmoraView*>{}; });
  view.OnInitialUpdate();
  view.TitleBox()->setText(QStringLiteral("Tail artery"));
  QFocusEvent out(QEvent::FocusOut);
  QApplication::sendEvent(view.TitleBox(), &out);
  view.DescriptionBox()->setPlainText(QStringLiteral("Second run"));
  QApplication::sendEvent(view.DescriptionBox(), &out);
  EXPECT_EQ(data().Read([](const ExperimentContents& c) { return c.title; }), "Tail artery");
  EXPECT_EQ(data().Read([](const ExperimentContents& c) { return c.description; }), "Second run");

  // An edit in the list reaches the model; the time column is not editable.
  view.InsertAction({1000 + 5000, "typo"});
  view.List()->item(0, 0)->setText(QStringLiteral("Fixed"));
  EXPECT_EQ(view.Model().RowText(0), "Fixed");
  EXPECT_FALSE(view.List()->item(0, 1)->flags() & Qt::ItemIsEditable);
}

}  // namespace
}  // namespace ORV::Views::Test
