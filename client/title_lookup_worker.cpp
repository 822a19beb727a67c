#include "client/title_lookup_worker.h"

#include <chrono>

namespace client {

TitleLookupWorker::~TitleLookupWorker() {
  stop();
  if (future_.valid()) future_.wait();
}

bool TitleLookupWorker::start(Request request) {
  if (future_.valid()) return false;
  cancel_ = std::make_shared<std::atomic<bool>>(false);
  future_ = std::async(std::launch::async, [request = std::move(request), cancel = cancel_] {
    Result result;
    result.musicBrainz.reason = "not asked";
    if (request.disc && !request.musicBrainzServer.empty()) {
      MusicBrainzOptions options;
      options.country = request.country;
      options.cancel = cancel.get();
      result.musicBrainzAsked = true;
      result.musicBrainz = LookUpMusicBrainz(request.musicBrainzServer, *request.disc, options);
    }
    result.stopped = cancel->load();
    return result;
  });
  return true;
}

std::optional<TitleLookupWorker::Result> TitleLookupWorker::take() {
  if (!future_.valid() || future_.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return std::nullopt;
  return future_.get();
}

void TitleLookupWorker::stop() {
  if (cancel_) cancel_->store(true);
}

}  // namespace client
