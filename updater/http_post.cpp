#include "updater/http_post.h"

#include <curl/curl.h>

#include <limits>

namespace ORV::Freshet {

namespace {

constexpr long kTimeoutSeconds = 60;

// libcurl's global state lives as long as the library is loaded.
struct CurlGlobal {
  CurlGlobal() { curl_global_init(CURL_GLOBAL_ALL); }
  ~CurlGlobal() { curl_global_cleanup(); }
};
const CurlGlobal g_curlGlobal;

struct Transfer {
  CURL* handle = nullptr;
  std::uint64_t maxBytes = 0;
  std::uint64_t received = 0;
  bool bodyOnlySuccess = false;
  const BodySink* sink = nullptr;
  HttpPostResult::Outcome stop = HttpPostResult::Outcome::Done;
};

bool IsSuccess(long status) { return status >= 200 && status <= 299; }

std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto& t = *static_cast<Transfer*>(user);
  const std::size_t n = size * count;
  if (t.bodyOnlySuccess) {
    long status = 0;
    curl_easy_getinfo(t.handle, CURLINFO_RESPONSE_CODE, &status);
    if (!IsSuccess(status)) {
      t.stop = HttpPostResult::Outcome::BadStatus;
      return 0;
    }
  }
  if (n > t.maxBytes - t.received) {
    t.stop = HttpPostResult::Outcome::TooLarge;
    return 0;
  }
  t.received += n;
  if (!(*t.sink)(std::string_view(data, n))) {
    t.stop = HttpPostResult::Outcome::SinkFailed;
    return 0;
  }
  return n;
}

}  // namespace

HttpPostResult HttpPost(const std::string& url, const std::vector<std::string>& headers, const std::string& body,
                        std::uint64_t maxReplyBytes, bool bodyOnlySuccess, const BodySink& sink) {
  HttpPostResult result;
  CURL* curl = curl_easy_init();
  if (!curl) {
    result.outcome = HttpPostResult::Outcome::NoHandle;
    return result;
  }
  curl_slist* list = nullptr;
  for (const std::string& h : headers) {
    curl_slist* next = curl_slist_append(list, h.c_str());
    if (!next) {
      curl_slist_free_all(list);
      curl_easy_cleanup(curl);
      result.error = "out of memory";
      return result;
    }
    list = next;
  }
  Transfer t;
  t.handle = curl;
  t.maxBytes = maxReplyBytes;
  t.bodyOnlySuccess = bodyOnlySuccess;
  t.sink = &sink;

  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
#if LIBCURL_VERSION_NUM >= 0x075500
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
#else
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS, static_cast<long>(CURLPROTO_HTTP | CURLPROTO_HTTPS));
#endif
  // An https service must prove who it is: its certificate chain and its
  // host name are checked, and nothing turns that off. (Plain http reaches
  // the service too; the packages' signatures carry the trust there.)
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, kTimeoutSeconds);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kTimeoutSeconds);
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, list);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &OnBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &t);
  curl_easy_setopt(curl, CURLOPT_VERBOSE, 0L);
  curl_easy_setopt(curl, CURLOPT_POST, 1L);
  curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
  curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.c_str());
  if (maxReplyBytes <= static_cast<std::uint64_t>(std::numeric_limits<curl_off_t>::max()))
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(maxReplyBytes));

  const CURLcode rc = curl_easy_perform(curl);
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &result.status);
  curl_easy_cleanup(curl);
  curl_slist_free_all(list);

  if (bodyOnlySuccess && result.status != 0 && !IsSuccess(result.status)) {
    result.outcome = HttpPostResult::Outcome::BadStatus;  // whatever else went wrong with its body
  } else if (t.stop != HttpPostResult::Outcome::Done) {
    result.outcome = t.stop;
  } else if (rc == CURLE_FILESIZE_EXCEEDED) {
    result.outcome = HttpPostResult::Outcome::TooLarge;
  } else if (rc != CURLE_OK) {
    result.outcome = HttpPostResult::Outcome::Failed;
    result.error = curl_easy_strerror(rc);
  } else {
    result.outcome = HttpPostResult::Outcome::Done;
  }
  return result;
}

}  // namespace ORV::Freshet
