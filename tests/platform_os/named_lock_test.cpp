// Named locks in the user's runtime folder.
#include "platform/os/named_lock.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>

#include "platform/os/folders.h"
#include "tests/support/test_support.h"

using namespace ORV::OS;

namespace {

// Points XDG_RUNTIME_DIR (and TMPDIR) somewhere for the test's lifetime.
class RuntimeDirScope {
 public:
  explicit RuntimeDirScope(const char* runtime) {
    if (const char* old = std::getenv("XDG_RUNTIME_DIR")) {
      saved_ = old;
      had_ = true;
    }
    if (runtime) {
      setenv("XDG_RUNTIME_DIR", runtime, 1);
    } else {
      unsetenv("XDG_RUNTIME_DIR");
    }
  }
  ~RuntimeDirScope() {
    if (had_) {
      setenv("XDG_RUNTIME_DIR", saved_.c_str(), 1);
    } else {
      unsetenv("XDG_RUNTIME_DIR");
    }
  }

 private:
  std::string saved_;
  bool had_ = false;
};

}  // namespace

TEST(NamedLock, OneHolderAtATimeAndTheNextAfterRelease) {
  ORV::Test::TempDir runtime;
  RuntimeDirScope scope(runtime.path().c_str());
  NamedLock first("restart");
  NamedLock second("restart");
  EXPECT_EQ(first.Path(), runtime / "restart.lock");
  EXPECT_FALSE(NamedLock::IsHeldElsewhere("restart"));

  ASSERT_EQ(first.TryAcquire(), NamedLock::TryResult::Acquired);
  EXPECT_EQ(first.TryAcquire(), NamedLock::TryResult::Acquired) << "taking it again is no conflict";
  EXPECT_EQ(second.TryAcquire(), NamedLock::TryResult::HeldElsewhere);
  EXPECT_TRUE(NamedLock::IsHeldElsewhere("restart"));
  EXPECT_FALSE(NamedLock::IsHeldElsewhere("other")) << "names do not meet";

  first.Release();
  EXPECT_FALSE(first.Held());
  EXPECT_TRUE(second.Acquire());
  EXPECT_TRUE(second.Held());
  EXPECT_EQ(ORV::Test::FileMode(second.Path()) & 0777, 0600u);
}

TEST(NamedLock, RuntimeFolderFallsBackToAPrivateTemporaryFolder) {
  ORV::Test::SandboxedHome home;  // TMPDIR inside the sandbox
  const std::string own = std::string(std::getenv("TMPDIR")) + "/orvanta-" + std::to_string(::getuid());
  for (const char* runtime : {static_cast<const char*>(nullptr), "", "/nonexistent/runtime"}) {
    RuntimeDirScope scope(runtime);
    EXPECT_EQ(UserRuntimeDir(), own) << (runtime ? runtime : "unset");
    EXPECT_EQ(ORV::Test::FileMode(own) & 0777, 0700u);
    NamedLock lock("x");
    EXPECT_EQ(lock.TryAcquire(), NamedLock::TryResult::Acquired);
  }
}

TEST(NamedLock, ARuntimeFolderAnotherUserCouldWriteToIsLeftAloneAndTheLocksStillWork) {
  ORV::Test::SandboxedHome home;  // TMPDIR and the state folder inside the sandbox
  const std::string shared = std::string(std::getenv("TMPDIR")) + "/orvanta-" + std::to_string(::getuid());
  const std::string own = ProductStateDir() + "/run";
  ORV::Test::TempDir elsewhere;
  ORV::Test::TempDir runtime;
  ASSERT_EQ(::chmod(runtime.path().c_str(), 0777), 0) << "an XDG_RUNTIME_DIR others may write to";

  struct Case {
    const char* what;
    bool asRootOnly;
    std::function<void()> make;
  };
  const Case cases[] = {
      {"a link in the shared folder", false,
       [&] { ASSERT_EQ(::symlink(elsewhere.path().c_str(), shared.c_str()), 0); }},
      {"a folder of another user", true,
       [&] {
         ASSERT_EQ(::mkdir(shared.c_str(), 0777), 0);
         ASSERT_EQ(::chown(shared.c_str(), 65534, 65534), 0);
         ASSERT_EQ(::chmod(shared.c_str(), 0777), 0);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.asRootOnly && ::geteuid() != 0) {
      std::cout << "[ skipped ] " << c.what << ": only root can make another user's folder\n";
      continue;
    }
    ::unlink(shared.c_str());
    ::rmdir(shared.c_str());
    c.make();
    RuntimeDirScope scope(runtime.path().c_str());
    EXPECT_EQ(UserRuntimeDir(), own);
    EXPECT_EQ(ORV::Test::FileMode(own) & 0777, 0700u);
    NamedLock first("window-class Tarvix 5");
    NamedLock second("window-class Tarvix 5");
    EXPECT_EQ(first.TryAcquire(), NamedLock::TryResult::Acquired);
    EXPECT_EQ(second.TryAcquire(), NamedLock::TryResult::HeldElsewhere) << "the instance marker still works";
    // Nothing was made in, or changed about, the folders not the user's.
    EXPECT_TRUE(std::filesystem::is_empty(elsewhere.path()));
    std::error_code ec;
    if (std::filesystem::is_directory(std::filesystem::symlink_status(shared, ec))) {
      EXPECT_TRUE(std::filesystem::is_empty(shared));
      EXPECT_EQ(ORV::Test::FileMode(shared) & 0777, 0777u);
    }
    EXPECT_TRUE(std::filesystem::is_empty(runtime.path()));
  }
  ::unlink(shared.c_str());
  ::rmdir(shared.c_str());
}
