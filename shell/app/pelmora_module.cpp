#include "shell/app/pelmora_module.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "platform/os/registry_store.h"
#include "shell/app/restart.h"

namespace ORV::Shell {
namespace {

const std::string kClassesRoot = OS::kClassesRoot;
const std::string kAppIdKey = kClassesRoot + "\\AppID\\" + kAppIdGuid;
const std::string kProgramAppIdKey = kClassesRoot + "\\AppID\\tarvix5";
const std::string kTypeLibKey = kClassesRoot + "\\TypeLib\\" + kTypeLibGuid;

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

bool CPelmoraModule::RegisterAppId(OS::RegistryStore& store) {
  OS::RegistryStore::Batch batch(store);
  return store.SetValue(kAppIdKey, "", OS::RegValue::MakeString(kAppIdName)) &&
         store.SetValue(kProgramAppIdKey, "AppID", OS::RegValue::MakeString(kAppIdGuid));
}

bool CPelmoraModule::UnregisterAppId(OS::RegistryStore& store) {
  OS::RegistryStore::Batch batch(store);
  const bool removed = store.DeleteTree(kAppIdKey);
  store.DeleteTree(kProgramAppIdKey);
  return removed;
}

bool CPelmoraModule::RegisterTypeLib(OS::RegistryStore& store) {
  return store.SetValue(kTypeLibKey + "\\" + kTypeLibVersion, "", OS::RegValue::MakeString("Tarvix 5 Type Library"));
}

bool CPelmoraModule::UnregisterTypeLib(OS::RegistryStore& store) { return store.DeleteTree(kTypeLibKey); }

namespace {

// The request of a switch's name; FileNothing for a name that is none.
ShellCommand SwitchRequest(std::string_view name) {
  if (EqualsNoCase(name, "RegServer") || EqualsNoCase(name, "Register")) return ShellCommand::AppRegister;
  if (EqualsNoCase(name, "UnregServer") || EqualsNoCase(name, "Unregister")) return ShellCommand::AppUnregister;
  if (EqualsNoCase(name, "Embedding")) return ShellCommand::Embedded;
  if (EqualsNoCase(name, "Automation")) return ShellCommand::Automation;
  return ShellCommand::FileNothing;
}

// "-name" and "--name" are switches; "/name" is one only when the name is a
// switch's, for "/" begins every absolute path ("/x.tvx" is a file at the
// root).
bool IsFileArgument(const std::string& arg) {
  if (arg.empty() || arg.find(kRestartSwitch) != std::string::npos) return false;
  if (arg[0] == '-') return false;
  return arg[0] != '/' || SwitchRequest(std::string_view(arg).substr(1)) == ShellCommand::FileNothing;
}

}  // namespace

std::vector<std::string> ShellFiles(const std::vector<std::string>& args) {
  std::vector<std::string> files;
  for (const std::string& arg : args) {
    if (IsFileArgument(arg)) files.push_back(arg);
  }
  return files;
}

ShellCommand ParseShellCommand(const std::vector<std::string>& args) {
  ShellCommand command = ShellCommand::FileNothing;
  for (const std::string& arg : args) {
    if (arg.empty() || arg.find(kRestartSwitch) != std::string::npos) continue;
    if (IsFileArgument(arg)) {
      if (command == ShellCommand::FileNothing) command = ShellCommand::FileOpen;
      continue;
    }
    const std::string_view name = std::string_view(arg).substr(arg.size() > 1 && arg[1] == '-' ? 2 : 1);
    if (const ShellCommand request = SwitchRequest(name); request != ShellCommand::FileNothing) return request;
  }
  return command;
}

}  // namespace ORV::Shell
