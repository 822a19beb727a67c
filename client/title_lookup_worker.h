// A disc's MusicBrainz titles looked up on a thread of its own, so that a
// window stays alive while the service answers. (The CDDB server is asked
// through the engine, whose calls run on the thread that owns it; a second
// engine object cannot take the drive the first one holds.)
//
// Owned and driven by one thread (the GUI thread); the worker touches only
// the request it was given and the result it hands back.
#pragma once

#include <atomic>
#include <future>
#include <memory>
#include <optional>
#include <string>

#include "client/disc_titles.h"
#include "client/musicbrainz_lookup.h"

namespace client {

class TitleLookupWorker {
 public:
  struct Request {
    std::optional<MusicBrainzDisc> disc;  // nothing: MusicBrainz is not asked
    std::string musicBrainzServer;        // "": not asked
    std::string country;
  };
  struct Result {
    MusicBrainzLookup musicBrainz;  // status kNoAnswer, reason "not asked", when not asked
    bool musicBrainzAsked = false;
    bool stopped = false;
  };

  TitleLookupWorker() = default;
  // Stops a look-up that still runs and waits for its end (about a second
  // at most: the HTTP client looks at the stop flag that often).
  ~TitleLookupWorker();
  TitleLookupWorker(const TitleLookupWorker&) = delete;
  TitleLookupWorker& operator=(const TitleLookupWorker&) = delete;

  // False when one runs already.
  bool start(Request request);
  bool running() const { return future_.valid(); }
  // The result once the look-up ended; nothing while it runs.
  std::optional<Result> take();
  // Asks a running look-up to end; take() then gives it, marked stopped.
  void stop();

 private:
  std::shared_ptr<std::atomic<bool>> cancel_;  // shared with the worker thread
  std::future<Result> future_;                 // owner's thread only
};

}  // namespace client
