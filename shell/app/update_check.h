#pragma once
// The hand-off to the update library: the program tells the library who it
// is, runs one check with the library's own dialogs, and lets the library
// forget the product again, so every check starts from nothing.
//
// The library's plain functions are bound when the program is linked (the
// program does not start without libFreshet.so); tests link a recording
// stand-in with the same functions instead.
namespace ORV::Shell {

// The product id the update service knows this program by.
inline constexpr const char* kUpdateProductId = "6f1c3e2a-8b4d-4f7a-9c15-2e7d0a5b3c84";
// The name the update service and the installed products know it by.
inline constexpr const char* kUpdateProductName = "Tarvix 5";
// The program's extra string for the service.
inline constexpr const char* kUpdateExtra = "Tarvix5-Linux";
// The program's version as the update library is told it.
inline constexpr int kVersionMajor = 5;
inline constexpr int kVersionMinor = 5;
inline constexpr int kVersionRevision = 7;
inline constexpr int kVersionBuild = 0;

// One check: "M" when the user asked for it, "A" for the automatic check at
// start. The program first records itself among the installed products at
// its own version: the check offers only what is newer than an installed
// product, and asks the service nothing when none is installed. Returns when
// the library's dialogs are done. GUI thread.
void CheckForUpdates(bool manual);

}  // namespace ORV::Shell
