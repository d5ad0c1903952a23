#pragma once
// The host's side of a dispatch call, shaped like the call sites:
//
//   Dispatcher graph(control.get());
//   bool taken = graph.Invoke<bool>(DISPID_SetRange, xmin, xmax, ymin, ymax, std::int32_t{1});
//   graph.Invoke(DISPID_ClearGraph);
//   graph.Put(DISPID_ShowGrid, true);
//   graph.Put(DISPID_Annotation, std::int16_t(index));
//   double y = graph.Get<double>(DISPID_ElementYValue, std::int32_t(i), std::int16_t{0});
//   double lo = 0, hi = 0;
//   graph.Invoke(DISPID_GetRangesMinAndMax, &lo, &hi);
//
// The template argument is the result type the caller wants; the argument
// types are the C++ types of the arguments (std::int16_t is I2, int is I4,
// double is R8, bool is BOOL, text is BSTR, a pointer is by-reference; see
// variant.h). The control converts the arguments to its declared types, and
// the helper converts the result to the wanted type (an I2 0/1 result read
// as bool, an I4 as double...).
//
// Callers never check: a failed call (no control, unknown DISPID, wrong
// types, a result that does not convert) goes to ReportDispatchFailure,
// which throws DispatchError in tests and otherwise logs the code to the
// event log, and the helper returns the result type's default (0, false,
// empty text). Try() returns the code for the few callers that do care.
#include <array>
#include <span>

#include "platform/com/dispatch.h"

namespace ORV::Com {

class Dispatcher {
 public:
  explicit Dispatcher(IDispatch* target = nullptr) : target_(target) {}
  IDispatch* target() const { return target_; }
  void reset(IDispatch* target) { target_ = target; }
  explicit operator bool() const { return target_ != nullptr; }

  // DISPATCH_METHOD.
  template <class R = void, class... A>
  R Invoke(DISPID dispid, A&&... args) const {
    return Call<R>(dispid, DISPATCH_METHOD, std::forward<A>(args)...);
  }
  // DISPATCH_PROPERTYGET, with the index arguments of an indexed property.
  template <class R, class... A>
  R Get(DISPID dispid, A&&... index) const {
    return Call<R>(dispid, DISPATCH_PROPERTYGET, std::forward<A>(index)...);
  }
  // DISPATCH_PROPERTYPUT: the index arguments (if any), then the value.
  template <class... A>
  void Put(DISPID dispid, A&&... indexThenValue) const {
    Call<void>(dispid, DISPATCH_PROPERTYPUT, std::forward<A>(indexThenValue)...);
  }

  // The call without reporting: its code, and the raw result.
  HRESULT Try(DISPID dispid, unsigned kind, std::span<const Variant> args, Variant* result = nullptr) const {
    if (!target_) return E_POINTER;
    return target_->Invoke(dispid, kind, args, result);
  }

  // The whole call with reporting, for a result type R (void: none).
  template <class R, class... A>
  R Call(DISPID dispid, unsigned kind, A&&... args) const {
    const std::array<Variant, sizeof...(A)> list{Variant(std::forward<A>(args))...};
    Variant result;
    HRESULT hr = Try(dispid, kind, list, &result);
    if constexpr (std::is_void_v<R>) {
      if (Failed(hr)) ReportDispatchFailure(hr, dispid, "Invoke");
      return;
    } else {
      Variant converted;
      if (Succeeded(hr)) hr = result.ChangeType(kVarType<R>, converted);
      if (Failed(hr)) {
        ReportDispatchFailure(hr, dispid, "Invoke");
        return R{};
      }
      return R(ValueAs<R>(converted));
    }
  }

 private:
  IDispatch* target_;
};

}  // namespace ORV::Com
