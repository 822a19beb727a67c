// Reads and writes one set of tag fields in an audio file through TagLib:
// MP3 and MP2 (ID3v2.3 and ID3v1), OGG Vorbis and FLAC (Vorbis comment; a
// FLAC file's picture blocks are kept), WMA (ASF attributes) and WAV (RIFF
// INFO and ID3v2). The container is recognised by the file's extension.
//
// The track total and the disc's ids go where each format has a place, under
// the names the common taggers and rippers use:
//
//   field          ID3v2 (MP3, MP2, WAV)         Vorbis comment        ASF
//   track total    TRCK "n/total"                TRACKTOTAL            TotalTracks
//   MusicBrainz    TXXX "MusicBrainz Disc Id"    MUSICBRAINZ_DISCID    MusicBrainz/Disc Id
//   CDDB id        TXXX "DISCID"                 DISCID                DISCID
//   the release's fields (album artist, disc number, label, ...) as the
//   MusicBrainz tagger maps them: see kReleaseFields in tag_file.cpp.
//
// ID3v1 and RIFF INFO have no place for them. An empty field (0 for the
// total) removes what the file held under that name.
//
// A file that is missing, not audio of its kind, or marked read-only (no
// write permission bit, honoured even for the superuser) is refused and
// left exactly as it was.
#pragma once

#include <string>

namespace tonemeter {

struct TagFields {
  std::string title;
  std::string artist;
  std::string album;
  std::string comment;
  std::string genre;  // genre name; its index is genreIndex(genre)
  int year = 0;       // 0: none
  int track = 0;      // 0: none
  int track_total = 0;              // 0: none
  std::string musicbrainz_disc_id;  // as MusicBrainz gives it (28 characters)
  std::string cddb_id;              // eight hexadecimal digits
  std::string album_artist;
  std::string disc_number;
  std::string label;
  std::string catalog_number;
  std::string barcode;
  std::string isrc;
  std::string musicbrainz_album_id;
  std::string musicbrainz_release_group_id;
  std::string musicbrainz_release_track_id;
  std::string musicbrainz_recording_id;
  std::string musicbrainz_artist_ids;
  std::string musicbrainz_album_artist_ids;
  // Written only: a JPEG or PNG file embedded as the front cover (APIC,
  // FLAC picture block, METADATA_BLOCK_PICTURE, WM/Picture); "" keeps the
  // file's pictures.
  std::string cover_art_file;
  // ReplayGain 2.0 as its tags' texts ("-3.12 dB", "0.988525"), under
  // their own names (tag_names::kReplayGain) in every format with a place.
  std::string replaygain_track_gain;
  std::string replaygain_track_peak;
  std::string replaygain_album_gain;
  std::string replaygain_album_peak;
};

// Where the fields beyond the basic ones go.
namespace tag_names {
inline constexpr const char* kXiphTrackTotal = "TRACKTOTAL";
inline constexpr const char* kXiphTrackTotalOther = "TOTALTRACKS";  // read too, replaced on write
inline constexpr const char* kXiphMusicBrainzDiscId = "MUSICBRAINZ_DISCID";
inline constexpr const char* kXiphCddbId = "DISCID";
inline constexpr const char* kId3MusicBrainzDiscId = "MusicBrainz Disc Id";
inline constexpr const char* kId3CddbId = "DISCID";
inline constexpr const char* kAsfTrackTotal = "TotalTracks";
inline constexpr const char* kAsfMusicBrainzDiscId = "MusicBrainz/Disc Id";
inline constexpr const char* kAsfCddbId = "DISCID";
// The same names as ID3v2 TXXX descriptions, Vorbis comments and ASF attributes.
inline constexpr const char* kReplayGainTrackGain = "REPLAYGAIN_TRACK_GAIN";
inline constexpr const char* kReplayGainTrackPeak = "REPLAYGAIN_TRACK_PEAK";
inline constexpr const char* kReplayGainAlbumGain = "REPLAYGAIN_ALBUM_GAIN";
inline constexpr const char* kReplayGainAlbumPeak = "REPLAYGAIN_ALBUM_PEAK";
}  // namespace tag_names

class TagFile {
 public:
  static bool read(const std::string& path, TagFields& fields, std::string& error);
  static bool write(const std::string& path, const TagFields& fields, std::string& error);
};

}  // namespace tonemeter
