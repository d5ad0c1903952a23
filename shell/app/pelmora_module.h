#pragma once
// The program's module object: it backs the program's AppID and type-library
// registration (kept in the settings store's class root) and counts the
// locks that keep the program alive for its clients. The program registers
// no classes of its own.
//
// Also the command line's requests, as the program understands them: the
// register and unregister switches, an embedded or automation start, and
// anything else, which opens nothing.
#include <string>
#include <vector>

namespace ORV::OS {
class RegistryStore;
}

namespace ORV::Shell {

inline constexpr const char* kAppIdName = "ORV.Pelmora.AppID.NoVersion";
inline constexpr const char* kAppIdGuid = "{5C2E8A31-7D44-4B0E-A6F9-3E81B27D9C60}";
inline constexpr const char* kTypeLibGuid = "{A3D05F7E-2C19-4E6B-8B57-91F4C0E2D7A8}";
inline constexpr const char* kTypeLibVersion = "5.5";

class CPelmoraModule {
 public:
  // The lock count after the change.
  long Lock() { return ++locks_; }
  long Unlock() { return locks_ > 0 ? --locks_ : 0; }
  long GetLockCount() const { return locks_; }

  // HKEY_CLASSES_ROOT\AppID\<guid> with the AppID's name, and the program's
  // name mapped to it.
  static bool RegisterAppId(OS::RegistryStore& store);
  static bool UnregisterAppId(OS::RegistryStore& store);
  // HKEY_CLASSES_ROOT\TypeLib\<libid>\<version>.
  static bool RegisterTypeLib(OS::RegistryStore& store);
  static bool UnregisterTypeLib(OS::RegistryStore& store);

 private:
  long locks_ = 0;
};

// What the command line asks for.
enum class ShellCommand { FileNothing, FileOpen, AppRegister, AppUnregister, Embedded, Automation };

// Switches start with "-" (or "/" for the names below) and compare
// case-insensitively: "RegServer" and "Register" register, "UnregServer" and
// "Unregister" unregister, "Embedding" and "Automation" are the embedded
// starts. A plain argument, or an absolute path (any "/..." that is not one
// of those names, "/x.tvx" among them), names a file. "--Restart" is no
// request.
ShellCommand ParseShellCommand(const std::vector<std::string>& args);
// The files the command line names, in their order.
std::vector<std::string> ShellFiles(const std::vector<std::string>& args);

}  // namespace ORV::Shell
