// AudioInformation2: the tag component's COM class. One set of TagFields
// behind IAudioInformation2; ReadInfo loads it from a file through TagFile,
// WriteInfo stores it. Fields a caller does not set keep their values from
// one file to the next.
#pragma once

#include <mutex>
#include <string>

#include "components/tonemeter2.h"
#include "outside/tonemeter2/tag_file.h"

namespace tonemeter {

class AudioInformation2 final : public com::ComObject<AudioInformation2, IAudioInformation2> {
 public:
  static const com::DispatchTable& dispatchTable();

  HRESULT STDMETHODCALLTYPE ReadInfo(BSTR fileName) override;
  HRESULT STDMETHODCALLTYPE WriteInfo(BSTR fileName) override;
  HRESULT STDMETHODCALLTYPE get_infoTitle(BSTR* text) override;
  HRESULT STDMETHODCALLTYPE put_infoTitle(BSTR text) override;
  HRESULT STDMETHODCALLTYPE get_infoArtist(BSTR* text) override;
  HRESULT STDMETHODCALLTYPE put_infoArtist(BSTR text) override;
  HRESULT STDMETHODCALLTYPE get_infoAlbum(BSTR* text) override;
  HRESULT STDMETHODCALLTYPE put_infoAlbum(BSTR text) override;
  HRESULT STDMETHODCALLTYPE get_infoComments(BSTR* text) override;
  HRESULT STDMETHODCALLTYPE put_infoComments(BSTR text) override;
  HRESULT STDMETHODCALLTYPE get_infoGenreS(BSTR* name) override;
  HRESULT STDMETHODCALLTYPE put_infoGenreS(BSTR name) override;
  HRESULT STDMETHODCALLTYPE get_LastError(BSTR* text) override;
  HRESULT STDMETHODCALLTYPE Reserved20() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved21() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved22() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved23() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved24() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved25() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved26() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved27() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved28() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved29() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved30() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved31() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_infoOption(VARIANT_BOOL* option) override;
  HRESULT STDMETHODCALLTYPE put_infoOption(VARIANT_BOOL option) override;
  HRESULT STDMETHODCALLTYPE Reserved34() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved35() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved36() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved37() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved38() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved39() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved40() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved41() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved42() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved43() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_infoGenre(SHORT* index) override;
  HRESULT STDMETHODCALLTYPE put_infoGenre(SHORT index) override;
  HRESULT STDMETHODCALLTYPE Reserved46() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved47() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_infoYear(LONG* year) override;
  HRESULT STDMETHODCALLTYPE put_infoYear(LONG year) override;
  HRESULT STDMETHODCALLTYPE Reserved50() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved51() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_infoTrack(SHORT* track) override;
  HRESULT STDMETHODCALLTYPE put_infoTrack(SHORT track) override;
  HRESULT STDMETHODCALLTYPE get_infoTrackTotal(SHORT* total) override;
  HRESULT STDMETHODCALLTYPE put_infoTrackTotal(SHORT total) override;
  HRESULT STDMETHODCALLTYPE get_infoMusicBrainzDiscId(BSTR* id) override;
  HRESULT STDMETHODCALLTYPE put_infoMusicBrainzDiscId(BSTR id) override;
  HRESULT STDMETHODCALLTYPE get_infoCddbId(BSTR* id) override;
  HRESULT STDMETHODCALLTYPE put_infoCddbId(BSTR id) override;
  HRESULT STDMETHODCALLTYPE get_infoAlbumArtist(BSTR* text) override;
  HRESULT STDMETHODCALLTYPE put_infoAlbumArtist(BSTR text) override;
  HRESULT STDMETHODCALLTYPE get_infoDiscNumber(BSTR* text) override;
  HRESULT STDMETHODCALLTYPE put_infoDiscNumber(BSTR text) override;
  HRESULT STDMETHODCALLTYPE get_infoLabel(BSTR* text) override;
  HRESULT STDMETHODCALLTYPE put_infoLabel(BSTR text) override;
  HRESULT STDMETHODCALLTYPE get_infoCatalogNumber(BSTR* text) override;
  HRESULT STDMETHODCALLTYPE put_infoCatalogNumber(BSTR text) override;
  HRESULT STDMETHODCALLTYPE get_infoBarcode(BSTR* text) override;
  HRESULT STDMETHODCALLTYPE put_infoBarcode(BSTR text) override;
  HRESULT STDMETHODCALLTYPE get_infoIsrc(BSTR* text) override;
  HRESULT STDMETHODCALLTYPE put_infoIsrc(BSTR text) override;
  HRESULT STDMETHODCALLTYPE get_infoMusicBrainzAlbumId(BSTR* text) override;
  HRESULT STDMETHODCALLTYPE put_infoMusicBrainzAlbumId(BSTR text) override;
  HRESULT STDMETHODCALLTYPE get_infoMusicBrainzReleaseGroupId(BSTR* text) override;
  HRESULT STDMETHODCALLTYPE put_infoMusicBrainzReleaseGroupId(BSTR text) override;
  HRESULT STDMETHODCALLTYPE get_infoMusicBrainzReleaseTrackId(BSTR* text) override;
  HRESULT STDMETHODCALLTYPE put_infoMusicBrainzReleaseTrackId(BSTR text) override;
  HRESULT STDMETHODCALLTYPE get_infoMusicBrainzRecordingId(BSTR* text) override;
  HRESULT STDMETHODCALLTYPE put_infoMusicBrainzRecordingId(BSTR text) override;
  HRESULT STDMETHODCALLTYPE get_infoMusicBrainzArtistIds(BSTR* text) override;
  HRESULT STDMETHODCALLTYPE put_infoMusicBrainzArtistIds(BSTR text) override;
  HRESULT STDMETHODCALLTYPE get_infoMusicBrainzAlbumArtistIds(BSTR* text) override;
  HRESULT STDMETHODCALLTYPE put_infoMusicBrainzAlbumArtistIds(BSTR text) override;
  HRESULT STDMETHODCALLTYPE get_infoCoverArtFile(BSTR* path) override;
  HRESULT STDMETHODCALLTYPE put_infoCoverArtFile(BSTR path) override;
  HRESULT STDMETHODCALLTYPE get_infoReplayGainTrackGain(BSTR* text) override;
  HRESULT STDMETHODCALLTYPE put_infoReplayGainTrackGain(BSTR text) override;
  HRESULT STDMETHODCALLTYPE get_infoReplayGainTrackPeak(BSTR* text) override;
  HRESULT STDMETHODCALLTYPE put_infoReplayGainTrackPeak(BSTR text) override;
  HRESULT STDMETHODCALLTYPE get_infoReplayGainAlbumGain(BSTR* text) override;
  HRESULT STDMETHODCALLTYPE put_infoReplayGainAlbumGain(BSTR text) override;
  HRESULT STDMETHODCALLTYPE get_infoReplayGainAlbumPeak(BSTR* text) override;
  HRESULT STDMETHODCALLTYPE put_infoReplayGainAlbumPeak(BSTR text) override;

 private:
  HRESULT getText(std::string TagFields::*field, BSTR* out) const;
  HRESULT putText(std::string TagFields::*field, BSTR text);

  mutable std::mutex lock_;
  TagFields fields_;        // guarded by lock_
  std::string error_;       // guarded by lock_
  VARIANT_BOOL option_ = VARIANT_FALSE;  // guarded by lock_
};

}  // namespace tonemeter
