// A control library built for another ABI version: the loader must refuse it
// before calling anything but its version entry.
#include <cstdlib>

#include "platform/com/control.h"

using namespace ORV::Com;

ORV_CONTROL_EXPORT std::int32_t orv_abi_version() { return kControlAbiVersion + 1; }
ORV_CONTROL_EXPORT HRESULT orv_create_control(const char*, const CreateParams*, Control**) { std::abort(); }
ORV_CONTROL_EXPORT HRESULT orv_register_server(Registrar*) { std::abort(); }
ORV_CONTROL_EXPORT HRESULT orv_unregister_server(Registrar*) { std::abort(); }
ORV_CONTROL_EXPORT std::int32_t orv_can_unload_now() { return 1; }
