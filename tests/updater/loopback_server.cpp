#include "loopback_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>

#include "platform/os/text.h"

namespace ORV::Test {

namespace {

constexpr auto kIdleLimit = std::chrono::seconds(60);
constexpr int kReadTimeoutMs = 5000;
constexpr std::size_t kMaxRequestBytes = 1 << 20;

int BindLoopback(int& port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::runtime_error("socket");
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  socklen_t len = sizeof addr;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    ::close(fd);
    throw std::runtime_error("bind");
  }
  port = ntohs(addr.sin_port);
  return fd;
}

void SendAll(int fd, const std::string& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return;  // the client went away (for example after refusing an oversized reply)
    done += static_cast<std::size_t>(n);
  }
}

// Reads more bytes into `buf`; false on time-out, end or error.
bool ReadMore(int fd, std::string& buf) {
  pollfd p{fd, POLLIN, 0};
  if (::poll(&p, 1, kReadTimeoutMs) <= 0) return false;
  char chunk[16384];
  const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
  if (n <= 0) return false;
  buf.append(chunk, static_cast<std::size_t>(n));
  return buf.size() <= kMaxRequestBytes;
}

const char* Reason(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 404:
      return "Not Found";
    case 500:
      return "Internal Server Error";
    default:
      return "Status";
  }
}

std::string Url(int port, const std::string& path) { return "http://127.0.0.1:" + std::to_string(port) + path; }

}  // namespace

std::string HttpRequest::Header(const std::string& name) const {
  for (const std::string& h : headers) {
    const auto colon = h.find(':');
    if (colon != std::string::npos && OS::EqualsNoCase(h.substr(0, colon), name)) {
      std::size_t v = colon + 1;
      while (v < h.size() && h[v] == ' ') ++v;
      return h.substr(v);
    }
  }
  return {};
}

LoopbackServer::LoopbackServer() {
  // Requests to the loopback address never go through a proxy.
  ::setenv("no_proxy", "127.0.0.1", 1);
  listenFd_ = BindLoopback(port_);
  if (::listen(listenFd_, 16) != 0) {
    ::close(listenFd_);
    throw std::runtime_error("listen");
  }
  thread_ = std::thread([this] { Run(); });
}

LoopbackServer::~LoopbackServer() {
  stop_ = true;
  thread_.join();
  ::close(listenFd_);
}

std::string LoopbackServer::Url(const std::string& path) const { return Test::Url(port_, path); }

void LoopbackServer::Queue(HttpReply reply) {
  std::lock_guard lock(mutex_);
  queue_.push_back(std::move(reply));
}

void LoopbackServer::SetDefault(HttpReply reply) {
  std::lock_guard lock(mutex_);
  default_ = std::move(reply);
}

std::vector<HttpRequest> LoopbackServer::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

void LoopbackServer::Run() {
  auto lastActivity = std::chrono::steady_clock::now();
  while (!stop_ && std::chrono::steady_clock::now() - lastActivity < kIdleLimit) {
    pollfd p{listenFd_, POLLIN, 0};
    if (::poll(&p, 1, 20) <= 0) continue;
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    Serve(fd);
    ::close(fd);
    lastActivity = std::chrono::steady_clock::now();
  }
}

void LoopbackServer::Serve(int fd) {
  std::string buf;
  std::size_t end;
  while ((end = buf.find("\r\n\r\n")) == std::string::npos) {
    if (!ReadMore(fd, buf)) return;
  }
  HttpRequest req;
  std::size_t pos = buf.find("\r\n");
  req.requestLine = buf.substr(0, pos);
  while (pos < end) {
    const std::size_t next = buf.find("\r\n", pos + 2);
    req.headers.push_back(buf.substr(pos + 2, next - pos - 2));
    pos = next;
  }
  if (OS::EqualsNoCase(req.Header("Expect"), "100-continue")) SendAll(fd, "HTTP/1.1 100 Continue\r\n\r\n");
  const std::size_t length = std::strtoul(req.Header("Content-Length").c_str(), nullptr, 10);
  std::string body = buf.substr(end + 4);
  while (body.size() < length) {
    if (!ReadMore(fd, body)) break;
  }
  req.body = std::move(body);

  HttpReply reply;
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(req);
    if (queue_.empty()) {
      reply = default_;
    } else {
      reply = std::move(queue_.front());
      queue_.pop_front();
    }
  }
  std::string head = "HTTP/1.1 " + std::to_string(reply.status) + " " + Reason(reply.status) + "\r\n";
  head += "Content-Type: " + reply.contentType + "\r\n";
  if (reply.announceLength)
    head += "Content-Length: " + std::to_string(reply.body.size() + reply.missingBytes) + "\r\n";
  head += "Connection: close\r\n\r\n";
  SendAll(fd, head + reply.body);
}

RefusingPort::RefusingPort() { fd_ = BindLoopback(port_); }
RefusingPort::~RefusingPort() { ::close(fd_); }
std::string RefusingPort::Url(const std::string& path) const { return Test::Url(port_, path); }

}  // namespace ORV::Test
