#include "platform/com/variant.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace ORV::Com {

namespace {

// Type codes in the order of the alternatives of Variant's storage.
constexpr VARTYPE kCodes[] = {VT_EMPTY,
                              VT_I2,
                              VT_I4,
                              VT_I8,
                              VT_UI1,
                              VT_UI2,
                              VT_UI4,
                              VT_R4,
                              VT_R8,
                              VT_BOOL,
                              VT_BSTR,
                              VT_BYREF | VT_I4,
                              VT_BYREF | VT_R8,
                              VT_BYREF | VT_BSTR,
                              VT_BYREF | VT_UI1,
                              VT_CLOCK};

bool IsNumeric(VARTYPE vt) {
  switch (vt) {
    case VT_I2:
    case VT_I4:
    case VT_I8:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_R4:
    case VT_R8:
    case VT_BOOL:
      return true;
    default:
      return false;
  }
}

// Integer targets from an integer source: range-checked.
template <class To>
HRESULT FromInteger(std::int64_t v, bool sourceUnsigned, std::uint64_t uv, Variant& out) {
  if (sourceUnsigned) {
    if (uv > static_cast<std::uint64_t>(std::numeric_limits<To>::max())) return DISP_E_OVERFLOW;
    out = Variant(static_cast<To>(uv));
    return S_OK;
  }
  if (v < static_cast<std::int64_t>(std::numeric_limits<To>::min())) return DISP_E_OVERFLOW;
  if (v > 0 && static_cast<std::uint64_t>(v) > static_cast<std::uint64_t>(std::numeric_limits<To>::max()))
    return DISP_E_OVERFLOW;
  out = Variant(static_cast<To>(v));
  return S_OK;
}

// Integer targets from a floating value: rounded half to even, range-checked.
template <class To>
HRESULT FromFloating(double d, Variant& out) {
  if (!std::isfinite(d)) return DISP_E_OVERFLOW;
  const double r = std::nearbyint(d);  // the default rounding mode rounds half to even
  // The bounds as doubles: min is exact; max+1 is a power of two and exact.
  const double lo = static_cast<double>(std::numeric_limits<To>::min());
  const double hiExclusive = static_cast<double>(std::numeric_limits<To>::max()) + 1.0;
  if (r < lo || r >= hiExclusive) return DISP_E_OVERFLOW;
  out = Variant(static_cast<To>(r));
  return S_OK;
}

}  // namespace

std::string VarTypeName(VARTYPE vt) {
  std::string prefix = (vt & VT_BYREF) ? "BYREF|" : "";
  switch (vt & ~VT_BYREF) {
    case VT_EMPTY:
      return prefix + "EMPTY";
    case VT_I2:
      return prefix + "I2";
    case VT_I4:
      return prefix + "I4";
    case VT_R4:
      return prefix + "R4";
    case VT_R8:
      return prefix + "R8";
    case VT_BSTR:
      return prefix + "BSTR";
    case VT_BOOL:
      return prefix + "BOOL";
    case VT_CLOCK:
      return prefix + "CLOCK";
    case VT_UI1:
      return prefix + "UI1";
    case VT_UI2:
      return prefix + "UI2";
    case VT_UI4:
      return prefix + "UI4";
    case VT_I8:
      return prefix + "I8";
    default:
      return prefix + "VT(" + std::to_string(vt & ~VT_BYREF) + ")";
  }
}

VARTYPE Variant::vt() const { return kCodes[value_.index()]; }

HRESULT Variant::ChangeType(VARTYPE target, Variant& out) const {
  const VARTYPE from = vt();
  if (from == VT_EMPTY) return DISP_E_TYPEMISMATCH;
  if (from & VT_BYREF) {
    if (from != target) return DISP_E_TYPEMISMATCH;
    const bool null = std::visit(
        [](const auto& v) {
          if constexpr (std::is_pointer_v<std::decay_t<decltype(v)>>) return v == nullptr;
          return false;
        },
        value_);
    if (null) return E_POINTER;
    out = *this;
    return S_OK;
  }
  if (from == VT_BSTR || from == VT_CLOCK || target == VT_BSTR || target == VT_CLOCK) {
    if (from != target) return DISP_E_TYPEMISMATCH;
    out = *this;
    return S_OK;
  }
  if (!IsNumeric(from) || !IsNumeric(target)) return DISP_E_TYPEMISMATCH;
  if (from == target) {
    out = *this;
    return S_OK;
  }

  // Read the source as an integer or a double.
  bool floating = false, isUnsigned = false;
  double d = 0;
  std::int64_t i = 0;
  std::uint64_t u = 0;
  std::visit(
      [&](const auto& v) {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, float> || std::is_same_v<T, double>) {
          floating = true;
          d = v;
        } else if constexpr (std::is_same_v<T, bool>) {
          i = v ? 1 : 0;
        } else if constexpr (std::is_integral_v<T> && std::is_unsigned_v<T>) {
          isUnsigned = true;
          u = v;
          d = static_cast<double>(v);
        } else if constexpr (std::is_integral_v<T>) {
          i = v;
          d = static_cast<double>(v);
        }
      },
      value_);
  if (!floating && !isUnsigned) d = static_cast<double>(i);

  switch (target) {
    case VT_BOOL:
      out = Variant(floating ? d != 0.0 : (isUnsigned ? u != 0 : i != 0));
      return S_OK;
    case VT_R8:
      out = Variant(d);
      return S_OK;
    case VT_R4: {
      if (floating && std::isfinite(d) && std::fabs(d) > std::numeric_limits<float>::max()) return DISP_E_OVERFLOW;
      out = Variant(static_cast<float>(d));
      return S_OK;
    }
    default:
      break;
  }
  auto convert = [&]<class To>(To*) {
    return floating ? FromFloating<To>(d, out) : FromInteger<To>(i, isUnsigned, u, out);
  };
  switch (target) {
    case VT_I2:
      return convert(static_cast<std::int16_t*>(nullptr));
    case VT_I4:
      return convert(static_cast<std::int32_t*>(nullptr));
    case VT_I8:
      return convert(static_cast<std::int64_t*>(nullptr));
    case VT_UI1:
      return convert(static_cast<std::uint8_t*>(nullptr));
    case VT_UI2:
      return convert(static_cast<std::uint16_t*>(nullptr));
    case VT_UI4:
      return convert(static_cast<std::uint32_t*>(nullptr));
    default:
      return DISP_E_TYPEMISMATCH;
  }
}

std::string Variant::Describe() const {
  std::string text = VarTypeName(vt());
  std::visit(
      [&](const auto& v) {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::string>) {
          text += " \"" + v + "\"";
        } else if constexpr (std::is_same_v<T, bool>) {
          text += v ? " TRUE" : " FALSE";
        } else if constexpr (std::is_floating_point_v<T>) {
          char buf[32];
          std::snprintf(buf, sizeof buf, " %.17g", static_cast<double>(v));
          text += buf;
        } else if constexpr (std::is_integral_v<T>) {
          text += ' ';
          text += std::to_string(v);
        }
      },
      value_);
  return text;
}

}  // namespace ORV::Com
