#pragma once
// The process's table of a camera maker's library calls: what back-ends
// built from now on call. Binding returns the table it replaced, so a test
// can put it back.
#include <mutex>
#include <utility>

namespace ORV::Cameras {

template <class Api>
class ProcessTable {
 public:
  explicit ProcessTable(Api initial) : api_(std::move(initial)) {}

  Api Get() const {
    std::lock_guard guard(lock_);
    return api_;
  }
  Api Bind(Api api) {
    std::lock_guard guard(lock_);
    return std::exchange(api_, std::move(api));
  }

 private:
  mutable std::mutex lock_;
  Api api_;
};

}  // namespace ORV::Cameras
