// Which release of a MusicBrainz answer names the disc: each release's best
// medium for the disc, the releases ranked. Pure, no I/O.
//
// A release's medium is the one that lists the disc's id; in an answer
// found by table of contents (no medium lists it) the one with the disc's
// track count and the nearest track lengths. The ranking: a medium listing
// the disc id; then an equal track count; then status Official; then
// format CD; then the user's country; then the earliest date (undated
// last); then the answer's own order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "client/musicbrainz_answer.h"

namespace client {

struct MusicBrainzCandidate {
  size_t release = 0;        // index into the answer's releases
  size_t medium = 0;         // index into that release's media
  bool discIdMatch = false;  // the medium lists the disc's id
  bool byLength = false;     // matched by track count and lengths only
  bool trackCountEqual = false;
};

// `trackMs`: the lengths of the disc's audio tracks (the first session's);
// `country`: the user's preference ("" none). Releases without media are
// left out.
std::vector<MusicBrainzCandidate> RankMusicBrainzReleases(const MusicBrainzAnswer& answer, const std::string& discId,
                                                          const std::vector<uint32_t>& trackMs,
                                                          const std::string& country);

// True when the candidates do not all name the same artist and album title:
// then no program picks one without the user.
bool MusicBrainzCandidatesDiffer(const MusicBrainzAnswer& answer, const std::vector<MusicBrainzCandidate>& candidates);

// The candidate a user names: its number in the list (from 1), or a release
// MBID (or a unique prefix of one, at least 4 characters). -1: none such.
int FindMusicBrainzCandidate(const MusicBrainzAnswer& answer, const std::vector<MusicBrainzCandidate>& candidates,
                             const std::string& choice);

}  // namespace client
