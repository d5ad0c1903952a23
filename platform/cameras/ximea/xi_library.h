#pragma once
// Binds the process's XIMEA table to the maker's library: "libxiapi64.so" or
// "libxiapi.so" through the system's library search, or the file that
// ORV_XIMEA_LIBRARY names.
#include "platform/cameras/maker_library.h"

namespace ORV::Cameras {

LibrarySearch XiLibrarySearch();
// Binds the process's table (BindXi) when the library has every call the
// acquisition task makes; one event-log line says what was found.
BindOutcome BindXiLibrary(const LibrarySearch& search = XiLibrarySearch());

}  // namespace ORV::Cameras
