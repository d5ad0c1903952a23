#pragma once
// A registration that ends with its handle: whoever adds a receiver to a list
// gets a handle back, and the receiver leaves the list when the handle is
// reset or destroyed, so an early return or a forgotten flag cannot leave a
// destroyed receiver on the list.
#include <functional>
#include <utility>

namespace ORV {

class ScopedRegistration {
 public:
  ScopedRegistration() = default;
  // `remove` runs once, when the handle is reset or destroyed.
  explicit ScopedRegistration(std::function<void()> remove) : remove_(std::move(remove)) {}
  ScopedRegistration(ScopedRegistration&& other) noexcept : remove_(std::exchange(other.remove_, nullptr)) {}
  ScopedRegistration& operator=(ScopedRegistration&& other) noexcept {
    if (this != &other) {
      Reset();
      remove_ = std::exchange(other.remove_, nullptr);
    }
    return *this;
  }
  ScopedRegistration(const ScopedRegistration&) = delete;
  ScopedRegistration& operator=(const ScopedRegistration&) = delete;
  ~ScopedRegistration() { Reset(); }

  // Ends the registration now; does nothing when it has ended.
  void Reset() {
    if (auto remove = std::exchange(remove_, nullptr)) remove();
  }
  // True while registered.
  explicit operator bool() const { return static_cast<bool>(remove_); }

 private:
  std::function<void()> remove_;
};

}  // namespace ORV
