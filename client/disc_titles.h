// The titles of a disc as both programs use them, whichever source named
// it: artist, album and a title (and artist) per track, and what MusicBrainz
// adds (date, disc N of M, labels, barcode, ISRCs and its ids). Also the
// one-line description of a MusicBrainz candidate that lists and choosers
// show. Pure, no I/O.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "client/musicbrainz_answer.h"
#include "client/musicbrainz_match.h"

namespace client {

struct DiscTitles {
  std::string source;  // "cdplayer.ini", "MusicBrainz", "CDDB server", "CD-TEXT"; "" none
  std::string artist;  // the album artist
  std::string album;
  std::string genre;
  std::string date;    // "YYYY[-MM[-DD]]"
  std::vector<std::string> trackTitles;   // by audio track; "" unknown
  std::vector<std::string> trackArtists;  // by audio track; "" the album artist
  std::vector<std::string> trackIsrcs;    // by audio track; ""
  std::string hiddenTrackTitle;           // audio before track 1, when named
  int discNumber = 0;                     // 0: unknown
  int discTotal = 0;
  std::string label;
  std::string catalogNumber;
  std::string barcode;
  // MusicBrainz ids, as the tagger names them
  std::string releaseId;
  std::string releaseGroupId;
  std::string discId;
  std::vector<std::string> releaseTrackIds;  // by audio track
  std::vector<std::string> recordingIds;     // by audio track
  std::vector<std::string> albumArtistIds;
  std::vector<std::vector<std::string>> trackArtistIds;  // by audio track
  bool coverArtFront = false;
  bool byLength = false;  // the release was matched by track lengths, not the disc id

  bool found() const { return !source.empty(); }
};

// The titles `candidate` gives a disc of `trackCount` audio tracks.
DiscTitles TitlesOfMusicBrainz(const MusicBrainzAnswer& answer, const MusicBrainzCandidate& candidate,
                               size_t trackCount, const std::string& discId);

// "Album / Artist, 2001-05-01, GB, Label CAT 1; Label Two CAT 2, barcode 5012..., CD, disc 1 of 2 (club edition)"
std::string DescribeMusicBrainzCandidate(const MusicBrainzAnswer& answer, const MusicBrainzCandidate& candidate);

// The chooser's cells of a candidate: album, artist, date, country, every
// label with its catalogue number, barcode, format, "disc N of M",
// disambiguation.
std::vector<std::string> MusicBrainzCandidateCells(const MusicBrainzAnswer& answer,
                                                   const MusicBrainzCandidate& candidate);

// The rip log's "titles" row, the same in both programs: "none" when no
// source was asked, "not found" when the sources asked had nothing, else
// the source, and for MusicBrainz the release and how it was matched.
std::string TitlesLogRow(const DiscTitles& titles, bool asked);

}  // namespace client
