// Signed update packages: which packages verify, the head's format, the keys
// an installation trusts, and the maker's signing tool.
#include "updater/package_signature.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/os/child_process.h"
#include "platform/os/folders.h"
#include "updater/signing/package_signing.h"
#include "updater_fixture.h"

namespace ORV::Test {
namespace {

using Freshet::FreshetUpdate;
using Freshet::PackageVerifier;

// Enough bytes that the contents go on well beyond the first block read.
std::string LargePayload() {
  std::string payload = "#!/bin/sh\necho installed\nexit 0\n";
  std::uint32_t x = 12345;
  while (payload.size() < 150000) {
    x = x * 1103515245u + 12345u;
    payload.push_back(static_cast<char>(x >> 24));
  }
  return payload;
}

std::string Flipped(std::string bytes, std::size_t at) {
  bytes[at] = static_cast<char>(bytes[at] ^ 0x01);
  return bytes;
}

TEST(SignedPackage, OnlyTheMakersExactPackageForThisUpdateVerifies) {
  const std::string payload = LargePayload();
  const FreshetUpdate update = MakeUpdate("Tarvix 5", 5, 6, 0, 1, {{"u/core", "core.pkg"}});
  const FreshetUpdate drivers = MakeUpdate("Drivers", 1, 0, 0, 0, {{"u/drv", "core.pkg"}});
  const FreshetUpdate installedVersion = MakeUpdate("Tarvix 5", 5, 5, 7, 9, {{"u/core", "core.pkg"}});
  const std::string good = Signed(update, "core.pkg", payload);
  const std::size_t head = good.size() - payload.size();
  const Freshet::SigningKeyPair other = Freshet::GenerateSigningKeyPair();
  auto installed = std::make_shared<FakeInstalledProducts>();
  installed->Add("TARVIX 5", "5.5.7");

  struct Case {
    const char* what;
    std::string bytes;
    const FreshetUpdate& update;
    bool verifies;
  };
  const Case cases[] = {
      {"the maker's package", good, update, true},
      {"a product not installed, at any version", Signed(drivers, "core.pkg", payload), drivers, true},
      {"not signed", payload, update, false},
      {"signed with another key", Signed(update, "core.pkg", payload, other.privateKeyPem), update, false},
      {"one byte of the contents altered", Flipped(good, good.size() - 1), update, false},
      {"one byte of the head altered", Flipped(good, 12), update, false},
      {"one byte of the signature altered", Flipped(good, head - 1), update, false},
      {"cut short by one byte", good.substr(0, good.size() - 1), update, false},
      {"cut inside the head", good.substr(0, 40), update, false},
      {"empty", "", update, false},
      {"one byte more", good + "x", update, false},
      {"an older package replayed as this update", Signed(MakeUpdate("Tarvix 5", 5, 0, 0, 0), "core.pkg", payload),
       update, false},
      {"another build of this version", Signed(MakeUpdate("Tarvix 5", 5, 6, 0, 2), "core.pkg", payload), update, false},
      {"another file of this update", Signed(update, "extra.pkg", payload), update, false},
      {"another product's package", Signed(MakeUpdate("Other", 5, 6, 0, 1), "core.pkg", payload), update, false},
      {"the installed version again", Signed(installedVersion, "core.pkg", payload), installedVersion, false},
  };
  const PackageVerifier verifier = TestVerifier(installed);
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteText(dir / "core.pkg", c.bytes);
    WriteText(dir / "contents", "left from an earlier run");
    std::string reason;
    EXPECT_EQ(verifier.Verify(dir / "core.pkg", c.update, c.update.files[0], dir / "contents", &reason), c.verifies)
        << reason;
    if (c.verifies) {
      EXPECT_EQ(ReadText(dir / "contents"), payload);
      EXPECT_EQ(FileMode(dir / "contents"), 0600u);
    } else {
      EXPECT_FALSE(OS::PathExists(dir / "contents")) << "nothing of a refused package is left to run";
      EXPECT_FALSE(reason.empty());
    }
  }
  // Without extracting, the same check.
  EXPECT_FALSE(verifier.Verify(dir / "missing.pkg", update, update.files[0]));
  WriteText(dir / "core.pkg", good);
  EXPECT_TRUE(verifier.Verify(dir / "core.pkg", update, update.files[0]));
  EXPECT_FALSE(PackageVerifier({}, nullptr).Verify(dir / "core.pkg", update, update.files[0]))
      << "with no trusted key nothing verifies";
}

TEST(SignedPackage, EveryCutOfTheHeadIsRefusedAndTheWholeHeadReadsBack) {
  Freshet::SignedPackageInfo info;
  info.product = "Tarvix 5";
  info.major = 5;
  info.minor = -6;
  info.revision = 0x7FFFFFFF;
  info.build = 1;
  info.file = "tarvix5_5.6_amd64.deb";
  info.payloadSize = 0x0123456789ABCDEFull;
  for (std::size_t i = 0; i < info.payloadDigest.size(); ++i) info.payloadDigest[i] = static_cast<std::uint8_t>(i);
  std::vector<std::uint8_t> bytes = Freshet::EncodeSignedHead(info);
  ASSERT_EQ(bytes.size(), 8 + 2 + 8 + 16 + 2 + 21 + 8 + 64u);
  const std::size_t signedBytes = bytes.size();
  for (std::size_t i = 0; i < Freshet::kSignatureBytes; ++i) bytes.push_back(static_cast<std::uint8_t>(0xA0 + i % 16));

  for (std::size_t n = 0; n < bytes.size(); ++n) {
    Freshet::SignedPackageHead head;
    EXPECT_FALSE(Freshet::ParseSignedHead(std::span(bytes.data(), n), head)) << n;
  }
  Freshet::SignedPackageHead head;
  ASSERT_TRUE(Freshet::ParseSignedHead(bytes, head));
  EXPECT_EQ(head.info, info);
  EXPECT_EQ(head.signedBytes, signedBytes);
  EXPECT_EQ(head.PayloadOffset(), bytes.size());
  EXPECT_EQ(head.signature[0], 0xA0);

  // Names out of range are neither written nor read.
  struct Case {
    const char* what;
    std::string product;
    std::string file;
  };
  const Case cases[] = {
      {"no product", "", "a.pkg"},
      {"no file", "P", ""},
      {"product too long", std::string(Freshet::kMaxSignedProductBytes + 1, 'p'), "a.pkg"},
      {"file name too long", "P", std::string(Freshet::kMaxSignedFileBytes + 1, 'f')},
  };
  for (const Case& c : cases) {
    Freshet::SignedPackageInfo bad = info;
    bad.product = c.product;
    bad.file = c.file;
    EXPECT_TRUE(Freshet::EncodeSignedHead(bad).empty()) << c.what;
    // The same head with its lengths written anyway.
    std::vector<std::uint8_t> forged(Freshet::kSignedPackageMagic.begin(), Freshet::kSignedPackageMagic.end());
    const auto put = [&forged](const std::string& text) {
      forged.push_back(static_cast<std::uint8_t>(text.size() & 0xFF));
      forged.push_back(static_cast<std::uint8_t>(text.size() >> 8));
      forged.insert(forged.end(), text.begin(), text.end());
    };
    put(c.product);
    forged.resize(forged.size() + 16);
    put(c.file);
    forged.resize(forged.size() + 8 + Freshet::kDigestBytes + Freshet::kSignatureBytes);
    EXPECT_FALSE(Freshet::ParseSignedHead(forged, head)) << c.what;
  }
}

TEST(TrustedKeys, AreTheInstalledKeyTheBuiltInKeyAndAConfiguredOne) {
  const Freshet::SigningKeyPair installedPair = Freshet::GenerateSigningKeyPair();
  const Freshet::SigningKeyPair testPair = Freshet::GenerateSigningKeyPair();
  const Freshet::PublicKey builtIn = Freshet::BuiltInUpdateKey();
  const Freshet::PublicKey installedKey = *Freshet::ParsePublicKey(installedPair.publicKeyPem);
  const Freshet::PublicKey testKey = *Freshet::ParsePublicKey(testPair.publicKeyPem);
  std::string fileText;
  ASSERT_TRUE(OS::ReadFile(ORV_TEST_UPDATE_KEY_FILE, fileText));
  EXPECT_EQ(Freshet::ParsePublicKey(fileText), builtIn) << "the built-in key is the one the program installs";

  // An elliptic-curve key of another kind.
  const std::string otherKind =
      "-----BEGIN PUBLIC KEY-----\n"
      "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAEewOmJZeKd3jrxIIsnRmc75j8wY4W\n"
      "gp8XbGbDtl2h5oTbKhKG3bkM2Z7zjn9pah/lh2aa4gxCXNxAS6iGqDwkXA==\n"
      "-----END PUBLIC KEY-----\n";
  struct Case {
    const char* what;
    const char* file;  // nullptr: no key file installed
    std::string extra;
    std::vector<Freshet::PublicKey> keys;
  };
  const Case cases[] = {
      {"nothing installed", nullptr, "", {builtIn}},
      {"an installed key", installedPair.publicKeyPem.c_str(), "", {installedKey, builtIn}},
      {"a damaged key file", "-----BEGIN PUBLIC KEY-----\nAAAA\n-----END PUBLIC KEY-----\n", "", {builtIn}},
      {"a private key in its place", installedPair.privateKeyPem.c_str(), "", {builtIn}},
      {"a key of another kind", otherKind.c_str(), "", {builtIn}},
      {"the built-in key installed", fileText.c_str(), "", {builtIn}},
      {"a test service's key", nullptr, testPair.publicKeyPem, {builtIn, testKey}},
      {"a test service's key that is no key", nullptr, "key", {builtIn}},
  };
  for (const Case& c : cases) {
    TempDir data;
    if (c.file) WriteText(data / Freshet::kUpdateKeyFile, c.file);
    EXPECT_EQ(Freshet::TrustedKeys(data.path(), c.extra), c.keys) << c.what;
  }
}

// The commands README.md gives for publishing an update.
TEST(SigningTool, MakesTheKeysSignsAPackageAndChecksIt) {
  TempDir dir;
  const auto run = [&dir](std::vector<std::string> args) {
    OS::ChildProcess tool;
    EXPECT_TRUE(tool.Start(ORV_TEST_SIGN_TOOL, args, dir.path()));
    EXPECT_TRUE(tool.WaitFor(std::chrono::seconds(60)));
    return tool.ExitStatus().value_or(-1);
  };
  const std::string payload = LargePayload();
  WriteText(dir / "tarvix5_5.6.0_amd64.deb", payload);

  EXPECT_EQ(run({"keygen", "maker"}), 0);
  EXPECT_EQ(FileMode(dir / "maker.key"), 0600u);
  EXPECT_EQ(run({"keygen", "maker"}), 1) << "an existing key is never overwritten";
  EXPECT_EQ(run({"keygen", "other"}), 0);
  EXPECT_EQ(run({"sign", "--key", "maker.key", "--product", "Tarvix 5", "--version", "5.6.0.1",
                 "tarvix5_5.6.0_amd64.deb", "signed.deb"}),
            0);
  EXPECT_EQ(run({"verify", "--key", "maker.pub", "signed.deb"}), 0);
  EXPECT_EQ(run({"verify", "--key", "other.pub", "signed.deb"}), 1);
  EXPECT_EQ(run({"verify", "--key", "maker.pub", "tarvix5_5.6.0_amd64.deb"}), 1);
  EXPECT_EQ(run({"sign", "--key", "maker.key", "--product", "Tarvix 5", "--version", "5.6", "tarvix5_5.6.0_amd64.deb",
                 "bad.deb"}),
            1);
  EXPECT_EQ(run({"sign", "--key", "maker.pub", "--product", "Tarvix 5", "--version", "5.6.0.1",
                 "tarvix5_5.6.0_amd64.deb", "bad.deb"}),
            1)
      << "a public key cannot sign";
  EXPECT_FALSE(OS::PathExists(dir / "bad.deb"));
  EXPECT_EQ(run({"sign", "--product", "Tarvix 5", "tarvix5_5.6.0_amd64.deb"}), 2);

  // The signed file is the package of that update, named as the package was
  // unless --name says otherwise, and the same as signing it in memory.
  std::string publicPem;
  std::string privatePem;
  ASSERT_TRUE(OS::ReadFile(dir / "maker.pub", publicPem));
  ASSERT_TRUE(OS::ReadFile(dir / "maker.key", privatePem));
  EXPECT_EQ(Freshet::PublicKeyPemOf(privatePem), publicPem);
  const FreshetUpdate update = MakeUpdate("Tarvix 5", 5, 6, 0, 1, {{"u/core", "tarvix5_5.6.0_amd64.deb"}});
  const PackageVerifier verifier({*Freshet::ParsePublicKey(publicPem)}, nullptr);
  EXPECT_TRUE(verifier.Verify(dir / "signed.deb", update, update.files[0], dir / "contents"));
  EXPECT_EQ(ReadText(dir / "contents"), payload);
  EXPECT_EQ(ReadText(dir / "signed.deb"), Signed(update, "tarvix5_5.6.0_amd64.deb", payload, privatePem));
  EXPECT_EQ(run({"sign", "--key", "maker.key", "--product", "Tarvix 5", "--version", "5.6.0.1", "--name", "core.deb",
                 "tarvix5_5.6.0_amd64.deb", "renamed.deb"}),
            0);
  EXPECT_EQ(ReadText(dir / "renamed.deb"), Signed(update, "core.deb", payload, privatePem));
}

}  // namespace
}  // namespace ORV::Test
