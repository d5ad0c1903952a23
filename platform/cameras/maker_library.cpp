#include "platform/cameras/maker_library.h"

#include <dlfcn.h>
#include <link.h>

#include <cstdlib>

#include "core/base/event_log.h"

namespace ORV::Cameras {

std::shared_ptr<SharedLibrary> SharedLibrary::Load(const std::string& file, std::string& error) {
  // Every symbol now: a library whose own dependencies are missing fails
  // here instead of ending the program at its first call.
  void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* why = dlerror();
    error = why != nullptr ? why : file + ": cannot be loaded";
    return nullptr;
  }
  std::string path = file;
  link_map* map = nullptr;
  if (dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && map != nullptr && map->l_name != nullptr && *map->l_name != '\0')
    path = map->l_name;
  return std::shared_ptr<SharedLibrary>(new SharedLibrary(handle, std::move(path)));
}

SharedLibrary::~SharedLibrary() { dlclose(handle_); }

void* SharedLibrary::Find(const char* name) const { return dlsym(handle_, name); }

namespace {

std::string Joined(const std::vector<std::string>& texts, const char* separator) {
  std::string joined;
  for (const std::string& text : texts) {
    if (!joined.empty()) joined += separator;
    joined += text;
  }
  return joined;
}

}  // namespace

BindOutcome BindMakerLibrary(const std::string& maker, const LibrarySearch& search,
                             const std::function<std::vector<std::string>(std::shared_ptr<SharedLibrary>)>& bind) {
  BindOutcome outcome;
  const std::string noCamera = "no " + maker + " camera can be found";

  std::vector<std::string> files = search.names;
  const char* named = search.environmentVariable.empty() ? nullptr : std::getenv(search.environmentVariable.c_str());
  const bool fromEnvironment = named != nullptr && *named != '\0';
  if (fromEnvironment) files = {named};

  std::shared_ptr<SharedLibrary> library;
  std::vector<std::string> errors;
  for (const std::string& file : files) {
    std::string error;
    library = SharedLibrary::Load(file, error);
    if (library) break;
    errors.push_back(error);
  }
  if (!library) {
    std::string where = fromEnvironment ? " named by " + search.environmentVariable : std::string();
    outcome.message = maker + " camera library" + where + " not loaded (" + Joined(errors, "; ") + "): " + noCamera;
    // Not finding a library nobody asked for is the usual case on a machine
    // without that maker's cameras; a file the user named is worth a warning.
    if (fromEnvironment)
      LogWarning(outcome.message);
    else
      LogInformation(outcome.message);
    return outcome;
  }

  outcome.library = library->path();
  outcome.missing = bind(library);
  outcome.bound = outcome.missing.empty();
  if (outcome.bound) {
    outcome.message = maker + " camera library loaded: " + outcome.library;
    LogInformation(outcome.message);
  } else {
    outcome.message = maker + " camera library " + outcome.library + " not used: it lacks " +
                      Joined(outcome.missing, ", ") + " (another version?); " + noCamera;
    LogWarning(outcome.message);
  }
  return outcome;
}

}  // namespace ORV::Cameras
