#include "updater/freshet_settings.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "platform/os/folders.h"

namespace ORV::Freshet {

FreshetSettings& ProcessSettings() {
  static FreshetSettings settings;
  return settings;
}

bool IsValidProductId(std::string_view id) {
  return !id.empty() && id != "." && id.find('/') == std::string_view::npos &&
         id.find("..") == std::string_view::npos && id.find('\0') == std::string_view::npos;
}

std::string InstallationFolder(const FreshetSettings& settings) {
  if (!IsValidProductId(settings.productId)) return {};
  return OS::ProductStateDir() + "/Updates/" + settings.productId;
}

bool IsPrivateFolder(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
         (st.st_mode & 077) == 0;
}

bool IsNonEmptyFolder(const std::string& path) {
  if (path.empty()) return false;
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  DIR* dir = ::fdopendir(fd);
  if (!dir) {
    ::close(fd);
    return false;
  }
  bool found = false;
  while (const dirent* e = ::readdir(dir)) {
    if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) {
      found = true;
      break;
    }
  }
  ::closedir(dir);
  return found;
}

bool IsInstallPending(const FreshetSettings& settings) { return IsNonEmptyFolder(InstallationFolder(settings)); }

}  // namespace ORV::Freshet
