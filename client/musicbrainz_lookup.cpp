#include "client/musicbrainz_lookup.h"

#include <chrono>
#include <cstdlib>
#include <thread>

#include "client/http_get.h"
#include "proof/musicbrainz_id.h"


namespace client {
namespace {

using namespace std::chrono;

std::string FromEnvironment(const char* name, const char* fallback) {
  const char* chosen = std::getenv(name);
  return chosen != nullptr && chosen[0] != '\0' ? chosen : fallback;
}

// The answer's status once read: found, or not known.
void Rank(MusicBrainzLookup& lookup, const MusicBrainzDisc& disc, const std::string& country) {
  lookup.exact = !lookup.answer.discId.empty();
  lookup.candidates = RankMusicBrainzReleases(lookup.answer, disc.discId, disc.trackMs, country);
  if (lookup.candidates.empty()) {
    lookup.status = MusicBrainzStatus::kNotFound;
    if (lookup.exact && lookup.answer.releases.empty()) lookup.reason = "the service holds no release for the disc";
  } else {
    lookup.status = MusicBrainzStatus::kFound;
  }
}

}  // namespace

std::optional<std::string> ParseServiceServer(std::string_view text) {
  if (text == "none") return std::string();
  return ParseHttpBaseUrl(text);
}

std::string DefaultMusicBrainzServer() {
  return FromEnvironment("RIPMARROW_MUSICBRAINZ_SERVER", kDefaultMusicBrainzServer);
}

std::string DefaultCoverArtServer() { return FromEnvironment("RIPMARROW_COVERART_SERVER", kDefaultCoverArtServer); }

std::optional<MusicBrainzDisc> MusicBrainzDiscOf(const proof::DiscLayout& layout) {
  const auto id = proof::MusicBrainzDiscId(layout);
  if (!id) return std::nullopt;
  // As the id counts the disc: a CD-Extra's data session left out, its
  // audio ending one session gap before the data track.
  size_t count = layout.tracks.size();
  uint32_t leadOut = layout.leadOutLba;
  if (layout.cdExtra()) {
    while (count > 0 && layout.tracks[count - 1].data) --count;
    leadOut = layout.tracks[count].startLba - proof::kSessionGapFrames;
  }
  MusicBrainzDisc disc;
  disc.discId = *id;
  disc.toc = std::to_string(layout.tracks[0].number) + "+" + std::to_string(layout.tracks[count - 1].number) + "+" +
             std::to_string(leadOut + proof::kLeadInFrames);
  for (size_t k = 0; k < count; ++k) {
    disc.toc += "+" + std::to_string(layout.tracks[k].startLba + proof::kLeadInFrames);
    if (!layout.tracks[k].data) {
      const uint32_t end = k + 1 < count ? layout.tracks[k + 1].startLba : leadOut;
      const uint32_t frames = end > layout.tracks[k].startLba ? end - layout.tracks[k].startLba : 0;
      disc.trackMs.push_back(uint32_t(uint64_t(frames) * 1000 / 75));
    }
  }
  return disc;
}

std::string MusicBrainzSubmissionUrl(const std::string& server, const MusicBrainzDisc& disc) {
  return server + "/cdtoc/attach?toc=" + disc.toc;
}

MusicBrainzLookup LookUpMusicBrainz(const std::string& server, const MusicBrainzDisc& disc,
                                    const MusicBrainzOptions& options) {
  const auto deadline = steady_clock::now() + milliseconds(options.timeoutMs);
  RequestPacer& pacer = options.pacer != nullptr ? *options.pacer : RequestPacer::musicBrainz();
  HttpRequest request;
  request.url = server + "/ws/2/discid/" + disc.discId + "?toc=" + disc.toc +
                "&cdstubs=no&inc=artist-credits+labels+recordings+release-groups+isrcs&fmt=json";
  request.userAgent = RipmarrowUserAgent();

  MusicBrainzLookup lookup;
  milliseconds pause(1000);
  for (;;) {
    if (!pacer.takeTurn(deadline, options.cancel)) {
      lookup.reason = options.cancel != nullptr && options.cancel->load() ? HttpGetStatusText(HttpGetStatus::kCancelled)
                                                                          : "no answer in time";
      return lookup;
    }
    HttpLimits limits;
    limits.timeoutMs = int(std::max<int64_t>(1, duration_cast<milliseconds>(deadline - steady_clock::now()).count()));
    limits.maxBodyBytes = options.maxBodyBytes;
    limits.cancel = options.cancel;
    ++lookup.requests;
    const HttpGetResult got = HttpGetUrl(request, limits);
    if (got.status == HttpGetStatus::kOk) {
      std::string error;
      auto answer = ParseMusicBrainzAnswer(got.body, error);
      if (!answer) {
        lookup.reason = error;
        return lookup;
      }
      lookup.answer = std::move(*answer);
      Rank(lookup, disc, options.country);
      return lookup;
    }
    if (got.status == HttpGetStatus::kNotFound) {
      lookup.status = MusicBrainzStatus::kNotFound;
      return lookup;
    }
    if (got.status == HttpGetStatus::kHttpError && got.httpStatus == 503) {
      // The service is busy or we asked too often: ask again after a pause
      // that grows, while the time-out allows.
      if (steady_clock::now() + pause >= deadline) {
        lookup.reason = "the service stayed busy (HTTP 503)";
        return lookup;
      }
      const auto until = steady_clock::now() + pause;
      while (steady_clock::now() < until) {
        if (options.cancel != nullptr && options.cancel->load()) {
          lookup.reason = HttpGetStatusText(HttpGetStatus::kCancelled);
          return lookup;
        }
        std::this_thread::sleep_for(50ms);
      }
      pause *= 2;
      continue;
    }
    lookup.reason = HttpGetStatusText(got.status);
    if (got.status == HttpGetStatus::kHttpError) lookup.reason += " " + std::to_string(got.httpStatus);
    return lookup;
  }
}

const char* MusicBrainzStatusText(MusicBrainzStatus status) {
  switch (status) {
    case MusicBrainzStatus::kFound: return "found";
    case MusicBrainzStatus::kNotFound: return "not found";
    case MusicBrainzStatus::kNoAnswer: return "no answer";
  }
  return "unknown";
}

}  // namespace client
