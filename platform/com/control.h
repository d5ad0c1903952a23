#pragma once
// Controls: objects in a control library that a host creates by ProgID, as
// a child window of one of its own, drives by DISPID and listens to.
//
// Writing a control (inside its shared library):
//
//   class GraphControl final : public ControlImpl<GraphControl> {
//    public:
//     explicit GraphControl(const CreateParams& p);   // builds its widget under p.parent,
//                                                     // keeps p.parentMessages for its posts
//     static const DispatchTable<GraphControl>& Table();   // see dispatch.h
//     ...  Fire(kEventCursorPosition, x, y);             // events, on the calling thread
//   };
//
//   // in one source file of the library:
//   const ORV::Com::ControlClass kClasses[] = {
//       {"ORVGRAPH3.ORVGraph3Control.1", &ORV::Com::CreateControlOf<GraphControl>},
//   };
//   const ORV::Com::TypeLibrary kTypeLibrary{"{...the library's fixed id...}", 1, 0};
//   ORV_CONTROL_MODULE_WITH_TYPES(kClasses, kTypeLibrary)   // or ORV_CONTROL_MODULE(kClasses)
//
// and the library is built with orv_control_library() (cmake/OrvHelpers.cmake).
// ORV_CONTROL_MODULE defines the library's C entry points: its ABI version,
// the factory, registration, unregistration and "can unload now" (true while
// no control of the library lives).
//
// Registration writes the library's type information first, then its
// classes, and answers S_OK, SELFREG_E_TYPELIB when the type information
// could not be written, or SELFREG_E_CLASS when a class could not;
// unregistration removes them in the same order with the same codes.
//
// Using a control (in a host): control_loader.h creates it by ProgID; the
// Qt side (parent handle, the control's widget) is platform/ui/control_host.h.
#include <atomic>
#include <cstdint>
#include <memory>
#include <span>

#include "platform/com/dispatch.h"
#include "platform/com/events.h"
#include "platform/os/message_target.h"

namespace ORV::OS {
class StandInDevices;
}  // namespace ORV::OS

namespace ORV::Com {

// Raised whenever the layout of anything crossing the library boundary
// changes (these classes, Variant, the entry points). A library built for
// another version is refused, so a stale library on the path cannot be called.
inline constexpr std::int32_t kControlAbiVersion = 4;

// How a host asks for a control.
struct CreateParams {
  // The host's window, opaque here: a QWidget* in the Qt program
  // (platform/ui/control_host.h converts both ways); null for no window.
  void* parent = nullptr;
  // The child id the host gives the control's window.
  std::int32_t childId = 0;
  // Where the control posts its notifications to the host (window messages
  // such as the graph's axis-wheel message): the host window's message
  // target, or null when the host takes none. Posts from any thread.
  std::shared_ptr<OS::MessageTarget> parentMessages;
  // The host's DPI (the DPI its sizes are scaled with), or null for the
  // screen's. A library has its own copy of the process's DPI provider,
  // which nothing else sets: creating a control installs this there.
  int (*hostDpi)() = nullptr;
  // The devices standing in for hardware that the host was handed
  // (OS::OfferedStandInDevices()), or null: creating a control hands them to
  // the library's own copy of the device lists, so the library's cameras
  // watch what the host's instruments drive. A control that opens cameras
  // offers their cameras through its own camera tables.
  OS::StandInDevices* standIns = nullptr;
};

class Control : public IDispatch {
 public:
  // Destroys the control and its window.
  ~Control() override = default;
  // Connects an event sink; a cookie for Unadvise (0 for a null sink). The
  // link, when given, lets the host disconnect safely after the control is
  // destroyed (events.h).
  virtual std::uint32_t Advise(IDispatch* sink, std::shared_ptr<ConnectionLink> link = nullptr) = 0;
  virtual bool Unadvise(std::uint32_t cookie) = 0;
  // The control's window, opaque (a QWidget*), or null when it has none.
  virtual void* Window() const = 0;
};

// The common part of a control: its events and its share in the library's
// count of live controls.
class ControlBase : public Control {
 public:
  ControlBase();
  ~ControlBase() override;
  std::uint32_t Advise(IDispatch* sink, std::shared_ptr<ConnectionLink> link = nullptr) override {
    return events_.Advise(sink, std::move(link));
  }
  bool Unadvise(std::uint32_t cookie) override { return events_.Unadvise(cookie); }
  void* Window() const override { return window_; }

 protected:
  template <class... A>
  void Fire(DISPID dispid, A&&... args) {
    events_.Fire(dispid, std::forward<A>(args)...);
  }
  void SetWindow(void* window) { window_ = window; }
  ConnectionPoint& Events() { return events_; }

 private:
  ConnectionPoint events_;
  void* window_ = nullptr;
};

// Invoke through the derived class's static Table().
template <class Derived>
class ControlImpl : public ControlBase {
 public:
  HRESULT Invoke(DISPID dispid, unsigned kind, std::span<const Variant> args, Variant* result) override {
    return Derived::Table().Invoke(static_cast<Derived&>(*this), dispid, kind, args, result);
  }
};

// Connects a sink for the lifetime of this object. The control may be
// destroyed first: the connection then ends with it, and this object's own
// end does nothing.
class SinkConnection {
 public:
  SinkConnection() = default;
  SinkConnection(Control& control, IDispatch* sink) : link_(std::make_shared<ConnectionLink>()) {
    control.Advise(sink, link_);
  }
  ~SinkConnection() { Reset(); }
  SinkConnection(SinkConnection&& o) noexcept = default;
  SinkConnection& operator=(SinkConnection&& o) noexcept {
    if (this != &o) {
      Reset();
      link_ = std::move(o.link_);
    }
    return *this;
  }
  void Reset() {
    if (link_) link_->Disconnect();
    link_.reset();
  }
  // True while the sink is connected (false once the control is destroyed).
  bool Connected() const { return link_ && link_->Connected(); }

 private:
  std::shared_ptr<ConnectionLink> link_;
};

// ---- The library side of loading ----

// The type information of a library's controls: its fixed identifier and
// its version.
struct TypeLibrary {
  const char* libId;
  std::uint16_t major;
  std::uint16_t minor;
};

// Writes and removes the registration of a library's type information and
// of its classes; the host implements it (it knows the registry store and
// the library's path). Removing what is not registered succeeds.
class Registrar {
 public:
  virtual ~Registrar() = default;
  virtual HRESULT AddTypeLibrary(const TypeLibrary& typeLibrary) = 0;
  virtual HRESULT RemoveTypeLibrary(const TypeLibrary& typeLibrary) = 0;
  virtual HRESULT AddClass(const char* progId) = 0;
  virtual HRESULT RemoveClass(const char* progId) = 0;
};

struct ControlClass {
  const char* progId;
  // Creates the control; null on failure (the factory reports E_FAIL).
  Control* (*create)(const CreateParams& params);
};

template <class C>
Control* CreateControlOf(const CreateParams& params) {
  return new C(params);
}

// The number of live controls of this library (ControlBase counts them).
int ModuleLiveControls();
// A module whose code may still run on threads of its own once its last
// control has gone (a worker pool's lingering workers) says how to tell;
// the loader keeps it loaded while the check answers true.
void SetModuleBusyCheck(bool (*busy)());
bool ModuleBusy();
HRESULT ModuleCreate(std::span<const ControlClass> classes, const char* progId, const CreateParams* params,
                     Control** out);
// The type library (null for none), then every class.
HRESULT ModuleRegister(const TypeLibrary* typeLibrary, std::span<const ControlClass> classes, Registrar* registrar);
HRESULT ModuleUnregister(const TypeLibrary* typeLibrary, std::span<const ControlClass> classes, Registrar* registrar);

// The entry points, as the loader looks them up.
using AbiVersionFn = std::int32_t (*)();
using CreateControlFn = HRESULT (*)(const char* progId, const CreateParams* params, Control** out);
using RegisterServerFn = HRESULT (*)(Registrar* registrar);
using CanUnloadNowFn = std::int32_t (*)();
inline constexpr const char* kAbiVersionEntry = "orv_abi_version";
inline constexpr const char* kCreateControlEntry = "orv_create_control";
inline constexpr const char* kRegisterServerEntry = "orv_register_server";
inline constexpr const char* kUnregisterServerEntry = "orv_unregister_server";
inline constexpr const char* kCanUnloadNowEntry = "orv_can_unload_now";

}  // namespace ORV::Com

#define ORV_CONTROL_EXPORT extern "C" __attribute__((visibility("default")))

// Defines the entry points of a control library serving `classes` (an array
// of ORV::Com::ControlClass) with no type information of its own.
#define ORV_CONTROL_MODULE(classes) ORV_CONTROL_MODULE_IMPL(classes, nullptr)
// The same for a library whose type information `typeLibrary` (an
// ORV::Com::TypeLibrary) is registered before its classes.
#define ORV_CONTROL_MODULE_WITH_TYPES(classes, typeLibrary) ORV_CONTROL_MODULE_IMPL(classes, &(typeLibrary))

#define ORV_CONTROL_MODULE_IMPL(classes, typeLibrary)                                                               \
  ORV_CONTROL_EXPORT std::int32_t orv_abi_version() { return ORV::Com::kControlAbiVersion; }                        \
  ORV_CONTROL_EXPORT ORV::Com::HRESULT orv_create_control(const char* progId, const ORV::Com::CreateParams* params, \
                                                          ORV::Com::Control** out) {                                \
    return ORV::Com::ModuleCreate(classes, progId, params, out);                                                    \
  }                                                                                                                 \
  ORV_CONTROL_EXPORT ORV::Com::HRESULT orv_register_server(ORV::Com::Registrar* registrar) {                        \
    return ORV::Com::ModuleRegister(typeLibrary, classes, registrar);                                               \
  }                                                                                                                 \
  ORV_CONTROL_EXPORT ORV::Com::HRESULT orv_unregister_server(ORV::Com::Registrar* registrar) {                      \
    return ORV::Com::ModuleUnregister(typeLibrary, classes, registrar);                                             \
  }                                                                                                                 \
  ORV_CONTROL_EXPORT std::int32_t orv_can_unload_now() {                                                            \
    return ORV::Com::ModuleLiveControls() == 0 && !ORV::Com::ModuleBusy();                                          \
  }
