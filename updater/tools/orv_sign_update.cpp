// orv-sign-update: the maker's tool for update packages. It makes the key
// pair, signs a package for the update service, and checks a signed package
// the way the program will. README.md ("Publishing an update") tells how it
// is used.
//
//   orv-sign-update keygen NAME
//   orv-sign-update sign --key NAME.key --product PRODUCT --version A.B.C.D [--name FILE] PACKAGE SIGNED
//   orv-sign-update verify --key NAME.pub SIGNED
//
// Exit status 0 on success, 1 when the work failed, 2 for a wrong command line.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/os/file_io.h"
#include "platform/os/folders.h"
#include "updater/package_signature.h"
#include "updater/signing/package_signing.h"

namespace {

using namespace ORV::Freshet;

constexpr int kFailed = 1;
constexpr int kUsage = 2;

int Usage() {
  std::fprintf(stderr,
               "usage:\n"
               "  orv-sign-update keygen NAME\n"
               "      writes the key pair NAME.key (secret) and NAME.pub\n"
               "  orv-sign-update sign --key NAME.key --product PRODUCT --version A.B.C.D [--name FILE] PACKAGE "
               "SIGNED\n"
               "      writes PACKAGE signed as the file FILE (default: PACKAGE's file name) of the update\n"
               "      PRODUCT A.B.C.D to SIGNED\n"
               "  orv-sign-update verify --key NAME.pub SIGNED\n"
               "      checks SIGNED against the public key and shows what it was signed as\n");
  return kUsage;
}

int Error(const std::string& text) {
  std::fprintf(stderr, "orv-sign-update: %s\n", text.c_str());
  return kFailed;
}

// "--flag value" pairs and the other words, in order.
struct Arguments {
  std::map<std::string, std::string> flags;
  std::vector<std::string> words;
};
std::optional<Arguments> Split(int argc, char** argv, int from) {
  Arguments a;
  for (int i = from; i < argc; ++i) {
    const std::string word = argv[i];
    if (word.rfind("--", 0) == 0) {
      if (i + 1 >= argc || a.flags.count(word)) return std::nullopt;
      a.flags[word] = argv[++i];
    } else {
      a.words.push_back(word);
    }
  }
  return a;
}

// Four whole numbers separated by dots.
bool ParseVersion(const std::string& text, SignedPackageInfo& info) {
  std::int32_t* parts[] = {&info.major, &info.minor, &info.revision, &info.build};
  const char* p = text.data();
  const char* end = text.data() + text.size();
  for (std::size_t i = 0; i < 4; ++i) {
    const auto [next, ec] = std::from_chars(p, end, *parts[i]);
    if (ec != std::errc() || next == p) return false;
    p = next;
    if (i < 3) {
      if (p == end || *p != '.') return false;
      ++p;
    }
  }
  return p == end;
}

bool WriteNewFile(const std::string& path, const std::string& text, mode_t mode) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (fd < 0) return false;
  const bool ok = ORV::OS::WriteAll(fd, text.data(), text.size()) == text.size();
  return ::close(fd) == 0 && ok;
}

int KeyGen(const Arguments& a) {
  if (a.words.size() != 1 || !a.flags.empty()) return Usage();
  const std::string priv = a.words[0] + ".key";
  const std::string pub = a.words[0] + ".pub";
  if (ORV::OS::PathExists(priv) || ORV::OS::PathExists(pub)) return Error(priv + " or " + pub + " exists already");
  const SigningKeyPair pair = GenerateSigningKeyPair();
  if (!WriteNewFile(priv, pair.privateKeyPem, 0600)) return Error("cannot write " + priv + ": " + std::strerror(errno));
  if (!WriteNewFile(pub, pair.publicKeyPem, 0644)) return Error("cannot write " + pub + ": " + std::strerror(errno));
  std::printf("wrote %s (keep it secret) and %s\n", priv.c_str(), pub.c_str());
  return 0;
}

int Sign(const Arguments& a) {
  if (a.words.size() != 2 || !a.flags.count("--key") || !a.flags.count("--product") || !a.flags.count("--version"))
    return Usage();
  for (const auto& [flag, value] : a.flags) {
    if (flag != "--key" && flag != "--product" && flag != "--version" && flag != "--name") return Usage();
  }
  SignedPackageInfo info;
  info.product = a.flags.at("--product");
  if (!ParseVersion(a.flags.at("--version"), info)) return Error("the version must read A.B.C.D (four whole numbers)");
  info.file = a.flags.count("--name") ? a.flags.at("--name") : std::filesystem::path(a.words[0]).filename().string();
  if (!ORV::OS::IsBareFileName(info.file)) return Error("the file name \"" + info.file + "\" is not a plain file name");
  std::string key;
  if (!ORV::OS::ReadFile(a.flags.at("--key"), key, 64 * 1024)) return Error("cannot read " + a.flags.at("--key"));
  std::string reason;
  if (!SignPackageFile(key, info, a.words[0], a.words[1], &reason)) return Error(reason);
  std::printf("signed %s as \"%s\" of %s %s: %s\n", a.words[0].c_str(), info.file.c_str(), info.product.c_str(),
              a.flags.at("--version").c_str(), a.words[1].c_str());
  return 0;
}

int Verify(const Arguments& a) {
  if (a.words.size() != 1 || a.flags.size() != 1 || !a.flags.count("--key")) return Usage();
  std::string text;
  if (!ORV::OS::ReadFile(a.flags.at("--key"), text, 64 * 1024)) return Error("cannot read " + a.flags.at("--key"));
  std::string reason;
  const std::optional<PublicKey> key = ParsePublicKey(text, &reason);
  if (!key) return Error(a.flags.at("--key") + ": " + reason);

  std::string start;
  const int fd = ::open(a.words[0].c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return Error("cannot open " + a.words[0] + ": " + std::strerror(errno));
  start.resize(kMaxSignedHeadBytes);
  const ssize_t n = ::read(fd, start.data(), start.size());
  ::close(fd);
  SignedPackageHead head;
  if (n < 0 || !ParseSignedHead({reinterpret_cast<const std::uint8_t*>(start.data()), static_cast<std::size_t>(n)},
                                head, &reason)) {
    return Error(a.words[0] + ": " + reason);
  }
  FreshetUpdate update;
  update.productName = head.info.product;
  update.major = head.info.major;
  update.minor = head.info.minor;
  update.revision = head.info.revision;
  update.build = head.info.build;
  const FreshetUpdateFile file{{}, head.info.file};
  if (!PackageVerifier({*key}, nullptr).Verify(a.words[0], update, file, {}, &reason))
    return Error(a.words[0] + ": " + reason);
  std::printf("%s: \"%s\" of %s %d.%d.%d.%d, %llu bytes, signed by %s\n", a.words[0].c_str(), head.info.file.c_str(),
              head.info.product.c_str(), head.info.major, head.info.minor, head.info.revision, head.info.build,
              static_cast<unsigned long long>(head.info.payloadSize), a.flags.at("--key").c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string command = argv[1];
  const std::optional<Arguments> a = Split(argc, argv, 2);
  if (!a) return Usage();
  if (command == "keygen") return KeyGen(*a);
  if (command == "sign") return Sign(*a);
  if (command == "verify") return Verify(*a);
  return Usage();
}
