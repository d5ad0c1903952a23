#include "platform/com/control.h"

#include <cstring>
#include <new>

#include "core/base/dpi.h"
#include "core/base/event_log.h"
#include "platform/os/stand_in_devices.h"

namespace ORV::Com {

namespace {

// Each control library links its own copy of this file, so this counts the
// controls of that library.
std::atomic<int> g_liveControls{0};

}  // namespace

ControlBase::ControlBase() { g_liveControls.fetch_add(1, std::memory_order_relaxed); }
ControlBase::~ControlBase() { g_liveControls.fetch_sub(1, std::memory_order_relaxed); }

int ModuleLiveControls() { return g_liveControls.load(std::memory_order_relaxed); }

namespace {
std::atomic<bool (*)()> g_busyCheck{nullptr};
}  // namespace

void SetModuleBusyCheck(bool (*busy)()) { g_busyCheck.store(busy); }

bool ModuleBusy() {
  bool (*busy)() = g_busyCheck.load();
  return busy != nullptr && busy();
}

HRESULT ModuleCreate(std::span<const ControlClass> classes, const char* progId, const CreateParams* params,
                     Control** out) {
  if (!out || !progId) return E_POINTER;
  *out = nullptr;
  EnsureLibraryEventLog();
  // Sizes in this library scale with the host's DPI, not with the default
  // its own copy of the provider would answer (unless host and library
  // share one copy).
  if (params && params->hostDpi && params->hostDpi != &QueryDpi) SetDpiProvider(params->hostDpi);
  if (params && params->standIns) OS::OfferStandInDevices(params->standIns);
  for (const ControlClass& c : classes) {
    if (std::strcmp(c.progId, progId) != 0) continue;
    try {
      *out = c.create(params ? *params : CreateParams{});
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    } catch (...) {
      return E_FAIL;
    }
    return *out ? S_OK : E_FAIL;
  }
  return REGDB_E_CLASSNOTREG;
}

HRESULT ModuleRegister(const TypeLibrary* typeLibrary, std::span<const ControlClass> classes, Registrar* registrar) {
  if (!registrar) return E_POINTER;
  if (typeLibrary && Failed(registrar->AddTypeLibrary(*typeLibrary))) return SELFREG_E_TYPELIB;
  for (const ControlClass& c : classes)
    if (Failed(registrar->AddClass(c.progId))) return SELFREG_E_CLASS;
  return S_OK;
}

HRESULT ModuleUnregister(const TypeLibrary* typeLibrary, std::span<const ControlClass> classes, Registrar* registrar) {
  if (!registrar) return E_POINTER;
  if (typeLibrary && Failed(registrar->RemoveTypeLibrary(*typeLibrary))) return SELFREG_E_TYPELIB;
  HRESULT result = S_OK;
  for (const ControlClass& c : classes)
    if (Failed(registrar->RemoveClass(c.progId))) result = SELFREG_E_CLASS;
  return result;
}

}  // namespace ORV::Com
