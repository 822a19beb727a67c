#include "ripmarrow/track_tagger.h"

#include <cstdio>

#include "client/engine_session.h"
#include "client/release_tags.h"

namespace ripmarrow {

std::string TrackTagger::cddbIdText(LONG id) {
  char text[9];
  std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(id));
  return text;
}

TrackTagger::DiscTags TrackTagger::discTags(IAudioCDRipper2* engine, bool titlesFound) {
  DiscTags disc;
  if (titlesFound) {
    BSTR text = nullptr;
    engine->get_cddbInfoArtist(&text);
    disc.artist = com::TakeUtf8(text);
    text = nullptr;
    engine->get_cddbInfoAlbum(&text);
    disc.album = com::TakeUtf8(text);
    text = nullptr;
    engine->get_cddbInfoGenre(&text);
    disc.genre = com::TakeUtf8(text);
  }
  LONG count = 0;
  engine->get_trackCount(&count);
  disc.trackTotal = count;
  LONG id = 0;
  engine->get_cdID(&id);
  if (id != 0) disc.cddbId = cddbIdText(id);
  return disc;
}

std::string TrackTagger::tag(const std::string& path, long track, const std::string& title, const DiscTags& disc) {
  if (!tried_) {
    tried_ = true;
    CoCreateInstance(CLSID_AudioInformation2, nullptr, CLSCTX_INPROC_SERVER, IID_IAudioInformation2,
                     info_.putVoid());
  }
  IAudioInformation2* info = info_.get();
  if (info == nullptr) return "the tag component is not registered";
  // Every field is set for every file: the component keeps what it is not
  // given from the file before.
  client::PutText(info, &IAudioInformation2::put_infoTitle, title);
  client::PutText(info, &IAudioInformation2::put_infoArtist, disc.artist);
  client::PutText(info, &IAudioInformation2::put_infoAlbum, disc.album);
  client::PutText(info, &IAudioInformation2::put_infoComments, "");
  // A genre by its name: the lookup's genres need not be in the list.
  info->put_infoGenre(-1);
  client::PutText(info, &IAudioInformation2::put_infoGenreS, disc.genre);
  info->put_infoYear(disc.year);
  info->put_infoTrack(static_cast<SHORT>(track));
  info->put_infoTrackTotal(static_cast<SHORT>(disc.trackTotal));
  client::PutText(info, &IAudioInformation2::put_infoMusicBrainzDiscId, disc.musicBrainzDiscId);
  client::PutText(info, &IAudioInformation2::put_infoCddbId, disc.cddbId);
  client::PutText(info, &IAudioInformation2::put_infoAlbumArtist, disc.albumArtist);
  client::PutText(info, &IAudioInformation2::put_infoDiscNumber, disc.discNumber);
  client::PutText(info, &IAudioInformation2::put_infoLabel, disc.label);
  client::PutText(info, &IAudioInformation2::put_infoCatalogNumber, disc.catalogNumber);
  client::PutText(info, &IAudioInformation2::put_infoBarcode, disc.barcode);
  client::PutText(info, &IAudioInformation2::put_infoIsrc, disc.isrc);
  client::PutText(info, &IAudioInformation2::put_infoMusicBrainzAlbumId, disc.albumId);
  client::PutText(info, &IAudioInformation2::put_infoMusicBrainzReleaseGroupId, disc.releaseGroupId);
  client::PutText(info, &IAudioInformation2::put_infoMusicBrainzReleaseTrackId, disc.releaseTrackId);
  client::PutText(info, &IAudioInformation2::put_infoMusicBrainzRecordingId, disc.recordingId);
  client::PutText(info, &IAudioInformation2::put_infoMusicBrainzArtistIds, disc.artistIds);
  client::PutText(info, &IAudioInformation2::put_infoMusicBrainzAlbumArtistIds, disc.albumArtistIds);
  client::PutText(info, &IAudioInformation2::put_infoCoverArtFile, disc.coverArtFile);
  BSTR file = com::NewBstr(path);
  const HRESULT hr = info->WriteInfo(file);
  SysFreeString(file);
  if (SUCCEEDED(hr)) return {};
  return client::TagLastError(info, "the tag component refused the file");
}

}  // namespace ripmarrow
