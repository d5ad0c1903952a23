#include "updater/package_signature.h"

#include <botan/ed25519.h>
#include <botan/exceptn.h>
#include <botan/hash.h>
#include <botan/pem.h>
#include <botan/pubkey.h>
#include <botan/x509_key.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <tuple>
#include <utility>

#include "platform/os/byte_order.h"
#include "platform/os/file_io.h"
#include "platform/os/folders.h"
#include "platform/os/registry_store.h"
#include "updater/update_query.h"

namespace ORV::Freshet {

// The text of the public key file the program installs, compiled in.
extern const char* const kBuiltInUpdateKeyPem;

namespace {

constexpr std::size_t kReadBlock = 1 << 16;

std::string VersionText(std::int32_t major, std::int32_t minor, std::int32_t revision, std::int32_t build) {
  return std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(revision) + "." +
         std::to_string(build);
}

// Reads up to `size` bytes at the file offset; how many arrived, or -1.
ssize_t ReadUpTo(int fd, std::uint8_t* data, std::size_t size) {
  std::size_t got = 0;
  while (got < size) {
    const ssize_t n = ::read(fd, data + got, size - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  return static_cast<ssize_t>(got);
}

struct Fd {
  int fd = -1;
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
};

bool Fail(std::string* reason, std::string text) {
  if (reason) *reason = std::move(text);
  return false;
}

}  // namespace

std::vector<std::uint8_t> EncodeSignedHead(const SignedPackageInfo& info) {
  if (info.product.empty() || info.product.size() > kMaxSignedProductBytes || info.file.empty() ||
      info.file.size() > kMaxSignedFileBytes) {
    return {};
  }
  std::vector<std::uint8_t> out(kSignedPackageMagic.begin(), kSignedPackageMagic.end());
  Bytes::AppendLE(out, static_cast<std::uint16_t>(info.product.size()));
  out.insert(out.end(), info.product.begin(), info.product.end());
  for (std::int32_t v : {info.major, info.minor, info.revision, info.build}) Bytes::AppendLE(out, v);
  Bytes::AppendLE(out, static_cast<std::uint16_t>(info.file.size()));
  out.insert(out.end(), info.file.begin(), info.file.end());
  Bytes::AppendLE(out, info.payloadSize);
  out.insert(out.end(), info.payloadDigest.begin(), info.payloadDigest.end());
  return out;
}

bool ParseSignedHead(std::span<const std::uint8_t> bytes, SignedPackageHead& head, std::string* reason) {
  const std::size_t magic = kSignedPackageMagic.size();
  if (bytes.size() < magic || !std::equal(kSignedPackageMagic.begin(), kSignedPackageMagic.end(), bytes.begin()))
    return Fail(reason, "it is not a signed package");
  std::size_t at = magic;
  // A text field: its 16-bit length, then its bytes.
  auto text = [&](std::size_t limit, std::string& out) {
    if (bytes.size() - at < 2) return false;
    const std::size_t n = Bytes::GetLE<std::uint16_t>(bytes, at);
    at += 2;
    if (n == 0 || n > limit || bytes.size() - at < n) return false;
    out.assign(reinterpret_cast<const char*>(bytes.data() + at), n);
    at += n;
    return true;
  };
  SignedPackageInfo info;
  if (!text(kMaxSignedProductBytes, info.product)) return Fail(reason, "its head is cut short or damaged");
  if (bytes.size() - at < 16) return Fail(reason, "its head is cut short");
  for (std::int32_t* v : {&info.major, &info.minor, &info.revision, &info.build}) {
    *v = Bytes::GetLE<std::int32_t>(bytes, at);
    at += 4;
  }
  if (!text(kMaxSignedFileBytes, info.file)) return Fail(reason, "its head is cut short or damaged");
  if (bytes.size() - at < 8 + kDigestBytes + kSignatureBytes) return Fail(reason, "its head is cut short");
  info.payloadSize = Bytes::GetLE<std::uint64_t>(bytes, at);
  at += 8;
  std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(at), kDigestBytes, info.payloadDigest.begin());
  at += kDigestBytes;
  head.info = std::move(info);
  head.signedBytes = at;
  std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(at), kSignatureBytes, head.signature.begin());
  return true;
}

bool VerifyEd25519(const PublicKey& key, std::span<const std::uint8_t> message,
                   std::span<const std::uint8_t, kSignatureBytes> signature) {
  try {
    const Botan::Ed25519_PublicKey publicKey(key.data(), key.size());
    Botan::PK_Verifier verifier(publicKey, "Pure");
    return verifier.verify_message(message.data(), message.size(), signature.data(), signature.size());
  } catch (const std::exception&) {
    return false;
  }
}

std::optional<PublicKey> ParsePublicKey(std::string_view pem, std::string* reason) {
  try {
    const Botan::secure_vector<std::uint8_t> der = Botan::PEM_Code::decode_check_label(std::string(pem), "PUBLIC KEY");
    const std::unique_ptr<Botan::Public_Key> key(
        Botan::X509::load_key(std::vector<std::uint8_t>(der.begin(), der.end())));
    const auto* ed = dynamic_cast<const Botan::Ed25519_PublicKey*>(key.get());
    if (!ed || ed->get_public_key().size() != kPublicKeyBytes) {
      Fail(reason, "it is not an Ed25519 key");
      return std::nullopt;
    }
    PublicKey out{};
    std::copy_n(ed->get_public_key().begin(), kPublicKeyBytes, out.begin());
    return out;
  } catch (const std::exception& e) {
    Fail(reason, std::string("it is not a public key file: ") + e.what());
    return std::nullopt;
  }
}

PublicKey BuiltInUpdateKey() {
  static const PublicKey key = [] {
    std::string reason;
    const std::optional<PublicKey> k = ParsePublicKey(kBuiltInUpdateKeyPem, &reason);
    if (!k) std::fprintf(stderr, "Freshet: the built-in update key cannot be read: %s\n", reason.c_str());
    return k.value_or(PublicKey{});
  }();
  return key;
}

std::vector<PublicKey> TrustedKeys(const std::string& dataDir, const std::string& extraKeyPem) {
  std::vector<PublicKey> keys;
  auto add = [&keys](const PublicKey& k) {
    if (k != PublicKey{} && std::find(keys.begin(), keys.end(), k) == keys.end()) keys.push_back(k);
  };
  const std::string file = dataDir + "/" + kUpdateKeyFile;
  std::string text;
  if (!dataDir.empty() && OS::PathExists(file)) {
    std::string reason = "it cannot be read";
    std::optional<PublicKey> k;
    if (OS::ReadFile(file, text, 64 * 1024)) k = ParsePublicKey(text, &reason);
    if (k) {
      add(*k);
    } else {
      std::fprintf(stderr, "Freshet: the update key %s is not used: %s\n", file.c_str(), reason.c_str());
    }
  }
  add(BuiltInUpdateKey());
  if (!extraKeyPem.empty()) {
    std::string reason;
    if (const std::optional<PublicKey> k = ParsePublicKey(extraKeyPem, &reason)) {
      add(*k);
    } else {
      std::fprintf(stderr, "Freshet: the configured update key is not used: %s\n", reason.c_str());
    }
  }
  return keys;
}

PackageVerifier::PackageVerifier(std::vector<PublicKey> keys, std::shared_ptr<const OS::InstalledProducts> installed)
    : keys_(std::move(keys)), installed_(std::move(installed)) {}

bool PackageVerifier::Verify(const std::string& path, const FreshetUpdate& update, const FreshetUpdateFile& file,
                             const std::string& extractTo, std::string* reason) const {
  // Whatever an earlier run left there goes first, so a refusal leaves nothing to run.
  if (!extractTo.empty()) ::unlink(extractTo.c_str());
  Fd in;
  in.fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (in.fd < 0) return Fail(reason, std::string("it cannot be opened: ") + std::strerror(errno));
  struct stat st {};
  if (::fstat(in.fd, &st) != 0 || !S_ISREG(st.st_mode)) return Fail(reason, "it is not a file");

  std::vector<std::uint8_t> start(kMaxSignedHeadBytes);
  const ssize_t got = ReadUpTo(in.fd, start.data(), start.size());
  if (got < 0) return Fail(reason, std::string("it cannot be read: ") + std::strerror(errno));
  start.resize(static_cast<std::size_t>(got));
  SignedPackageHead head;
  if (!ParseSignedHead(start, head, reason)) return false;

  const std::span<const std::uint8_t> signedPart(start.data(), head.signedBytes);
  const bool trusted = std::any_of(
      keys_.begin(), keys_.end(), [&](const PublicKey& key) { return VerifyEd25519(key, signedPart, head.signature); });
  if (!trusted) return Fail(reason, "its signature is not one of a key this program trusts");

  const SignedPackageInfo& info = head.info;
  if (info.product != update.productName || info.file != file.localName ||
      std::tie(info.major, info.minor, info.revision, info.build) !=
          std::tie(update.major, update.minor, update.revision, update.build)) {
    return Fail(reason, "it is signed as \"" + info.file + "\" of " + info.product + " " +
                            VersionText(info.major, info.minor, info.revision, info.build) + ", not as \"" +
                            file.localName + "\" of " + update.productName + " " +
                            VersionText(update.major, update.minor, update.revision, update.build));
  }
  if (installed_) {
    std::vector<InstalledProduct> products;
    EnumerateInstalledProducts(*installed_, products);
    if (!IsNewerThanInstalled(update, products))
      return Fail(reason, "its version is not newer than the installed " + update.productName);
  }

  const auto size = static_cast<std::uint64_t>(st.st_size);
  const std::uint64_t stored = size > head.PayloadOffset() ? size - head.PayloadOffset() : 0;
  if (stored != info.payloadSize)
    return Fail(reason, stored < info.payloadSize ? "it is cut short" : "it has bytes beyond its signed end");

  Fd out;
  if (!extractTo.empty()) {
    out.fd = ::open(extractTo.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (out.fd < 0) return Fail(reason, "its contents cannot be written to " + extractTo + ": " + std::strerror(errno));
  }
  auto failExtracted = [&](std::string text) {
    if (out.fd >= 0) ::unlink(extractTo.c_str());
    return Fail(reason, std::move(text));
  };

  const std::unique_ptr<Botan::HashFunction> hash = Botan::HashFunction::create_or_throw("SHA-512");
  std::uint64_t left = info.payloadSize;
  auto take = [&](const std::uint8_t* data, std::size_t n) {
    hash->update(data, n);
    left -= n;
    return out.fd < 0 || OS::WriteAll(out.fd, data, n) == n;
  };
  // The payload's first bytes came in with the head (which the parse found whole).
  const std::size_t early =
      static_cast<std::size_t>(std::min<std::uint64_t>(left, start.size() - head.PayloadOffset()));
  std::vector<std::uint8_t> block(kReadBlock);
  bool written = early == 0 || take(start.data() + head.PayloadOffset(), early);
  while (written && left > 0) {
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(left, block.size()));
    const ssize_t n = ReadUpTo(in.fd, block.data(), want);
    if (n <= 0) return failExtracted("it is cut short");
    written = take(block.data(), static_cast<std::size_t>(n));
  }
  if (!written) return failExtracted(std::string("its contents cannot be written: ") + std::strerror(errno));
  std::array<std::uint8_t, kDigestBytes> digest{};
  hash->final(digest.data());
  if (digest != info.payloadDigest) return failExtracted("it was altered after it was signed");
  if (out.fd >= 0) {
    const int fd = std::exchange(out.fd, -1);
    if (::close(fd) != 0) {
      ::unlink(extractTo.c_str());
      return Fail(reason, std::string("its contents cannot be written: ") + std::strerror(errno));
    }
  }
  return true;
}

PackageVerifier InstalledPackageVerifier(const std::string& extraKeyPem) {
  return PackageVerifier(TrustedKeys(OS::InstalledDataDir(), extraKeyPem),
                         std::make_shared<OS::RegistryInstalledProducts>(OS::RegistryStore::User()));
}

}  // namespace ORV::Freshet
