#pragma once
// Binds the process's table of The Imaging Source's calls to the maker's
// library: "libtisgrabber_x64.so" or "libtisgrabber.so" through the system's
// library search, or the file that ORV_TIS_LIBRARY names.
#include "platform/cameras/maker_library.h"

namespace ORV::Cameras {

LibrarySearch TisLibrarySearch();
// Binds the process's table (BindTis) when the library has every call the
// back-end makes; one event-log line says what was found.
BindOutcome BindTisLibrary(const LibrarySearch& search = TisLibrarySearch());

}  // namespace ORV::Cameras
