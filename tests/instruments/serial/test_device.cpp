#include "tests/instruments/serial/test_device.h"

#include <fstream>
#include <sstream>

namespace ORV::Test {

std::vector<std::string> ReadLines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace ORV::Test
