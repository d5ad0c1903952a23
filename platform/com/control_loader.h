#pragma once
// Registering control libraries and creating their controls by ProgID.
//
// Registration: RegisterLibrary loads a control library, checks its ABI
// version and lets it register its type information and its classes, as
//   HKEY_CLASSES_ROOT\TypeLib\<library id>\<major>.<minor>\0\linux   (default value) = library path
//   HKEY_CLASSES_ROOT\<ProgID>\InprocServer32                      (default value) = library path
// in the registry store, each written to the store's file as it is made.
// UnregisterLibrary removes the entries that point at that library. Both
// answer the library's codes (control.h): S_OK, SELFREG_E_TYPELIB,
// SELFREG_E_CLASS.
//
// Creation: the library of a ProgID is its registered path, else a file
// "lib<first part of the ProgID>.so" (compared without case, so
// "ORVGRAPH3.ORVGraph3Control.1" finds "libORVGraph3.so") in the program's
// library folders. It is loaded (RTLD_NOW | RTLD_LOCAL), its ABI version
// checked, and its factory called. A library is loaded once however many of
// its controls live, and is unloaded only when the last of them is destroyed
// and the library agrees (its "can unload now" entry).
//
//   ControlPtr graph;
//   HRESULT hr = ControlFactory().Create("ORVGRAPH3.ORVGraph3Control.1", {parentHandle, 34768}, graph);
//   Dispatcher(graph.get()).Invoke(DISPID_ClearGraph);
//
// Codes: REGDB_E_CLASSNOTREG (no library for the ProgID, or the library does
// not serve it), CO_E_DLLNOTFOUND (the library cannot be loaded),
// CO_E_ERRORINDLL (an entry point is missing or the ABI version differs),
// E_FAIL / E_OUTOFMEMORY (the factory failed), SELFREG_E_TYPELIB (the type
// information could not be registered), SELFREG_E_CLASS (a class could
// not). On failure nothing stays loaded.
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com/control.h"

namespace ORV::OS {
class RegistryStore;
}

namespace ORV::Com {

class ControlLibrary;

// Owns one control and keeps its library loaded while it lives.
class ControlPtr {
 public:
  ControlPtr() = default;
  ~ControlPtr() { reset(); }
  ControlPtr(ControlPtr&& o) noexcept;
  ControlPtr& operator=(ControlPtr&& o) noexcept;
  ControlPtr(const ControlPtr&) = delete;
  ControlPtr& operator=(const ControlPtr&) = delete;

  Control* get() const { return control_; }
  Control* operator->() const { return control_; }
  Control& operator*() const { return *control_; }
  explicit operator bool() const { return control_ != nullptr; }
  // Destroys the control, then lets go of its library.
  void reset();

 private:
  friend class ControlFactory;
  Control* control_ = nullptr;
  std::shared_ptr<ControlLibrary> library_;
};

class ControlFactory {
 public:
  // The user's registry store and the program's library folders.
  ControlFactory();
  ControlFactory(OS::RegistryStore& store, std::vector<std::string> libraryFolders);

  HRESULT Create(std::string_view progId, const CreateParams& params, ControlPtr& out) const;
  HRESULT RegisterLibrary(const std::string& libraryPath) const;
  HRESULT UnregisterLibrary(const std::string& libraryPath) const;
  // Registers each ProgID from its library in the folders when it has no
  // registration, when its registered library file is gone, or when it is
  // registered to another library than the folders hold (a program's first
  // start after its installation, or after it moved; the installation's own
  // libraries win over an older one's). A registration whose file exists is
  // kept when the folders hold no library for it. S_OK when every ProgID is
  // registered afterwards, else the first failure's code (one with no
  // library anywhere: REGDB_E_CLASSNOTREG); the others are still registered.
  HRESULT RegisterFromFolders(std::span<const std::string_view> progIds) const;

  // The library that would serve the ProgID (registered, else found in the
  // folders); empty when there is none.
  std::string FindLibrary(std::string_view progId) const;

  // "<program folder>/../lib/tarvix5" and the program folder itself.
  static std::vector<std::string> DefaultLibraryFolders();
  // "HKEY_CLASSES_ROOT\<progId>\InprocServer32".
  static std::string RegistrationKey(std::string_view progId);
  // "HKEY_CLASSES_ROOT\TypeLib\<libId>".
  static std::string TypeLibraryKey(std::string_view libId);

 private:
  HRESULT RunRegistration(const std::string& libraryPath, bool add) const;
  std::string FindInFolders(std::string_view progId) const;

  OS::RegistryStore& store_;
  std::vector<std::string> folders_;
};

// True while the library at `path` is loaded in this process.
bool IsLibraryLoaded(const std::string& path);

}  // namespace ORV::Com
