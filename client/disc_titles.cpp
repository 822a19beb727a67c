#include "client/disc_titles.h"

namespace client {

DiscTitles TitlesOfMusicBrainz(const MusicBrainzAnswer& answer, const MusicBrainzCandidate& candidate,
                               size_t trackCount, const std::string& discId) {
  const MusicBrainzRelease& release = answer.releases.at(candidate.release);
  const MusicBrainzMedium& medium = release.media.at(candidate.medium);
  DiscTitles titles;
  titles.source = "MusicBrainz";
  titles.artist = release.artist.name;
  titles.album = release.title;
  titles.date = release.date;
  titles.discNumber = medium.position;
  titles.discTotal = int(release.media.size());
  if (!release.labels.empty()) {
    titles.label = release.labels[0].name;
    titles.catalogNumber = release.labels[0].catalogNumber;
  }
  titles.barcode = release.barcode;
  titles.releaseId = release.id;
  titles.releaseGroupId = release.releaseGroupId;
  titles.discId = candidate.discIdMatch ? discId : "";
  titles.albumArtistIds = release.artist.artistIds;
  titles.coverArtFront = release.coverArtFront;
  titles.byLength = candidate.byLength;
  if (medium.pregap) titles.hiddenTrackTitle = medium.pregap->title;
  titles.trackTitles.assign(trackCount, "");
  titles.trackArtists.assign(trackCount, "");
  titles.trackIsrcs.assign(trackCount, "");
  titles.releaseTrackIds.assign(trackCount, "");
  titles.recordingIds.assign(trackCount, "");
  titles.trackArtistIds.assign(trackCount, {});
  for (size_t k = 0; k < trackCount && k < medium.tracks.size(); ++k) {
    const MusicBrainzTrack& track = medium.tracks[k];
    titles.trackTitles[k] = track.title;
    titles.trackArtists[k] = track.artist.name.empty() ? release.artist.name : track.artist.name;
    titles.trackArtistIds[k] = track.artist.artistIds.empty() ? release.artist.artistIds : track.artist.artistIds;
    if (!track.isrcs.empty()) titles.trackIsrcs[k] = track.isrcs[0];
    titles.releaseTrackIds[k] = track.id;
    titles.recordingIds[k] = track.recordingId;
  }
  return titles;
}

namespace {

std::string Labels(const MusicBrainzRelease& release) {
  std::string labels;
  for (const MusicBrainzLabel& label : release.labels) {
    std::string one = label.name;
    if (!label.catalogNumber.empty()) one += (one.empty() ? "" : " ") + label.catalogNumber;
    labels += (labels.empty() ? "" : "; ") + one;
  }
  return labels;
}

}  // namespace

std::vector<std::string> MusicBrainzCandidateCells(const MusicBrainzAnswer& answer,
                                                   const MusicBrainzCandidate& candidate) {
  const MusicBrainzRelease& release = answer.releases.at(candidate.release);
  const MusicBrainzMedium& medium = release.media.at(candidate.medium);
  return {release.title,
          release.artist.name,
          release.date,
          release.country,
          Labels(release),
          release.barcode,
          medium.format,
          "disc " + std::to_string(medium.position) + " of " + std::to_string(release.media.size()),
          release.disambiguation};
}

std::string DescribeMusicBrainzCandidate(const MusicBrainzAnswer& answer, const MusicBrainzCandidate& candidate) {
  const MusicBrainzRelease& release = answer.releases.at(candidate.release);
  const MusicBrainzMedium& medium = release.media.at(candidate.medium);
  std::string text = release.title + " / " + release.artist.name;
  auto add = [&text](const std::string& part) {
    if (!part.empty()) text += ", " + part;
  };
  add(release.date);
  add(release.country);
  add(Labels(release));
  if (!release.barcode.empty()) add("barcode " + release.barcode);
  add(medium.format);
  if (release.media.size() > 1) {
    add("disc " + std::to_string(medium.position) + " of " + std::to_string(release.media.size()));
  }
  if (!release.disambiguation.empty()) text += " (" + release.disambiguation + ")";
  if (candidate.byLength) text += " [matched by track lengths]";
  return text;
}

std::string TitlesLogRow(const DiscTitles& titles, bool asked) {
  if (!titles.found()) return asked ? "not found" : "none";
  std::string row = titles.source;
  if (!titles.releaseId.empty()) {
    row += " release " + titles.releaseId + (titles.byLength ? " (matched by track lengths)" : " (disc id)");
  }
  return row;
}

}  // namespace client
