#include "core/base/paths.h"

#include <filesystem>

namespace ORV {

std::string GetFileNamePart(std::string_view path) {
  const std::size_t p = path.find_last_of("/\\");
  return std::string(p == std::string_view::npos ? path : path.substr(p + 1));
}

std::string JoinPath(std::string_view a, std::string_view b) {
  std::string out(a);
  if (!out.empty() && out.back() != '/' && out.back() != '\\') out += '/';
  out += b;
  return out;
}

std::string BuildPath(const std::vector<std::string>& parts) {
  std::string out;
  bool first = true;
  for (std::string_view p : parts) {
    const bool absolute = first && !p.empty() && p.front() == '/';
    if (!p.empty() && (p.front() == '/' || p.front() == '\\')) p.remove_prefix(1);
    if (!p.empty() && (p.back() == '/' || p.back() == '\\')) p.remove_suffix(1);
    if (!first || absolute) out += '/';
    out += p;
    first = false;
  }
  return out;
}

std::string BuildPath(std::initializer_list<std::string_view> parts) {
  std::vector<std::string> v;
  for (auto p : parts) v.emplace_back(p);
  return BuildPath(v);
}

std::string FileNameFromTitle(std::string_view title, std::string_view extension) {
  constexpr std::size_t kMaxBytes = 200;
  constexpr std::string_view kNotInNames = "/\\:*?\"<>|";
  std::string name;
  for (const char c : title) {
    const auto byte = static_cast<unsigned char>(c);
    name += byte < 0x20 || byte == 0x7F || kNotInNames.find(c) != std::string_view::npos ? '_' : c;
  }
  const auto blank = [](char c) { return c == ' '; };
  while (!name.empty() && (blank(name.front()) || name.front() == '.')) name.erase(name.begin());
  if (name.size() > kMaxBytes) {
    std::size_t cut = kMaxBytes;
    // Back to the first byte of a character (continuation bytes are 10xxxxxx).
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    name.resize(cut);
  }
  while (!name.empty() && blank(name.back())) name.pop_back();
  if (name.empty()) name = "Untitled";
  name += extension;
  return name;
}

int DeleteFilesInFolder(std::string_view folder) {
  namespace fs = std::filesystem;
  std::error_code ec;
  int count = 0;
  fs::directory_iterator it(fs::path(std::string(folder)), ec);
  if (ec) return 0;
  // Stepped with error codes: nothing here throws.
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    std::error_code e2;
    const auto& entry = *it;
    if (entry.is_symlink(e2) || !entry.is_regular_file(e2)) continue;
    if (!fs::remove(entry.path(), e2)) return -1;
    ++count;
  }
  return ec ? -1 : count;
}

}  // namespace ORV
