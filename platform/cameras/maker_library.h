#pragma once
// Loading a camera maker's shared library and binding its exports to the
// process's table of that maker's calls.
//
// The library is the file an environment variable names, else the first of
// its usual names that the system's library search (LD_LIBRARY_PATH, the
// linker cache, /lib and /usr/lib) loads. A table is bound only when every
// export it calls resolves: a library of another version that lacks one
// binds nothing. Each attempt writes one line to the event log saying what
// was loaded, or which library or export was missing.
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ORV::Cameras {

// A loaded shared library, unloaded when its last owner lets it go. The
// functions of a bound table own it, so it stays loaded while any back-end
// still holds that table, and is unloaded only after the back-end has
// stopped the library's threads and gone.
class SharedLibrary {
 public:
  // Loads `file` (a path, or a name for the system's library search) with
  // every symbol resolved at once; null with the loader's reason in `error`.
  static std::shared_ptr<SharedLibrary> Load(const std::string& file, std::string& error);
  ~SharedLibrary();
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  // The file the system loaded.
  const std::string& path() const { return path_; }
  // The address of an export of the library itself; null when it has none.
  void* Find(const char* name) const;

 private:
  SharedLibrary(void* handle, std::string path) : handle_(handle), path_(std::move(path)) {}
  void* handle_;
  std::string path_;
};

// Fills the functions of a maker's table from a loaded library, each bound
// to the export of its C name; every function bound owns the library. The
// names the library lacks are collected (a table with one of them must not
// be bound: its function would call nothing).
class ExportBinder {
 public:
  explicit ExportBinder(std::shared_ptr<SharedLibrary> library) : library_(std::move(library)) {}

  // The export `name` as a function of type `Function` (a pointer to a C
  // function); null when the library lacks it.
  template <class Function>
  Function Resolve(const char* name) {
    auto function = reinterpret_cast<Function>(library_->Find(name));
    if (function == nullptr) missing_.emplace_back(name);
    return function;
  }
  // Makes `slot` call the export `name` with the arguments it is given (a
  // non-zero result reads as true where the slot returns bool).
  template <class Function, class Slot>
  void Bind(Slot& slot, const char* name) {
    slot = [library = library_, function = Resolve<Function>(name)](auto... arguments) {
      return function(arguments...);
    };
  }

  // For a function that adapts its arguments itself: it keeps this in its
  // capture, to own the library.
  const std::shared_ptr<SharedLibrary>& library() const { return library_; }
  const std::vector<std::string>& missing() const { return missing_; }

 private:
  std::shared_ptr<SharedLibrary> library_;
  std::vector<std::string> missing_;
};

// Where a maker's library is looked for.
struct LibrarySearch {
  // The environment variable that may name the library's file; when it is
  // set and not empty, that file is the only one tried.
  std::string environmentVariable;
  // The usual file names, tried in order through the system's library search.
  std::vector<std::string> names;
};

// What one attempt to bind a maker's library found.
struct BindOutcome {
  bool bound = false;
  // The file loaded; empty when none could be.
  std::string library;
  // The exports the loaded library lacks (nothing was bound then).
  std::vector<std::string> missing;
  // The line written to the event log.
  std::string message;
};

// Loads the maker's library as `search` says and hands it to `bind`, which
// resolves every export, binds the process's table when all resolve and
// returns the names of those that did not (the table stays as it was then).
// Writes one event-log line: the file loaded, or why none was, or what it
// lacks. A library that binds nothing is unloaded again.
BindOutcome BindMakerLibrary(const std::string& maker, const LibrarySearch& search,
                             const std::function<std::vector<std::string>(std::shared_ptr<SharedLibrary>)>& bind);

}  // namespace ORV::Cameras
