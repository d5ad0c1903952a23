#pragma once
// Signed update packages: the envelope in which the maker ships every
// package file, and the check that a downloaded file is the maker's before
// anything of it runs.
//
// A signed package is a head, its Ed25519 signature and the package's own
// bytes (the payload). Integers are little-endian:
//
//   size   field
//   8      "ORVUPKG1"
//   2      length of the product name, 1 to 1024
//   n      product name (the update's productName)
//   16     version: major, minor, revision, build, 32-bit signed each
//   2      length of the file name, 1 to 255
//   n      file name (the update file's localName)
//   8      payload size
//   64     SHA-512 of the payload
//   64     Ed25519 signature of every byte above
//   n      payload; the file ends with it
//
// The signature covers the head, and the head holds the payload's size and
// digest, so it covers every byte of the file. A package verifies only when
// a trusted key made that signature, the head names the update and file the
// update list says it is (an older package of the maker's replayed in place
// of a newer one does not), the update is newer than the installed product
// of its name, and the payload is exactly the one signed.
//
// The verifier is immutable once made and may be used on any thread.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/os/installer_backend.h"
#include "updater/freshet_settings.h"

namespace ORV::Freshet {

inline constexpr std::string_view kSignedPackageMagic = "ORVUPKG1";
inline constexpr std::size_t kMaxSignedProductBytes = 1024;
inline constexpr std::size_t kMaxSignedFileBytes = 255;
inline constexpr std::size_t kPublicKeyBytes = 32;
inline constexpr std::size_t kSignatureBytes = 64;
inline constexpr std::size_t kDigestBytes = 64;
// The longest head, with its signature: what a reader needs of a file's start.
inline constexpr std::size_t kMaxSignedHeadBytes =
    8 + 2 + kMaxSignedProductBytes + 16 + 2 + kMaxSignedFileBytes + 8 + kDigestBytes + kSignatureBytes;

// The installed public key's file name in the installed data folder.
inline constexpr const char* kUpdateKeyFile = "update-signing.pub";

using PublicKey = std::array<std::uint8_t, kPublicKeyBytes>;

// What a head says about its package.
struct SignedPackageInfo {
  std::string product;
  std::int32_t major = 0;
  std::int32_t minor = 0;
  std::int32_t revision = 0;
  std::int32_t build = 0;
  std::string file;
  std::uint64_t payloadSize = 0;
  std::array<std::uint8_t, kDigestBytes> payloadDigest{};
  bool operator==(const SignedPackageInfo&) const = default;
};

struct SignedPackageHead {
  SignedPackageInfo info;
  std::size_t signedBytes = 0;  // the head's length; the signature follows it
  std::array<std::uint8_t, kSignatureBytes> signature{};
  // Where the payload starts: signedBytes + kSignatureBytes.
  std::uint64_t PayloadOffset() const { return signedBytes + kSignatureBytes; }
};

// The head's bytes for `info` (what the maker signs); empty when a name is
// empty or longer than its limit.
std::vector<std::uint8_t> EncodeSignedHead(const SignedPackageInfo& info);

// Reads the head and signature from the start of a file (`bytes` may go on
// into the payload). False, with the reason, when the bytes are not the
// start of a signed package: a wrong magic, a length out of range, or fewer
// bytes than the head and signature need.
bool ParseSignedHead(std::span<const std::uint8_t> bytes, SignedPackageHead& head, std::string* reason = nullptr);

// True when `signature` is an Ed25519 signature of `message` by `key`.
bool VerifyEd25519(const PublicKey& key, std::span<const std::uint8_t> message,
                   std::span<const std::uint8_t, kSignatureBytes> signature);

// The key of a public key file's text (PEM "PUBLIC KEY" of an Ed25519 key);
// empty, with the reason, for anything else.
std::optional<PublicKey> ParsePublicKey(std::string_view pem, std::string* reason = nullptr);

// The public key built into the library.
PublicKey BuiltInUpdateKey();

// The keys an installation trusts: the key file in `dataDir` (when it is
// there and holds a key), the built-in key, and `extraKeyPem` (a test
// service's key, when set and valid). A file or extra key that cannot be
// read is reported on standard error and left out.
std::vector<PublicKey> TrustedKeys(const std::string& dataDir, const std::string& extraKeyPem);

class PackageVerifier {
 public:
  // `installed` may be null: then no version is compared with what is installed.
  PackageVerifier(std::vector<PublicKey> keys, std::shared_ptr<const OS::InstalledProducts> installed);

  // Checks that the signed package at `path` is the file `file` of `update`
  // as the maker signed it. With `extractTo`, the payload is written there as
  // it is read (a new file, mode 0600, whatever was there replaced) and
  // removed again unless the package verifies, so what is run is exactly
  // what was checked. False, with the reason, when it does not verify.
  bool Verify(const std::string& path, const FreshetUpdate& update, const FreshetUpdateFile& file,
              const std::string& extractTo = {}, std::string* reason = nullptr) const;

 private:
  std::vector<PublicKey> keys_;
  std::shared_ptr<const OS::InstalledProducts> installed_;
};

// The verifier of this installation: TrustedKeys of the installed data
// folder and `extraKeyPem`, and the products the registry store records as
// installed.
PackageVerifier InstalledPackageVerifier(const std::string& extraKeyPem);

}  // namespace ORV::Freshet
