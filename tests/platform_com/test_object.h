#pragma once
// A small object with one member of every shape a control declares, used by
// the dispatch tests in-process and, as a control, in the test control library.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/com/dispatch.h"

namespace ORV::Test {

class TestObject {
 public:
  static constexpr Com::DISPID kCount = 1, kName = 2, kFlag = 3, kItemCount = 4, kEcho = 5, kGetPair = 6, kGetText = 7,
                               kGrab = 8, kValue = 9, kSetClock = 10, kSetRange = 11, kIsOn = 12, kLimited = 13,
                               kClockNow = 14;

  std::int32_t count = 7;
  int countChanges = 0;
  bool flag = false;
  std::string name = "first";
  std::vector<double> values{1.0, 2.0, 3.0};
  std::int32_t limited = 5;
  std::vector<std::uint8_t> frame{1, 2, 3, 4, 5};
  Com::Variant::Clock* clock = nullptr;
  double lastRange[4] = {};
  bool lastAutoFit = false;

  void OnCountChanged() { ++countChanges; }
  std::string GetName() const { return name; }
  void SetName(const std::string& n) { name = n; }
  std::int16_t GetItemCount() const { return static_cast<std::int16_t>(values.size()); }
  std::string Echo(std::int16_t a, std::int32_t b, double c, std::string_view d, bool e) {
    return std::to_string(a) + "|" + std::to_string(b) + "|" + std::to_string(c) + "|" + std::string(d) + "|" +
           (e ? "T" : "F");
  }
  void GetPair(double* lo, double* hi) {
    *lo = -2.5;
    *hi = 4.25;
  }
  void GetText(std::int32_t index, std::string* out) { *out = "item " + std::to_string(index); }
  std::int32_t Grab(std::uint8_t* buffer, std::int32_t size) {
    if (size < static_cast<std::int32_t>(frame.size())) return -1;
    std::memcpy(buffer, frame.data(), frame.size());
    return static_cast<std::int32_t>(frame.size());
  }
  double GetValue(std::int32_t index, std::int16_t) const {
    return index >= 0 && index < static_cast<std::int32_t>(values.size()) ? values[index] : 0.0;
  }
  void SetValue(std::int32_t index, std::int16_t, double v) {
    if (index >= 0 && index < static_cast<std::int32_t>(values.size())) values[index] = v;
  }
  void SetClock(Com::Variant::Clock* c) { clock = c; }
  bool SetRange(double xmin, double xmax, double ymin, double ymax, bool autoFit) {
    lastRange[0] = xmin, lastRange[1] = xmax, lastRange[2] = ymin, lastRange[3] = ymax;
    lastAutoFit = autoFit;
    return xmax > xmin;
  }
  std::int16_t IsOn() const { return flag ? 1 : 0; }
  std::int32_t GetLimited() const { return limited; }
  // Refuses values outside 0..10 without changing anything.
  Com::HRESULT SetLimited(std::int32_t v) {
    if (v < 0 || v > 10) return Com::E_INVALIDARG;
    limited = v;
    return Com::S_OK;
  }

  static const Com::DispatchTable<TestObject>& Table() {
    static const Com::DispatchTable<TestObject> table = [] {
      Com::DispatchTable<TestObject> t;
      t.StoredProperty(kCount, "Count", &TestObject::count, &TestObject::OnCountChanged);
      t.Property(kName, "Name", &TestObject::GetName, &TestObject::SetName);
      t.StoredProperty(kFlag, "Flag", &TestObject::flag);
      t.ReadOnlyProperty(kItemCount, "ItemCount", &TestObject::GetItemCount);
      t.Method(kEcho, "Echo", &TestObject::Echo);
      t.Method(kGetPair, "GetPair", &TestObject::GetPair);
      t.Method(kGetText, "GetText", &TestObject::GetText);
      t.Method(kGrab, "Grab", &TestObject::Grab);
      t.IndexedProperty(kValue, "Value", &TestObject::GetValue, &TestObject::SetValue);
      t.Method(kSetClock, "SetClock", &TestObject::SetClock);
      t.Method(kSetRange, "SetRange", &TestObject::SetRange);
      t.Method(kIsOn, "IsOn", &TestObject::IsOn);
      t.Property(kLimited, "Limited", &TestObject::GetLimited, &TestObject::SetLimited);
      return t;
    }();
    return table;
  }
};

}  // namespace ORV::Test
