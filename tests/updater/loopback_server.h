#pragma once
// A small HTTP server on 127.0.0.1 for the update library's tests. It listens
// on a port of its own, answers each connection with the next scripted reply
// (or the default one), records every request, and stops at destruction or by
// itself after a minute without connections.
#include <atomic>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace ORV::Test {

struct HttpReply {
  int status = 200;
  std::string body;
  std::string contentType = "application/soap+xml; charset=utf-8";
  // Announce this many bytes more than are sent, then close (a cut-off reply).
  std::size_t missingBytes = 0;
  // Without a Content-Length the body ends where the connection closes.
  bool announceLength = true;
};

struct HttpRequest {
  std::string requestLine;           // "POST /path HTTP/1.1"
  std::vector<std::string> headers;  // in the order received, without CRLF
  std::string body;

  // The value of the first header with this name (case-insensitive), else "".
  std::string Header(const std::string& name) const;
};

class LoopbackServer {
 public:
  LoopbackServer();
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  // "http://127.0.0.1:<port>" followed by `path`.
  std::string Url(const std::string& path = "") const;
  void Queue(HttpReply reply);
  void SetDefault(HttpReply reply);
  std::vector<HttpRequest> Requests() const;

 private:
  void Run();
  void Serve(int fd);

  int listenFd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::deque<HttpReply> queue_;
  HttpReply default_;
  std::vector<HttpRequest> requests_;
  std::thread thread_;
};

// A port on 127.0.0.1 that refuses connections: bound, never listening.
class RefusingPort {
 public:
  RefusingPort();
  ~RefusingPort();
  std::string Url(const std::string& path = "") const;

 private:
  int fd_ = -1;
  int port_ = 0;
};

}  // namespace ORV::Test
