#include "updater/signing/package_signing.h"

#include <botan/auto_rng.h>
#include <botan/data_src.h>
#include <botan/ed25519.h>
#include <botan/hash.h>
#include <botan/pkcs8.h>
#include <botan/pubkey.h>
#include <botan/x509_key.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/os/file_io.h"
#include "platform/os/folders.h"

namespace ORV::Freshet {

namespace {

constexpr std::size_t kReadBlock = 1 << 16;

bool Fail(std::string* reason, std::string text) {
  if (reason) *reason = std::move(text);
  return false;
}

std::unique_ptr<Botan::Ed25519_PrivateKey> LoadPrivateKey(std::string_view pem, std::string* reason) {
  try {
    Botan::AutoSeeded_RNG rng;
    Botan::DataSource_Memory source(reinterpret_cast<const std::uint8_t*>(pem.data()), pem.size());
    std::unique_ptr<Botan::Private_Key> key(Botan::PKCS8::load_key(source, rng));
    if (auto* ed = dynamic_cast<Botan::Ed25519_PrivateKey*>(key.get())) {
      key.release();
      return std::unique_ptr<Botan::Ed25519_PrivateKey>(ed);
    }
    Fail(reason, "the private key is not an Ed25519 key");
  } catch (const std::exception& e) {
    Fail(reason, std::string("the private key cannot be read: ") + e.what());
  }
  return nullptr;
}

// The head and signature for `info`, whose size and digest are filled in.
std::string SignedHead(const Botan::Ed25519_PrivateKey& key, const SignedPackageInfo& info, std::string* reason) {
  const std::vector<std::uint8_t> head = EncodeSignedHead(info);
  if (head.empty()) {
    Fail(reason, "the product and file names must be 1 to " + std::to_string(kMaxSignedProductBytes) + " and 1 to " +
                     std::to_string(kMaxSignedFileBytes) + " bytes long");
    return {};
  }
  Botan::AutoSeeded_RNG rng;
  Botan::PK_Signer signer(key, rng, "Pure");
  const std::vector<std::uint8_t> signature = signer.sign_message(head, rng);
  std::string out(head.begin(), head.end());
  out.append(signature.begin(), signature.end());
  return out;
}

}  // namespace

SigningKeyPair GenerateSigningKeyPair() {
  Botan::AutoSeeded_RNG rng;
  const Botan::Ed25519_PrivateKey key(rng);
  return {Botan::PKCS8::PEM_encode(key), Botan::X509::PEM_encode(key)};
}

std::string PublicKeyPemOf(std::string_view privateKeyPem, std::string* reason) {
  const auto key = LoadPrivateKey(privateKeyPem, reason);
  return key ? Botan::X509::PEM_encode(*key) : std::string();
}

std::string SignPackage(std::string_view privateKeyPem, SignedPackageInfo info, std::string_view payload,
                        std::string* reason) {
  const auto key = LoadPrivateKey(privateKeyPem, reason);
  if (!key) return {};
  const auto hash = Botan::HashFunction::create_or_throw("SHA-512");
  hash->update(reinterpret_cast<const std::uint8_t*>(payload.data()), payload.size());
  hash->final(info.payloadDigest.data());
  info.payloadSize = payload.size();
  std::string out = SignedHead(*key, info, reason);
  if (!out.empty()) out.append(payload);
  return out;
}

bool SignPackageFile(std::string_view privateKeyPem, SignedPackageInfo info, const std::string& input,
                     const std::string& output, std::string* reason) {
  const auto key = LoadPrivateKey(privateKeyPem, reason);
  if (!key) return false;
  const int in = ::open(input.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return Fail(reason, "cannot open " + input + ": " + std::strerror(errno));
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closeIn{in};

  // Each pass reads the file to its end: the first for the digest, the
  // second copies exactly the bytes the first one counted.
  std::vector<std::uint8_t> block(kReadBlock);
  const auto hash = Botan::HashFunction::create_or_throw("SHA-512");
  std::uint64_t size = 0;
  for (;;) {
    const ssize_t n = ::read(in, block.data(), block.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Fail(reason, "cannot read " + input + ": " + std::strerror(errno));
    if (n == 0) break;
    hash->update(block.data(), static_cast<std::size_t>(n));
    size += static_cast<std::uint64_t>(n);
  }
  hash->final(info.payloadDigest.data());
  info.payloadSize = size;
  const std::string head = SignedHead(*key, info, reason);
  if (head.empty()) return false;

  OS::FileReplacement out(output);
  if (!out.IsOpen()) return Fail(reason, "cannot write " + output + ": " + std::strerror(errno));
  if (OS::WriteAll(out.Descriptor(), head.data(), head.size()) != head.size())
    return Fail(reason, "cannot write " + output + ": " + std::strerror(errno));
  if (::lseek(in, 0, SEEK_SET) != 0) return Fail(reason, "cannot read " + input + ": " + std::strerror(errno));
  const auto again = Botan::HashFunction::create_or_throw("SHA-512");
  std::uint64_t copied = 0;
  while (copied < size) {
    const ssize_t n =
        ::read(in, block.data(), static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), size - copied)));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return Fail(reason, input + " changed while it was signed");
    again->update(block.data(), static_cast<std::size_t>(n));
    if (OS::WriteAll(out.Descriptor(), block.data(), static_cast<std::size_t>(n)) != static_cast<std::size_t>(n))
      return Fail(reason, "cannot write " + output + ": " + std::strerror(errno));
    copied += static_cast<std::uint64_t>(n);
  }
  std::array<std::uint8_t, kDigestBytes> digest{};
  again->final(digest.data());
  if (digest != info.payloadDigest) return Fail(reason, input + " changed while it was signed");
  if (!out.Commit()) return Fail(reason, "cannot write " + output + ": " + std::strerror(errno));
  return true;
}

}  // namespace ORV::Freshet
