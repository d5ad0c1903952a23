#pragma once
// Where the program keeps its files, and the file operations that must not
// lose data: private working folders, atomic replacement, safe tree removal.
//
//   settings (registry store)   $XDG_CONFIG_HOME/Orvanta/
//   custom scripts, Tarvix.xml  $XDG_DATA_HOME/Orvanta/Tarvix 5/
//   running backup base         $XDG_STATE_HOME/Orvanta/Tarvix 5/ORV-TX5
//   working folders             mkdtemp under $TMPDIR or /tmp, mode 0700
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/os/file_replace.h"  // AtomicWriteFile, FileReplacement

namespace ORV::OS {

std::string HomeDir();
std::string ConfigHome();    // $XDG_CONFIG_HOME or ~/.config
std::string DataHome();      // $XDG_DATA_HOME or ~/.local/share
std::string StateHome();     // $XDG_STATE_HOME or ~/.local/state
std::string TempDir();       // $TMPDIR or /tmp, without a trailing "/"
std::string DocumentsDir();  // XDG_DOCUMENTS_DIR from user-dirs.dirs, else ~/Documents, else home

// $XDG_CONFIG_HOME/Orvanta
std::string MakerConfigDir();
// $XDG_CONFIG_HOME/Orvanta/Tarvix 5
std::string ProductConfigDir();
// $XDG_DATA_HOME/Orvanta/Tarvix 5
std::string ProductDataDir();
// $XDG_STATE_HOME/Orvanta/Tarvix 5
std::string ProductStateDir();

// Folder of the running program (dirname of /proc/self/exe); empty when unknown.
std::string ProgramDir();
// The installed data folder (resources): "<prefix>/share/tarvix5" beside a
// program installed in "<prefix>/bin", so an installation may be moved (the
// package installs into another prefix than the build was set up for); the
// build-time folder for a program elsewhere (the build tree).
std::string InstalledDataDir();
std::string InstalledDataDirOf(const std::string& programDir);

// Creates the folder and its missing parents, each new one with `mode`.
// An existing folder is success.
bool EnsureDir(const std::string& path, unsigned mode = 0700);

// Makes sure `path` is a private folder of the current user: creates it (and
// its missing parents) with mode 0700, or accepts an existing one only when it
// is a real folder (not a symbolic link) owned by the user, and then sets its
// mode to 0700. False when it cannot be made or belongs to someone else.
bool EnsurePrivateDir(const std::string& path);

// True when `path` is a folder (symbolic links followed) owned by the current user.
bool IsOwnedDirectory(const std::string& path);

// Creates a new private folder (mode 0700) "<TempDir>/<prefix>XXXXXX";
// empty on failure.
std::string MakePrivateWorkingDir(std::string_view prefix);

// Removes a file or a folder tree. Symbolic links are removed, never followed.
// A missing path is success.
bool RemoveTree(const std::string& path);

// A name that can only address a file directly inside a folder: not empty,
// not "." or "..", at most 255 bytes, without "/", "\" or NUL.
bool IsBareFileName(std::string_view name);

bool PathExists(const std::string& path);
bool IsDirectory(const std::string& path);

// Reads a whole file; false when it cannot be read, is no regular file (a
// named pipe is refused, never waited on) or is larger than maxBytes.
bool ReadFile(const std::string& path, std::string& out, std::uint64_t maxBytes = 1ull << 31);

// fsync of a file or a folder by path.
bool SyncPath(const std::string& path);

}  // namespace ORV::OS
