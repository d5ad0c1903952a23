#pragma once
// The commands of the child frame every document is shown in (trace views,
// the data sheet, the action sheet), free of widgets: the print commands
// drive an open print preview, and closing a sheet's frame lets the
// application forget that sheet so that it can be shown anew.
#include <cstdint>
#include <optional>

namespace ORV::Shell {

inline constexpr std::uint32_t ID_FILE_PRINT = 57607;
inline constexpr std::uint32_t ID_FILE_PRINT_DIRECT = 57608;
inline constexpr std::uint32_t ID_FILE_PRINT_PREVIEW = 57609;
inline constexpr std::uint32_t AFX_ID_PREVIEW_CLOSE = 58112;
inline constexpr std::uint32_t AFX_ID_PREVIEW_PRINT = 58116;

// What a child frame shows.
inline constexpr unsigned kFrameShowsTrace = 1;
inline constexpr unsigned kFrameShowsDataSheet = 2;
inline constexpr unsigned kFrameShowsActionSheet = 4;

// The application's open sheets, as a closing frame forgets them.
class OpenSheets {
 public:
  virtual ~OpenSheets() = default;
  virtual void ForgetDataSheet() = 0;
  virtual void ForgetActionSheet() = 0;
};

// The command a print command posts to the frame itself: while a preview is
// shown, printing prints it and the preview command closes it; otherwise
// nothing. No value for other commands too.
std::optional<std::uint32_t> PrintCommandTarget(std::uint32_t command, bool previewShown);
// The preview command is checked while a preview is shown.
inline bool PrintPreviewChecked(bool previewShown) { return previewShown; }
// After the frame closed: a data sheet's or action sheet's frame forgets
// its sheet; a trace view's leaves both.
void OnChildFrameClosed(unsigned frameKind, OpenSheets& sheets);

}  // namespace ORV::Shell
