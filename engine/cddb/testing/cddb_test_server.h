// A CDDB server on 127.0.0.1 for tests: it answers the HTTP gateway's
// "cddb query" and "cddb read" commands from a folder of entries laid out
// as <folder>/<category>/<discid>, each file an entry in the CDDB entry
// format (its lines may end in LF or CR LF; they are sent with CR LF, byte
// for byte otherwise, so ISO-8859-1 entries stay ISO-8859-1).
//
// Query: an entry named by the disc identifier is an exact match (200; 211
// when several categories hold one); otherwise entries with the same track
// count whose "# Disc length" lies within 10 seconds are inexact matches
// (211); otherwise 202. Read: 210 with the entry and ".", or 401.
//
// On demand it misbehaves: slowness before the reply, an early close, garbage,
// oversized replies, replies without HTTP headers, a canned reply, or
// accepting and never answering. It listens on an ephemeral port from
// construction to destruction and serves one connection at a time on its
// own thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace engine::cddb::testing {

class CddbTestServer {
 public:
  enum class Behaviour {
    kNormal,          // HTTP status line and headers, then the CDDB reply
    kWithoutHeaders,  // the CDDB reply alone
    kEarlyClose,      // the first half of the normal reply, then close
    kGarbage,         // seeded random bytes (no NUL), about 3000 of them
    kOversized,       // the normal reply followed by a 1 MiB line
    kNeverAnswer,     // accept, read the request, say nothing until stopped
  };

  explicit CddbTestServer(std::filesystem::path entryFolder);
  ~CddbTestServer();
  CddbTestServer(const CddbTestServer&) = delete;
  CddbTestServer& operator=(const CddbTestServer&) = delete;

  uint16_t port() const { return port_; }

  void setBehaviour(Behaviour behaviour);
  // Waits this long before replying (0: no wait).
  void setDelayMs(int ms);
  // Sends exactly these bytes for every command (empty: answer normally).
  void setCannedReply(std::string reply);

  // The requests received so far, each as the bytes read.
  std::vector<std::string> requests() const;

  // Writes an entry file <folder>/<category>/<discid>.
  static void writeEntry(const std::filesystem::path& folder, const std::string& category,
                         const std::string& discId, const std::string& entry);

 private:
  void serve();
  void answer(int connection);
  std::string reply(const std::string& request) const;
  std::string query(const std::vector<std::string>& words) const;
  std::string read(const std::vector<std::string>& words) const;

  std::filesystem::path folder_;
  int listener_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  Behaviour behaviour_ = Behaviour::kNormal;  // guarded by mutex_
  int delayMs_ = 0;                           // guarded by mutex_
  std::string canned_;                        // guarded by mutex_
  std::vector<std::string> requests_;         // guarded by mutex_
  std::vector<int> silent_;                   // server thread only: connections held open
  std::thread thread_;
};

}  // namespace engine::cddb::testing
