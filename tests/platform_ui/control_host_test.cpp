// Controls as child widgets of their host: created by ProgID from a control
// library, placed in the host, called, posting to the host, and destroyed.
#include "platform/ui/control_host.h"

#include <gtest/gtest.h>

#include <QLayout>
#include <QWidget>

#include "platform/com/control_loader.h"
#include "platform/os/registry_store.h"
#include "platform/ui/message_window.h"
#include "tests/support/ui/ui_test_support.h"

namespace ORV::UI {
namespace {

const std::string kDir = ORV_TEST_CONTROL_DIR;
constexpr const char* kProgId = "ORVQTTESTCONTROL.QtTestControl.1";

class Host final : public QWidget, public MessageWindow {
 public:
  Host() {
    SetHandler(0x7FC, [this](WPARAM w, LPARAM l) {
      posts.emplace_back(w, l);
      return 0;
    });
  }
  ~Host() override { site.Destroy(); }
  std::vector<std::pair<WPARAM, LPARAM>> posts;
  ControlSite site;
  MessageWindowCloser closer{*this};
};

TEST(ControlHostTest, ControlIsAChildWidgetOfItsHostAndPostsToIt) {
  OS::RegistryStore store;
  Com::ControlFactory factory(store, {kDir});
  const std::string library = factory.FindLibrary(kProgId);
  ASSERT_FALSE(library.empty());
  {
    Host host;
    host.resize(320, 200);
    host.show();
    ASSERT_EQ(host.site.Create(&host, kProgId, 34768, host.Target(), factory), Com::S_OK);
    EXPECT_TRUE(Com::IsLibraryLoaded(library));
    QWidget* w = host.site.widget();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->parentWidget(), &host);
    EXPECT_TRUE(w->isVisible());
    ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] { return w->size() == host.size(); }));  // fills the host

    const Com::Dispatcher d = host.site.dispatch();
    EXPECT_EQ(d.Get<std::int32_t>(2), 34768);
    d.Put(1, "Control in its host");
    EXPECT_EQ(d.Get<std::string>(1), "Control in its host");
    ORV::Test::SaveUiArtifact(host, "control_host");

    EXPECT_TRUE(d.Invoke<bool>(3, 11, std::int64_t{-1}));
    ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] { return !host.posts.empty(); }));
    EXPECT_EQ(host.posts, (std::vector<std::pair<WPARAM, LPARAM>>{{11, -1}}));

    // A second creation in the same site replaces the control and is placed again.
    ASSERT_EQ(host.site.Create(&host, kProgId, 7, nullptr, factory), Com::S_OK);
    EXPECT_EQ(host.site.dispatch().Get<std::int32_t>(2), 7);
    EXPECT_EQ(host.layout()->count(), 1);
    EXPECT_FALSE(host.site.dispatch().Invoke<bool>(3, 10, std::int64_t{1}));  // no message target
  }
  EXPECT_FALSE(Com::IsLibraryLoaded(library));

  ControlSite empty;
  EXPECT_EQ(empty.Create(nullptr, "NOSUCH.Control.1", 1, nullptr, factory), Com::REGDB_E_CLASSNOTREG);
  EXPECT_FALSE(empty);
  EXPECT_EQ(empty.widget(), nullptr);
}

}  // namespace
}  // namespace ORV::UI
