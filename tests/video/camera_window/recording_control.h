#pragma once
// An analysis control that records every call made on it, as
// "<dispid>(<arg>,<arg>...)", and answers each member with a result set per
// member (0 when none is set).
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "analysis_control/analysis_interface.h"
#include "platform/com/dispatch.h"

namespace ORV::Test {

class RecordingControl : public Com::IDispatch {
 public:
  std::map<Com::DISPID, Com::Variant> results;
  RelativeTime::Interface* clock = nullptr;

  Com::HRESULT Invoke(Com::DISPID dispid, unsigned, std::span<const Com::Variant> args, Com::Variant* result) override {
    std::string call = std::to_string(dispid) + "(";
    for (std::size_t i = 0; i < args.size(); ++i) {
      if (i) call += ",";
      call += Text(args[i]);
    }
    call += ")";
    {
      std::lock_guard lock(mutex_);
      calls_.push_back(call);
    }
    if (dispid == AnalysisView::Dispid::SetRelativeTime && !args.empty() && args[0].Holds<Com::Variant::Clock*>())
      clock = args[0].Get<Com::Variant::Clock*>();
    if (result) {
      auto it = results.find(dispid);
      *result = it != results.end() ? it->second : Com::Variant(std::int32_t{0});
    }
    return Com::S_OK;
  }

  std::vector<std::string> Calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
  }
  // The calls since the last Take.
  std::vector<std::string> Take() {
    std::lock_guard lock(mutex_);
    return std::exchange(calls_, {});
  }

 private:
  static std::string Text(const Com::Variant& v) {
    Com::Variant s;
    if (v.Holds<Com::Variant::Clock*>()) return "clock";
    if (v.Holds<std::string>()) return "'" + v.Get<std::string>() + "'";
    if (v.Holds<double>() || v.Holds<float>()) {
      char b[32];
      std::snprintf(b, sizeof b, "%g", v.Holds<double>() ? v.Get<double>() : double(v.Get<float>()));
      return b;
    }
    if (Com::Succeeded(v.ChangeType(Com::VT_I4, s))) return std::to_string(s.Get<std::int32_t>());
    return "?";
  }
  mutable std::mutex mutex_;
  std::vector<std::string> calls_;
};

}  // namespace ORV::Test
