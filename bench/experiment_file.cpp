// Save and open of an 8-hour experiment (4 cameras with 4 zones and pressure
// at 15 Hz, flow at 1 Hz, 500 markers, 10,000 index images), each compared
// with writing and reading the same number of bytes through one plain
// buffered stream in the same run.
#include "core/experiment/experiment_file.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/base/configuration.h"
#include "core/experiment/experiment_data.h"
#include "core/storage/relative_time.h"
#include "platform/os/folders.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main() {
  const std::string folder = ORV::OS::MakePrivateWorkingDir("orv-bench-");
  setenv("XDG_DATA_HOME", folder.c_str(), 1);
  {
    ORV::Configuration configuration;
    ORV::RelativeTime::RelativeTime clock;
    clock.OpenStore(folder + "/clock");
    ORV::ExperimentFileContext context{clock};

    ORV::ExperimentData data{configuration, clock};
    data.OpenStores(folder);
    for (int i = 0; i < 4; ++i) data.AddCamera("camera-" + std::to_string(i));
    data.mode = ORV::kModeLive;
    constexpr std::uint32_t kTicks = 8 * 3600 * 15;
    data.Update([](ORV::ExperimentContents& c) {
      for (std::uint32_t t = 0; t < kTicks; ++t) {
        const std::uint32_t ms = t * 66;
        for (int cam = 0; cam < 4; ++cam) {
          ORV::ZoneData z;
          z.time = ms;
          z.zoneCount = 4;
          for (int zone = 0; zone < 4; ++zone) z.outerLeft[zone] = static_cast<float>(t % 1000 + zone);
          c.zoneData[cam].push_back(z);
        }
        ORV::PMK4xData3 p;
        p.temperature = 37.0f;
        c.pressureSamples.push_back(p);
        if (t % 15 == 0) c.flowSamples.push_back(ORV::FMASL1600Data{ms, 5, {0, 0}, static_cast<std::int32_t>(t)});
      }
      for (std::uint32_t i = 0; i < 10000; ++i)
        c.indexImages.push_back({std::vector<std::uint8_t>(2000, static_cast<std::uint8_t>(i)), 40, 50, i * 2880});
      return 0;
    });
    data.WithStores([](ORV::MarkerStore& markers, ORV::ActionStore&) {
      for (std::uint32_t i = 0; i < 500; ++i)
        markers.Put(i, {"marker " + std::to_string(i), i * 57600, i % 4, 0}, false);
      return 0;
    });

    const std::string target = folder + "/eight-hours.tvx";
    auto start = std::chrono::steady_clock::now();
    const int saved = ORV::SaveExperiment(data, target, "eight-hours.tvx", false, {}, context);
    const double save = Seconds(start);
    const auto bytes = std::filesystem::file_size(target);

    // The same bytes through one plain buffered stream, flushed to the disk
    // like the save.
    std::vector<char> chunk(1 << 16, 'x');
    start = std::chrono::steady_clock::now();
    {
      std::FILE* out = std::fopen((folder + "/plain.bin").c_str(), "wb");
      for (std::uintmax_t done = 0; done < bytes; done += chunk.size())
        std::fwrite(chunk.data(), 1, std::min<std::uintmax_t>(chunk.size(), bytes - done), out);
      std::fflush(out);
      fsync(fileno(out));
      std::fclose(out);
    }
    const double plainWrite = Seconds(start);

    ORV::ExperimentData opened{configuration, clock};
    std::filesystem::create_directory(folder + "/opened");
    opened.OpenStores(folder + "/opened");
    start = std::chrono::steady_clock::now();
    const int result = ORV::OpenExperiment(opened, target, context);
    const double open = Seconds(start);

    start = std::chrono::steady_clock::now();
    {
      std::ifstream in(folder + "/plain.bin", std::ios::binary);
      while (in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()))) {
      }
    }
    const double plainRead = Seconds(start);

    // The same bytes read into newly allocated memory that holds them all:
    // an open must place its records in fresh memory, and on a virtual
    // machine the page faults that costs can outweigh the read itself.
    start = std::chrono::steady_clock::now();
    {
      std::ifstream in(folder + "/plain.bin", std::ios::binary);
      std::unique_ptr<char[]> whole(new char[bytes]);
      in.read(whole.get(), static_cast<std::streamsize>(bytes));
      if (in.gcount() != static_cast<std::streamsize>(bytes)) std::printf("short read\n");
    }
    const double plainReadWhole = Seconds(start);

    std::printf("file: %.1f MB (save result %d, open result %d)\n", static_cast<double>(bytes) / 1e6, saved, result);
    std::printf("save  %.3f s, plain write %.3f s, ratio %.2f\n", save, plainWrite, save / plainWrite);
    std::printf("open  %.3f s, plain read  %.3f s, ratio %.2f\n", open, plainRead, open / plainRead);
    std::printf("open  %.3f s, plain read into fresh memory %.3f s, ratio %.2f\n", open, plainReadWhole,
                open / plainReadWhole);
  }
  std::filesystem::remove_all(folder);
  return 0;
}
