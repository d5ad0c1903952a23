#pragma once
// The names of the running backup's folders and files, shared by the
// backup writer, the import and their tests.
//
// base/                      the backup base folder (GetTempWorkingDirectory)
//   MarkerDatabase, ActionData, RelativeTime    the record stores
//   <n>/                     one backup, n = 0..9999
//     ExperimentBackup.idx   u32 product type, u32 start tick, u32 newest
//                            sample time (12 bytes)
//     ZoneData_<c>.dta       76-byte zone records of camera c
//     Microscope_<c>.dta     12-byte microscope records of camera c
//     Action_0.dta           empty (actions live in their store)
//     Flow_0.dta             12-byte flow samples
//     Pressure_0.dta         124-byte pressure samples
//     Marker_0.dta           u32 time, u32 UTF-16 length, UTF-16 text
//     DataPadV2_0.dta        serialised calculations
//     DataPad_0.dta          560-byte calculations of older programs (read only)
//     ImageIndex_0.dta       u32 time, width, height, size, then the image
//     ExtraData_0.dta        f32 magnification and four f32 calibrations
//     TitleAndDescription.dat  two serialised strings
//     Record_<n>.avi, Analysis_<n>.dta   a camera's video and analysis
#include <array>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <span>
#include <string>
#include <string_view>

namespace ORV {

inline constexpr const char* kBackupBaseName = "ORV-TX5";
inline constexpr const char* kBackupIndexName = "ExperimentBackup.idx";
inline constexpr const char* kTitleFileName = "TitleAndDescription.dat";
inline constexpr const char* kClockStoreName = "RelativeTime";
inline constexpr const char* kRunningBackupDirectoryValue = "RunningBackupDirectory";
inline constexpr const char* kZoneStreamPrefix = "ZoneData_";
inline constexpr const char* kMicroscopeStreamPrefix = "Microscope_";
inline constexpr const char* kActionStreamPrefix = "Action_";
inline constexpr const char* kFlowStreamPrefix = "Flow_";
inline constexpr const char* kPressureStreamPrefix = "Pressure_";
inline constexpr const char* kMarkerStreamPrefix = "Marker_";
inline constexpr const char* kCalculationStreamPrefix = "DataPadV2_";
inline constexpr const char* kLegacyCalculationStreamPrefix = "DataPad_";
inline constexpr const char* kImageIndexStreamPrefix = "ImageIndex_";
inline constexpr const char* kExtraDataStreamPrefix = "ExtraData_";
inline constexpr const char* kAnalysisFilePrefix = "Analysis_";
inline constexpr const char* kVideoFilePrefix = "Record_";

inline constexpr std::size_t kBackupIndexSize = 12;
inline constexpr std::size_t kExtraDataSize = 20;
// At most this much of the title file is read.
inline constexpr std::size_t kMaxTitleFileBytes = 4096;

// True when the folder's path may be emptied as the backup base: it holds
// "ORV-TX5" after its first character and is at least 3 characters longer.
bool IsBackupBase(const std::string& folder);
// folder/<prefix><n>.dta
std::string BackupStreamPath(const std::string& folder, std::string_view prefix, int n);

// Calls `f` with each whole record of `Size` bytes of a record stream, in
// order; a trailing partial record is dropped. A missing file gives none.
template <std::size_t Size, class F>
void ForEachRecord(const std::string& path, F&& f) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return;
  std::array<std::uint8_t, Size> record{};
  while (in.read(reinterpret_cast<char*>(record.data()), Size)) f(std::span<const std::uint8_t, Size>(record));
}

}  // namespace ORV
