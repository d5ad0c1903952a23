// A report descriptor comes from the device: any bytes at all.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/os/hid_transport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ORV::OS::HidCaps caps;
  if (ORV::OS::ParseReportDescriptor({data, size}, caps)) {
    // A report with a byte of data always counts its id byte too.
    if (caps.inputReportLength == 1 || caps.outputReportLength == 1) std::abort();
  }
  return 0;
}
