#include "client/release_tags.h"

#include <vector>

#include "platform/com/bstr_text.h"

namespace client {

namespace {

std::string Joined(const std::vector<std::string>& ids) {
  std::string text;
  for (const std::string& id : ids) text += (text.empty() ? "" : "; ") + id;
  return text;
}

}  // namespace

HRESULT PutText(IAudioInformation2* info, HRESULT (STDMETHODCALLTYPE IAudioInformation2::*put)(BSTR),
                const std::string& value) {
  BSTR text = com::NewBstr(value);
  const HRESULT hr = (info->*put)(text);
  SysFreeString(text);
  return hr;
}

ReleaseTags ReleaseTagsOf(const DiscTitles& d, long track, const std::string& discIsrc) {
  ReleaseTags tags;
  const size_t slot = track >= 1 ? static_cast<size_t>(track - 1) : static_cast<size_t>(-1);
  const auto at = [slot](const std::vector<std::string>& values) {
    return slot < values.size() ? values[slot] : std::string();
  };
  tags.trackArtist = at(d.trackArtists);
  // The local store and the CDDB server name one artist for the disc: no
  // album artist of their own.
  if (d.source == "MusicBrainz" || d.source == "CD-TEXT") tags.albumArtist = d.artist;
  if (d.discNumber > 0) tags.discNumber = std::to_string(d.discNumber) + "/" + std::to_string(d.discTotal);
  tags.label = d.label;
  tags.catalogNumber = d.catalogNumber;
  tags.barcode = d.barcode;
  tags.isrc = discIsrc.empty() ? at(d.trackIsrcs) : discIsrc;
  tags.albumId = d.releaseId;
  tags.releaseGroupId = d.releaseGroupId;
  tags.releaseTrackId = at(d.releaseTrackIds);
  tags.recordingId = at(d.recordingIds);
  tags.artistIds = slot < d.trackArtistIds.size() ? Joined(d.trackArtistIds[slot]) : "";
  tags.albumArtistIds = Joined(d.albumArtistIds);
  tags.musicBrainzDiscId = d.discId;
  return tags;
}

void PutReleaseTags(IAudioInformation2* info, const ReleaseTags& tags, const std::string& coverArtFile) {
  PutText(info, &IAudioInformation2::put_infoMusicBrainzDiscId, tags.musicBrainzDiscId);
  PutText(info, &IAudioInformation2::put_infoAlbumArtist, tags.albumArtist);
  PutText(info, &IAudioInformation2::put_infoDiscNumber, tags.discNumber);
  PutText(info, &IAudioInformation2::put_infoLabel, tags.label);
  PutText(info, &IAudioInformation2::put_infoCatalogNumber, tags.catalogNumber);
  PutText(info, &IAudioInformation2::put_infoBarcode, tags.barcode);
  PutText(info, &IAudioInformation2::put_infoIsrc, tags.isrc);
  PutText(info, &IAudioInformation2::put_infoMusicBrainzAlbumId, tags.albumId);
  PutText(info, &IAudioInformation2::put_infoMusicBrainzReleaseGroupId, tags.releaseGroupId);
  PutText(info, &IAudioInformation2::put_infoMusicBrainzReleaseTrackId, tags.releaseTrackId);
  PutText(info, &IAudioInformation2::put_infoMusicBrainzRecordingId, tags.recordingId);
  PutText(info, &IAudioInformation2::put_infoMusicBrainzArtistIds, tags.artistIds);
  PutText(info, &IAudioInformation2::put_infoMusicBrainzAlbumArtistIds, tags.albumArtistIds);
  PutText(info, &IAudioInformation2::put_infoCoverArtFile, coverArtFile);
}

std::string TagLastError(IAudioInformation2* info, const char* otherwise) {
  BSTR reason = nullptr;
  info->get_LastError(&reason);
  const std::string text = com::TakeUtf8(reason);
  return text.empty() ? std::string(otherwise) : text;
}

std::string EmbedCoverArt(IAudioInformation2* info, const std::string& path, const std::string& coverArtFile) {
  if (info == nullptr) return "the tag component is not registered";
  const com::Bstr file(path);
  if (FAILED(info->ReadInfo(file.get()))) return TagLastError(info, "the tag component cannot read the file");
  PutText(info, &IAudioInformation2::put_infoCoverArtFile, coverArtFile);
  const HRESULT hr = info->WriteInfo(file.get());
  // The next file the component writes keeps its own pictures.
  PutText(info, &IAudioInformation2::put_infoCoverArtFile, "");
  return FAILED(hr) ? TagLastError(info, "the tag component refused the file") : std::string();
}

}  // namespace client
