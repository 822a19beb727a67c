#include "engine/com/rip_report.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "engine/cddb/cdplayer_ini.h"
#include "engine/cddb/disc_key.h"
#include "engine/com/audio_cd_ripper.h"
#include "engine/com/toc_entries.h"
#include "engine/device/c2_reads.h"
#include "engine/device/disc_layout.h"
#include "engine/device/toc.h"
#include "proof/accuraterip_id.h"
#include "proof/disc_layout.h"
#include "proof/musicbrainz_id.h"

namespace engine {

const com::DispatchTable& RipReport::dispatchTable() {
  using I = IAudioCDRipperReport;
  // Members are appended after the last row, each with the next dispid.
  static const com::DispatchTable table(IID_IAudioCDRipperReport, {
      com::propget<&I::get_framesRead>("framesRead", 0x1),
      com::propget<&I::get_framesReread>("framesReread", 0x2),
      com::propget<&I::get_framesConfirmed>("framesConfirmed", 0x3),
      com::propget<&I::get_framesUnconfirmed>("framesUnconfirmed", 0x4),
      com::propget<&I::get_retries>("retries", 0x5),
      com::propget<&I::get_blocksGivenUp>("blocksGivenUp", 0x6),
      com::propget<&I::get_trackCopyCRC>("trackCopyCRC", 0x7),
      com::propget<&I::get_trackCopyCRCSkipZero>("trackCopyCRCSkipZero", 0x8),
      com::propget<&I::get_trackAccurateRipV1>("trackAccurateRipV1", 0x9),
      com::propget<&I::get_trackAccurateRipV2>("trackAccurateRipV2", 0xa),
      com::propget<&I::get_trackAccurateRipFrame450>("trackAccurateRipFrame450", 0xb),
      com::propget<&I::get_accurateRipId1>("accurateRipId1", 0xc),
      com::propget<&I::get_accurateRipId2>("accurateRipId2", 0xd),
      com::propget<&I::get_musicBrainzDiscId>("musicBrainzDiscId", 0xe),
      com::propget<&I::get_trackStartLba>("trackStartLba", 0xf),
      com::propget<&I::get_leadOutLba>("leadOutLba", 0x10),
      com::propget<&I::get_readOffsetSamples>("readOffsetSamples", 0x11),
      com::propput<&I::put_readOffsetSamples>("readOffsetSamples", 0x11),
      com::propget<&I::get_discCatalog>("discCatalog", 0x12),
      com::propget<&I::get_trackIsrc>("trackIsrc", 0x13),
      com::propget<&I::get_trackPregapFrames>("trackPregapFrames", 0x14),
      com::propget<&I::get_trackPreEmphasis>("trackPreEmphasis", 0x15, {VT_I4, VT_BOOL}),
      com::propget<&I::get_c2Mode>("c2Mode", 0x16),
      com::propput<&I::put_c2Mode>("c2Mode", 0x16),
      com::propget<&I::get_driveC2>("driveC2", 0x17, {VT_BOOL}),
      com::propget<&I::get_c2ErrorFrames>("c2ErrorFrames", 0x18),
      com::propget<&I::get_framesReadTwice>("framesReadTwice", 0x19),
      com::propget<&I::get_c2Used>("c2Used", 0x1a, {VT_BOOL}),
      com::propget<&I::get_trackCtdbCRC>("trackCtdbCRC", 0x1b),
      com::propget<&I::get_cdTextTitle>("cdTextTitle", 0x1c),
      com::propget<&I::get_cdTextPerformer>("cdTextPerformer", 0x1d),
      com::propget<&I::get_cdTextSongwriter>("cdTextSongwriter", 0x1e),
      com::propget<&I::get_cdTextComposer>("cdTextComposer", 0x1f),
      com::propget<&I::get_cdTextCode>("cdTextCode", 0x20),
      com::propget<&I::get_replayGain>("replayGain", 0x21, {VT_BOOL}),
      com::propput<&I::put_replayGain>("replayGain", 0x21, {VT_BOOL}),
      com::propget<&I::get_trackGainDb>("trackGainDb", 0x22),
      com::propget<&I::get_trackPeak>("trackPeak", 0x23),
      com::propget<&I::get_albumGainDb>("albumGainDb", 0x24),
      com::propget<&I::get_albumPeak>("albumPeak", 0x25),
      com::method<&I::StoreDiscTitles>("StoreDiscTitles", 0x26, {VT_BSTR, VT_BSTR, VT_BSTR, VT_BOOL}),
      com::propget<&I::get_framesRetried>("framesRetried", 0x27),
  });
  return table;
}

HRESULT STDMETHODCALLTYPE RipReport::QueryInterface(REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  if (riid == IID_IAudioCDRipperReport) {
    *ppv = static_cast<IAudioCDRipperReport*>(this);
    AddRef();
    return S_OK;
  }
  return outer_->QueryInterface(riid, ppv);  // IUnknown and IDispatch are the object's own
}

HRESULT STDMETHODCALLTYPE RipReport::GetTypeInfoCount(UINT* pctinfo) {
  if (pctinfo == nullptr) return E_POINTER;
  *pctinfo = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE RipReport::GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) {
  if (ppTInfo != nullptr) *ppTInfo = nullptr;
  return DISP_E_BADINDEX;
}

HRESULT STDMETHODCALLTYPE RipReport::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (!(riid == IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  return dispatchTable().getIDsOfNames(names, count, ids);
}

HRESULT STDMETHODCALLTYPE RipReport::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                            VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) {
  if (!(riid == IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  return dispatchTable().invoke(static_cast<IAudioCDRipperReport*>(this), id, flags, params, result, excepInfo,
                                argErr);
}

}  // namespace engine

// The disc's members. Each runs as the engine's properties do: nothing
// while the disc changed since the last Refresh (MEDIA_CHANGED raised), an
// unknown track raises INVALID_PARAM, and a failed get leaves its out value
// unwritten.
namespace engine {

namespace {

// The layout of the table of contents the last Refresh read.
std::optional<proof::DiscLayout> TocLayout(const TocEntries& toc) {
  const size_t length = std::min<size_t>(toc.size(), 2 + (size_t{toc[0]} << 8 | toc[1]));
  return proof::DiscLayoutFromToc(std::span<const uint8_t>(toc.data(), length));
}

}  // namespace

bool RipReport::trackAsked(LONG track) {
  if (engine_.mediaChangedGuard()) return false;
  if (track < 1 || track > engine_.trackCount_) {
    engine_.raiseError(INVALID_PARAM);
    return false;
  }
  return true;
}

HRESULT RipReport::getAccurateRipId(uint32_t proof::AccurateRipDiscId::*id, LONG* pVal) {
  if (pVal == nullptr) return E_POINTER;
  if (engine_.mediaChangedGuard()) return S_OK;
  const auto layout = TocLayout(engine_.tocEntries_);
  *pVal = layout ? static_cast<LONG>(proof::AccurateRipDiscIdOf(*layout).*id) : 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE RipReport::get_accurateRipId1(LONG* pVal) {
  return getAccurateRipId(&proof::AccurateRipDiscId::id1, pVal);
}

HRESULT STDMETHODCALLTYPE RipReport::get_accurateRipId2(LONG* pVal) {
  return getAccurateRipId(&proof::AccurateRipDiscId::id2, pVal);
}

HRESULT STDMETHODCALLTYPE RipReport::get_musicBrainzDiscId(BSTR* pVal) {
  if (pVal == nullptr) return E_POINTER;
  if (engine_.mediaChangedGuard()) return S_OK;
  const auto layout = TocLayout(engine_.tocEntries_);
  std::optional<std::string> id;
  if (layout) id = proof::MusicBrainzDiscId(*layout);
  *pVal = AudioCDRipper2::newBstr(id.value_or(""));
  return S_OK;
}

HRESULT STDMETHODCALLTYPE RipReport::get_trackStartLba(LONG track, LONG* pVal) {
  if (pVal == nullptr) return E_POINTER;
  if (!trackAsked(track)) return S_OK;
  *pVal = static_cast<LONG>(tocAudioTrackStart(engine_.tocEntries_, track - 1));
  return S_OK;
}

HRESULT STDMETHODCALLTYPE RipReport::get_leadOutLba(LONG* pVal) {
  if (pVal == nullptr) return E_POINTER;
  if (engine_.mediaChangedGuard()) return S_OK;
  *pVal = engine_.trackCount_ > 0 ? static_cast<LONG>(tocLeadOut(engine_.tocEntries_)) : 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE RipReport::get_readOffsetSamples(LONG* pVal) {
  if (pVal == nullptr) return E_POINTER;
  *pVal = engine_.readOffsetSamples_.load();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE RipReport::put_readOffsetSamples(LONG newVal) {
  if (newVal < -kMaxReadOffsetSamples || newVal > kMaxReadOffsetSamples) {
    engine_.raiseError(INVALID_PARAM);
    return S_OK;
  }
  engine_.readOffsetSamples_.store(newVal);
  return S_OK;
}

// The sub-channel's layout, read once after each Refresh, while nothing
// else holds the drive; null when there is no disc, the drive is in use or
// could not be read.
const device::DiscLayout* AudioCDRipper2::subchannelLayout() {
  if (subchannelLayoutRead_) return subchannelLayout_ ? &*subchannelLayout_ : nullptr;
  if (trackCount_ == 0 || cdHandle_.load() == 0) return nullptr;
  BusyClaim reading(busy_, Busy::kRefreshing);
  if (!reading) return nullptr;  // asked again later
  {
    std::lock_guard drive(driveLock_);
    device::DiscLayout layout;
    log().line("Read Disc Layout");
    if (device::ReadDiscLayout(cdHandle_.load(), layout) == device::kResultOk) subchannelLayout_ = std::move(layout);
  }
  subchannelLayoutRead_ = true;
  return subchannelLayout_ ? &*subchannelLayout_ : nullptr;
}

const device::CdText* AudioCDRipper2::cdText() {
  if (cdTextRead_) return cdText_ ? &*cdText_ : nullptr;
  if (trackCount_ == 0 || cdHandle_.load() == 0) return nullptr;
  BusyClaim reading(busy_, Busy::kRefreshing);
  if (!reading) return nullptr;  // asked again later
  {
    std::lock_guard drive(driveLock_);
    log().line("Read CD-TEXT");
    device::CdText text = device::ParseCdText(device::ReadCdTextAnswer(cdHandle_.load()));
    for (const std::string& note : text.notes) log().line(note);
    if (!text.empty()) cdText_ = std::move(text);
  }
  cdTextRead_ = true;
  return cdText_ ? &*cdText_ : nullptr;
}

HRESULT RipReport::cdTextField(LONG track, int field, BSTR* pVal) {
  if (pVal == nullptr) return E_POINTER;
  *pVal = nullptr;
  if (track < 0 || track > 99) return E_INVALIDARG;
  if (engine_.mediaChangedGuard()) return S_OK;
  std::string value;
  if (const device::CdText* text = engine_.cdText()) {
    const auto it = text->entries.find(static_cast<int>(track));
    if (it != text->entries.end()) {
      const device::CdTextEntry& e = it->second;
      const std::string* fields[] = {&e.title, &e.performer, &e.songwriter, &e.composer, &e.code};
      value = *fields[field];
    }
  }
  *pVal = AudioCDRipper2::newBstr(value);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE RipReport::get_cdTextTitle(LONG track, BSTR* pVal) { return cdTextField(track, 0, pVal); }
HRESULT STDMETHODCALLTYPE RipReport::get_cdTextPerformer(LONG track, BSTR* pVal) {
  return cdTextField(track, 1, pVal);
}
HRESULT STDMETHODCALLTYPE RipReport::get_cdTextSongwriter(LONG track, BSTR* pVal) {
  return cdTextField(track, 2, pVal);
}
HRESULT STDMETHODCALLTYPE RipReport::get_cdTextComposer(LONG track, BSTR* pVal) {
  return cdTextField(track, 3, pVal);
}
HRESULT STDMETHODCALLTYPE RipReport::get_cdTextCode(LONG track, BSTR* pVal) { return cdTextField(track, 4, pVal); }

namespace {

// Audio track `track` (from 1) of a sub-channel layout; null when it has none.
const device::LayoutTrack* LayoutAudioTrack(const device::DiscLayout* layout, LONG track) {
  if (layout == nullptr) return nullptr;
  LONG audio = 0;
  for (const device::LayoutTrack& t : layout->tracks) {
    if (!t.data() && ++audio == track) return &t;
  }
  return nullptr;
}

}  // namespace

HRESULT STDMETHODCALLTYPE RipReport::get_discCatalog(BSTR* pVal) {
  if (pVal == nullptr) return E_POINTER;
  if (engine_.mediaChangedGuard()) return S_OK;
  const device::DiscLayout* layout = engine_.subchannelLayout();
  *pVal = AudioCDRipper2::newBstr(layout != nullptr ? layout->catalog : "");
  return S_OK;
}

HRESULT STDMETHODCALLTYPE RipReport::get_trackIsrc(LONG track, BSTR* pVal) {
  if (pVal == nullptr) return E_POINTER;
  if (!trackAsked(track)) return S_OK;
  const device::LayoutTrack* t = LayoutAudioTrack(engine_.subchannelLayout(), track);
  *pVal = AudioCDRipper2::newBstr(t != nullptr ? t->isrc : "");
  return S_OK;
}

HRESULT STDMETHODCALLTYPE RipReport::get_trackPregapFrames(LONG track, LONG* pVal) {
  if (pVal == nullptr) return E_POINTER;
  if (!trackAsked(track)) return S_OK;
  const device::LayoutTrack* t = LayoutAudioTrack(engine_.subchannelLayout(), track);
  *pVal = t != nullptr ? t->pregapFrames : device::LayoutTrack::kUnknown;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE RipReport::get_trackPreEmphasis(LONG track, VARIANT_BOOL* pVal) {
  if (pVal == nullptr) return E_POINTER;
  if (!trackAsked(track)) return S_OK;
  // The TOC's control bits tell, without the sub-channel.
  const TocEntries& toc = engine_.tocEntries_;
  LONG audio = 0;
  bool emphasis = false;
  for (int32_t d = 0; d < tocTrackDescriptors(toc); ++d) {
    if (tocIsAudio(toc, d) && ++audio == track) {
      emphasis = (toc[4 + 8 * d + 1] & 0x01) != 0;
      break;
    }
  }
  *pVal = emphasis ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE RipReport::get_c2Mode(LONG* pVal) {
  if (pVal == nullptr) return E_POINTER;
  *pVal = engine_.c2Setting_.load();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE RipReport::put_c2Mode(LONG newVal) {
  if (newVal < kC2Auto || newVal > kC2Off) {
    engine_.raiseError(INVALID_PARAM);
    return S_OK;
  }
  engine_.c2Setting_.store(newVal);
  return S_OK;
}

// Asked of the drive while nothing else holds it; otherwise what it said
// at the last rip's start.
HRESULT STDMETHODCALLTYPE RipReport::get_driveC2(VARIANT_BOOL* pVal) {
  if (pVal == nullptr) return E_POINTER;
  if (engine_.cdHandle_.load() != 0) {
    BusyClaim asking(engine_.busy_, Busy::kRefreshing);
    if (asking) {
      std::lock_guard drive(engine_.driveLock_);
      engine_.driveReportsC2_.store(device::DriveReportsC2(engine_.cdHandle_.load()) ? 1 : 0);
    }
  }
  *pVal = engine_.driveReportsC2_.load() == 1 ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE RipReport::get_replayGain(VARIANT_BOOL* pVal) {
  if (pVal == nullptr) return E_POINTER;
  *pVal = engine_.replayGainSetting_.load() != 0 ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE RipReport::put_replayGain(VARIANT_BOOL newVal) {
  engine_.replayGainSetting_.store(newVal != VARIANT_FALSE ? 1 : 0);
  return S_OK;
}

namespace {

// "1 2 5" (spaces or commas between): the track numbers, each once; nothing
// for other text or an empty list.
std::optional<std::vector<int32_t>> TrackList(const std::string& text) {
  std::vector<int32_t> tracks;
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == ' ' || text[i] == ',') {
      ++i;
      continue;
    }
    int32_t n = 0;
    size_t digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
      if (++digits > 3) return std::nullopt;
      n = n * 10 + (text[i++] - '0');
    }
    if (digits == 0 || n < 1) return std::nullopt;
    if (std::find(tracks.begin(), tracks.end(), n) == tracks.end()) tracks.push_back(n);
  }
  if (tracks.empty()) return std::nullopt;
  return tracks;
}

}  // namespace

HRESULT RipReport::getAlbum(BSTR tracks, double* pVal, bool gain) {
  if (pVal == nullptr) return E_POINTER;
  const auto list = TrackList(AudioCDRipper2::fromBstr(tracks));
  if (!list) {
    engine_.raiseError(INVALID_PARAM);
    return S_OK;
  }
  double loudness = 0;
  double peak = 0;
  bool measured = false;
  {
    std::lock_guard guard(engine_.loudnessLock_);
    std::vector<const TrackLoudness*> meters;
    if (engine_.loudnessToc_ == engine_.tocEntries_) {
      for (const int32_t track : *list) {
        const auto it = engine_.discLoudness_.find(track);
        if (it == engine_.discLoudness_.end()) break;
        meters.push_back(it->second.get());
      }
    }
    if (meters.size() == list->size()) measured = AlbumLoudness(meters, loudness, peak);
  }
  if (gain)
    *pVal = measured ? kReplayGainReferenceLufs - loudness : 0;
  else
    *pVal = measured ? peak : -1;
  return S_OK;
}

// The key is the one GetCDDBInfo(CDPLAYERINI) computes from the drive's
// MSF-form table of contents, here from the table the last Refresh read
// (no call to the drive, so a rip may run meanwhile); "numtracks" counts
// every track of the table, as a CDDB entry's track count does.
HRESULT STDMETHODCALLTYPE RipReport::StoreDiscTitles(BSTR artist, BSTR album, BSTR trackTitles, VARIANT_BOOL* pVal) {
  if (pVal == nullptr) return E_POINTER;
  *pVal = VARIANT_FALSE;
  engine_.log().line("Store Disc Titles");
  if (engine_.mediaChangedGuard()) return S_OK;
  if (engine_.trackCount_ == 0 || engine_.cddbWriteBack_ == 0) return S_OK;
  const TocEntries& toc = engine_.tocEntries_;
  uint32_t key = 0;
  for (int32_t d = 0; d < tocTrackDescriptors(toc); ++d) {
    if (tocIsAudio(toc, d)) key += cddb::CdPlayerKeyTerm(static_cast<int32_t>(tocAddress(toc, d)));
  }
  std::vector<std::string> titles;
  const std::string text = AudioCDRipper2::fromBstr(trackTitles);
  size_t start = 0;
  while (start < text.size() && titles.size() < static_cast<size_t>(engine_.trackCount_)) {
    const size_t end = std::min(text.find('\n', start), text.size());
    titles.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  const bool stored = cddb::CdPlayerIniStore(key, static_cast<uint32_t>(tocTrackDescriptors(toc)),
                                             AudioCDRipper2::fromBstr(artist), AudioCDRipper2::fromBstr(album), titles);
  *pVal = stored ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

}  // namespace engine
