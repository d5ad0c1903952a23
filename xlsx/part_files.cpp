#include "xlsx/part_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/os/folders.h"
#include "platform/os/text.h"

namespace Xlsx {

XlsxTextRecord::XlsxTextRecord(std::string_view utf8Text) : utf8(utf8Text), wide(ORV::OS::Utf8ToUtf16(utf8Text)) {}

XlsxTextRecord::XlsxTextRecord(std::u16string_view wideText) : utf8(ORV::OS::Utf16ToUtf8(wideText)), wide(wideText) {}

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// A part name starts with "/" and names a file below the root: no empty,
// "." or ".." segment and no NUL.
bool IsPlainPartName(std::string_view name) {
  if (name.size() < 2 || !IsSeparator(name.front()) || IsSeparator(name.back())) return false;
  if (name.find('\0') != std::string_view::npos) return false;
  std::size_t start = 1;
  while (start <= name.size()) {
    std::size_t end = start;
    while (end < name.size() && !IsSeparator(name[end])) ++end;
    const std::string_view segment = name.substr(start, end - start);
    if (segment.empty() || segment == "." || segment == "..") return false;
    start = end + 1;
  }
  return true;
}

}  // namespace

TempFileRegistry::~TempFileRegistry() { RemoveAll(); }

std::string TempFileRegistry::RegisterPartFile(std::string_view partName) {
  if (!IsPlainPartName(partName)) return {};
  if (root_.empty()) {
    root_ = ORV::OS::MakePrivateWorkingDir("xlsx_");
    if (root_.empty()) return {};
    folders_.push_back(root_);
  }
  std::string path = root_;
  std::size_t pos = 1;
  for (;;) {
    const std::size_t sep = partName.find_first_of("/\\", pos);
    if (sep == std::string_view::npos) break;
    path += '/';
    path.append(partName.substr(pos, sep - pos));
    if (::mkdir(path.c_str(), 0700) == 0) {
      folders_.push_back(path);
    } else if (errno != EEXIST) {
      return {};  // the part's file could not be made; its writer reports it
    }
    pos = sep + 1;
  }
  path += '/';
  path.append(partName.substr(pos));
  files_.emplace_back(partName);
  return path;
}

void TempFileRegistry::RemoveAll() {
  for (const std::string& name : files_) {
    std::string path = root_;
    for (char c : name) path += c == '\\' ? '/' : c;
    ::unlink(path.c_str());
  }
  files_.clear();
  for (auto it = folders_.rbegin(); it != folders_.rend(); ++it) ::rmdir(it->c_str());
  if (!folders_.empty() && !ORV::OS::PathExists(root_)) root_.clear();
  folders_.clear();
}

}  // namespace Xlsx
