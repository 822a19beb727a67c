#include "client/testing/accuraterip_test_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <random>

namespace client::testing {
namespace {

void SendAll(int fd, const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return;
    sent += size_t(n);
  }
}

// The path of "GET <path> HTTP/1.0".
std::string RequestedPath(const std::string& request) {
  if (request.rfind("GET ", 0) != 0) return {};
  const size_t end = request.find(' ', 4);
  return end == std::string::npos ? std::string() : request.substr(4, end - 4);
}

}  // namespace

AccurateRipTestServer::AccurateRipTestServer() {
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

AccurateRipTestServer::~AccurateRipTestServer() {
  stop_ = true;
  thread_.join();
  for (const int fd : silent_) ::close(fd);
  ::close(listener_);
}

void AccurateRipTestServer::putFile(const std::string& path, std::string bytes) {
  std::lock_guard lock(mutex_);
  files_[path] = std::move(bytes);
}

void AccurateRipTestServer::setBehaviour(Behaviour behaviour) {
  std::lock_guard lock(mutex_);
  behaviour_ = behaviour;
}

std::vector<std::string> AccurateRipTestServer::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

void AccurateRipTestServer::serve() {
  while (!stop_) {
    pollfd p{listener_, POLLIN, 0};
    if (::poll(&p, 1, 20) != 1) continue;
    const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection >= 0) answer(connection);
  }
}

void AccurateRipTestServer::answer(int connection) {
  std::string request;
  char chunk[1024];
  while (request.size() < (1 << 16) && request.find("\r\n\r\n") == std::string::npos) {
    pollfd p{connection, POLLIN, 0};
    if (::poll(&p, 1, 2000) != 1) break;
    const ssize_t n = ::recv(connection, chunk, sizeof chunk, 0);
    if (n <= 0) break;
    request.append(chunk, size_t(n));
  }

  Behaviour behaviour;
  std::string out;
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(request);
    behaviour = behaviour_;
    const auto file = files_.find(RequestedPath(request));
    if (file == files_.end()) {
      out = "HTTP/1.0 404 Not Found\r\nContent-Type: text/html\r\nContent-Length: 9\r\n\r\nNot Found";
    } else if (behaviour == Behaviour::kWithoutLength) {
      out = "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n\r\n" + file->second;
    } else {
      const std::string& body = file->second;
      out = "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
            std::to_string(body.size()) + "\r\n\r\n" +
            (behaviour == Behaviour::kEarlyClose ? body.substr(0, body.size() / 2) : body);
    }
  }
  switch (behaviour) {
    case Behaviour::kNeverAnswer:
      silent_.push_back(connection);
      return;
    case Behaviour::kSilentClose:
      out.clear();
      break;
    case Behaviour::kGarbage: {
      std::mt19937 rng(11);
      out.assign(3000, '\0');
      for (char& c : out) c = char(rng() % 256);
      break;
    }
    case Behaviour::kSlowDrip:
      for (size_t i = 0; i < out.size() && !stop_.load(); ++i) {
        if (::send(connection, out.data() + i, 1, MSG_NOSIGNAL) != 1) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
      out.clear();
      break;
    default:
      break;
  }
  SendAll(connection, out);
  ::shutdown(connection, SHUT_WR);
  ::close(connection);
}

}  // namespace client::testing
