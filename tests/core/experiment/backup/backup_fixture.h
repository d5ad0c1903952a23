#pragma once
// A fixture for the running backup and its import: an experiment record in
// a sandboxed home whose backup base is the private state folder, hooks
// that answer the import question, and helpers to write and read the
// backup's binary files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "core/base/configuration.h"
#include "core/experiment/backup_files.h"
#include "tests/core/experiment/experiment_fixture.h"
#include "tests/support/test_world.h"

namespace ORV::Test {

// Answers the import question and records what was asked and shown.
class BackupHooks : public FakeHooks {
 public:
  Answer AskYesNo(const std::string& caption, const std::string& text) override {
    questions.push_back(caption + "|" + text);
    if (beforeAnswer) beforeAnswer();
    return answer;
  }
  void WaitForEvent(const Utils::Sync::Event& event, const std::string& text) override {
    waits.push_back(text);
    event.Wait();
  }

  Answer answer = Answer::Yes;
  std::function<void()> beforeAnswer;
  std::vector<std::string> questions;
  std::vector<std::string> waits;
};

inline std::vector<std::uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

inline std::uint32_t U32At(const std::vector<std::uint8_t>& b, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | b.at(at + static_cast<std::size_t>(i));
  return v;
}

inline float F32At(const std::vector<std::uint8_t>& b, std::size_t at) {
  const std::uint32_t v = U32At(b, at);
  float f = 0.0f;
  std::memcpy(&f, &v, sizeof f);
  return f;
}

// A marker-stream record: u32 time, u32 UTF-16 length, ASCII text as UTF-16.
inline void PutMarker(std::vector<std::uint8_t>& out, std::uint32_t time, const std::string& ascii,
                      std::uint32_t declaredUnits) {
  PutU32(out, time);
  PutU32(out, declaredUnits);
  for (char ch : ascii) {
    out.push_back(static_cast<std::uint8_t>(ch));
    out.push_back(0);
  }
}

inline std::vector<std::string> FileNames(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class BackupFixture : public ExperimentFixture {
 protected:
  BackupFixture() {
    Configuration& config = ORV::Test::SharedConfiguration();
    config.BackupBufferDir.clear();
    config.RunningBackupDirectory.clear();
    config.AutoBackup = true;
    config.ExperimentValues.fill(-1.0f);
    base_ = config.GetTempWorkingDirectory();
    data().SetApplicationHooks(&backupHooks_);
  }

  Configuration& config() { return ORV::Test::SharedConfiguration(); }

  // A backup folder named `name` under the base, with an index of the
  // given bytes, remembered as the running backup.
  std::string MakeBackup(const std::string& name, std::vector<std::uint8_t> index) {
    const std::string folder = base_ + "/" + name;
    std::filesystem::create_directories(folder);
    WriteBytes(folder + "/" + kBackupIndexName, index);
    config().RunningBackupDirectory = name;
    return folder;
  }

  static std::vector<std::uint8_t> Index(std::uint32_t start, std::uint32_t last) {
    std::vector<std::uint8_t> b;
    PutU32(b, 1);
    PutU32(b, start);
    PutU32(b, last);
    return b;
  }

  std::string base_;
  BackupHooks backupHooks_;
};

}  // namespace ORV::Test
