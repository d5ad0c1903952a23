#pragma once
// A record with a clock whose segment store lies in the test's folder, a
// fake trace-window host and prompt, and helpers that compare stored forms.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "core/base/configuration.h"
#include "core/experiment/experiment_file.h"
#include "tests/core/experiment/experiment_fixture.h"
#include "tests/support/fake_window_host.h"
#include "tests/support/test_world.h"

namespace ORV::Test {

class FakePrompt : public PromptHook {
 public:
  bool AskYesNo(const std::string& text, const std::string&) override {
    questions.push_back(text);
    return answer;
  }
  std::vector<std::string> questions;
  bool answer = true;
};

class ExperimentFileFixture : public ExperimentFixture {
 protected:
  ExperimentFileFixture() {
    clock_.OpenStore(dir_ / "clock");
    context_.clock = &clock_;
    context_.windows = &host_;
    context_.prompt = &prompt_;
    Configuration& config = *data().configuration;
    config.Magnification = 1.0f;
    config.Calibration = {1.0f, 1.0f, 1.0f, 1.0f};
    config.ExperimentValues = {-1.0f, -1.0f, -1.0f, -1.0f, -1.0f};
  }

  int Save(const std::string& name, bool withVideo = false) {
    return SaveExperiment(data(), dir_ / name, name, withVideo, host_.windows, context_);
  }

  static std::vector<std::uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  static void WriteAll(const std::string& path, std::span<const std::uint8_t> bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }

  FakeWindowHost host_;
  FakePrompt prompt_;
  ExperimentFileContext context_{ORV::Test::SharedClock()};
};

// The stored form of a record, for comparing lists.
template <std::size_t Size, class Record>
std::array<std::uint8_t, Size> Stored(const Record& r) {
  std::array<std::uint8_t, Size> out{};
  r.Serialize(std::span<std::uint8_t, Size>(out));
  return out;
}
template <std::size_t Size, class List>
std::vector<std::array<std::uint8_t, Size>> StoredList(const List& list) {
  std::vector<std::array<std::uint8_t, Size>> out;
  for (const auto& r : list) out.push_back(Stored<Size>(r));
  return out;
}

// Little-endian byte builder for hand-made files.
struct Bytes {
  std::vector<std::uint8_t> b;
  Bytes& u16(std::uint16_t v) {
    for (int i = 0; i < 2; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    return *this;
  }
  Bytes& u32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    return *this;
  }
  Bytes& u64(std::uint64_t v) {
    for (int i = 0; i < 8; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    return *this;
  }
  Bytes& f32(float f) {
    std::uint32_t v;
    std::memcpy(&v, &f, 4);
    return u32(v);
  }
  void put32(std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
  }
};

}  // namespace ORV::Test
