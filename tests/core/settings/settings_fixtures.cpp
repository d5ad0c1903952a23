#include "tests/core/settings/settings_fixtures.h"

#include <botan/filters.h>
#include <botan/pipe.h>
#include <botan/symkey.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "core/storage/record_stream.h"

namespace ORV::Test {

namespace fs = std::filesystem;

int FakeViews::OpenTraceWindow() {
  TraceWindowState w;
  w.zones.assign(4, -1);
  windows.push_back(w);
  calls.push_back("open " + std::to_string(windows.size() - 1));
  return static_cast<int>(windows.size()) - 1;
}

void FakeViews::ShowTrace(int window, std::int32_t traceCode) {
  windows.at(static_cast<std::size_t>(window)).traceCode = traceCode;
  calls.push_back("show " + std::to_string(window) + " " + std::to_string(traceCode));
}

void FakeViews::SetCamera(int window, std::int32_t camera) {
  windows.at(static_cast<std::size_t>(window)).camera = camera;
  calls.push_back("camera " + std::to_string(window) + " " + std::to_string(camera));
}

void FakeViews::SetZone(int window, std::int32_t camera, std::int32_t zone) {
  auto& zones = windows.at(static_cast<std::size_t>(window)).zones;
  if (camera >= 0 && static_cast<std::size_t>(camera) < zones.size()) zones[static_cast<std::size_t>(camera)] = zone;
  calls.push_back("zone " + std::to_string(window) + " " + std::to_string(camera) + " " + std::to_string(zone));
}

void FakeViews::ConfigureGraphForTrace(int window, std::int32_t traceCode) {
  calls.push_back("graph " + std::to_string(window) + " " + std::to_string(traceCode));
}

void FakeViews::SetVisibleRange(int window, double start, double end) {
  auto& w = windows.at(static_cast<std::size_t>(window));
  w.visibleStart = start;
  w.visibleEnd = end;
}

void FakeViews::Redraw(int window) { calls.push_back("redraw " + std::to_string(window)); }

void FakeViews::OpenSheet(SheetKind sheet) {
  if (sheet == SheetKind::Action) {
    actionOpen = true;
    ++actionOpened;
  } else {
    dataOpen = true;
    ++dataOpened;
  }
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes ReadBytes(const std::string& path) {
  const std::string s = ReadAll(path);
  return Bytes(s.begin(), s.end());
}

void WriteAll(const std::string& path, std::string_view data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(data.data(), static_cast<std::streamsize>(data.size()));
  ASSERT_TRUE(out.good()) << path;
}

Bytes MakePack(const std::vector<RawEntry>& entries) {
  VectorSerializationStream s;
  s.Write(kSettingsPackMagic, sizeof kSettingsPackMagic);
  for (const auto& e : entries) {
    s.Write(&e.type, 1);
    WriteU16(s, static_cast<std::uint16_t>(e.name.size()));
    s.Write(e.name.data(), e.name.size());
    const std::uint64_t size = e.data.size();
    WriteU32(s, static_cast<std::uint32_t>(size));
    WriteU32(s, static_cast<std::uint32_t>(size >> 32));
    s.Write(e.data.data(), e.data.size());
  }
  return Bytes(s.Data(), s.Data() + s.Size());
}

Bytes Gzip(const Bytes& data) {
  TempDir dir;
  const std::string path = dir / "x.gz";
  gzFile gz = gzopen(path.c_str(), "wb9");
  EXPECT_NE(gz, nullptr);
  if (!data.empty()) gzwrite(gz, data.data(), static_cast<unsigned>(data.size()));
  gzclose(gz);
  return ReadBytes(path);
}

namespace {

Bytes Cipher(const Bytes& plain, const Bytes& iv, std::string_view keyHex, const char* algo) {
  Botan::Pipe pipe(Botan::get_cipher(algo, Botan::SymmetricKey(std::string(keyHex)),
                                     Botan::InitializationVector(iv.data(), iv.size()), Botan::ENCRYPTION));
  pipe.process_msg(plain.data(), plain.size());
  const auto out = pipe.read_all();
  return Bytes(out.begin(), out.end());
}

const Bytes kFixedIv = {0x10, 0x21, 0x32, 0x43, 0x54, 0x65, 0x76, 0x87, 0x98, 0xA9, 0xBA, 0xCB, 0xDC, 0xED, 0xFE, 0x0F};

int Run(const std::string& command) { return std::system(command.c_str()); }

}  // namespace

void WriteArchive(const std::string& path, const Bytes& pack, bool compress, std::string_view keyHex) {
  Bytes file = kFixedIv;
  const Bytes body = Cipher(compress ? Gzip(pack) : pack, kFixedIv, keyHex, "AES-256/CBC");
  file.insert(file.end(), body.begin(), body.end());
  WriteAll(path, std::string_view(reinterpret_cast<const char*>(file.data()), file.size()));
}

Bytes EncryptNoPadding(const Bytes& plain, const Bytes& iv) {
  return Cipher(plain, iv, kSettingsArchiveKeyHex, "AES-256/CBC/NoPadding");
}

std::map<std::string, std::string> SnapshotFolder(const std::string& folder) {
  std::map<std::string, std::string> out;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    const std::string rel = fs::relative(it->path(), folder).string();
    out[rel] = it->is_regular_file() ? ReadAll(it->path().string()) : std::string("<folder>");
  }
  return out;
}

Bytes PackOfArchive(const std::string& archivePath) {
  const Bytes archive = ReadBytes(archivePath);
  EXPECT_GE(archive.size(), 32u);
  if (archive.size() < 32) return {};
  TempDir dir;
  WriteAll(dir / "body", std::string_view(reinterpret_cast<const char*>(archive.data()) + 16, archive.size() - 16));
  std::ostringstream iv;
  for (int i = 0; i < 16; ++i) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02x", archive[static_cast<std::size_t>(i)]);
    iv << hex;
  }
  const std::string body = dir / "body";
  const std::string gz = dir / "pack.gz";
  const std::string pack = dir / "pack";
  EXPECT_EQ(Run("openssl enc -d -aes-256-cbc -K " + std::string(kSettingsArchiveKeyHex) + " -iv " + iv.str() +
                " -in '" + body + "' -out '" + gz + "'"),
            0);
  EXPECT_EQ(Run("gzip -dc < '" + gz + "' > '" + pack + "'"), 0);
  return ReadBytes(pack);
}

std::vector<SettingsArchiveEntry> EntriesOfPack(const Bytes& pack) {
  TempDir dir;
  std::istringstream in(std::string(pack.begin(), pack.end()));
  std::vector<SettingsArchiveEntry> entries;
  EXPECT_EQ(UnpackSettingsPack(in, dir.path(), entries), kSettingsOk);
  return entries;
}

}  // namespace ORV::Test
