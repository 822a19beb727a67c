// An AccurateRip server on 127.0.0.1 for tests: HTTP/1.0 GET of files it
// was given (200 with Content-Length), 404 for any other path. On demand it
// misbehaves: no Content-Length, closing half-way through the body, seeded
// garbage instead of an HTTP answer, closing without a word, or accepting
// and never answering. It listens on an ephemeral port from construction to
// destruction and serves one connection at a time on its own thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace client::testing {

class AccurateRipTestServer {
 public:
  enum class Behaviour {
    kNormal,
    kWithoutLength,  // 200 without Content-Length; the close ends the body
    kEarlyClose,     // Content-Length promised, half the body sent, then close
    kGarbage,        // about 3000 seeded random bytes, no HTTP head
    kSilentClose,    // accept, read the request, close
    kNeverAnswer,    // accept, read the request, say nothing until destroyed
    kSlowDrip,       // the whole answer, one byte every 20 ms (until destroyed)
  };

  AccurateRipTestServer();
  ~AccurateRipTestServer();
  AccurateRipTestServer(const AccurateRipTestServer&) = delete;
  AccurateRipTestServer& operator=(const AccurateRipTestServer&) = delete;

  uint16_t port() const { return port_; }

  void putFile(const std::string& path, std::string bytes);
  void setBehaviour(Behaviour behaviour);
  // The requests received so far, each as the bytes read.
  std::vector<std::string> requests() const;

 private:
  void serve();
  void answer(int connection);

  int listener_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::map<std::string, std::string> files_;  // guarded by mutex_
  Behaviour behaviour_ = Behaviour::kNormal;  // guarded by mutex_
  std::vector<std::string> requests_;         // guarded by mutex_
  std::vector<int> silent_;                   // server thread only: connections held open
  std::thread thread_;
};

}  // namespace client::testing
