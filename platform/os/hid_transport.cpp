#include "platform/os/hid_transport.h"

#include <fcntl.h>
#include <hidapi.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <map>

#include "platform/os/stand_in_devices.h"

namespace ORV::OS {

// ---- report descriptor ----

bool ParseReportDescriptor(std::span<const std::uint8_t> descriptor, HidCaps& caps) {
  // The global items that size a report; Push and Pop save and restore them.
  struct Globals {
    std::uint64_t reportSize = 0;
    std::uint64_t reportCount = 0;
    std::uint32_t reportId = 0;
  };
  // Far beyond any real report; keeps the sums from overflowing.
  constexpr std::uint64_t kBitLimit = std::uint64_t{1} << 40;

  Globals globals;
  std::vector<Globals> stack;
  std::map<std::uint32_t, std::uint64_t> inputBits, outputBits;
  bool numbered = false;

  std::size_t i = 0;
  while (i < descriptor.size()) {
    const std::uint8_t prefix = descriptor[i];
    if (prefix == 0xFE) {  // long item: prefix, data size, tag, data
      if (descriptor.size() - i < 3) return false;
      const std::size_t size = descriptor[i + 1];
      if (descriptor.size() - i - 3 < size) return false;
      i += 3 + size;
      continue;
    }
    const std::size_t size = (prefix & 3) == 3 ? 4 : (prefix & 3);
    if (descriptor.size() - i - 1 < size) return false;
    std::uint32_t value = 0;
    for (std::size_t k = 0; k < size; ++k) value |= static_cast<std::uint32_t>(descriptor[i + 1 + k]) << (8 * k);
    const int type = (prefix >> 2) & 3;
    const int tag = prefix >> 4;

    if (type == 0 && (tag == 0x8 || tag == 0x9)) {  // Input, Output
      auto& bits = (tag == 0x8 ? inputBits : outputBits)[globals.reportId];
      bits = std::min(kBitLimit, bits + std::min(kBitLimit, globals.reportSize * globals.reportCount));
    } else if (type == 1) {
      switch (tag) {
        case 0x7:
          globals.reportSize = value;
          break;
        case 0x8:
          globals.reportId = value;
          numbered = true;
          break;
        case 0x9:
          globals.reportCount = value;
          break;
        case 0xA:
          stack.push_back(globals);
          break;
        case 0xB:
          if (stack.empty()) return false;
          globals = stack.back();
          stack.pop_back();
          break;
        default:
          break;
      }
    }
    i += 1 + size;
  }

  const auto longest = [](const std::map<std::uint32_t, std::uint64_t>& reports) {
    std::uint64_t bytes = 0;
    for (const auto& [id, bits] : reports)
      if (bits > 0) bytes = std::max(bytes, (bits + 7) / 8 + 1);
    return static_cast<std::uint16_t>(std::min<std::uint64_t>(bytes, 0xFFFF));
  };
  caps.inputReportLength = longest(inputBits);
  caps.outputReportLength = longest(outputBits);
  caps.numberedReports = numbered;
  return true;
}

std::string MakeHidInterfacePath(std::uint16_t vendorId, std::uint16_t productId, std::string_view name) {
  char head[40];
  std::snprintf(head, sizeof head, "\\\\?\\hid#vid_%04x&pid_%04x#", vendorId, productId);
  return std::string(head) + std::string(name);
}

std::vector<HidDeviceInfo> HidTransport::Enumerate(std::uint16_t vendorId, std::uint16_t productId,
                                                   std::string_view prefix) {
  std::vector<HidDeviceInfo> found = List(vendorId, productId);
  std::erase_if(found, [prefix](const HidDeviceInfo& d) {
    return !d.path.starts_with(prefix) && !(!d.node.empty() && d.node.starts_with(prefix));
  });
  return found;
}

// ---- hidapi on hidraw ----

namespace {

using Clock = std::chrono::steady_clock;

int ErrnoOr(int fallback) { return errno != 0 ? errno : fallback; }

// The report lengths of the hidraw node, from its report descriptor.
bool ReadCaps(int fd, HidCaps& caps) {
  int size = 0;
  if (::ioctl(fd, HIDIOCGRDESCSIZE, &size) < 0 || size < 0 || size > HID_MAX_DESCRIPTOR_SIZE) return false;
  auto descriptor = std::make_unique<hidraw_report_descriptor>();
  descriptor->size = static_cast<std::uint32_t>(size);
  if (::ioctl(fd, HIDIOCGRDESC, descriptor.get()) < 0) return false;
  return ParseReportDescriptor(std::span<const std::uint8_t>(descriptor->value, descriptor->size), caps);
}

class HidapiHandle final : public HidHandle {
 public:
  HidapiHandle(hid_device* device, const HidCaps& caps, bool capsKnown)
      : device_(device), caps_(caps), capsKnown_(capsKnown) {}
  ~HidapiHandle() override { hid_close(device_); }

  IoStatus Read(std::uint8_t* buffer, std::size_t size, std::size_t& received, const StopEvent* stop,
                int waitLimitMs) override {
    received = 0;
    if (size == 0) return IoStatus::Ok;
    // hidraw leaves out the id byte of a device without numbered reports;
    // the report as this interface has it starts with a 0 then.
    const std::size_t skip = capsKnown_ && !caps_.numberedReports ? 1 : 0;
    if (skip == 1) {
      buffer[0] = 0;
      if (size == 1) return IoStatus::Ok;
    }
    // The wait goes in short slices so that the stop event is noticed.
    const int total = waitLimitMs < 0 ? static_cast<int>(kUnboundedWaitLimitMs) : waitLimitMs;
    const auto deadline = Clock::now() + std::chrono::milliseconds(total);
    for (;;) {
      if (stop && stop->IsSet()) return IoStatus::Stopped;
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      const int slice = static_cast<int>(std::clamp<long long>(left, 0, 50));
      errno = 0;
      const int n = hid_read_timeout(device_, buffer + skip, size - skip, slice);
      if (n < 0) {
        error_ = ErrnoOr(EIO);
        return IoStatus::Failed;
      }
      if (n > 0) {
        received = static_cast<std::size_t>(n) + skip;
        return IoStatus::Ok;
      }
      if (left <= 0) return IoStatus::Ok;
    }
  }

  IoStatus Write(const std::uint8_t* data, std::size_t size, std::size_t& written, const StopEvent* stop,
                 int) override {
    written = 0;
    if (stop && stop->IsSet()) return IoStatus::Stopped;
    errno = 0;
    const int n = hid_write(device_, data, size);
    if (n < 0) {
      error_ = ErrnoOr(EIO);
      return IoStatus::Failed;
    }
    written = static_cast<std::size_t>(n);
    return IoStatus::Ok;
  }

  bool GetCaps(HidCaps& caps) override {
    if (!capsKnown_) return false;
    caps = caps_;
    return true;
  }
  int LastError() const override { return error_; }

 private:
  hid_device* device_;
  const HidCaps caps_;
  const bool capsKnown_;
  int error_ = 0;
};

class HidapiTransport final : public HidTransport {
 public:
  HidapiTransport() { initialised_ = hid_init() == 0; }
  ~HidapiTransport() override {
    if (initialised_) hid_exit();
  }

  std::vector<HidDeviceInfo> List(std::uint16_t vendorId, std::uint16_t productId) override {
    std::vector<HidDeviceInfo> found;
    if (!initialised_) return found;
    hid_device_info* all = hid_enumerate(vendorId, productId);
    for (const hid_device_info* d = all; d; d = d->next) {
      if (!d->path) continue;
      HidDeviceInfo info;
      info.node = d->path;
      const std::size_t slash = info.node.rfind('/');
      info.path = MakeHidInterfacePath(d->vendor_id, d->product_id,
                                       slash == std::string::npos ? info.node : info.node.substr(slash + 1));
      info.vendorId = d->vendor_id;
      info.productId = d->product_id;
      found.push_back(std::move(info));
    }
    hid_free_enumeration(all);
    return found;
  }

  std::unique_ptr<HidHandle> Open(const std::string& path, int& error) override {
    if (!initialised_) {
      error = ENODEV;
      return nullptr;
    }
    std::string node;
    if (path.starts_with("/dev/")) {
      node = path;
    } else {
      for (const HidDeviceInfo& d : List(0, 0))
        if (d.path == path) node = d.node;
    }
    if (node.empty()) {
      error = ENOENT;
      return nullptr;
    }
    // Opening the node here first gives the precise errno, and the
    // descriptor that hidapi cannot hand out.
    const int fd = ::open(node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
      error = errno;
      return nullptr;
    }
    HidCaps caps;
    const bool capsKnown = ReadCaps(fd, caps);
    ::close(fd);

    errno = 0;
    hid_device* device = hid_open_path(node.c_str());
    if (!device) {
      error = ErrnoOr(EIO);
      return nullptr;
    }
    return std::make_unique<HidapiHandle>(device, caps, capsKnown);
  }

 private:
  bool initialised_ = false;
};

}  // namespace

HidTransport& SystemHidTransport() {
  static HidapiTransport machine;
  // The stand-in devices, when some were handed over, are listed after the machine's.
  static StandInAwareHidTransport transport(machine);
  return transport;
}

}  // namespace ORV::OS
