#pragma once
// Result codes of the dispatch layer, with the numbers automation uses, and
// what a caller does with a failed call.
//
// Hosts never check the result of a call (the helper in caller.h does it for
// them): a failed call is reported through ReportDispatchFailure, which in the
// program writes the code to the event log and lets the caller go on with the
// result type's default, and in tests throws DispatchError so that a missing
// DISPID or a wrong argument type fails the test where it happens.
#include <cstdint>
#include <stdexcept>
#include <string>

namespace ORV::Com {

using HRESULT = std::int32_t;
using DISPID = std::int32_t;

inline constexpr HRESULT MakeHResult(std::uint32_t bits) { return static_cast<HRESULT>(bits); }

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_FAIL = MakeHResult(0x80004005);
inline constexpr HRESULT E_POINTER = MakeHResult(0x80004003);
inline constexpr HRESULT E_INVALIDARG = MakeHResult(0x80070057);
inline constexpr HRESULT E_OUTOFMEMORY = MakeHResult(0x8007000E);
// No member with this DISPID, or the member cannot be invoked in this way
// (a property called as a method, a put of a method).
inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = MakeHResult(0x80020003);
// An argument cannot be converted to the declared type.
inline constexpr HRESULT DISP_E_TYPEMISMATCH = MakeHResult(0x80020005);
// A number does not fit the declared type.
inline constexpr HRESULT DISP_E_OVERFLOW = MakeHResult(0x8002000A);
// Not as many arguments as the member declares.
inline constexpr HRESULT DISP_E_BADPARAMCOUNT = MakeHResult(0x8002000E);
// A put of a read-only property.
inline constexpr HRESULT CTL_E_SETNOTSUPPORTED = MakeHResult(0x800A017F);
// No control library is registered (or found) for the ProgID.
inline constexpr HRESULT REGDB_E_CLASSNOTREG = MakeHResult(0x80040154);
// The control library could not be loaded.
inline constexpr HRESULT CO_E_DLLNOTFOUND = MakeHResult(0x800401F8);
// The control library lacks an entry point or was built for another ABI version.
inline constexpr HRESULT CO_E_ERRORINDLL = MakeHResult(0x800401F9);
// Self-registration: the type information, or a class, could not be registered.
inline constexpr HRESULT SELFREG_E_TYPELIB = MakeHResult(0x80040200);
inline constexpr HRESULT SELFREG_E_CLASS = MakeHResult(0x80040201);

inline constexpr bool Succeeded(HRESULT hr) { return hr >= 0; }
inline constexpr bool Failed(HRESULT hr) { return hr < 0; }

// "0x80020003".
std::string HResultText(HRESULT hr);

// A failed dispatch call, thrown by the caller helper in strict mode.
class DispatchError : public std::runtime_error {
 public:
  DispatchError(HRESULT hr, DISPID dispid, const std::string& what);
  HRESULT hr() const { return hr_; }
  DISPID dispid() const { return dispid_; }

 private:
  HRESULT hr_;
  DISPID dispid_;
};

// Strict mode throws DispatchError for every failed call; otherwise the
// failure is written to the event log. Strict mode is on when the environment
// variable ORV_DISPATCH_STRICT is "1" at the first call (the test runner sets
// it for every suite), or after SetDispatchStrict(true).
bool DispatchStrict();
void SetDispatchStrict(bool strict);

// Reports a failed call of `dispid` in `context` ("Invoke", an event name...):
// throws DispatchError in strict mode, else logs it as an error event.
void ReportDispatchFailure(HRESULT hr, DISPID dispid, const char* context);

}  // namespace ORV::Com
