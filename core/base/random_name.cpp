#include "core/base/random_name.h"

#include <cstdlib>

#include "platform/os/tick_source.h"

namespace ORV {

std::string MakeRandomName(const std::function<std::uint32_t()>& draw) {
  const std::uint32_t r = draw();
  const std::uint32_t v = (r % 9999999u) + 65535u;
  std::string name;
  for (int i = 0; i < 4; ++i) {
    const auto byte = static_cast<std::int8_t>((v >> (8 * i)) & 0xFF);
    int idx = byte % 30;
    if (idx < 0) idx = 0;
    name.push_back(kRandomNameAlphabet[static_cast<std::size_t>(idx)]);
  }
  return name;
}

std::string MakeRandomName() {
  unsigned seed = OS::GetTickCount();
  return MakeRandomName([&seed] { return static_cast<std::uint32_t>(rand_r(&seed)); });
}

}  // namespace ORV
