#pragma once
// One HTTP POST through libcurl, as the update library sends them: the
// headers in the given order, the body as given, 60-second time-outs, no
// redirects, only http and https (an https peer's certificate and host name
// always verified), and a cap on the size of the reply.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace ORV::Freshet {

struct HttpPostResult {
  enum class Outcome {
    Done,        // a complete reply arrived (any status)
    NoHandle,    // no libcurl handle could be made
    Failed,      // the transfer failed (message in `error`)
    BadStatus,   // the reply's status was not 2xx and the body was not wanted
    TooLarge,    // the reply is larger than the cap
    SinkFailed,  // the receiver of the body refused a block (for example a full disk)
  };
  Outcome outcome = Outcome::Failed;
  long status = 0;    // the HTTP status, when one arrived
  std::string error;  // libcurl's text for a failed transfer
};

// Receives the reply body block by block; false stops the transfer.
using BodySink = std::function<bool(std::string_view block)>;

// Sends `body` to `url`. With `bodyOnlySuccess`, the body of a reply whose
// status is not 2xx is not handed to `sink` and the result is BadStatus.
HttpPostResult HttpPost(const std::string& url, const std::vector<std::string>& headers, const std::string& body,
                        std::uint64_t maxReplyBytes, bool bodyOnlySuccess, const BodySink& sink);

}  // namespace ORV::Freshet
