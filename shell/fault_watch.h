#pragma once
// What the program does when an instrument, a camera or the running backup
// fails while it runs: the user is told once, in words that name what
// failed; while a collection records, the record gets an action when it is
// lost and another when it is back, saying how long it was missing; and the
// frame hears of each change, so that the sampling stores nothing in the
// lost one's name and its pane follows.
//
// Headless: the texts, the messages, the record's actions and the clock come
// through FaultWatchHost. User-interface thread.
#include <compare>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace ORV {

// Cameras are watched under this kind, beside the instruments' device kinds.
inline constexpr std::uint32_t kCameraSource = 0x1000;

// What can be lost: an instrument (its device kind: 1 single pressure
// interface, 2 flow meter, 8 multi interface, 16 microscope `index`, 32 heat
// controller) or camera `index`.
struct WatchedSource {
  std::uint32_t kind = 0;
  int index = 0;
  auto operator<=>(const WatchedSource&) const = default;
};

class FaultWatchHost {
 public:
  virtual ~FaultWatchHost() = default;
  // The text `id` with its "%s" replaced in turn by `args`.
  virtual std::string Text(std::uint32_t id, std::initializer_list<std::string_view> args = {}) = 0;
  // A message that leaves the program running: nothing waits for its answer.
  virtual void Tell(const std::string& text) = 0;
  // An action of the record at the experiment's present.
  virtual void AddAction(const std::string& text) = 0;
  // Whether a collection records.
  virtual bool Collecting() = 0;
  virtual std::uint64_t SteadyMs() = 0;
  // The name the user knows camera `index` by.
  virtual std::string CameraName(int index) = 0;
  // The source has just been lost (`lost`), or is back.
  virtual void SourceChanged(const WatchedSource& source, bool lost) = 0;
};

class FaultWatch {
 public:
  explicit FaultWatch(FaultWatchHost& host) : host_(host) {}

  // How a camera failed: it sent nothing whole for a while, or only pictures
  // cut short on the way.
  enum class CameraFault { kNoPicture, kTornPictures };

  // The source failed (its worker gave it up, the camera went away or sent
  // nothing whole for a while). Told once; nothing more until it is back.
  void Lost(const WatchedSource& source, CameraFault fault = CameraFault::kNoPicture);
  // The source delivered again; nothing when it was not lost.
  void Back(const WatchedSource& source);
  bool IsLost(const WatchedSource& source) const { return lost_.contains(source); }
  // The source's name in the user's words ("Flow meter", "Camera 2").
  std::string NameOf(const WatchedSource& source);

  // The running backup's first failed write, every second (error 0: none):
  // told once for each failure.
  void CheckBackup(int error, const std::string& path);

  // A camera window as the frame reads it at each watch.
  struct CameraReading {
    bool lost = false;  // its camera went away; the window keeps its view for the return
    bool capturing = false;
    int measuringZones = 0;
    // Counts that only move: measurements handed to the sampling, whole
    // frames the camera delivered, frames that came torn.
    std::uint64_t measurements = 0;
    std::uint64_t frames = 0;
    std::uint64_t torn = 0;
  };
  // A camera is taken as having stopped when it measures nothing for this
  // long while its zones are drawn.
  static constexpr std::uint64_t kCameraSilenceMs = 3000;
  // How often a camera that went away is started again until it runs.
  static constexpr std::uint64_t kCameraRetryMs = 3000;
  // One watch of camera `index` (every second, and at once when a device
  // arrives: `restartNow`). A camera that went away is lost; one that
  // measures nothing for kCameraSilenceMs while its zones are drawn is lost
  // too (with torn pictures when torn frames came meanwhile). It is back
  // once it delivers again: measurements where zones are measured, else
  // whole frames. True when the window is to start its lost camera again
  // now: at once after a device arrived, else every kCameraRetryMs.
  bool WatchCamera(int index, const CameraReading& reading, bool restartNow);

 private:
  struct CameraProgress {
    std::uint64_t measurements = 0;
    std::uint64_t frames = 0;
    std::uint64_t torn = 0;  // the camera's torn frames at the last measurement
    std::uint64_t since = 0;
    std::uint64_t lastRestart = 0;
  };

  FaultWatchHost& host_;
  std::map<WatchedSource, std::uint64_t> lost_;  // since when, steady ms
  bool backupTold_ = false;
  std::vector<CameraProgress> cameras_;
};

}  // namespace ORV
