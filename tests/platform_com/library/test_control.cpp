// The control of the test control library: the test object's members, plus
// what a control adds (its creation parameters, events).
#include "platform/com/control.h"
#include "tests/platform_com/test_object.h"

namespace ORV::Test {
namespace {

class TestControl final : public Com::ControlBase {
 public:
  static constexpr Com::DISPID kChildId = 100, kParent = 101, kFire = 102, kNotify = 103;
  static constexpr Com::DISPID kEventFired = 1;

  explicit TestControl(const Com::CreateParams& p)
      : childId_(p.childId), parent_(p.parent), parentMessages_(p.parentMessages) {}

  Com::HRESULT Invoke(Com::DISPID id, unsigned kind, std::span<const Com::Variant> args,
                      Com::Variant* result) override {
    if (Table().Find(id)) return Table().Invoke(*this, id, kind, args, result);
    return TestObject::Table().Invoke(object_, id, kind, args, result);
  }

 private:
  std::int32_t ChildId() const { return childId_; }
  std::int64_t Parent() const { return static_cast<std::int64_t>(reinterpret_cast<std::intptr_t>(parent_)); }
  // Fires event 1 (index, value) `count` times.
  void FireEvents(std::int32_t count, double value) {
    for (std::int32_t i = 0; i < count; ++i) Fire(kEventFired, i, value);
  }

  // Posts (0x7FC, w, l) to the host; false when it takes no messages.
  bool Notify(std::int32_t w, std::int64_t l) {
    return parentMessages_ && parentMessages_->PostMessage(0x7FC, static_cast<OS::WPARAM>(w), l);
  }

  static const Com::DispatchTable<TestControl>& Table() {
    static const Com::DispatchTable<TestControl> table = [] {
      Com::DispatchTable<TestControl> t;
      t.ReadOnlyProperty(kChildId, "ChildId", &TestControl::ChildId);
      t.ReadOnlyProperty(kParent, "Parent", &TestControl::Parent);
      t.Method(kFire, "FireEvents", &TestControl::FireEvents);
      t.Method(kNotify, "Notify", &TestControl::Notify);
      return t;
    }();
    return table;
  }

  TestObject object_;
  std::int32_t childId_;
  void* parent_;
  std::shared_ptr<OS::MessageTarget> parentMessages_;
};

const Com::ControlClass kClasses[] = {
    {"ORVTESTCONTROL.TestControl.1", &Com::CreateControlOf<TestControl>},
    {"ORVTESTCONTROL.SecondControl.1", &Com::CreateControlOf<TestControl>},
};

}  // namespace
}  // namespace ORV::Test

ORV_CONTROL_MODULE(ORV::Test::kClasses)
