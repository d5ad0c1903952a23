// Control libraries: registration in the registry store, creation by ProgID,
// calls and events through the loaded control, and unloading.
#include "platform/com/control_loader.h"

#include <gtest/gtest.h>

#include <thread>
#include <tuple>

#include "platform/com/caller.h"
#include "platform/os/registry_store.h"
#include "tests/platform_com/test_object.h"

namespace ORV::Com {
namespace {

const std::string kDir = ORV_TEST_CONTROL_DIR;
const std::string kLibrary = kDir + "/libORVTestControl.so";
const std::string kStale = kDir + "/libORVStaleControl.so";
constexpr const char* kProgId = "ORVTESTCONTROL.TestControl.1";
constexpr DISPID kChildId = 100, kParent = 101, kFire = 102, kNotify = 103;

struct RecordingTarget final : OS::MessageTarget {
  std::vector<std::tuple<std::uint32_t, OS::WPARAM, OS::LPARAM>> posts;
  bool PostMessage(std::uint32_t m, OS::WPARAM w, OS::LPARAM l) override {
    posts.emplace_back(m, w, l);
    return true;
  }
};

// A host's handlers of the test control's event 1 (index, value).
struct Host {
  std::vector<std::pair<std::int32_t, double>> events;
  std::vector<std::thread::id> threads;
  void OnFired(std::int32_t index, double value) {
    events.emplace_back(index, value);
    threads.push_back(std::this_thread::get_id());
  }
  static const DispatchTable<Host>& Events() {
    static const DispatchTable<Host> table = [] {
      DispatchTable<Host> t;
      t.Method(1, "Fired", &Host::OnFired);
      return t;
    }();
    return table;
  }
};

class ControlLoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(IsLibraryLoaded(kLibrary));
    ASSERT_FALSE(IsLibraryLoaded(kStale));
  }
  OS::RegistryStore store;
  ControlFactory factory{store, {}};
};

TEST_F(ControlLoaderTest, RegisteredControlIsCreatedCalledAndDestroyed) {
  ASSERT_EQ(factory.RegisterLibrary(kLibrary), S_OK);
  EXPECT_FALSE(IsLibraryLoaded(kLibrary)) << "registering leaves nothing loaded";
  EXPECT_EQ(store.GetString(ControlFactory::RegistrationKey(kProgId), "", ""), kLibrary);
  EXPECT_EQ(store.GetString(ControlFactory::RegistrationKey("ORVTESTCONTROL.SecondControl.1"), "", ""), kLibrary);

  int parentTag = 0;
  auto messages = std::make_shared<RecordingTarget>();
  CreateParams params;
  params.parent = &parentTag;
  params.childId = 34768;
  params.parentMessages = messages;
  ControlPtr control;
  ASSERT_EQ(factory.Create(kProgId, params, control), S_OK);
  ASSERT_TRUE(control);
  EXPECT_TRUE(IsLibraryLoaded(kLibrary));

  Dispatcher d(control.get());
  EXPECT_EQ(d.Get<std::int32_t>(kChildId), 34768);
  EXPECT_EQ(d.Get<std::int64_t>(kParent), reinterpret_cast<std::intptr_t>(&parentTag));
  EXPECT_TRUE(d.Invoke<bool>(kNotify, 10, std::int64_t{-1}));
  EXPECT_EQ(messages->posts, (std::vector<std::tuple<std::uint32_t, OS::WPARAM, OS::LPARAM>>{{0x7FC, 10, -1}}));
  EXPECT_EQ(d.Invoke<std::string>(ORV::Test::TestObject::kEcho, std::int16_t{1}, 2, 3.0, "four", false),
            "1|2|3.000000|four|F");
  double lo = 0, hi = 0;
  d.Invoke(ORV::Test::TestObject::kGetPair, &lo, &hi);
  EXPECT_EQ(hi, 4.25);
  EXPECT_EQ(d.Try(ORV::Test::TestObject::kItemCount, DISPATCH_PROPERTYPUT, std::vector<Variant>{Variant(1)}),
            CTL_E_SETNOTSUPPORTED);

  // Events come back to the host's sink on the firing thread, in order.
  Host host;
  EventSink<Host> sink(host, Host::Events());
  {
    SinkConnection connection(*control, &sink);
    d.Invoke(kFire, 3, 2.5);
  }
  d.Invoke(kFire, 1, 9.0);  // after the connection ended: not delivered
  EXPECT_EQ(host.events, (std::vector<std::pair<std::int32_t, double>>{{0, 2.5}, {1, 2.5}, {2, 2.5}}));
  EXPECT_EQ(host.threads, std::vector<std::thread::id>(3, std::this_thread::get_id()));

  // A second control shares the library; it goes with the last control.
  ControlPtr second;
  ASSERT_EQ(factory.Create("ORVTESTCONTROL.SecondControl.1", {}, second), S_OK);
  control.reset();
  EXPECT_TRUE(IsLibraryLoaded(kLibrary));
  ControlPtr moved = std::move(second);
  EXPECT_EQ(Dispatcher(moved.get()).Get<std::int32_t>(ORV::Test::TestObject::kCount), 7);
  moved.reset();
  EXPECT_FALSE(IsLibraryLoaded(kLibrary));
}

TEST_F(ControlLoaderTest, UnknownProgIdGivesClassNotRegistered) {
  ControlPtr control;
  for (const char* progId : {"NOSUCH.Control.1", "", "ORVTESTCONTROL\\TestControl.1"}) {
    EXPECT_EQ(factory.Create(progId, {}, control), REGDB_E_CLASSNOTREG) << progId;
    EXPECT_FALSE(control);
  }
  // The library found, but it does not serve this class.
  ControlFactory inFolder(store, {kDir});
  EXPECT_EQ(inFolder.Create("ORVTESTCONTROL.Missing.1", {}, control), REGDB_E_CLASSNOTREG);
  EXPECT_FALSE(control);
  EXPECT_FALSE(IsLibraryLoaded(kLibrary));
}

TEST_F(ControlLoaderTest, LibraryOfAnotherAbiVersionIsRefusedAndUnloaded) {
  EXPECT_EQ(factory.RegisterLibrary(kStale), CO_E_ERRORINDLL);
  EXPECT_TRUE(store.SubKeyNames(OS::kClassesRoot).empty());
  ControlFactory inFolder(store, {kDir});
  ControlPtr control;
  EXPECT_EQ(inFolder.Create("ORVSTALECONTROL.StaleControl.1", {}, control), CO_E_ERRORINDLL);
  EXPECT_FALSE(control);
  EXPECT_FALSE(IsLibraryLoaded(kStale));
}

TEST_F(ControlLoaderTest, UnregisterRemovesOnlyThisLibrarysEntries) {
  ASSERT_EQ(factory.RegisterLibrary(kLibrary), S_OK);
  store.SetValue(ControlFactory::RegistrationKey("OTHER.Control.1"), "", OS::RegValue::MakeString("/x/libOTHER.so"));
  EXPECT_EQ(factory.UnregisterLibrary(kLibrary), S_OK);
  EXPECT_EQ(store.SubKeyNames(OS::kClassesRoot), std::vector<std::string>{"OTHER.Control.1"});
  ControlPtr control;
  EXPECT_EQ(factory.Create(kProgId, {}, control), REGDB_E_CLASSNOTREG);
  EXPECT_FALSE(IsLibraryLoaded(kLibrary));
}

TEST_F(ControlLoaderTest, UnregisteredClassIsFoundInTheLibraryFolder) {
  ControlFactory inFolder(store, {"/nonexistent", kDir});
  EXPECT_EQ(inFolder.FindLibrary("orvtestcontrol.TestControl.1"), kLibrary);  // names compare without case
  ControlPtr control;
  EXPECT_EQ(inFolder.Create(kProgId, {}, control), S_OK);
  EXPECT_TRUE(control);
}

TEST_F(ControlLoaderTest, RegisteredLibraryThatIsGoneCannotBeLoaded) {
  store.SetValue(ControlFactory::RegistrationKey(kProgId), "", OS::RegValue::MakeString(kDir + "/libGone.so"));
  ControlPtr control;
  EXPECT_EQ(factory.Create(kProgId, {}, control), CO_E_DLLNOTFOUND);
  EXPECT_FALSE(control);
}

// A start registers the controls from the program's own library folder
// when their registration is missing, gone or names another library.
TEST_F(ControlLoaderTest, RegisterFromFoldersFillsInMissingAndStaleRegistrations) {
  ControlFactory installed(store, {"/nonexistent", kDir});
  const std::string key = ControlFactory::RegistrationKey(kProgId);
  const std::string_view ids[] = {kProgId};
  EXPECT_EQ(installed.RegisterFromFolders(ids), S_OK);
  EXPECT_EQ(store.GetString(key, "", ""), kLibrary);

  store.SetValue(key, "", OS::RegValue::MakeString(kDir + "/libGone.so"));
  EXPECT_EQ(installed.RegisterFromFolders(ids), S_OK);
  EXPECT_EQ(store.GetString(key, "", ""), kLibrary) << "a registration whose file is gone is renewed";

  // One registered to another library that exists gives way to the one in
  // the folders, and is kept by a factory whose folders hold none.
  store.SetValue(key, "", OS::RegValue::MakeString(kStale));
  const ControlFactory elsewhere(store, {"/nonexistent"});
  EXPECT_EQ(elsewhere.RegisterFromFolders(ids), S_OK);
  EXPECT_EQ(store.GetString(key, "", ""), kStale);
  EXPECT_EQ(installed.RegisterFromFolders(ids), S_OK);
  EXPECT_EQ(store.GetString(key, "", ""), kLibrary);

  // A ProgID that no library serves fails; the others are still registered.
  store.DeleteTree(key);
  const std::string_view both[] = {"ORVNOWHERE.Control.1", kProgId};
  EXPECT_EQ(installed.RegisterFromFolders(both), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(store.GetString(key, "", ""), kLibrary);
  ControlPtr control;
  EXPECT_EQ(installed.Create(kProgId, {}, control), S_OK);
}

}  // namespace
}  // namespace ORV::Com
