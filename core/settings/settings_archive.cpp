#include "core/settings/settings_archive.h"

#include <botan/auto_rng.h>
#include <botan/data_snk.h>
#include <botan/data_src.h>
#include <botan/filters.h>
#include <botan/hex.h>
#include <botan/pipe.h>
#include <botan/symkey.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <set>
#include <utility>

#include "core/base/event_log.h"
#include "platform/os/file_io.h"
#include "platform/os/file_replace.h"
#include "platform/os/folders.h"
#include "platform/os/text.h"

namespace ORV {

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kPackPiece = 4096;
constexpr std::size_t kGzipPiece = 16384;
constexpr std::size_t kIvSize = 16;
constexpr std::size_t kBlockSize = 16;
constexpr std::size_t kMaxLengthPrefixedBytes = 0x7FFF;

// Reads past `count` bytes; false when the data ends first.
bool SkipBytes(std::istream& in, std::uint64_t count) {
  char buf[kGzipPiece];
  while (count > 0) {
    const auto n = static_cast<std::streamsize>(std::min<std::uint64_t>(count, sizeof buf));
    in.read(buf, n);
    if (in.gcount() != n) return false;
    count -= static_cast<std::uint64_t>(n);
  }
  return true;
}

std::uint64_t FileSize(const std::string& path) {
  std::error_code ec;
  const auto size = fs::file_size(path, ec);
  return ec ? 0 : static_cast<std::uint64_t>(size);
}

void LogUnpack(std::string_view what, std::string_view name) {
  LogWarning("CCustomSettings::ImportSettingsArchive() - " + std::string(what) + " '" + std::string(name) + "'");
}

using Iv = std::array<std::uint8_t, kIvSize>;

// Streams `in` through AES-256/CBC with the archive key into `out`; true when
// both streams held up. The crypto library throws on a bad length or padding.
bool RunArchiveCipher(std::istream& in, std::ostream& out, const Iv& iv, Botan::Cipher_Dir direction) {
  Botan::Pipe pipe(Botan::get_cipher("AES-256/CBC", Botan::SymmetricKey(std::string(kSettingsArchiveKeyHex)),
                                     Botan::InitializationVector(iv.data(), iv.size()), direction),
                   new Botan::DataSink_Stream(out));
  Botan::DataSource_Stream source(in);
  pipe.process_msg(source);
  out.flush();
  return static_cast<bool>(out) && !in.bad();
}

}  // namespace

bool IsSettingsEntryType(std::uint32_t type) { return type >= 1 && type <= 3; }

const char* SettingsEntryTypeText(SettingsEntryType type) {
  switch (type) {
    case SettingsEntryType::Workspace:
      return "Workspace";
    case SettingsEntryType::CustomScripts:
      return "CustomScripts";
    case SettingsEntryType::OpenViews:
      return "Tarvix";
  }
  return "Other";
}

bool IsBareFileName(std::string_view name) { return OS::IsBareFileName(name); }

std::string SettingsEntryFolder(const std::string& workingFolder, SettingsEntryType type) {
  return workingFolder + "/" + SettingsEntryTypeText(type);
}

std::string SettingsEntryPath(const std::string& workingFolder, const SettingsArchiveEntry& entry) {
  return SettingsEntryFolder(workingFolder, entry.type) + "/" + entry.name;
}

bool WriteLengthPrefixedUtf8(SerializationStream& out, std::string_view utf8) {
  if (utf8.size() > kMaxLengthPrefixedBytes) return false;
  WriteU16(out, static_cast<std::uint16_t>(utf8.size()));
  out.Write(utf8.data(), utf8.size());
  return true;
}

bool ReadLengthPrefixedUtf8(std::istream& in, std::string& text) {
  text.clear();
  std::int16_t count = 0;
  if (!ReadLE(in, count)) return false;
  if (count < 1) return true;
  std::string bytes(static_cast<std::size_t>(count), '\0');
  if (!in.read(bytes.data(), count)) return false;
  // Through UTF-16 and back, so that malformed sequences become U+FFFD.
  text = OS::Utf16ToUtf8(OS::Utf8ToUtf16(bytes));
  return true;
}

bool WriteSettingsEntryHeader(SerializationStream& out, const SettingsArchiveEntry& entry, std::uint64_t size) {
  VectorSerializationStream header;
  const auto type = static_cast<std::uint8_t>(entry.type);
  header.Write(&type, 1);
  if (!WriteLengthPrefixedUtf8(header, entry.name)) return false;
  WriteLE<std::uint64_t>(header, size);
  out.Write(header.Data(), header.Size());
  return true;
}

int PackSettingsEntries(const std::string& workingFolder, const std::vector<SettingsArchiveEntry>& entries,
                        const std::string& packPath) {
  std::ofstream pack(packPath, std::ios::binary | std::ios::trunc);
  if (!pack) return kExportPackNotWritten;
  pack.write(reinterpret_cast<const char*>(kSettingsPackMagic), sizeof kSettingsPackMagic);

  for (const auto& entry : entries) {
    const std::string path = SettingsEntryPath(workingFolder, entry);
    if (!OS::PathExists(path)) {
      OS::EnsureDir(SettingsEntryFolder(workingFolder, entry.type));
      std::ofstream(path, std::ios::binary);
    }
    std::ifstream file(path, std::ios::binary);
    const std::uint64_t size = FileSize(path);
    if (!file || !IsBareFileName(entry.name) || size > 0xFFFFFFFFull) {
      LogError("CCustomSettings::ExportSettingsArchive() - unable to pack '" + entry.name + "'");
      return kExportEntryNotWritten;
    }
    VectorSerializationStream header;
    WriteSettingsEntryHeader(header, entry, size);
    pack.write(reinterpret_cast<const char*>(header.Data()), static_cast<std::streamsize>(header.Size()));

    char buf[kPackPiece];
    std::uint64_t copied = 0;
    while (copied < size) {
      file.read(buf, static_cast<std::streamsize>(std::min<std::uint64_t>(sizeof buf, size - copied)));
      const auto n = file.gcount();
      if (n <= 0) break;
      pack.write(buf, n);
      copied += static_cast<std::uint64_t>(n);
    }
    if (copied != size) {
      // The header already promised `size` bytes: a short file would shift
      // every later entry.
      LogError("CCustomSettings::ExportSettingsArchive() - '" + entry.name + "' changed while it was packed");
      return kExportEntryNotWritten;
    }
  }
  pack.flush();
  return pack ? kSettingsOk : kExportPackNotWritten;
}

bool CompressSettingsFile(const std::string& source, const std::string& gzipPath) {
  std::ifstream in(source, std::ios::binary);
  if (!in) return false;
  gzFile gz = gzopen(gzipPath.c_str(), "wb9");
  if (!gz) return false;
  bool ok = true;
  char buf[kGzipPiece];
  while (ok) {
    in.read(buf, sizeof buf);
    const auto n = in.gcount();
    if (n <= 0) break;
    ok = gzwrite(gz, buf, static_cast<unsigned>(n)) == static_cast<int>(n);
  }
  if (in.bad()) ok = false;
  if (gzclose(gz) != Z_OK) ok = false;
  return ok;
}

bool EncryptSettingsFile(const std::string& source, const std::string& archivePath) {
  try {
    std::ifstream in(source, std::ios::binary);
    std::ofstream out(archivePath, std::ios::binary | std::ios::trunc);
    if (!in || !out) return false;
    Botan::AutoSeeded_RNG rng;
    Iv iv{};
    rng.randomize(iv.data(), iv.size());
    out.write(reinterpret_cast<const char*>(iv.data()), iv.size());
    return RunArchiveCipher(in, out, iv, Botan::ENCRYPTION);
  } catch (const std::exception& e) {
    LogError(std::string("CCustomSettings::ExportSettingsArchive() - encryption failed: ") + e.what());
    return false;
  }
}

bool ReplaceFileFrom(const std::string& source, const std::string& destination) {
  OS::FileReplacement replacement(destination);
  if (!replacement.IsOpen()) return false;
  std::ifstream in(source, std::ios::binary);
  if (!in) return false;
  char buf[1 << 16];
  for (;;) {
    in.read(buf, sizeof buf);
    const auto n = in.gcount();
    if (n <= 0) break;
    const auto size = static_cast<std::size_t>(n);
    if (OS::WriteAll(replacement.Descriptor(), buf, size) != size) return false;
  }
  return !in.bad() && replacement.Commit();
}

int DecryptSettingsFile(const std::string& archivePath, const std::string& gzipPath) {
  const std::uint64_t size = FileSize(archivePath);
  if (size < kIvSize + kBlockSize || (size - kIvSize) % kBlockSize != 0) return kImportUnreadable;
  try {
    std::ifstream in(archivePath, std::ios::binary);
    std::ofstream out(gzipPath, std::ios::binary | std::ios::trunc);
    if (!in || !out) return kImportUnreadable;
    Iv iv{};
    if (!in.read(reinterpret_cast<char*>(iv.data()), iv.size())) return kImportUnreadable;
    if (!RunArchiveCipher(in, out, iv, Botan::DECRYPTION)) return kImportUnreadable;
  } catch (const std::exception& e) {
    LogWarning(std::string("CCustomSettings::ImportSettingsArchive() - the archive does not decrypt: ") + e.what());
    return kImportUnreadable;
  }
  return kSettingsOk;
}

int DecompressSettingsFile(const std::string& gzipPath, const std::string& packPath, std::uint64_t maxBytes) {
  if (!OS::PathExists(gzipPath)) return kImportNotDecompressed;
  std::ofstream out(packPath, std::ios::binary | std::ios::trunc);
  if (!out) return kImportNotDecompressed;
  gzFile gz = gzopen(gzipPath.c_str(), "rb");
  if (!gz) return kImportNotDecompressed;
  bool ok = true;
  std::uint64_t total = 0;
  char buf[kGzipPiece];
  for (;;) {
    const int n = gzread(gz, buf, sizeof buf);
    if (n < 0) ok = false;
    if (n <= 0) break;
    total += static_cast<std::uint64_t>(n);
    if (total > maxBytes) {
      LogWarning("CCustomSettings::ImportSettingsArchive() - the archive unpacks to more than " +
                 std::to_string(maxBytes) + " bytes");
      ok = false;
      break;
    }
    out.write(buf, n);
  }
  // A stream cut short reads without error up to the cut and is reported
  // only here.
  if (gzclose(gz) != Z_OK) ok = false;
  out.flush();
  if (!out) ok = false;
  return ok ? kSettingsOk : kImportNotDecompressed;
}

int UnpackSettingsPack(std::istream& in, const std::string& workingFolder, std::vector<SettingsArchiveEntry>& entries,
                       const UnpackLimits& limits) {
  std::uint8_t magic[sizeof kSettingsPackMagic];
  if (!in.read(reinterpret_cast<char*>(magic), sizeof magic) ||
      !std::equal(std::begin(magic), std::end(magic), std::begin(kSettingsPackMagic))) {
    return kImportNoValidEntry;
  }
  std::set<std::pair<std::uint32_t, std::string>> seen;
  std::uint64_t total = 0;
  std::size_t count = 0;
  while (in.good()) {
    const int type = in.get();
    if (type == std::char_traits<char>::eof() || !IsSettingsEntryType(static_cast<std::uint32_t>(type))) break;
    SettingsArchiveEntry entry;
    entry.type = static_cast<SettingsEntryType>(type);
    if (!ReadLengthPrefixedUtf8(in, entry.name) || entry.name.empty()) break;
    if (!ReadLE(in, entry.size)) break;

    if (++count > limits.maxEntries) {
      LogUnpack("more entries than allowed; the rest is ignored from", entry.name);
      break;
    }
    const char* refusal = nullptr;
    if (!IsBareFileName(entry.name)) {
      refusal = "skipped an entry whose name is not a plain file name:";
    } else if (!seen.emplace(static_cast<std::uint32_t>(entry.type), entry.name).second) {
      refusal = "skipped a repeated entry";
    } else if (entry.size > limits.maxEntryBytes || entry.size > limits.maxTotalBytes - total) {
      refusal = "skipped an entry larger than allowed:";
    }
    if (refusal) {
      LogUnpack(refusal, entry.name);
      if (!SkipBytes(in, entry.size)) break;
      continue;
    }

    const std::string path = SettingsEntryPath(workingFolder, entry);
    OS::EnsureDir(SettingsEntryFolder(workingFolder, entry.type));
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    char buf[kGzipPiece];
    std::uint64_t left = entry.size;
    while (left > 0 && out) {
      const auto n = static_cast<std::streamsize>(std::min<std::uint64_t>(left, sizeof buf));
      in.read(buf, n);
      const auto got = in.gcount();
      out.write(buf, got);
      left -= static_cast<std::uint64_t>(got);
      if (got != n) break;
    }
    out.close();
    if (left > 0 || !out) {
      LogUnpack("dropped an entry that is cut short or could not be written:", entry.name);
      std::error_code ec;
      fs::remove(path, ec);
      break;
    }
    total += entry.size;
    entries.push_back(std::move(entry));
    if (in.peek() == std::char_traits<char>::eof()) break;
  }
  return kSettingsOk;
}

}  // namespace ORV
