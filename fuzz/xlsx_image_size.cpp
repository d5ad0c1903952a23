// A picture file may hold any bytes: every size reader must end, without
// reading outside its input, and report a size only when it succeeds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "xlsx/image_size.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  for (const Xlsx::ImageTypeEntry& type : Xlsx::kImageTypes) {
    std::istringstream in(bytes);
    std::uint16_t width = 1;
    std::uint16_t height = 1;
    const bool ok = type.readSize(in, width, height);
    if (!ok && type.type != Xlsx::kImageGif && (width != 0 || height != 0)) std::abort();
  }
  return 0;
}
