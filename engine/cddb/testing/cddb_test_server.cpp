#include "engine/cddb/testing/cddb_test_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

namespace engine::cddb::testing {
namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, separator)) parts.push_back(part);
  return parts;
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// LF or CR LF line ends become CR LF.
std::string WithCrLf(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
    out += text[i];
  }
  if (!out.empty() && out.back() != '\n') out += "\r\n";
  return out;
}

// What the server knows of an entry from its comment lines and DTITLE.
struct EntryFacts {
  int tracks = 0;
  int lengthSeconds = -1;
  std::string discTitle;
};

EntryFacts Facts(const std::string& entry) {
  EntryFacts facts;
  bool inOffsets = false;
  std::istringstream in(entry);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("# Track frame offsets", 0) == 0) {
      inOffsets = true;
    } else if (inOffsets && line.size() > 1 && line[0] == '#' &&
               line.find_first_of("0123456789") != std::string::npos &&
               line.find_first_not_of("# \t0123456789") == std::string::npos) {
      ++facts.tracks;
    } else {
      inOffsets = false;
    }
    if (line.rfind("# Disc length:", 0) == 0) facts.lengthSeconds = std::atoi(line.c_str() + 14);
    if (line.rfind("DTITLE=", 0) == 0) facts.discTitle += line.substr(7);
  }
  return facts;
}

bool SendAll(int fd, const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += size_t(n);
  }
  return true;
}

}  // namespace

CddbTestServer::CddbTestServer(std::filesystem::path entryFolder) : folder_(std::move(entryFolder)) {
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

CddbTestServer::~CddbTestServer() {
  stop_ = true;
  thread_.join();
  for (const int fd : silent_) ::close(fd);
  ::close(listener_);
}

void CddbTestServer::setBehaviour(Behaviour behaviour) {
  std::lock_guard lock(mutex_);
  behaviour_ = behaviour;
}

void CddbTestServer::setDelayMs(int ms) {
  std::lock_guard lock(mutex_);
  delayMs_ = ms;
}

void CddbTestServer::setCannedReply(std::string reply) {
  std::lock_guard lock(mutex_);
  canned_ = std::move(reply);
}

std::vector<std::string> CddbTestServer::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

void CddbTestServer::writeEntry(const std::filesystem::path& folder, const std::string& category,
                                const std::string& discId, const std::string& entry) {
  std::filesystem::create_directories(folder / category);
  std::ofstream(folder / category / discId, std::ios::binary) << entry;
}

void CddbTestServer::serve() {
  while (!stop_) {
    pollfd p{listener_, POLLIN, 0};
    if (::poll(&p, 1, 20) != 1) continue;
    const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection >= 0) answer(connection);
  }
}

void CddbTestServer::answer(int connection) {
  // The request: headers, then Content-Length bytes of body (bounded).
  std::string request;
  size_t wanted = std::string::npos;
  char chunk[1024];
  while (request.size() < (1 << 16)) {
    pollfd p{connection, POLLIN, 0};
    if (::poll(&p, 1, 2000) != 1) break;
    const ssize_t n = ::recv(connection, chunk, sizeof chunk, 0);
    if (n <= 0) break;
    request.append(chunk, size_t(n));
    const size_t headerEnd = request.find("\r\n\r\n");
    if (headerEnd != std::string::npos && wanted == std::string::npos) {
      const size_t length = request.find("Content-Length: ");
      wanted = headerEnd + 4 + (length != std::string::npos ? size_t(std::atoi(request.c_str() + length + 16)) : 0);
    }
    if (request.size() >= wanted) break;
  }

  Behaviour behaviour;
  int delayMs;
  std::string canned;
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(request);
    behaviour = behaviour_;
    delayMs = delayMs_;
    canned = canned_;
  }
  if (behaviour == Behaviour::kNeverAnswer) {
    silent_.push_back(connection);
    return;
  }
  if (delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));

  std::string out = canned.empty() ? reply(request) : canned;
  if (canned.empty()) {
    switch (behaviour) {
      case Behaviour::kNormal:
      case Behaviour::kEarlyClose:
      case Behaviour::kOversized:
        out = "HTTP/1.0 200 OK\r\nContent-Type: text/plain; charset=ISO-8859-1\r\nServer: cddb-test\r\n\r\n" + out;
        break;
      default:
        break;
    }
    if (behaviour == Behaviour::kEarlyClose) out.resize(out.size() / 2);
    if (behaviour == Behaviour::kOversized) out += std::string(1 << 20, 'x') + "\r\n";
    if (behaviour == Behaviour::kGarbage) {
      std::mt19937 rng(7);
      out.assign(3000, '\0');
      for (char& c : out) c = char(1 + rng() % 255);
    }
  }
  SendAll(connection, out);
  ::shutdown(connection, SHUT_WR);
  ::close(connection);
}

std::string CddbTestServer::reply(const std::string& request) const {
  const size_t bodyStart = request.find("\r\n\r\n");
  const std::string body = bodyStart == std::string::npos ? std::string() : request.substr(bodyStart + 4);
  for (const std::string& field : Split(body, '&')) {
    if (field.rfind("cmd=", 0) != 0) continue;
    std::string command = field.substr(4);
    while (!command.empty() && (command.back() == '\n' || command.back() == '\r')) command.pop_back();
    const std::vector<std::string> words = Split(command, '+');
    if (words.size() >= 2 && words[0] == "cddb" && words[1] == "query") return query(words);
    if (words.size() >= 2 && words[0] == "cddb" && words[1] == "read") return read(words);
  }
  return "500 Unrecognized command.\r\n";
}

std::string CddbTestServer::query(const std::vector<std::string>& words) const {
  // cddb query discid ntrks off1 … offn nsecs
  if (words.size() < 5) return "500 Command syntax error.\r\n";
  const std::string& discId = words[2];
  const int tracks = std::atoi(words[3].c_str());
  const int seconds = std::atoi(words.back().c_str());
  std::vector<std::string> exact, inexact;
  std::error_code ignored;
  for (const auto& category : std::filesystem::directory_iterator(folder_, ignored)) {
    if (!category.is_directory()) continue;
    for (const auto& file : std::filesystem::directory_iterator(category.path(), ignored)) {
      const EntryFacts facts = Facts(ReadFile(file.path()));
      const std::string line = category.path().filename().string() + " " + file.path().filename().string() + " " +
                               facts.discTitle;
      if (file.path().filename() == discId) {
        exact.push_back(line);
      } else if (facts.tracks == tracks && facts.lengthSeconds >= 0 && std::abs(facts.lengthSeconds - seconds) <= 10) {
        inexact.push_back(line);
      }
    }
  }
  if (exact.size() == 1) return "200 " + exact[0] + "\r\n";
  std::vector<std::string>& list = exact.empty() ? inexact : exact;
  if (list.empty()) return "202 No match for disc ID " + discId + ".\r\n";
  std::string out = "211 Found inexact matches, list follows (until terminating `.')\r\n";
  for (const std::string& line : list) out += line + "\r\n";
  return out + ".\r\n";
}

std::string CddbTestServer::read(const std::vector<std::string>& words) const {
  // cddb read category discid
  if (words.size() < 4) return "500 Command syntax error.\r\n";
  const std::filesystem::path path = folder_ / words[2] / words[3];
  if (words[2].find('/') != std::string::npos || words[3].find('/') != std::string::npos ||
      !std::filesystem::is_regular_file(path)) {
    return "401 " + words[2] + " " + words[3] + " No such CD entry in database.\r\n";
  }
  return "210 " + words[2] + " " + words[3] + " CD database entry follows (until terminating `.')\r\n" +
         WithCrLf(ReadFile(path)) + ".\r\n";
}

}  // namespace engine::cddb::testing
