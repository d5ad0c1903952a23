#pragma once
// Calling an object by member number (DISPID): the interface every control
// and every event sink implements, and the per-class type table that
// implements it.
//
// A control declares its members once, with the C++ signatures of its own
// functions; the table derives the declared types from them, checks the
// argument count, converts every argument to its declared type (a host
// passing an I4 for a BOOL is accepted, see Variant::ChangeType) and only
// then calls the function, so a failed call never changes the object:
//
//   const DispatchTable<GraphControl>& GraphControl::Table() {
//     static const DispatchTable<GraphControl> table = [] {
//       DispatchTable<GraphControl> t;
//       t.StoredProperty(1, "AxisColor", &GraphControl::axisColor_, &GraphControl::OnAxisColorChanged);
//       t.ReadOnlyProperty(41, "AnnoCount", &GraphControl::GetAnnoCount);      // std::int16_t () const
//       t.Property(40, "TrackMode", &GraphControl::GetTrackMode, &GraphControl::SetTrackMode);
//       t.Method(44, "SetRange", &GraphControl::SetRange);    // bool (double, double, double, double, bool)
//       t.Method(64, "GetActiveSelection", &GraphControl::GetActiveSelection);   // void (double*, double*)
//       t.IndexedProperty(57, "ElementXValue", &GraphControl::GetElementXValue,  // double (std::int32_t, std::int16_t)
//                         &GraphControl::SetElementXValue);                     // void (std::int32_t, std::int16_t,
//                         double)
//       return t;
//     }();
//     return table;
//   }
//   HRESULT GraphControl::Invoke(DISPID id, unsigned kind, std::span<const Variant> args, Variant* result) {
//     return Table().Invoke(*this, id, kind, args, result);
//   }
//
// (ControlImpl in control.h writes that Invoke for a control.)
//
// C++ types map to declared types as VarTypeOf in variant.h says: the
// analysis control's "I2 booleans" are std::int16_t results, the graph's
// BOOL results are bool. A setter may return void or HRESULT (to refuse a
// value, e.g. E_INVALIDARG); a method's return value is its result. Anything
// else (a method that must fail with a code) goes through Raw().
//
// Arguments travel in declared order (not reversed as in some dispatch
// conventions); the value of a put comes last, after the index arguments.
#include <cstddef>
#include <functional>
#include <map>
#include <span>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/com/hresult.h"
#include "platform/com/variant.h"

namespace ORV::Com {

// Invoke kinds; a caller may combine them (METHOD | PROPERTYGET) and the
// member answers to the one it supports.
inline constexpr unsigned DISPATCH_METHOD = 1;
inline constexpr unsigned DISPATCH_PROPERTYGET = 2;
inline constexpr unsigned DISPATCH_PROPERTYPUT = 4;

class IDispatch {
 public:
  virtual ~IDispatch() = default;
  // Calls member `dispid`. `args` in declared order; for a put the new value
  // is the last argument. `result` may be null when the caller does not want
  // it; it is set only on success. Codes: DISP_E_MEMBERNOTFOUND (no such
  // member, or not callable with `kind`), DISP_E_BADPARAMCOUNT,
  // DISP_E_TYPEMISMATCH, DISP_E_OVERFLOW, E_POINTER (null by-reference
  // argument), CTL_E_SETNOTSUPPORTED (put of a read-only property), or what
  // the member itself returns.
  virtual HRESULT Invoke(DISPID dispid, unsigned kind, std::span<const Variant> args, Variant* result) = 0;
};

// What a table knows of one member.
struct MemberInfo {
  DISPID dispid = 0;
  std::string name;
  bool property = false;        // false: a method
  VARTYPE type = VT_EMPTY;      // the method's result or the property's value type
  std::vector<VARTYPE> params;  // method parameters, or a property's index parameters
  bool canGet = false;          // properties
  bool canPut = false;          // properties
};

// Converts `args` to `types`, into `out`: the first failure's code, else S_OK.
HRESULT CoerceArguments(std::span<const Variant> args, std::span<const VARTYPE> types, std::vector<Variant>& out);

namespace detail {

template <class F>
struct MemberFn;
template <class R, class C, class... A>
struct MemberFn<R (C::*)(A...)> {
  using Result = R;
  using Args = std::tuple<A...>;
};
template <class R, class C, class... A>
struct MemberFn<R (C::*)(A...) const> {
  using Result = R;
  using Args = std::tuple<A...>;
};

template <class Tuple>
struct ArgTypes;
template <class... A>
struct ArgTypes<std::tuple<A...>> {
  static std::vector<VARTYPE> Get() { return {kVarType<A>...}; }
};

// Calls fn(obj, args[0] as A0, args[1] as A1, ...) on coerced arguments.
template <class C, class Fn, class... A, std::size_t... I>
decltype(auto) Apply(C& obj, Fn fn, std::span<const Variant> args, std::tuple<A...>*, std::index_sequence<I...>) {
  (void)args;  // unused for members without parameters
  return (obj.*fn)(ValueAs<A>(args[I])...);
}
template <class C, class Fn>
decltype(auto) Call(C& obj, Fn fn, std::span<const Variant> args) {
  using Args = typename MemberFn<Fn>::Args;
  return Apply(obj, fn, args, static_cast<Args*>(nullptr), std::make_index_sequence<std::tuple_size_v<Args>>{});
}

template <class R>
void Store(Variant* result, R&& value) {
  if (result) {
    using U = std::remove_cvref_t<R>;
    if constexpr (std::is_same_v<U, std::string_view>)
      *result = Variant(std::string(value));
    else
      *result = Variant(std::forward<R>(value));
  }
}

}  // namespace detail

template <class C>
class DispatchTable {
 public:
  // Handlers receive arguments already converted to the declared types.
  using Handler = std::function<HRESULT(C&, std::span<const Variant>, Variant*)>;

  // A method: its parameter and result types are those of `fn`.
  template <class Fn>
  DispatchTable& Method(DISPID id, const char* name, Fn fn) {
    using Traits = detail::MemberFn<Fn>;
    MemberInfo info{id, name, false, kVarType<typename Traits::Result>, detail::ArgTypes<typename Traits::Args>::Get()};
    return Add(std::move(info),
               [fn](C& obj, std::span<const Variant> args, Variant* result) -> HRESULT {
                 if constexpr (std::is_void_v<typename Traits::Result>) {
                   detail::Call(obj, fn, args);
                 } else {
                   detail::Store(result, detail::Call(obj, fn, args));
                 }
                 return S_OK;
               },
               {});
  }

  // A property read by `get` (T () [const]) and written by `set` (void or
  // HRESULT (T)).
  template <class Get, class Set>
  DispatchTable& Property(DISPID id, const char* name, Get get, Set set) {
    return IndexedProperty(id, name, get, set);
  }

  // A property that refuses puts (CTL_E_SETNOTSUPPORTED).
  template <class Get>
  DispatchTable& ReadOnlyProperty(DISPID id, const char* name, Get get) {
    return IndexedProperty(id, name, get, nullptr);
  }

  // A property with index arguments: get is T (I...), set is void or
  // HRESULT (I..., T). Pass nullptr as `set` for a read-only one.
  template <class Get, class Set>
  DispatchTable& IndexedProperty(DISPID id, const char* name, Get get, Set set) {
    using Traits = detail::MemberFn<Get>;
    using T = typename Traits::Result;
    MemberInfo info{id,
                    name,
                    true,
                    kVarType<T>,
                    detail::ArgTypes<typename Traits::Args>::Get(),
                    true,
                    !std::is_null_pointer_v<Set>};
    Handler getter = [get](C& obj, std::span<const Variant> args, Variant* result) -> HRESULT {
      detail::Store(result, detail::Call(obj, get, args));
      return S_OK;
    };
    Handler setter;
    if constexpr (!std::is_null_pointer_v<Set>) {
      setter = [set](C& obj, std::span<const Variant> args, Variant*) -> HRESULT {
        if constexpr (std::is_void_v<typename detail::MemberFn<Set>::Result>) {
          detail::Call(obj, set, args);
          return S_OK;
        } else {
          return detail::Call(obj, set, args);
        }
      };
    }
    return Add(std::move(info), std::move(getter), std::move(setter));
  }

  // A property kept in a data member: get returns it; put stores it and
  // then calls `changed` (may be nullptr).
  template <class T>
  DispatchTable& StoredProperty(DISPID id, const char* name, T C::*field, void (C::*changed)() = nullptr) {
    MemberInfo info{id, name, true, kVarType<T>, {}, true, true};
    Handler getter = [field](C& obj, std::span<const Variant>, Variant* result) -> HRESULT {
      detail::Store(result, obj.*field);
      return S_OK;
    };
    Handler setter = [field, changed](C& obj, std::span<const Variant> args, Variant*) -> HRESULT {
      obj.*field = ValueAs<T>(args[0]);
      if (changed) (obj.*changed)();
      return S_OK;
    };
    return Add(std::move(info), std::move(getter), std::move(setter));
  }

  // Any member, with handlers of its own. For a method or a property get,
  // `call` runs; for a put, `put` (the value last in its arguments).
  DispatchTable& Raw(MemberInfo info, Handler call, Handler put = {}) {
    if (info.property) info.canPut = static_cast<bool>(put);
    return Add(std::move(info), std::move(call), std::move(put));
  }

  const MemberInfo* Find(DISPID id) const {
    auto it = members_.find(id);
    return it == members_.end() ? nullptr : &it->second.info;
  }
  std::vector<const MemberInfo*> Members() const {
    std::vector<const MemberInfo*> all;
    for (const auto& [id, m] : members_) all.push_back(&m.info);
    return all;
  }

  // Looks the member up, checks the kind and the argument count, converts
  // the arguments and calls the handler. Nothing runs unless every check
  // passed.
  HRESULT Invoke(C& obj, DISPID id, unsigned kind, std::span<const Variant> args, Variant* result) const {
    auto it = members_.find(id);
    if (it == members_.end()) return DISP_E_MEMBERNOTFOUND;
    const Member& m = it->second;
    const Handler* handler = nullptr;
    std::vector<VARTYPE> types = m.info.params;
    if (!m.info.property) {
      if (!(kind & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
      handler = &m.call;
    } else if (kind & DISPATCH_PROPERTYPUT) {
      if (!m.info.canPut) return CTL_E_SETNOTSUPPORTED;
      types.push_back(m.info.type);
      handler = &m.put;
    } else if (kind & DISPATCH_PROPERTYGET) {
      handler = &m.call;
    } else {
      return DISP_E_MEMBERNOTFOUND;
    }
    if (args.size() != types.size()) return DISP_E_BADPARAMCOUNT;
    std::vector<Variant> converted;
    if (HRESULT hr = CoerceArguments(args, types, converted); Failed(hr)) return hr;
    Variant value;
    HRESULT hr = (*handler)(obj, converted, &value);
    if (Succeeded(hr) && result) *result = std::move(value);
    return hr;
  }

 private:
  struct Member {
    MemberInfo info;
    Handler call;
    Handler put;
  };
  DispatchTable& Add(MemberInfo info, Handler call, Handler put) {
    const DISPID id = info.dispid;
    members_[id] = Member{std::move(info), std::move(call), std::move(put)};
    return *this;
  }

  std::map<DISPID, Member> members_;
};

// An IDispatch that calls `obj` through `table`: an event sink of a host
// (its handlers in a DispatchTable of the host class) or any object that is
// not a control.
template <class C>
class DispatchObject final : public IDispatch {
 public:
  DispatchObject(C& obj, const DispatchTable<C>& table) : obj_(obj), table_(table) {}
  HRESULT Invoke(DISPID dispid, unsigned kind, std::span<const Variant> args, Variant* result) override {
    return table_.Invoke(obj_, dispid, kind, args, result);
  }

 private:
  C& obj_;
  const DispatchTable<C>& table_;
};

}  // namespace ORV::Com
