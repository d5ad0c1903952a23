#include "shell/glue/child_frame_commands.h"

namespace ORV::Shell {

std::optional<std::uint32_t> PrintCommandTarget(std::uint32_t command, bool previewShown) {
  if (!previewShown) return std::nullopt;
  switch (command) {
    case ID_FILE_PRINT:
    case ID_FILE_PRINT_DIRECT:
      return AFX_ID_PREVIEW_PRINT;
    case ID_FILE_PRINT_PREVIEW:
      return AFX_ID_PREVIEW_CLOSE;
    default:
      return std::nullopt;
  }
}

void OnChildFrameClosed(unsigned frameKind, OpenSheets& sheets) {
  if (frameKind == kFrameShowsDataSheet)
    sheets.ForgetDataSheet();
  else if (frameKind == kFrameShowsActionSheet)
    sheets.ForgetActionSheet();
}

}  // namespace ORV::Shell
