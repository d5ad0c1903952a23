#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/os/file_io.h"
#include "updater/http_post.h"
#include "updater/installation.h"
#include "updater/update_query.h"

namespace ORV::Freshet {

namespace {

bool IsUnreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
         c == '_' || c == '~';
}

}  // namespace

std::string BuildDownloadBody(std::string_view url) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string body = "filename=";
  for (char ch : url) {
    const auto c = static_cast<unsigned char>(ch);
    if (IsUnreserved(c)) {
      body += ch;
    } else {
      body += '%';
      body += kHex[c >> 4];
      body += kHex[c & 0x0F];
    }
  }
  return body;
}

int DownloadPackageFile(const FreshetSettings& settings, const std::string& url, int fd, std::uint64_t maxBytes) {
  int writeError = 0;
  const HttpPostResult r =
      HttpPost(ServiceUrl(settings) + "/Download",
               {"Connection: close", "Host: localhost", "Content-Type: application/x-www-form-urlencoded"},
               BuildDownloadBody(url), maxBytes, true, [fd, &writeError](std::string_view block) {
                 if (ORV::OS::WriteAll(fd, block.data(), block.size()) == block.size()) return true;
                 writeError = errno;
                 return false;
               });
  switch (r.outcome) {
    case HttpPostResult::Outcome::Done:
      return kDownloadOk;
    case HttpPostResult::Outcome::NoHandle:
      return kDownloadNoHandle;
    case HttpPostResult::Outcome::BadStatus:
      std::fprintf(stderr, "downloading %s: the service answered with HTTP status %ld\n", url.c_str(), r.status);
      return kDownloadHttpError;
    case HttpPostResult::Outcome::TooLarge:
      std::fprintf(stderr, "downloading %s: the file is larger than %llu bytes\n", url.c_str(),
                   static_cast<unsigned long long>(maxBytes));
      return kDownloadTooLarge;
    case HttpPostResult::Outcome::SinkFailed:
      std::fprintf(stderr, "downloading %s: the file cannot be written: %s\n", url.c_str(), std::strerror(writeError));
      return kDownloadFailed;
    case HttpPostResult::Outcome::Failed:
      break;
  }
  LogTransferFailure(r.error);
  return kDownloadFailed;
}

}  // namespace ORV::Freshet
