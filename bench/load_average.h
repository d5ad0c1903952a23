#pragma once
// The machine's load average and its runnable threads, given beside every
// figure of the benchmarks: the machine is shared, and a figure means little
// without the load it was taken under.
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

namespace ORV::Bench {

// Threads the kernel has running or ready to run, over the whole machine;
// -1 when /proc does not say. Field 4 of /proc/loadavg is "runnable/total".
inline int RunnableThreads() {
  std::FILE* file = std::fopen("/proc/loadavg", "r");
  if (file == nullptr) return -1;
  double l1 = 0, l5 = 0, l15 = 0;
  int runnable = -1, total = 0;
  if (std::fscanf(file, "%lf %lf %lf %d/%d", &l1, &l5, &l15, &runnable, &total) != 5) runnable = -1;
  std::fclose(file);
  return runnable;
}

// This process's threads that are running or ready to run.
inline int OwnRunnableThreads() {
  DIR* tasks = opendir("/proc/self/task");
  if (tasks == nullptr) return 0;
  int runnable = 0;
  while (const dirent* entry = readdir(tasks)) {
    if (entry->d_name[0] == '.') continue;
    const std::string path = std::string("/proc/self/task/") + entry->d_name + "/stat";
    std::FILE* file = std::fopen(path.c_str(), "r");
    if (file == nullptr) continue;
    char line[512] = {};
    const bool read = std::fgets(line, sizeof line, file) != nullptr;
    std::fclose(file);
    // "pid (name) S ...": the state follows the last ')'.
    const char* close = read ? std::strrchr(line, ')') : nullptr;
    if (close != nullptr && close[1] == ' ' && close[2] == 'R') ++runnable;
  }
  closedir(tasks);
  return runnable;
}

// The 1, 5 and 15 minute load averages and the runnable threads now, as
// "load 1.23 0.98 0.75, runnable 9 (3 of them ours)"; "load ?" when the
// system does not say.
inline std::string LoadAverageText() {
  double load[3] = {};
  if (getloadavg(load, 3) != 3) return "load ?";
  char text[96];
  std::snprintf(text, sizeof text, "load %.2f %.2f %.2f, runnable %d (%d of them ours)", load[0], load[1], load[2],
                RunnableThreads(), OwnRunnableThreads());
  return text;
}

// The 1-minute load average as the counter "load_1min" of the run, and the
// runnable threads of the machine and of this process now.
inline void CountLoadAverage(benchmark::State& state) {
  double load = 0.0;
  if (getloadavg(&load, 1) == 1) state.counters["load_1min"] = load;
  state.counters["runnable_threads_machine"] = RunnableThreads();
  state.counters["runnable_threads_ours"] = OwnRunnableThreads();
}

// Samples the runnable threads every 100 ms while it lives, on a thread of
// its own (which is left out of the count): the mean over a timed run tells
// how many processors the run had to share, where one reading at its end
// says little.
class RunnableSampler {
 public:
  RunnableSampler() : thread_([this] { Loop(); }) {}
  ~RunnableSampler() { Stop(); }
  RunnableSampler(const RunnableSampler&) = delete;
  RunnableSampler& operator=(const RunnableSampler&) = delete;

  void Stop() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
  }
  // Means over the samples so far: every runnable thread of the machine,
  // and those of other processes.
  double MeanMachine() const { return samples_ > 0 ? double(machine_) / samples_ : -1.0; }
  double MeanOthers() const { return samples_ > 0 ? double(others_) / samples_ : -1.0; }
  std::string Text() const {
    char text[96];
    std::snprintf(text, sizeof text, "runnable during the run: %.1f, %.1f of them other processes'", MeanMachine(),
                  MeanOthers());
    return text;
  }

 private:
  void Loop() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stop_) {
      lock.unlock();
      // This thread is running while it reads: it counts once in both.
      const int machine = RunnableThreads() - 1;
      const int ours = OwnRunnableThreads() - 1;
      if (machine >= 0) {
        machine_ += machine;
        others_ += machine > ours ? machine - ours : 0;
        samples_ += 1;
      }
      lock.lock();
      wake_.wait_for(lock, std::chrono::milliseconds(100), [this] { return stop_; });
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  std::atomic<long> machine_{0}, others_{0}, samples_{0};
  std::thread thread_;
};

}  // namespace ORV::Bench
