#include "client/musicbrainz_match.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace client {
namespace {

// Sum of the differences of the track lengths; a track without a length
// counts as far off.
uint64_t LengthDistance(const MusicBrainzMedium& medium, const std::vector<uint32_t>& trackMs) {
  uint64_t distance = 0;
  for (size_t k = 0; k < medium.tracks.size() && k < trackMs.size(); ++k) {
    const auto& length = medium.tracks[k].lengthMs;
    distance += length ? uint64_t(std::llabs(int64_t(*length) - int64_t(trackMs[k]))) : 600000u;
  }
  return distance;
}

// "2001" before "2001-05": a shorter date is its year's start; "" last.
bool EarlierDate(const std::string& a, const std::string& b) {
  if (a.empty() != b.empty()) return !a.empty();
  return a < b;
}

}  // namespace

std::vector<MusicBrainzCandidate> RankMusicBrainzReleases(const MusicBrainzAnswer& answer, const std::string& discId,
                                                          const std::vector<uint32_t>& trackMs,
                                                          const std::string& country) {
  std::vector<MusicBrainzCandidate> candidates;
  for (size_t r = 0; r < answer.releases.size(); ++r) {
    const auto& media = answer.releases[r].media;
    if (media.empty()) continue;
    MusicBrainzCandidate best;
    best.release = r;
    bool chosen = false;
    uint64_t bestDistance = std::numeric_limits<uint64_t>::max();
    for (size_t m = 0; m < media.size() && !best.discIdMatch; ++m) {
      const bool listed =
          !discId.empty() && std::find(media[m].discIds.begin(), media[m].discIds.end(), discId) != media[m].discIds.end();
      const bool countEqual = media[m].tracks.size() == trackMs.size();
      const uint64_t distance = countEqual ? LengthDistance(media[m], trackMs) : std::numeric_limits<uint64_t>::max() - 1;
      if (listed || !chosen || distance < bestDistance) {
        best.medium = m;
        best.discIdMatch = listed;
        best.trackCountEqual = countEqual;
        bestDistance = distance;
        chosen = true;
      }
    }
    best.byLength = !best.discIdMatch;
    candidates.push_back(best);
  }
  std::stable_sort(candidates.begin(), candidates.end(), [&](const MusicBrainzCandidate& a, const MusicBrainzCandidate& b) {
    if (a.discIdMatch != b.discIdMatch) return a.discIdMatch;
    if (a.trackCountEqual != b.trackCountEqual) return a.trackCountEqual;
    const MusicBrainzRelease& ra = answer.releases[a.release];
    const MusicBrainzRelease& rb = answer.releases[b.release];
    const bool officialA = ra.status == "Official";
    const bool officialB = rb.status == "Official";
    if (officialA != officialB) return officialA;
    const bool cdA = ra.media[a.medium].format == "CD";
    const bool cdB = rb.media[b.medium].format == "CD";
    if (cdA != cdB) return cdA;
    if (!country.empty()) {
      const bool homeA = ra.country == country;
      const bool homeB = rb.country == country;
      if (homeA != homeB) return homeA;
    }
    if (ra.date != rb.date) return EarlierDate(ra.date, rb.date);
    return false;
  });
  return candidates;
}

bool MusicBrainzCandidatesDiffer(const MusicBrainzAnswer& answer, const std::vector<MusicBrainzCandidate>& candidates) {
  for (const MusicBrainzCandidate& c : candidates) {
    const MusicBrainzRelease& first = answer.releases[candidates.front().release];
    const MusicBrainzRelease& other = answer.releases[c.release];
    if (other.title != first.title || other.artist.name != first.artist.name) return true;
  }
  return false;
}

int FindMusicBrainzCandidate(const MusicBrainzAnswer& answer, const std::vector<MusicBrainzCandidate>& candidates,
                             const std::string& choice) {
  if (!choice.empty() && choice.size() <= 3 && choice.find_first_not_of("0123456789") == std::string::npos) {
    const int number = std::atoi(choice.c_str());
    return number >= 1 && size_t(number) <= candidates.size() ? number - 1 : -1;
  }
  if (choice.size() < 4) return -1;
  int found = -1;
  for (size_t k = 0; k < candidates.size(); ++k) {
    if (answer.releases[candidates[k].release].id.starts_with(choice)) {
      if (found >= 0) return -1;  // a prefix of two releases names neither
      found = int(k);
    }
  }
  return found;
}

}  // namespace client
