#pragma once
// The driver's side of a simulated serial instrument: a terminal handle on
// the simulator's device end, for tests that speak the protocol themselves.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "platform/os/serial_port.h"

namespace ORV::Sim {

// A terminal handle on the simulator's device end.
class Line {
 public:
  explicit Line(const std::string& path) {
    int error = 0;
    handle_ = OS::SerialPortHandle::Open(path, error);
    EXPECT_TRUE(handle_) << "open failed: " << error;
    if (handle_) {
      EXPECT_TRUE(handle_->SetLineSettings({.baud = 9600}));
    }
    SetTotal(300);
  }
  void SetTotal(std::uint32_t ms) {
    if (handle_) handle_->SetTimeouts({.readInterval = 50, .readTotalConstant = ms});
  }
  bool Write(const std::string& bytes) {
    std::size_t written = 0;
    return handle_ &&
           handle_->Write(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), written, nullptr, -1) ==
               OS::IoStatus::Ok &&
           written == bytes.size();
  }
  OS::IoStatus Read(std::string& out, std::size_t size = 255) {
    out.assign(size, '\0');
    std::size_t received = 0;
    const auto status = handle_->Read(reinterpret_cast<std::uint8_t*>(out.data()), size, received, nullptr, -1);
    out.resize(received);
    return status;
  }
  std::string Exchange(const std::string& request) {
    EXPECT_TRUE(Write(request));
    std::string reply;
    EXPECT_EQ(Read(reply), OS::IoStatus::Ok);
    return reply;
  }

 private:
  std::unique_ptr<OS::SerialPortHandle> handle_;
};

}  // namespace ORV::Sim
