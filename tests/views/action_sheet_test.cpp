// The action sheet's logic: order and times of the rows, going to an
// action, editing a description (store, marker and views), deleting and
// clearing.
#include "views/action_sheet.h"

#include <gtest/gtest.h>

#include "tests/views/view_fixture.h"

namespace ORV::Views::Test {
namespace {

using ActionSheetTest = ViewFixture;

TEST_F(ActionSheetTest, RowsInTimeOrderWithTheirTimes) {
  data().startTick = 1000;
  ActionSheetModel sheet(data());
  EXPECT_EQ(sheet.InsertAction({1000 + 3725250, "late"}), 0u);
  EXPECT_EQ(sheet.InsertAction({1000 + 65250, "first"}), 0u);
  EXPECT_EQ(sheet.InsertAction({1000 + 65250, "same time"}), 1u);
  EXPECT_EQ(sheet.RowText(1), "same time");
  EXPECT_EQ(sheet.TimeText(0), "01:05.25");
  EXPECT_EQ(sheet.TimeText(2), "1:02:05.25");

  sheet.InsertAction({1000 + 90600, "go"});
  EXPECT_EQ(sheet.GoToSeconds(2, 20), 89);
  EXPECT_EQ(sheet.GoToSeconds(2, 2), 90);
  EXPECT_EQ(sheet.GoToSeconds(9, 20), std::nullopt);
}

TEST_F(ActionSheetTest, EditingADescriptionReachesTheStoresAndTheViews) {
  Record();
  auto view = MakeView();
  view->ShowTrace(11);
  data().AddMarker("old", 2000, 0);
  data().WithStores([](MarkerStore&, ActionStore& actions) { return actions.Put(0, ActionData{2000, "old"}, false); });
  ActionSheetModel sheet(data());
  sheet.InsertAction({2000, "old"});
  data().modified = false;
  graph_.calls.clear();
  sheet.EditDescription(0, "new", {view.get()});
  EXPECT_EQ(sheet.RowText(0), "new");
  EXPECT_EQ(data().GetMarker(0).text, "new");
  EXPECT_EQ(data().WithStores([](MarkerStore&, ActionStore& a) { return a.Get(0).text; }), "new");
  EXPECT_EQ(graph_.calls, (std::vector<std::string>{"put 26 I2 0", "put 21 BSTR \"new\""}));
  EXPECT_TRUE(data().modified);
}

TEST_F(ActionSheetTest, AnEditRenamesTheAnnotationOfTheMarkerNotTheOneAtItsStoreIndex) {
  data().AddCamera("cam1");
  Record();
  auto view = MakeView();  // camera 0's view annotates camera 0's markers only
  view->ShowTrace(11);
  data().AddMarker("other camera", 1000, 1);
  data().AddMarker("old", 2000, 0);
  data().WithStores([](MarkerStore&, ActionStore& actions) { return actions.Put(0, ActionData{2000, "old"}, false); });
  ActionSheetModel sheet(data());
  sheet.InsertAction({2000, "old"});
  graph_.calls.clear();
  sheet.EditDescription(0, "new", {view.get()});
  EXPECT_EQ(data().GetMarker(1).text, "new");
  EXPECT_EQ(data().GetMarker(0).text, "other camera");
  EXPECT_EQ(graph_.calls, (std::vector<std::string>{"put 26 I2 0", "put 21 BSTR \"new\""}));
}

TEST_F(ActionSheetTest, DeletingAndClearing) {
  Record();
  auto view = MakeView();
  view->ShowTrace(11);
  data().AddMarker("a", 1000, 0);
  data().AddMarker("b", 2000, 0);
  data().WithStores([](MarkerStore&, ActionStore& actions) {
    return actions.Put(0, ActionData{1000, "a"}, false) + actions.Put(1, ActionData{2000, "b"}, false);
  });
  ActionSheetModel sheet(data());
  sheet.InsertAction({1000, "a"});
  sheet.InsertAction({2000, "b"});
  sheet.InsertAction({3000, "c"});
  sheet.DeleteRows({0}, {view.get()});
  EXPECT_EQ(sheet.RowCount(), 2u);
  EXPECT_EQ(sheet.RowText(0), "b");
  EXPECT_EQ(view->Annotations().count(1000u), 0u);
  EXPECT_EQ(view->Annotations().count(2000u), 1u);
  EXPECT_EQ(data().WithStores([](MarkerStore&, ActionStore& a) { return a.Keys(); }),
            (std::vector<std::uint32_t>{2000}));
  EXPECT_EQ(data().MarkerIds(), (std::vector<std::uint32_t>{2000}));
  EXPECT_TRUE(data().modified);

  // An experiment without zones is marked too, so the clear is saved.
  data().modified = false;
  sheet.Clear();
  EXPECT_TRUE(data().modified);
  EXPECT_EQ(sheet.RowCount(), 0u);
  EXPECT_EQ(data().WithStores([](MarkerStore&, ActionStore& a) { return a.Count(); }), 0u);
}

}  // namespace
}  // namespace ORV::Views::Test
