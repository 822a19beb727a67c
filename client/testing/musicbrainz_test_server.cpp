#include "client/testing/musicbrainz_test_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

namespace client::testing {
namespace {

bool SendAll(int fd, const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += size_t(n);
  }
  return true;
}

std::string HeaderValue(const std::string& request, const std::string& name) {
  const size_t at = request.find("\r\n" + name + ": ");
  if (at == std::string::npos) return {};
  const size_t start = at + name.size() + 4;
  return request.substr(start, request.find("\r\n", start) - start);
}

const char* Reason(int status) {
  switch (status) {
    case 200: return "OK";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 307: return "Temporary Redirect";
    case 404: return "Not Found";
    case 503: return "Service Unavailable";
    default: return "Status";
  }
}

}  // namespace

MusicBrainzTestServer::MusicBrainzTestServer() {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t bytes = sizeof a;
  if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      ::listen(listener_, 16) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &bytes) != 0) {
    std::abort();  // a test machine without loopback cannot run these tests
  }
  port_ = ntohs(a.sin_port);
  thread_ = std::thread([this] { serve(); });
}

MusicBrainzTestServer::~MusicBrainzTestServer() {
  stop_ = true;
  thread_.join();
  for (std::thread& connection : connections_) connection.join();
  ::close(listener_);
}

void MusicBrainzTestServer::add(const std::string& path, Answer answer) {
  std::lock_guard lock(mutex_);
  answers_[path].push_back(std::move(answer));
}

std::vector<MusicBrainzTestServer::Request> MusicBrainzTestServer::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

void MusicBrainzTestServer::serve() {
  while (!stop_) {
    pollfd p{listener_, POLLIN, 0};
    if (::poll(&p, 1, 20) != 1) continue;
    const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection >= 0) connections_.emplace_back([this, connection] { answer(connection); });
  }
}

void MusicBrainzTestServer::answer(int connection) {
  std::string request;
  char chunk[1024];
  while (request.find("\r\n\r\n") == std::string::npos && request.size() < 64 * 1024 && !stop_) {
    pollfd p{connection, POLLIN, 0};
    if (::poll(&p, 1, 20) != 1) continue;
    const ssize_t n = ::recv(connection, chunk, sizeof chunk, 0);
    if (n <= 0) break;
    request.append(chunk, size_t(n));
  }
  std::string target;
  if (request.rfind("GET ", 0) == 0) target = request.substr(4, request.find(' ', 4) - 4);
  const std::string path = target.substr(0, target.find('?'));

  Answer chosen;
  chosen.status = 404;
  chosen.body = R"({"error": "Not Found"})";
  {
    std::lock_guard lock(mutex_);
    requests_.push_back({target, HeaderValue(request, "User-Agent"), std::chrono::steady_clock::now()});
    auto it = answers_.find(path);
    // "PREFIX*" answers every path that starts with PREFIX.
    for (auto wild = answers_.begin(); it == answers_.end() && wild != answers_.end(); ++wild) {
      const std::string& key = wild->first;
      if (!key.empty() && key.back() == '*' && path.compare(0, key.size() - 1, key, 0, key.size() - 1) == 0) it = wild;
    }
    if (it != answers_.end() && !it->second.empty()) {
      chosen = it->second.front();
      if (it->second.size() > 1) it->second.pop_front();
    }
  }
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(chosen.holdMs);
  while (!stop_ && (std::chrono::steady_clock::now() < until || (chosen.gate && !chosen.gate->load())))
    std::this_thread::sleep_for(std::chrono::milliseconds(10));

  std::string head = "HTTP/1.1 " + std::to_string(chosen.status) + " " + Reason(chosen.status) + "\r\n";
  head += "Content-Type: " + chosen.contentType + "\r\n";
  head += "Content-Length: " + std::to_string(chosen.body.size()) + "\r\n";
  if (!chosen.location.empty()) head += "Location: " + chosen.location + "\r\n";
  head += "Connection: close\r\n\r\n";
  if (!stop_ && SendAll(connection, head)) {
    if (!chosen.drip) {
      SendAll(connection, chosen.body);
    } else {
      for (size_t k = 0; k < chosen.body.size() && !stop_; ++k) {
        if (!SendAll(connection, chosen.body.substr(k, 1))) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
    }
  }
  ::close(connection);
}

}  // namespace client::testing
