#pragma once
// Binds the process's Lumenera table to the maker's library:
// "liblucamapi.so" through the system's library search, or the file that
// ORV_LUMENERA_LIBRARY names.
#include "platform/cameras/maker_library.h"

namespace ORV::Cameras {

LibrarySearch LucamLibrarySearch();
// Binds the process's table (BindLucam) when the library has every call the
// back-end makes; one event-log line says what was found.
BindOutcome BindLucamLibrary(const LibrarySearch& search = LucamLibrarySearch());

}  // namespace ORV::Cameras
