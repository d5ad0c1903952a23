#include "platform/ui/file_problem_text.h"

#include <cstring>

#include "platform/ui/string_table.h"

namespace ORV::UI {

FileReason SystemErrorReason(int error) {
  if (error == 0) return {kFileReasonUnknownString, {}};
  return {kFileReasonSystemString, std::strerror(error)};
}

std::string SizeText(std::uint64_t bytes) {
  constexpr std::uint64_t kKiB = 1024, kMiB = kKiB * 1024, kGiB = kMiB * 1024;
  if (bytes >= kGiB && bytes % kGiB == 0) return std::to_string(bytes / kGiB) + " GiB";
  if (bytes >= kMiB && bytes % kMiB == 0) return std::to_string(bytes / kMiB) + " MiB";
  if (bytes >= kKiB && bytes % kKiB == 0) return std::to_string(bytes / kKiB) + " KiB";
  return std::to_string(bytes) + " bytes";
}

FileReason FileReasonOf(const OS::FileCheck& check, std::uint64_t limit) {
  switch (check.problem) {
    case OS::FileProblem::None:
      return {};
    case OS::FileProblem::Missing:
      return {kFileReasonMissingString, {}};
    case OS::FileProblem::Folder:
      return {kFileReasonFolderString, {}};
    case OS::FileProblem::NotAFile:
      return {kFileReasonNotAFileString, {}};
    case OS::FileProblem::LinkLoop:
      return {kFileReasonLinkLoopString, {}};
    case OS::FileProblem::NotAllowed:
      return {kFileReasonNotAllowedString, {}};
    case OS::FileProblem::Empty:
      return {kFileReasonEmptyString, {}};
    case OS::FileProblem::TooLarge:
      return {kFileReasonTooLargeString, SizeText(limit)};
    case OS::FileProblem::Unreadable:
      break;
  }
  return SystemErrorReason(check.error);
}

std::string FileReasonText(const FileReason& reason) {
  if (reason.textId == 0) return {};
  return LoadFormatted(reason.textId, {reason.detail});
}

std::string FileMessageText(std::uint32_t textId, const std::string& path, const FileReason& reason) {
  return LoadFormatted(textId, {path, FileReasonText(reason)});
}

}  // namespace ORV::UI
