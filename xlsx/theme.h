#pragma once
// The theme part "/xl/theme/theme1.xml": one fixed document, the same for
// every workbook.
#include "xlsx/part_files.h"

namespace Xlsx {

// Registers and writes the theme part. False when it could not be written
// completely.
bool SaveTheme(TempFileRegistry& registry);

}  // namespace Xlsx
