#pragma once
// The words for why a file the user named cannot be opened or written, for
// the messages that name the file and say what is wrong with it.
#include <cstdint>
#include <string>

#include "platform/os/user_file.h"

namespace ORV::UI {

// A reason as the string table gives it: the text's id and what stands in
// for its "%s" (when it has one).
struct FileReason {
  std::uint32_t textId = 0;
  std::string detail;
  bool operator==(const FileReason&) const = default;
};

// The reason of a refused open; `limit` is the size limit the check was made
// with (for a file too large).
FileReason FileReasonOf(const OS::FileCheck& check, std::uint64_t limit = 0);
// The system's reason for an errno ("No space left on device."); the unknown
// reason for 0.
FileReason SystemErrorReason(int error);
// The reason in words ("it is a folder, not a file.").
std::string FileReasonText(const FileReason& reason);
// A size in words ("4 MiB", "512 KiB", "100 bytes").
std::string SizeText(std::uint64_t bytes);
// The text `textId` with the file's path and the reason in its two "%s".
std::string FileMessageText(std::uint32_t textId, const std::string& path, const FileReason& reason);

}  // namespace ORV::UI
