#pragma once
// The experiment file (".tvx"): saving the current experiment and opening a
// saved one into the experiment record.
//
// Layout (little-endian), version 5:
//   u16 version, u32 product-type code, 20 x u32 block table (entries 0..11
//   used, the rest 0), u32 startTick, u32 lastSampleTime, u32 camera count N
//   (0..4), N x u32 zone count, title, description, N camera names, then the
//   blocks 0..11 in order: actions, calculations, markers, flow, pressure,
//   zone records per camera, microscope records per camera, open trace
//   windows, one video entry per camera, index images, clock segments,
//   calibration. Texts are length-prefixed strings (u32 UTF-16 units, then
//   the units). Record blocks begin with u32 total bytes and u32 record size
//   (the calculation block with u32 count and u32 80).
//
// A save writes a temporary file in the target's folder, flushes it to disk
// and renames it over the target in one step, so the old file stays whole
// until the new one is complete. Every problem goes to the event log.
#include <cstdint>
#include <functional>
#include <istream>
#include <memory>
#include <string>
#include <vector>

#include "core/experiment/progress_hooks.h"
#include "core/experiment/trace_window_host.h"

namespace ORV {

class ExperimentData;
namespace RelativeTime {
class RelativeTime;
}

// ---- the file operations of a save and an open ----

// A file being written in place of a target, through a temporary file
// beside it. Writes are buffered; Commit writes everything out, flushes it to
// the disk and closes the file; Replace then puts it in the target's place.
// Destroyed before Replace succeeded, it leaves the target as it was.
class OutputFile {
 public:
  virtual ~OutputFile() = default;
  virtual bool Write(const void* data, std::size_t size) = 0;
  // Overwrites bytes at an offset already written (the block table).
  virtual bool WriteAt(std::uint64_t offset, const void* data, std::size_t size) = 0;
  virtual bool Commit() = 0;
  virtual bool Replace() = 0;
};

// The file system as the experiment file sees it; tests replace it to make
// single operations fail.
class ExperimentFileSystem {
 public:
  virtual ~ExperimentFileSystem() = default;
  // Starts writing a file that replaces `target`; nullptr when it cannot be
  // made.
  virtual std::unique_ptr<OutputFile> CreateReplacement(const std::string& target) = 0;
  // Opens a file for binary reading; nullptr when it cannot be opened.
  virtual std::unique_ptr<std::istream> OpenRead(const std::string& path) = 0;
  virtual bool Exists(const std::string& path) = 0;
  virtual bool Remove(const std::string& path) = 0;
  // True when both paths name the same existing file.
  virtual bool SameFile(const std::string& a, const std::string& b) = 0;
  // Copies a file, calling `progress(copied, total)` on the way; an existing
  // `to` is replaced only by a complete copy. False when the copy failed.
  virtual bool Copy(const std::string& from, const std::string& to,
                    const std::function<void(std::uint64_t, std::uint64_t)>& progress) = 0;
  // The system's reason (an errno) for the last operation of this thread
  // that failed; 0 when it is not known.
  virtual int LastError() const { return 0; }
};

// The real file system.
ExperimentFileSystem& DefaultExperimentFileSystem();

// What a save or an open needs besides the record: the experiment clock
// whose segments are written and restored; every other member may stay empty
// (no windows, no progress, no questions, the real file system).
struct ExperimentFileContext {
  explicit ExperimentFileContext(RelativeTime::RelativeTime& experimentClock) : clock(&experimentClock) {}

  TraceWindowHost* windows = nullptr;
  ProgressHook* progress = nullptr;
  PromptHook* prompt = nullptr;
  ExperimentFileSystem* files = nullptr;
  RelativeTime::RelativeTime* clock;  // never null
  std::uint32_t productType = 0;      // written into the header, not read back
  std::string caption = "Tarvix 5";   // caption of the questions
  // Where a failed save leaves the system's reason (an errno, 0 when none is
  // known), for the user's message.
  int* error = nullptr;
  // Where an open that read the file lists, in words, the parts of it that
  // it could not read and left out ("the last 2 of 5 actions"), so the user
  // can be told; empty when everything was read.
  std::vector<std::string>* unread = nullptr;
};

inline constexpr std::uint16_t kExperimentFileVersion = 5;
inline constexpr std::size_t kBlockTableEntries = 20;
inline constexpr std::size_t kBlocksUsed = 12;

// The slots of the header's block table, each the file offset of one block.
// The first five are the record blocks, in the order the reader reads them.
enum BlockSlot : std::size_t {
  kActionsSlot = 0,
  kCalculationsSlot = 1,
  kMarkersSlot = 2,
  kFlowSlot = 3,
  kPressureSlot = 4,
  kZonesSlot = 5,
  kMicroscopeSlot = 6,
  kOpenTracesSlot = 7,
  kVideosSlot = 8,
  kImageIndexSlot = 9,
  kClockSegmentsSlot = 10,
  kCalibrationSlot = 11,
};
static_assert(kCalibrationSlot + 1 == kBlocksUsed);

// ---- saving ----

// Saves the experiment to `targetPath` (whose file name is `fileName`) on
// the calling thread; the trace windows are those given. `withVideo` copies
// the experiment's videos beside the target and stores the analysis records.
// 1 on success (and `modified` is cleared), 0 on failure (target untouched).
int SaveExperiment(ExperimentData& data, const std::string& targetPath, const std::string& fileName, bool withVideo,
                   const std::vector<TraceWindowState>& windows, const ExperimentFileContext& context);

// ---- opening ----

// Result codes of OpenExperiment.
enum : int {
  kOpenCurrentVersion = 1,  // a version 5 file was read
  kOpenOlderVersion = 2,    // an older file was read
  kOpenFailed = 0,          // failed after a reported problem, or declined
  kOpenCannotOpen = -2,     // the file cannot be opened
  kOpenUnsupported = -3,    // a newer (or not readable here) version
  // Versions 1 to 3 only:
  kOpenTitleSizeInvalid = -4,        // title longer than 4096 units
  kOpenTitleShort = -5,              // the file ends in the title
  kOpenDescriptionSizeInvalid = -6,  // description longer than 4096 units
  kOpenDescriptionShort = -7,        // the file ends in the description
  kOpenActionsFailed = -8,
  kOpenCalculationsFailed = -9,
  kOpenMarkersFailed = -10,
  kOpenFlowFailed = -11,
  kOpenPressureFailed = -12,
  kOpenZoneSizeInvalid = -13,  // versions 1, 2: zone records not readable
  kOpenMicroscopeFailed = -14,
  kOpenZonesFailed = -15,  // version 3: zone records not readable
};

// Opens an experiment file into the record (mode 1), reopening its trace
// windows through the host, restoring its clock segments and calibration.
// Files of versions 1 to 3 (one camera, older record forms) are converted
// and give kOpenOlderVersion.
// Called on the user-interface thread. After a result below 1 the record is
// empty; `opened` is set either way.
int OpenExperiment(ExperimentData& data, const std::string& path, const ExperimentFileContext& context);

// u32 length and UTF-16 units; a length above 4096 logs "Failed to load
// string data from stream (invalid string size: <n>)" and gives false, as
// does a short read. The text is kept up to its first NUL.
bool ReadLengthPrefixedString(std::istream& in, std::string& text);

}  // namespace ORV
