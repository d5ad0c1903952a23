#include "platform/com/control_loader.h"

#include <dlfcn.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <mutex>

#include "core/base/event_log.h"
#include "platform/os/folders.h"
#include "platform/os/registry_store.h"

namespace fs = std::filesystem;

namespace ORV::Com {

// One loaded library, shared by its live controls.
class ControlLibrary {
 public:
  ControlLibrary(std::string path, void* handle) : path_(std::move(path)), handle_(handle) {}
  ~ControlLibrary() {
    // A library that still has work of its own running stays loaded for the
    // rest of the process rather than being pulled from under it.
    if (canUnloadNow_ && !canUnloadNow_()) {
      LogWarning("Control library " + path_ + " cannot be unloaded now; it stays loaded");
      return;
    }
    dlclose(handle_);
  }
  ControlLibrary(const ControlLibrary&) = delete;
  ControlLibrary& operator=(const ControlLibrary&) = delete;

  const std::string& path() const { return path_; }

  // Loads (or shares the already loaded) library and checks its entry points.
  static HRESULT Load(const std::string& path, std::shared_ptr<ControlLibrary>& out);

  CreateControlFn create = nullptr;
  RegisterServerFn registerServer = nullptr;
  RegisterServerFn unregisterServer = nullptr;

 private:
  std::string path_;
  void* handle_;
  CanUnloadNowFn canUnloadNow_ = nullptr;
};

namespace {

std::mutex g_librariesMutex;
std::map<std::string, std::weak_ptr<ControlLibrary>>& Libraries() {
  static std::map<std::string, std::weak_ptr<ControlLibrary>> libraries;
  return libraries;
}

std::string Canonical(const std::string& path) {
  std::error_code ec;
  fs::path p = fs::weakly_canonical(fs::absolute(path, ec), ec);
  return ec ? path : p.string();
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
  });
}

// Drops a reference to a library; the last one unloads it, under the lock so
// that no Load picks it up while it goes.
void Release(std::shared_ptr<ControlLibrary>& library) {
  if (!library) return;
  std::lock_guard lock(g_librariesMutex);
  library.reset();
}

bool ValidProgId(std::string_view progId) {
  return !progId.empty() && progId.find('\\') == std::string_view::npos && progId.find('\0') == std::string_view::npos;
}

// Each change is written to the store's file at once, so that a store that
// cannot be written fails the step that wrote to it.
class StoreRegistrar final : public Registrar {
 public:
  StoreRegistrar(OS::RegistryStore& store, std::string path) : store_(store), path_(std::move(path)) {}
  HRESULT AddTypeLibrary(const TypeLibrary& typeLibrary) override {
    if (!ValidTypeLibrary(typeLibrary)) return E_INVALIDARG;
    return store_.SetValue(PathKey(typeLibrary), "", OS::RegValue::MakeString(path_)) ? S_OK : E_FAIL;
  }
  HRESULT RemoveTypeLibrary(const TypeLibrary& typeLibrary) override {
    if (!ValidTypeLibrary(typeLibrary)) return E_INVALIDARG;
    const std::string registered = store_.GetString(PathKey(typeLibrary), "", "");
    if (registered.empty() || Canonical(registered) != path_) return S_OK;
    if (!store_.DeleteTree(VersionKey(typeLibrary))) return E_FAIL;
    const std::string libKey = LibKey(typeLibrary);
    if (store_.SubKeyNames(libKey).empty() && !store_.DeleteTree(libKey)) return E_FAIL;
    return S_OK;
  }
  HRESULT AddClass(const char* progId) override {
    if (!progId || !ValidProgId(progId)) return E_INVALIDARG;
    return store_.SetValue(ControlFactory::RegistrationKey(progId), "", OS::RegValue::MakeString(path_)) ? S_OK
                                                                                                         : E_FAIL;
  }
  HRESULT RemoveClass(const char* progId) override {
    if (!progId || !ValidProgId(progId)) return E_INVALIDARG;
    const std::string key = ControlFactory::RegistrationKey(progId);
    // Only this library's entry: unregistering a stale copy keeps the live one.
    if (Canonical(store_.GetString(key, "", "")) != path_) return S_OK;
    return store_.DeleteTree(std::string(OS::kClassesRoot) + "\\" + progId) ? S_OK : E_FAIL;
  }

 private:
  static bool ValidTypeLibrary(const TypeLibrary& t) { return t.libId && ValidProgId(t.libId); }
  static std::string LibKey(const TypeLibrary& t) { return ControlFactory::TypeLibraryKey(t.libId); }
  static std::string VersionKey(const TypeLibrary& t) {
    return LibKey(t) + "\\" + std::to_string(t.major) + "." + std::to_string(t.minor);
  }
  // The library's file, for the neutral locale.
  static std::string PathKey(const TypeLibrary& t) { return VersionKey(t) + "\\0\\linux"; }

  OS::RegistryStore& store_;
  std::string path_;
};

}  // namespace

HRESULT ControlLibrary::Load(const std::string& path, std::shared_ptr<ControlLibrary>& out) {
  const std::string canonical = Canonical(path);
  std::lock_guard lock(g_librariesMutex);
  auto& libraries = Libraries();
  if (auto it = libraries.find(canonical); it != libraries.end()) {
    if (auto existing = it->second.lock()) {
      out = std::move(existing);
      return S_OK;
    }
  }
  void* handle = dlopen(canonical.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* why = dlerror();
    LogWarning("Control library " + canonical + " cannot be loaded: " + (why ? why : "unknown error"));
    return CO_E_DLLNOTFOUND;
  }
  auto version = reinterpret_cast<AbiVersionFn>(dlsym(handle, kAbiVersionEntry));
  auto lib = std::make_shared<ControlLibrary>(canonical, handle);
  lib->create = reinterpret_cast<CreateControlFn>(dlsym(handle, kCreateControlEntry));
  lib->registerServer = reinterpret_cast<RegisterServerFn>(dlsym(handle, kRegisterServerEntry));
  lib->unregisterServer = reinterpret_cast<RegisterServerFn>(dlsym(handle, kUnregisterServerEntry));
  lib->canUnloadNow_ = reinterpret_cast<CanUnloadNowFn>(dlsym(handle, kCanUnloadNowEntry));
  if (!version || !lib->create || !lib->registerServer || !lib->unregisterServer || !lib->canUnloadNow_) {
    LogWarning("Control library " + canonical + " lacks an entry point");
    return CO_E_ERRORINDLL;  // lib's destructor unloads it
  }
  if (const std::int32_t v = version(); v != kControlAbiVersion) {
    LogWarning("Control library " + canonical + " has ABI version " + std::to_string(v) + ", expected " +
               std::to_string(kControlAbiVersion));
    return CO_E_ERRORINDLL;
  }
  libraries[canonical] = lib;
  out = std::move(lib);
  return S_OK;
}

ControlPtr::ControlPtr(ControlPtr&& o) noexcept
    : control_(std::exchange(o.control_, nullptr)), library_(std::move(o.library_)) {}

ControlPtr& ControlPtr::operator=(ControlPtr&& o) noexcept {
  if (this != &o) {
    reset();
    control_ = std::exchange(o.control_, nullptr);
    library_ = std::move(o.library_);
  }
  return *this;
}

void ControlPtr::reset() {
  delete std::exchange(control_, nullptr);  // the control's own code, in its library
  Release(library_);
}

ControlFactory::ControlFactory() : ControlFactory(OS::RegistryStore::User(), DefaultLibraryFolders()) {}

ControlFactory::ControlFactory(OS::RegistryStore& store, std::vector<std::string> libraryFolders)
    : store_(store), folders_(std::move(libraryFolders)) {}

std::vector<std::string> ControlFactory::DefaultLibraryFolders() {
  const std::string program = OS::ProgramDir();
  if (program.empty()) return {};
  return {program + "/../lib/tarvix5", program};
}

std::string ControlFactory::RegistrationKey(std::string_view progId) {
  return std::string(OS::kClassesRoot) + "\\" + std::string(progId) + "\\InprocServer32";
}

std::string ControlFactory::TypeLibraryKey(std::string_view libId) {
  return std::string(OS::kClassesRoot) + "\\TypeLib\\" + std::string(libId);
}

std::string ControlFactory::FindLibrary(std::string_view progId) const {
  if (!ValidProgId(progId)) return {};
  std::string registered = store_.GetString(RegistrationKey(progId), "", "");
  if (!registered.empty()) return registered;
  return FindInFolders(progId);
}

std::string ControlFactory::FindInFolders(std::string_view progId) const {
  const std::string wanted = "lib" + std::string(progId.substr(0, progId.find('.'))) + ".so";
  for (const std::string& folder : folders_) {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
      if (EqualsNoCase(it->path().filename().string(), wanted) && it->is_regular_file(ec)) return it->path().string();
    }
  }
  return {};
}

HRESULT ControlFactory::RegisterFromFolders(std::span<const std::string_view> progIds) const {
  HRESULT first = S_OK;
  for (const std::string_view progId : progIds) {
    if (!ValidProgId(progId)) {
      if (first == S_OK) first = E_INVALIDARG;
      continue;
    }
    const std::string registered = store_.GetString(RegistrationKey(progId), "", "");
    const std::string library = FindInFolders(progId);
    std::error_code ec;
    if (!registered.empty() && fs::is_regular_file(registered, ec) &&
        (library.empty() || Canonical(library) == Canonical(registered))) {
      continue;
    }
    HRESULT hr = library.empty() ? REGDB_E_CLASSNOTREG : RegisterLibrary(library);
    // The library must also have registered this ProgID.
    if (Succeeded(hr) && store_.GetString(RegistrationKey(progId), "", "").empty()) hr = REGDB_E_CLASSNOTREG;
    if (Failed(hr) && first == S_OK) first = hr;
  }
  return first;
}

HRESULT ControlFactory::Create(std::string_view progId, const CreateParams& params, ControlPtr& out) const {
  out.reset();
  const std::string path = FindLibrary(progId);
  if (path.empty()) return REGDB_E_CLASSNOTREG;
  std::shared_ptr<ControlLibrary> library;
  if (HRESULT hr = ControlLibrary::Load(path, library); Failed(hr)) return hr;
  Control* control = nullptr;
  const std::string id(progId);
  const HRESULT hr = library->create(id.c_str(), &params, &control);
  if (Failed(hr) || !control) {
    Release(library);
    return Failed(hr) ? hr : E_FAIL;
  }
  out.control_ = control;
  out.library_ = std::move(library);
  return S_OK;
}

HRESULT ControlFactory::RegisterLibrary(const std::string& libraryPath) const {
  return RunRegistration(libraryPath, true);
}

HRESULT ControlFactory::UnregisterLibrary(const std::string& libraryPath) const {
  return RunRegistration(libraryPath, false);
}

HRESULT ControlFactory::RunRegistration(const std::string& libraryPath, bool add) const {
  std::shared_ptr<ControlLibrary> library;
  if (HRESULT hr = ControlLibrary::Load(libraryPath, library); Failed(hr)) return hr;
  StoreRegistrar registrar(store_, library->path());
  const HRESULT hr = (add ? library->registerServer : library->unregisterServer)(&registrar);
  Release(library);
  return hr;
}

bool IsLibraryLoaded(const std::string& path) {
  void* handle = dlopen(Canonical(path).c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD);
  if (!handle) return false;
  dlclose(handle);
  return true;
}

}  // namespace ORV::Com
