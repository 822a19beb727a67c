// The tags a track's file gets from what named the disc, beyond title,
// artist and album: the track's own artist, the album artist, disc N of M,
// label, catalogue number, barcode, ISRC and the MusicBrainz ids; and how
// they are put on the tag component AudioInformation2. Both programs tag
// their rips through these.
#pragma once

#include <string>

#include "client/disc_titles.h"
#include "components/tonemeter2.h"

namespace client {

struct ReleaseTags {
  std::string trackArtist;  // the track's own artist (a compilation's); "" the album's
  std::string albumArtist, discNumber, label, catalogNumber, barcode, isrc;
  std::string albumId, releaseGroupId, releaseTrackId, recordingId, artistIds, albumArtistIds;
  std::string musicBrainzDiscId;
};

// The tags of audio track `track` (from 1) of a disc `titles` named;
// `discIsrc` is the ISRC the disc itself holds for it ("" none), which goes
// before the release's.
ReleaseTags ReleaseTagsOf(const DiscTitles& titles, long track, const std::string& discIsrc);

// Puts one text field of the tag object.
HRESULT PutText(IAudioInformation2* info, HRESULT (STDMETHODCALLTYPE IAudioInformation2::*put)(BSTR),
                const std::string& value);
// The component's own words for its last failure, else `otherwise`.
std::string TagLastError(IAudioInformation2* info, const char* otherwise);

// Sets every field of `tags` and the cover image to embed (`coverArtFile`,
// "" none) on `info`, each one, empty or not: the component keeps what it
// is not given from the file before. The caller writes the file.
void PutReleaseTags(IAudioInformation2* info, const ReleaseTags& tags, const std::string& coverArtFile);

// Embeds `coverArtFile` in the file at `path` that was tagged without it,
// keeping every other tag: the component reads the file's tags, adds the
// picture and writes them back in place (as the ReplayGain tags are
// written). "" on success, else why not.
std::string EmbedCoverArt(IAudioInformation2* info, const std::string& path, const std::string& coverArtFile);

}  // namespace client
