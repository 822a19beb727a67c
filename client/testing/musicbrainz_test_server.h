// A MusicBrainz and Cover Art Archive stand-in on 127.0.0.1 for tests: it
// answers GETs by path (the query left aside) from scripted answers, each
// connection on its own thread, so a held or dripping answer does not hold
// up the next request. A path given several answers gives them in turn, the
// last one from then on; any other path gets a 404. It listens on an
// ephemeral port from construction to destruction; held and dripping
// answers end when it is destroyed.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace client::testing {

class MusicBrainzTestServer {
 public:
  struct Answer {
    int status = 200;
    std::string body;
    std::string contentType = "application/json";
    std::string location;  // a redirect's target (status 3xx)
    int holdMs = 0;        // silence before the answer
    bool drip = false;     // the body a byte each 100 ms
    // Held, besides, until the test sets the flag (or the server stops).
    std::shared_ptr<std::atomic<bool>> gate;
  };

  struct Request {
    std::string target;  // path and query as sent
    std::string userAgent;
    std::chrono::steady_clock::time_point at;
  };

  MusicBrainzTestServer();
  ~MusicBrainzTestServer();
  MusicBrainzTestServer(const MusicBrainzTestServer&) = delete;
  MusicBrainzTestServer& operator=(const MusicBrainzTestServer&) = delete;

  uint16_t port() const { return port_; }
  std::string address() const { return "http://127.0.0.1:" + std::to_string(port_); }

  // Adds an answer to `path`'s turn list; a path ending in "*" answers
  // every path that starts with what comes before it.
  void add(const std::string& path, Answer answer);
  std::vector<Request> requests() const;

 private:
  void serve();
  void answer(int connection);

  int listener_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::map<std::string, std::deque<Answer>> answers_;  // guarded by mutex_
  std::vector<Request> requests_;                      // guarded by mutex_
  std::vector<std::thread> connections_;               // accept thread only, joined at destruction
  std::thread thread_;
};

}  // namespace client::testing
