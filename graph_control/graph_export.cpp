#include "graph_control/graph_export.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <system_error>
#include <vector>

#include "platform/os/folders.h"

namespace ORV::Graph {

namespace {

// "%.3f" without the locale; a finite double needs at most 309 integer
// digits, so the buffer always holds the whole number.
void AppendFixed3(std::string& out, double v) {
  char buffer[400];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed, 3);
  if (ec == std::errc()) out.append(buffer, end);
}

std::string PointLines(const GraphModel& model, char separator) {
  std::string out;
  model.ForEachSelectedPoint([&](const ElementPoint& p) {
    AppendFixed3(out, p.X);
    out += separator;
    AppendFixed3(out, p.Y);
    out += '\n';
  });
  return out;
}

bool WriteAll(int fd, const std::string& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

std::string SelectedPointsText(const GraphModel& model) { return PointLines(model, '\t'); }

std::string WriteSelectedPointsFile(const GraphModel& model, const std::string& folder) {
  const std::string lines = PointLines(model, ';');
  if (lines.empty()) return {};
  const std::string dir = folder.empty() ? OS::TempDir() : folder;
  std::string path = dir + "/ORVXXXXXX.csv";
  std::vector<char> name(path.begin(), path.end());
  name.push_back('\0');
  // mkstemps creates the file exclusively (O_EXCL) with mode 0600.
  const int fd = ::mkstemps(name.data(), 4);
  if (fd < 0) return {};
  path.assign(name.data());
  const bool ok = ::fchmod(fd, S_IRUSR | S_IWUSR) == 0 && WriteAll(fd, "X;Y\n" + lines);
  if (::close(fd) != 0 || !ok) {
    ::unlink(path.c_str());
    return {};
  }
  return path;
}

}  // namespace ORV::Graph
