#pragma once
// The persisted state of a control: named, typed values in the order they
// were exchanged. A control writes its properties into a bag and reads them
// back from one; a key that is missing or holds another kind reads as the
// property's default.
#include <cstdint>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "graph_control/graph_items.h"

namespace ORV::Graph {

// The kinds of values a bag holds: boolean, 16-bit, 32-bit, colour, double,
// string and font.
using PropertyValue = std::variant<bool, std::int16_t, std::int32_t, ColorRef, double, std::string, FontDesc>;

class PropertyBag {
 public:
  // Replaces the value of `key`, or appends it.
  void Set(const std::string& key, PropertyValue value);
  // The value of `key`, nullptr when missing.
  const PropertyValue* Find(const std::string& key) const;
  const std::vector<std::pair<std::string, PropertyValue>>& Entries() const { return entries_; }

 private:
  std::vector<std::pair<std::string, PropertyValue>> entries_;
};

// One exchange pass over a bag: saving writes each value, loading reads it
// (a missing key or another kind gives the default). A control's exchange
// function calls Exchange once per property, in its order.
class PropertyExchange {
 public:
  PropertyExchange(PropertyBag& bag, bool loading) : bag_(bag), loading_(loading) {}
  bool Loading() const { return loading_; }

  template <class T>
  void Exchange(const std::string& key, T& value, const T& defaultValue) {
    if (!loading_) {
      bag_.Set(key, value);
      return;
    }
    const PropertyValue* v = bag_.Find(key);
    const T* held = v ? std::get_if<T>(v) : nullptr;
    value = held ? *held : defaultValue;
  }

 private:
  PropertyBag& bag_;
  bool loading_;
};

}  // namespace ORV::Graph
