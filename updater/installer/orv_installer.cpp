// The installer program. The update library copies it beside a copy of
// itself into the working folder and starts it there with no arguments; it
// loads that copy and lets it install the updates.
//
// The library checks every package's signature before it runs any (the
// program may also be started on its own in a working folder).
//
// Exit codes: 0 every update is installed; 1 to 7 the installation stopped
// (the negated result of Freshets_HandleInstaller; 7 a package is not the
// maker's); 100 the library could not be loaded.
#include <dlfcn.h>

#include <cstdio>

namespace {
constexpr int kCannotLoad = 100;
}

int main() {
  void* library = ::dlopen("./libFreshet.so", RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    std::fprintf(stderr, "orv-installer: cannot load the update library: %s\n", ::dlerror());
    return kCannotLoad;
  }
  using HandleInstaller = int (*)();
  auto handle = reinterpret_cast<HandleInstaller>(::dlsym(library, "Freshets_HandleInstaller"));
  if (!handle) {
    std::fprintf(stderr, "orv-installer: the update library has no installer entry: %s\n", ::dlerror());
    ::dlclose(library);
    return kCannotLoad;
  }
  const int result = handle();
  ::dlclose(library);
  if (result == 0) return 0;
  std::fprintf(stderr, "orv-installer: the installation stopped with result %d\n", result);
  return result < 0 && result > -kCannotLoad ? -result : kCannotLoad - 1;
}
