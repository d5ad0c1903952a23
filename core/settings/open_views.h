#pragma once
// "Tarvix.xml": the windows that were open when the settings were exported.
//
//   <OpenViews>
//     <Views> <Action>Yes|No</Action> <Data>Yes|No</Data> </Views>
//     <Traces> <Trace camera="c" zone="z">trace code</Trace> ... </Traces>
//
// The import copies the file into the program's data folder; the next
// start-up reopens those windows once and deletes the file.
#include <string>

#include "core/experiment/trace_window_host.h"

namespace ORV {

// Trace elements beyond this many are not reopened.
inline constexpr int kMaxReopenedTraceWindows = 64;
// Cameras are numbered 0-3; a view's selected zone is -1 (none) or 0-4.
inline constexpr int kMaxCameraCount = 4;
inline constexpr int kMinSelectedZone = -1;
inline constexpr int kMaxSelectedZone = 4;

// "<data folder>/Orvanta/Tarvix 5/Tarvix.xml".
std::string OpenViewsFilePath();

// Writes the host's sheets and trace windows: 0, or -1 when the file can't
// be saved.
int WriteOpenViewsXml(const TraceWindowHost& host, const std::string& path);

// Reopens what the file at `path` records, then deletes the file (also when
// it does not parse). Trace elements whose code is neither a built-in kind
// nor a custom trace identity are refused before a window is opened for
// them; a camera outside 0-3 or a zone outside -1..4 is not set.
void ReadOpenViewsXml(TraceWindowHost& host, const std::string& path);

}  // namespace ORV
