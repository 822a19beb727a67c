#include "outside/tonemeter2/audio_information2.h"

#include "outside/tonemeter2/genre_names.h"
#include "platform/com/bstr_text.h"

namespace tonemeter {

using com::PutBstr;
using com::Utf8Of;

HRESULT AudioInformation2::ReadInfo(BSTR fileName) {
  const std::string path = Utf8Of(fileName);
  TagFields read;
  std::string error;
  const bool ok = TagFile::read(path, read, error);
  std::lock_guard<std::mutex> guard(lock_);
  // A failed read keeps the fields as they were.
  if (ok) fields_ = read;
  error_ = ok ? std::string() : error;
  return ok ? S_OK : E_FAIL;
}

HRESULT AudioInformation2::WriteInfo(BSTR fileName) {
  const std::string path = Utf8Of(fileName);
  TagFields fields;
  {
    std::lock_guard<std::mutex> guard(lock_);
    fields = fields_;
  }
  std::string error;
  const bool ok = TagFile::write(path, fields, error);
  std::lock_guard<std::mutex> guard(lock_);
  error_ = ok ? std::string() : error;
  return ok ? S_OK : E_FAIL;
}

HRESULT AudioInformation2::getText(std::string TagFields::*field, BSTR* out) const {
  std::lock_guard<std::mutex> guard(lock_);
  return PutBstr(fields_.*field, out);
}

HRESULT AudioInformation2::putText(std::string TagFields::*field, BSTR text) {
  std::string value = Utf8Of(text);
  std::lock_guard<std::mutex> guard(lock_);
  fields_.*field = std::move(value);
  return S_OK;
}

HRESULT AudioInformation2::get_infoTitle(BSTR* text) { return getText(&TagFields::title, text); }
HRESULT AudioInformation2::put_infoTitle(BSTR text) { return putText(&TagFields::title, text); }
HRESULT AudioInformation2::get_infoArtist(BSTR* text) { return getText(&TagFields::artist, text); }
HRESULT AudioInformation2::put_infoArtist(BSTR text) { return putText(&TagFields::artist, text); }
HRESULT AudioInformation2::get_infoAlbum(BSTR* text) { return getText(&TagFields::album, text); }
HRESULT AudioInformation2::put_infoAlbum(BSTR text) { return putText(&TagFields::album, text); }
HRESULT AudioInformation2::get_infoComments(BSTR* text) { return getText(&TagFields::comment, text); }
HRESULT AudioInformation2::put_infoComments(BSTR text) { return putText(&TagFields::comment, text); }
HRESULT AudioInformation2::get_infoGenreS(BSTR* name) { return getText(&TagFields::genre, name); }
HRESULT AudioInformation2::put_infoGenreS(BSTR name) { return putText(&TagFields::genre, name); }

HRESULT AudioInformation2::get_LastError(BSTR* text) {
  std::lock_guard<std::mutex> guard(lock_);
  return PutBstr(error_, text);
}

HRESULT AudioInformation2::get_infoOption(VARIANT_BOOL* option) {
  if (option == nullptr) return E_POINTER;
  std::lock_guard<std::mutex> guard(lock_);
  *option = option_;
  return S_OK;
}
HRESULT AudioInformation2::put_infoOption(VARIANT_BOOL option) {
  std::lock_guard<std::mutex> guard(lock_);
  option_ = option;
  return S_OK;
}

HRESULT AudioInformation2::get_infoGenre(SHORT* index) {
  if (index == nullptr) return E_POINTER;
  std::lock_guard<std::mutex> guard(lock_);
  *index = static_cast<SHORT>(genreIndex(fields_.genre));
  return S_OK;
}
HRESULT AudioInformation2::put_infoGenre(SHORT index) {
  // -1 is "not in the list": the genre is the name given through
  // infoGenreS (a genre of the user's own), before or after this call.
  if (index == -1) return S_OK;
  // An index past the list would otherwise store an empty genre silently.
  if (index < 0 || index >= kGenreCount) return E_INVALIDARG;
  std::lock_guard<std::mutex> guard(lock_);
  fields_.genre = genreName(index);
  return S_OK;
}

HRESULT AudioInformation2::get_infoYear(LONG* year) {
  if (year == nullptr) return E_POINTER;
  std::lock_guard<std::mutex> guard(lock_);
  *year = fields_.year;
  return S_OK;
}
HRESULT AudioInformation2::put_infoYear(LONG year) {
  std::lock_guard<std::mutex> guard(lock_);
  fields_.year = year;
  return S_OK;
}

HRESULT AudioInformation2::get_infoTrack(SHORT* track) {
  if (track == nullptr) return E_POINTER;
  std::lock_guard<std::mutex> guard(lock_);
  *track = static_cast<SHORT>(fields_.track);
  return S_OK;
}
HRESULT AudioInformation2::put_infoTrack(SHORT track) {
  std::lock_guard<std::mutex> guard(lock_);
  fields_.track = track;
  return S_OK;
}

HRESULT AudioInformation2::get_infoTrackTotal(SHORT* total) {
  if (total == nullptr) return E_POINTER;
  std::lock_guard<std::mutex> guard(lock_);
  *total = static_cast<SHORT>(fields_.track_total);
  return S_OK;
}
HRESULT AudioInformation2::put_infoTrackTotal(SHORT total) {
  std::lock_guard<std::mutex> guard(lock_);
  fields_.track_total = total;
  return S_OK;
}

HRESULT AudioInformation2::get_infoMusicBrainzDiscId(BSTR* id) { return getText(&TagFields::musicbrainz_disc_id, id); }
HRESULT AudioInformation2::put_infoMusicBrainzDiscId(BSTR id) { return putText(&TagFields::musicbrainz_disc_id, id); }
HRESULT AudioInformation2::get_infoCddbId(BSTR* id) { return getText(&TagFields::cddb_id, id); }
HRESULT AudioInformation2::put_infoCddbId(BSTR id) { return putText(&TagFields::cddb_id, id); }
HRESULT AudioInformation2::get_infoAlbumArtist(BSTR* text) { return getText(&TagFields::album_artist, text); }
HRESULT AudioInformation2::put_infoAlbumArtist(BSTR text) { return putText(&TagFields::album_artist, text); }
HRESULT AudioInformation2::get_infoDiscNumber(BSTR* text) { return getText(&TagFields::disc_number, text); }
HRESULT AudioInformation2::put_infoDiscNumber(BSTR text) { return putText(&TagFields::disc_number, text); }
HRESULT AudioInformation2::get_infoLabel(BSTR* text) { return getText(&TagFields::label, text); }
HRESULT AudioInformation2::put_infoLabel(BSTR text) { return putText(&TagFields::label, text); }
HRESULT AudioInformation2::get_infoCatalogNumber(BSTR* text) { return getText(&TagFields::catalog_number, text); }
HRESULT AudioInformation2::put_infoCatalogNumber(BSTR text) { return putText(&TagFields::catalog_number, text); }
HRESULT AudioInformation2::get_infoBarcode(BSTR* text) { return getText(&TagFields::barcode, text); }
HRESULT AudioInformation2::put_infoBarcode(BSTR text) { return putText(&TagFields::barcode, text); }
HRESULT AudioInformation2::get_infoIsrc(BSTR* text) { return getText(&TagFields::isrc, text); }
HRESULT AudioInformation2::put_infoIsrc(BSTR text) { return putText(&TagFields::isrc, text); }
HRESULT AudioInformation2::get_infoMusicBrainzAlbumId(BSTR* text) { return getText(&TagFields::musicbrainz_album_id, text); }
HRESULT AudioInformation2::put_infoMusicBrainzAlbumId(BSTR text) { return putText(&TagFields::musicbrainz_album_id, text); }
HRESULT AudioInformation2::get_infoMusicBrainzReleaseGroupId(BSTR* text) { return getText(&TagFields::musicbrainz_release_group_id, text); }
HRESULT AudioInformation2::put_infoMusicBrainzReleaseGroupId(BSTR text) { return putText(&TagFields::musicbrainz_release_group_id, text); }
HRESULT AudioInformation2::get_infoMusicBrainzReleaseTrackId(BSTR* text) { return getText(&TagFields::musicbrainz_release_track_id, text); }
HRESULT AudioInformation2::put_infoMusicBrainzReleaseTrackId(BSTR text) { return putText(&TagFields::musicbrainz_release_track_id, text); }
HRESULT AudioInformation2::get_infoMusicBrainzRecordingId(BSTR* text) { return getText(&TagFields::musicbrainz_recording_id, text); }
HRESULT AudioInformation2::put_infoMusicBrainzRecordingId(BSTR text) { return putText(&TagFields::musicbrainz_recording_id, text); }
HRESULT AudioInformation2::get_infoMusicBrainzArtistIds(BSTR* text) { return getText(&TagFields::musicbrainz_artist_ids, text); }
HRESULT AudioInformation2::put_infoMusicBrainzArtistIds(BSTR text) { return putText(&TagFields::musicbrainz_artist_ids, text); }
HRESULT AudioInformation2::get_infoMusicBrainzAlbumArtistIds(BSTR* text) { return getText(&TagFields::musicbrainz_album_artist_ids, text); }
HRESULT AudioInformation2::put_infoMusicBrainzAlbumArtistIds(BSTR text) { return putText(&TagFields::musicbrainz_album_artist_ids, text); }


HRESULT AudioInformation2::get_infoCoverArtFile(BSTR* path) { return getText(&TagFields::cover_art_file, path); }
HRESULT AudioInformation2::put_infoCoverArtFile(BSTR path) { return putText(&TagFields::cover_art_file, path); }
HRESULT AudioInformation2::get_infoReplayGainTrackGain(BSTR* text) { return getText(&TagFields::replaygain_track_gain, text); }
HRESULT AudioInformation2::put_infoReplayGainTrackGain(BSTR text) { return putText(&TagFields::replaygain_track_gain, text); }
HRESULT AudioInformation2::get_infoReplayGainTrackPeak(BSTR* text) { return getText(&TagFields::replaygain_track_peak, text); }
HRESULT AudioInformation2::put_infoReplayGainTrackPeak(BSTR text) { return putText(&TagFields::replaygain_track_peak, text); }
HRESULT AudioInformation2::get_infoReplayGainAlbumGain(BSTR* text) { return getText(&TagFields::replaygain_album_gain, text); }
HRESULT AudioInformation2::put_infoReplayGainAlbumGain(BSTR text) { return putText(&TagFields::replaygain_album_gain, text); }
HRESULT AudioInformation2::get_infoReplayGainAlbumPeak(BSTR* text) { return getText(&TagFields::replaygain_album_peak, text); }
HRESULT AudioInformation2::put_infoReplayGainAlbumPeak(BSTR text) { return putText(&TagFields::replaygain_album_peak, text); }

const com::DispatchTable& AudioInformation2::dispatchTable() {
  using I = IAudioInformation2;
#define RM_PROP(Name, id) com::propget<&I::get_##Name>(#Name, id), com::propput<&I::put_##Name>(#Name, id)
#define RM_RESERVED(n) com::method<&I::Reserved##n>("Reserved" #n, 0x100 + n)
  static const com::DispatchTable table(IID_IAudioInformation2, {
      com::method<&I::ReadInfo>("ReadInfo", 0x1),
      com::method<&I::WriteInfo>("WriteInfo", 0x2),
      RM_PROP(infoTitle, 0x3),
      RM_PROP(infoArtist, 0x4),
      RM_PROP(infoAlbum, 0x5),
      RM_PROP(infoComments, 0x6),
      RM_PROP(infoGenreS, 0x7),
      com::propget<&I::get_LastError>("LastError", 0x8),
      RM_RESERVED(20), RM_RESERVED(21), RM_RESERVED(22), RM_RESERVED(23), RM_RESERVED(24), RM_RESERVED(25),
      RM_RESERVED(26), RM_RESERVED(27), RM_RESERVED(28), RM_RESERVED(29), RM_RESERVED(30), RM_RESERVED(31),
      com::propget<&I::get_infoOption>("infoOption", 0x10, {VT_BOOL}),
      com::propput<&I::put_infoOption>("infoOption", 0x10, {VT_BOOL}),
      RM_RESERVED(34), RM_RESERVED(35), RM_RESERVED(36), RM_RESERVED(37), RM_RESERVED(38), RM_RESERVED(39),
      RM_RESERVED(40), RM_RESERVED(41), RM_RESERVED(42), RM_RESERVED(43),
      RM_PROP(infoGenre, 0x16),
      RM_RESERVED(46), RM_RESERVED(47),
      RM_PROP(infoYear, 0x18),
      RM_RESERVED(50), RM_RESERVED(51),
      RM_PROP(infoTrack, 0x1a),
      RM_PROP(infoTrackTotal, 0x1b),
      RM_PROP(infoMusicBrainzDiscId, 0x1c),
      RM_PROP(infoCddbId, 0x1d),
      RM_PROP(infoAlbumArtist, 0x1e),
      RM_PROP(infoDiscNumber, 0x1f),
      RM_PROP(infoLabel, 0x20),
      RM_PROP(infoCatalogNumber, 0x21),
      RM_PROP(infoBarcode, 0x22),
      RM_PROP(infoIsrc, 0x23),
      RM_PROP(infoMusicBrainzAlbumId, 0x24),
      RM_PROP(infoMusicBrainzReleaseGroupId, 0x25),
      RM_PROP(infoMusicBrainzReleaseTrackId, 0x26),
      RM_PROP(infoMusicBrainzRecordingId, 0x27),
      RM_PROP(infoMusicBrainzArtistIds, 0x28),
      RM_PROP(infoMusicBrainzAlbumArtistIds, 0x29),
      RM_PROP(infoCoverArtFile, 0x2a),
      RM_PROP(infoReplayGainTrackGain, 0x2b),
      RM_PROP(infoReplayGainTrackPeak, 0x2c),
      RM_PROP(infoReplayGainAlbumGain, 0x2d),
      RM_PROP(infoReplayGainAlbumPeak, 0x2e),
  });
#undef RM_RESERVED
#undef RM_PROP
  return table;
}

}  // namespace tonemeter
