#pragma once
// The tagged value that carries every argument and result across a dispatch
// call, with the automation type codes (VARTYPE).
//
//   Variant(std::int16_t{3})      VT_I2       Variant(3)          VT_I4
//   Variant(std::int64_t{3})      VT_I8       Variant(3.0)        VT_R8
//   Variant(2.5f)                 VT_R4       Variant(true)       VT_BOOL
//   Variant(std::uint8_t{1})      VT_UI1      Variant(std::uint16_t{1}) VT_UI2
//   Variant(std::uint32_t{1})     VT_UI4      Variant("text")     VT_BSTR (UTF-8)
//   Variant(&someInt32)           VT_BYREF|VT_I4   (the callee writes through it)
//   Variant(&someDouble)          VT_BYREF|VT_R8
//   Variant(&someString)          VT_BYREF|VT_BSTR
//   Variant(bytes.data())         VT_BYREF|VT_UI1  (a buffer; its size travels as its own I4 argument)
//   Variant(&clock)               VT_CLOCK   (the host's experiment clock, ORV::RelativeTime::Interface*)
//
// By-reference values point at the caller's storage, which must outlive the
// call. Colours (OLE_COLOR / COLORREF 0x00BBGGRR) travel as VT_I4 or VT_UI4.
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "platform/com/hresult.h"

namespace ORV::RelativeTime {
class Interface;
}

namespace ORV::Com {

using VARTYPE = std::uint16_t;

inline constexpr VARTYPE VT_EMPTY = 0;
inline constexpr VARTYPE VT_I2 = 2;
inline constexpr VARTYPE VT_I4 = 3;
inline constexpr VARTYPE VT_R4 = 4;
inline constexpr VARTYPE VT_R8 = 5;
inline constexpr VARTYPE VT_BSTR = 8;
inline constexpr VARTYPE VT_BOOL = 11;
// An object pointer. The one object that crosses a control interface is the
// experiment clock, so the pointer is typed: ORV::RelativeTime::Interface*.
inline constexpr VARTYPE VT_CLOCK = 13;
inline constexpr VARTYPE VT_UI1 = 17;
inline constexpr VARTYPE VT_UI2 = 18;
inline constexpr VARTYPE VT_UI4 = 19;
inline constexpr VARTYPE VT_I8 = 20;
inline constexpr VARTYPE VT_BYREF = 0x4000;

// "I4", "BYREF|R8", ...
std::string VarTypeName(VARTYPE vt);

class Variant {
 public:
  using Clock = ORV::RelativeTime::Interface;

  Variant() = default;
  Variant(std::int16_t v) : value_(v) {}
  Variant(std::int32_t v) : value_(v) {}
  Variant(std::int64_t v) : value_(v) {}
  Variant(long long v) : value_(static_cast<std::int64_t>(v)) {}
  Variant(std::uint8_t v) : value_(v) {}
  Variant(std::uint16_t v) : value_(v) {}
  Variant(std::uint32_t v) : value_(v) {}
  Variant(float v) : value_(v) {}
  Variant(double v) : value_(v) {}
  Variant(bool v) : value_(v) {}
  Variant(std::string v) : value_(std::move(v)) {}
  Variant(std::string_view v) : value_(std::string(v)) {}
  Variant(const char* v) : value_(std::string(v ? v : "")) {}
  Variant(std::int32_t* p) : value_(p) {}
  Variant(double* p) : value_(p) {}
  Variant(std::string* p) : value_(p) {}
  Variant(std::uint8_t* p) : value_(p) {}
  Variant(Clock* p) : value_(p) {}

  VARTYPE vt() const;
  bool IsEmpty() const { return value_.index() == 0; }
  bool IsByRef() const { return (vt() & VT_BYREF) != 0; }

  // The held value; T must be the held type exactly (see the table above).
  template <class T>
  const T& Get() const {
    return std::get<T>(value_);
  }
  template <class T>
  bool Holds() const {
    return std::holds_alternative<T>(value_);
  }

  // This value converted to `target`, into `out`:
  // - numbers (I2, I4, I8, UI1, UI2, UI4, R4, R8) and BOOL convert among each
  //   other; a number that does not fit gives DISP_E_OVERFLOW (fractions are
  //   rounded half to even, NaN never fits); BOOL is 1 or 0 as a number, and
  //   a number is TRUE when it is not 0;
  // - BSTR converts only to BSTR: text is not parsed as a number, nor a
  //   number printed as text (DISP_E_TYPEMISMATCH);
  // - by-reference values and the clock pointer convert only to their own
  //   type; a null by-reference pointer gives E_POINTER (a null clock is a
  //   valid "no clock");
  // - an empty value converts to nothing (DISP_E_TYPEMISMATCH).
  // `out` is left untouched on failure.
  HRESULT ChangeType(VARTYPE target, Variant& out) const;

  bool operator==(const Variant&) const = default;

  // For messages: "I4 3", "BSTR \"x\"", "BYREF|R8".
  std::string Describe() const;

 private:
  std::variant<std::monostate, std::int16_t, std::int32_t, std::int64_t, std::uint8_t, std::uint16_t, std::uint32_t,
               float, double, bool, std::string, std::int32_t*, double*, std::string*, std::uint8_t*, Clock*>
      value_;
};

// The type code of a C++ type as the dispatch tables and the caller helper
// use it: std::int16_t -> VT_I2, double* -> VT_BYREF|VT_R8, void -> VT_EMPTY.
// Text may be std::string, std::string_view or const std::string&.
template <class T>
struct VarTypeOf;
template <>
struct VarTypeOf<void> {
  static constexpr VARTYPE value = VT_EMPTY;
};
template <>
struct VarTypeOf<std::int16_t> {
  static constexpr VARTYPE value = VT_I2;
};
template <>
struct VarTypeOf<std::int32_t> {
  static constexpr VARTYPE value = VT_I4;
};
template <>
struct VarTypeOf<std::int64_t> {
  static constexpr VARTYPE value = VT_I8;
};
template <>
struct VarTypeOf<std::uint8_t> {
  static constexpr VARTYPE value = VT_UI1;
};
template <>
struct VarTypeOf<std::uint16_t> {
  static constexpr VARTYPE value = VT_UI2;
};
template <>
struct VarTypeOf<std::uint32_t> {
  static constexpr VARTYPE value = VT_UI4;
};
template <>
struct VarTypeOf<float> {
  static constexpr VARTYPE value = VT_R4;
};
template <>
struct VarTypeOf<double> {
  static constexpr VARTYPE value = VT_R8;
};
template <>
struct VarTypeOf<bool> {
  static constexpr VARTYPE value = VT_BOOL;
};
template <>
struct VarTypeOf<std::string> {
  static constexpr VARTYPE value = VT_BSTR;
};
template <>
struct VarTypeOf<std::string_view> {
  static constexpr VARTYPE value = VT_BSTR;
};
template <>
struct VarTypeOf<std::int32_t*> {
  static constexpr VARTYPE value = VT_BYREF | VT_I4;
};
template <>
struct VarTypeOf<double*> {
  static constexpr VARTYPE value = VT_BYREF | VT_R8;
};
template <>
struct VarTypeOf<std::string*> {
  static constexpr VARTYPE value = VT_BYREF | VT_BSTR;
};
template <>
struct VarTypeOf<std::uint8_t*> {
  static constexpr VARTYPE value = VT_BYREF | VT_UI1;
};
template <>
struct VarTypeOf<ORV::RelativeTime::Interface*> {
  static constexpr VARTYPE value = VT_CLOCK;
};

template <class T>
inline constexpr VARTYPE kVarType = VarTypeOf<std::remove_cvref_t<T>>::value;

// The C++ value of a variant that holds exactly kVarType<T> (after
// ChangeType). std::string_view parameters view the variant's text.
template <class T>
decltype(auto) ValueAs(const Variant& v) {
  using U = std::remove_cvref_t<T>;
  if constexpr (std::is_same_v<U, std::string_view>) {
    return std::string_view(v.Get<std::string>());
  } else {
    return v.Get<U>();
  }
}

}  // namespace ORV::Com
