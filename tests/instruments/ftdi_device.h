#pragma once
// The enumeration record of an FTDI converter with a terminal, as the
// instrument tests hand it to a fake USB enumerator.
#include <cstdint>
#include <string>

#include "platform/os/usb_serial_enum.h"

namespace ORV::Test {

inline OS::UsbSerialDevice FtdiDevice(std::uint16_t product, const std::string& serial, const std::string& node) {
  OS::UsbSerialDevice d;
  d.sysPath = "/sys/devices/usb1/1-1/" + serial;
  d.devNode = node;
  d.isUsb = true;
  d.vendorId = OS::kFtdiVendorId;
  d.productId = product;
  d.serialNumber = serial;
  d.product = "USB Serial";
  d.manufacturer = "FTDI";
  return d;
}

}  // namespace ORV::Test
