#pragma once
// The maker's side of signed update packages: key pairs and signing. Used by
// the signing tool (orv-sign-update) and by the tests; the update library
// itself only verifies (updater/package_signature.h has the format).
#include <string>
#include <string_view>

#include "updater/package_signature.h"

namespace ORV::Freshet {

// A new Ed25519 key pair as the texts of its two files: the private key as
// PEM "PRIVATE KEY" (PKCS #8, not encrypted), the public key as PEM
// "PUBLIC KEY", the form the program installs and SettingsOverride.xml holds.
struct SigningKeyPair {
  std::string privateKeyPem;
  std::string publicKeyPem;
};
SigningKeyPair GenerateSigningKeyPair();

// The public key file's text of a private key file's text; empty, with the
// reason, when it is not an Ed25519 private key.
std::string PublicKeyPemOf(std::string_view privateKeyPem, std::string* reason = nullptr);

// Signs `payload` as the file `info.file` of `info.product` at info's
// version (the payload's size and digest are filled in): the whole signed
// package. Empty, with the reason, when the private key cannot be read or a
// name is empty or too long.
std::string SignPackage(std::string_view privateKeyPem, SignedPackageInfo info, std::string_view payload,
                        std::string* reason = nullptr);

// The same from the file `input` to the file `output` (replaced whole), for
// packages too large to hold in memory. False, with the reason, on failure.
bool SignPackageFile(std::string_view privateKeyPem, SignedPackageInfo info, const std::string& input,
                     const std::string& output, std::string* reason = nullptr);

}  // namespace ORV::Freshet
