// The head of a downloaded update package comes from the network before its
// signature is checked: the reader must end on any bytes, read nothing
// beyond them, and what it accepts must be exactly what the maker's side
// writes for the same fields, followed by the signature it returned.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "updater/package_signature.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ORV::Freshet;
  // An exact copy, so that a read past the input's end is caught.
  const std::vector<std::uint8_t> input(data, data + size);
  SignedPackageHead head;
  if (!ParseSignedHead(input, head)) return 0;
  if (head.PayloadOffset() > input.size() || head.PayloadOffset() > kMaxSignedHeadBytes) std::abort();
  const std::vector<std::uint8_t> encoded = EncodeSignedHead(head.info);
  if (encoded.size() != head.signedBytes || !std::equal(encoded.begin(), encoded.end(), input.begin())) std::abort();
  if (!std::equal(head.signature.begin(), head.signature.end(), input.begin() + head.signedBytes)) std::abort();
  // Checking the signature of what was read ends too, whatever the bytes.
  VerifyEd25519(BuiltInUpdateKey(), std::span(input.data(), head.signedBytes), head.signature);
  return 0;
}
