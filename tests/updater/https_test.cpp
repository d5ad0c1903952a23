// An update service reached over https must prove who it is: against a
// loopback TLS server with a certificate no authority signed, every request
// of the library fails before anything is sent, while a client that skips
// the check gets the server's answer.
#include <arpa/inet.h>
#include <botan/auto_rng.h>
#include <botan/ec_group.h>
#include <botan/ecdsa.h>
#include <botan/tls_server.h>
#include <botan/tls_session_manager.h>
#include <botan/x509self.h>
#include <curl/curl.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "updater/http_post.h"
#include "updater/installation.h"
#include "updater/update_query.h"
#include "updater_fixture.h"

namespace ORV::Test {
namespace {

constexpr const char* kAnswer = "HTTP/1.1 200 OK\r\nContent-Length: 7\r\nConnection: close\r\n\r\nanswer!";

// Answers every request on 127.0.0.1 over TLS with kAnswer, presenting a
// certificate for 127.0.0.1 and localhost that signs itself: right for the
// host, but from no authority the system trusts.
class SelfSignedTlsServer {
 public:
  SelfSignedTlsServer() : key_(rng_, Botan::EC_Group("secp256r1")) {
    Botan::X509_Cert_Options options("127.0.0.1");
    options.dns = "localhost";
    options.ip = "127.0.0.1";
    credentials_.cert = Botan::X509::create_self_signed_cert(options, key_, "SHA-256", rng_);
    credentials_.key = &key_;
    listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (::bind(listen_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 && ::listen(listen_, 4) == 0 &&
        ::getsockname(listen_, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
      port_ = ntohs(addr.sin_port);
    }
    thread_ = std::thread([this] { Run(); });
  }
  ~SelfSignedTlsServer() {
    stop_ = true;
    thread_.join();
    ::close(listen_);
  }
  std::string Url(const std::string& path) const { return "https://127.0.0.1:" + std::to_string(port_) + path; }
  int RequestsAnswered() const { return answered_; }

 private:
  struct Credentials : Botan::Credentials_Manager {
    std::vector<Botan::X509_Certificate> cert_chain(const std::vector<std::string>& types, const std::string&,
                                                    const std::string&) override {
      for (const std::string& t : types)
        if (t == "ECDSA") return {cert};
      return {};
    }
    Botan::Private_Key* private_key_for(const Botan::X509_Certificate&, const std::string&,
                                        const std::string&) override {
      return key;
    }
    Botan::X509_Certificate cert;
    Botan::Private_Key* key = nullptr;
  };

  // One connection: decrypts what arrives, answers once the request's head
  // is in, and closes.
  struct Connection : Botan::TLS::Callbacks {
    explicit Connection(int socket) : fd(socket) {}
    void tls_emit_data(const std::uint8_t data[], std::size_t size) override {
      while (size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0) return;
        data += n;
        size -= static_cast<std::size_t>(n);
      }
    }
    void tls_record_received(std::uint64_t, const std::uint8_t data[], std::size_t size) override {
      request.append(reinterpret_cast<const char*>(data), size);
    }
    void tls_alert(Botan::TLS::Alert) override { closed = true; }
    bool tls_session_established(const Botan::TLS::Session&) override { return false; }
    int fd;
    std::string request;
    bool closed = false;
  };

  void Serve(int fd) {
    Connection connection(fd);
    Botan::TLS::Session_Manager_Noop sessions;
    Botan::TLS::Policy policy;
    Botan::TLS::Server tls(connection, sessions, credentials_, policy, rng_);
    std::uint8_t buffer[4096];
    while (!stop_ && !connection.closed) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      try {
        tls.received_data(buffer, static_cast<std::size_t>(n));
      } catch (const std::exception&) {
        break;
      }
      if (connection.request.find("\r\n\r\n") != std::string::npos) {
        ++answered_;
        tls.send(kAnswer);
        tls.close();
        break;
      }
    }
  }

  void Run() {
    while (!stop_) {
      pollfd p{listen_, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      Serve(fd);
      ::close(fd);
    }
  }

  Botan::AutoSeeded_RNG rng_;
  Botan::ECDSA_PrivateKey key_;
  Credentials credentials_;
  int listen_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> answered_{0};
  std::thread thread_;
};

std::size_t Append(char* data, std::size_t size, std::size_t count, void* out) {
  static_cast<std::string*>(out)->append(data, size * count);
  return size * count;
}

TEST(HttpsService, APeerWithoutATrustedCertificateIsNeverTalkedTo) {
  SelfSignedTlsServer server;

  // A client that skips the check is answered: the server works.
  std::string body;
  CURL* curl = curl_easy_init();
  ASSERT_NE(curl, nullptr);
  const std::string url = server.Url("/svc");
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 0L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 0L);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Append);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
  EXPECT_EQ(curl_easy_perform(curl), CURLE_OK);
  curl_easy_cleanup(curl);
  EXPECT_EQ(body, "answer!");
  ASSERT_EQ(server.RequestsAnswered(), 1);

  // The library's requests fail on the certificate.
  const Freshet::HttpPostResult r =
      Freshet::HttpPost(url, {"Connection: close"}, "x", 1024, true, [](std::string_view) { return true; });
  EXPECT_EQ(r.outcome, Freshet::HttpPostResult::Outcome::Failed);
  EXPECT_EQ(r.error, curl_easy_strerror(CURLE_PEER_FAILED_VERIFICATION));

  Freshet::FreshetSettings settings;
  settings.productId = kProductId;
  settings.serverUrl = url;
  std::vector<Freshet::FreshetUpdate> list;
  EXPECT_EQ(Freshet::QueryAvailableUpdates(settings, list), Freshet::kQueryTransferFailed);
  EXPECT_TRUE(list.empty());
  TempDir dir;
  const int fd = ::open((dir / "p").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  EXPECT_EQ(Freshet::DownloadPackageFile(settings, "u/core", fd), Freshet::kDownloadFailed);
  ::close(fd);
  EXPECT_EQ(ReadText(dir / "p"), "");
  EXPECT_EQ(server.RequestsAnswered(), 1) << "no request of the library reached the server";
}

}  // namespace
}  // namespace ORV::Test
