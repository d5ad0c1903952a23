// The plain functions the shared library exports under undecorated names.
#include "platform/os/installer_backend.h"
#include "updater/installation.h"

#define FRESHET_EXPORT extern "C" __attribute__((visibility("default")))

// The installer side: run by the installer program in the working folder.
FRESHET_EXPORT int Freshets_HandleInstaller() {
  ORV::OS::CommandPackageInstaller installer;
  return ORV::Freshet::HandleInstaller(installer, ".");
}
