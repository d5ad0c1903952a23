#pragma once
// A sandbox for the application tests: private runtime, settings and data
// folders, so markers and locks never meet a running program's.
#include <cstdlib>
#include <string>

#include "tests/support/test_support.h"

namespace ORV::Test {

class AppSandbox {
 public:
  AppSandbox() : runtime_(), home_() {
    const char* old = std::getenv("XDG_RUNTIME_DIR");
    had_ = old != nullptr;
    if (old) saved_ = old;
    setenv("XDG_RUNTIME_DIR", runtime_.path().c_str(), 1);
  }
  ~AppSandbox() {
    if (had_) {
      setenv("XDG_RUNTIME_DIR", saved_.c_str(), 1);
    } else {
      unsetenv("XDG_RUNTIME_DIR");
    }
  }
  const std::string& RuntimeDir() const { return runtime_.path(); }

 private:
  TempDir runtime_;
  SandboxedHome home_;
  std::string saved_;
  bool had_ = false;
};

}  // namespace ORV::Test
