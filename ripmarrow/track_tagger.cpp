#include "ripmarrow/track_tagger.h"

#include <cstdio>

#include "client/engine_session.h"

namespace ripmarrow {

namespace {

// Puts a text field; the BSTR is the caller's to free after the call.
HRESULT putText(IAudioInformation2* info, HRESULT (STDMETHODCALLTYPE IAudioInformation2::*put)(BSTR),
                const std::string& value) {
  BSTR text = com::NewBstr(value);
  const HRESULT hr = (info->*put)(text);
  SysFreeString(text);
  return hr;
}

}  // namespace

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
  putText(info, &IAudioInformation2::put_infoTitle, title);
  putText(info, &IAudioInformation2::put_infoArtist, disc.artist);
  putText(info, &IAudioInformation2::put_infoAlbum, disc.album);
  putText(info, &IAudioInformation2::put_infoComments, "");
  // A genre by its name: the lookup's genres need not be in the list.
  info->put_infoGenre(-1);
  putText(info, &IAudioInformation2::put_infoGenreS, disc.genre);
  info->put_infoYear(disc.year);
  info->put_infoTrack(static_cast<SHORT>(track));
  info->put_infoTrackTotal(static_cast<SHORT>(disc.trackTotal));
  putText(info, &IAudioInformation2::put_infoMusicBrainzDiscId, "");
  putText(info, &IAudioInformation2::put_infoCddbId, disc.cddbId);
  BSTR file = com::NewBstr(path);
  const HRESULT hr = info->WriteInfo(file);
  SysFreeString(file);
  if (SUCCEEDED(hr)) return {};
  BSTR reason = nullptr;
  info->get_LastError(&reason);
  std::string text = com::TakeUtf8(reason);
  return text.empty() ? "the tag component refused the file" : text;
}

}  // namespace ripmarrow
