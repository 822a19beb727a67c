// AudioCDRipper2: the rip settings, the track properties and the CDDB
// settings.
#include <algorithm>

#include "engine/com/audio_cd_ripper.h"

#include "engine/cddb/cddb_options.h"
#include "platform/sync/win32_time.h"

namespace engine {

namespace {

struct PresetRow {
  int16_t framesPerRead;
  uint8_t overlapFrames;
  uint8_t rewindFrames;
  int16_t readAlgorithm;
  int32_t retries;
  int32_t spinUpMs;
  int32_t readSpeed;
};

// PLAY, BURST, SYNCH, SECURE, PARANOID. SECURE and PARANOID rewind one
// frame further than their overlap: with the rewind equal to the overlap a
// read that starts late could never hold the whole tail it is located by.
// A block is read twice in SECURE and PARANOID, each read carrying the
// rewind and a frame after the block, with a one-frame cache-defeating read
// before the second (and, in PARANOID, before the first): SECURE's 48-frame
// blocks with a one-frame tail (51-frame reads, 119952 bytes, within the
// 120 KiB a USB bridge takes in one command) cost about 2.16 frames read per
// frame, PARANOID's 12-frame blocks about 3.
constexpr PresetRow kPresets[] = {
    {26, 0, 0, 0, 5, 0, 32},     {26, 0, 0, 0, 5, 0, 32},  {26, 1, 3, 1, 85, 1000, 24},
    {48, 1, 2, 1, 85, 3000, 16}, {12, 3, 4, 1, 85, 0, 1},
};

constexpr size_t kCddbTextChars = 80;  // what the engine keeps of a CDDB setting

}  // namespace

// ---- rip settings ----------------------------------------------------------

HRESULT STDMETHODCALLTYPE AudioCDRipper2::get_ripModePreset(RipModePresetConstants* pVal) {
  if (pVal == nullptr) return E_POINTER;
  log().line("GetRipModePreset Property");
  if (!mediaChangedGuard()) *pVal = static_cast<RipModePresetConstants>(ripModePreset_);
  log().line("GetRipModePreset Property end.");
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::put_ripModePreset(RipModePresetConstants newVal) {
  log().value("PutRipModePreset Property. Parameter: ", newVal);
  if (!idle() || mediaChangedGuard()) return S_OK;
  std::unique_lock drive(driveLock_);
  releaseDriveHandle();
  if (newVal < PLAY || newVal > PARANOID) {
    // The handle stays released; the next Refresh or rip makes one again.
    drive.unlock();
    lastError_.store(INVALID_PARAM);
    log().line("Wrong param!");
    raiseError(INVALID_PARAM);
    return S_OK;
  }
  const PresetRow& row = kPresets[newVal];
  framesPerRead_ = row.framesPerRead;
  overlapFrames_ = row.overlapFrames;
  rewindFrames_ = row.rewindFrames;
  readAlgorithm_ = row.readAlgorithm;
  ripOnErrorRetries_ = row.retries;
  spinUpMs_ = row.spinUpMs;
  readSpeed_ = row.readSpeed;
  if (newVal == PLAY) ripOnErrorAction_.store(SILENCE);
  ripModePreset_ = newVal;
  // The handle is made anew for the preset's overlap and rewind; the drive
  // settles on the rip thread, before the next rip's first read, when that
  // rip's preset differs from the drive's last rip's (rip_thread.cpp).
  createDriveHandle();
  log().line("PutRipModePreset Property end.");
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::get_ripOnErrorAction(RipActionOnErrorConstants* pVal) {
  if (pVal == nullptr) return E_POINTER;
  log().line("GetRipOnErrorAction Property");
  if (!mediaChangedGuard()) *pVal = static_cast<RipActionOnErrorConstants>(ripOnErrorAction_.load());
  log().line("GetRipOnErrorAction Property end.");
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::put_ripOnErrorAction(RipActionOnErrorConstants newVal) {
  log().value("PutRipOnErrorAction Property. Parameter: ", newVal);
  // Stored as given: a value outside 0..3 ends a rip at its first bad block.
  // A rip under way reads it once per block: a change applies from the next.
  if (!mediaChangedGuard()) ripOnErrorAction_.store(newVal);
  log().line("PutRipOnErrorAction Property end.");
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::get_ripOnErrorRetries(LONG* pVal) {
  if (pVal == nullptr) return E_POINTER;
  log().line("GetRipOnErrorRetries Property");
  if (!mediaChangedGuard()) *pVal = ripOnErrorRetries_;
  log().line("GetRipOnErrorRetries Property end.");
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::put_ripOnErrorRetries(LONG newVal) {
  log().value("PutRipOnErrorRetries Property. Parameter: ", newVal);
  if (mediaChangedGuard() || !idle()) return S_OK;
  if (newVal >= 0 && newVal < 255) {
    ripOnErrorRetries_ = newVal;
    log().value("Num Retries now:", ripOnErrorRetries_);
  } else {
    log().line("Parameter error!");
    raiseError(INVALID_PARAM);
  }
  log().line("PutRipOnErrorRetries Property end.");
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::get_ripUseExternalASPI(VARIANT_BOOL* pVal) {
  if (pVal == nullptr) return E_POINTER;
  log().line("GetRipUseExternalASPI Property");
  if (!mediaChangedGuard()) *pVal = useExternalAspi_ != 0 ? VARIANT_TRUE : VARIANT_FALSE;
  log().line("GetRipUseExternalASPI Property end.");
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::put_ripUseExternalASPI(VARIANT_BOOL newVal) {
  log().value("PutRipUseExternalASPI Property. Parameter: ", static_cast<SHORT>(newVal));
  if (!idle() || mediaChangedGuard()) return S_OK;
  std::lock_guard drive(driveLock_);
  releaseDriveHandle();
  unloadTransport();
  scsiManagerLoaded_.store(0);
  lastError_.store(NO_ERRORS);
  useExternalAspi_ = static_cast<SHORT>(newVal) == -1 ? 1 : 0;
  loadTransport();
  if (scsiManagerLoaded_.load() != 0) createDriveHandle();
  log().line("PutRipUseExternalASPI Property end.");
  return S_OK;
}

// ---- tracks ----------------------------------------------------------------

HRESULT STDMETHODCALLTYPE AudioCDRipper2::get_trackNum(LONG* pVal) {
  if (pVal == nullptr) return E_POINTER;
  log().line("GetTrackNum Property");
  if (!mediaChangedGuard()) {
    *pVal = trackIndex_ + 1;
    log().value("Track Num is:", trackIndex_ + 1);
  }
  log().line("GetTrackNum Property end.");
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::put_trackNum(LONG newVal) {
  log().value("PutTrackNum Property. Parameter: ", newVal);
  if (!idle() || mediaChangedGuard()) return S_OK;
  LONG value = std::min<LONG>(newVal, trackCount_);
  value = std::max<LONG>(value, 1);
  trackIndex_ = value - 1;
  log().line("PutTrackNum Property end.");
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::get_trackCount(LONG* pVal) {
  if (pVal == nullptr) return E_POINTER;
  log().line("GetTrackCount Property");
  if (!mediaChangedGuard()) *pVal = trackCount_;
  log().line("GetTrackCount Property end.");
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::get_trackDuration(LONG* pVal) {
  if (pVal == nullptr) return E_POINTER;
  if (mediaChangedGuard()) return S_OK;
  // With no table yet there is no track to measure: a length of 0.
  const int32_t frames = trackIndex_ < static_cast<int32_t>(trackFrames_.size()) ? trackFrames_[trackIndex_] : 0;
  *pVal = MulDiv(frames, 588 * 1000, 44100);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::get_trackSamples(LONG* pVal) {
  if (pVal == nullptr) return E_POINTER;
  if (mediaChangedGuard()) return S_OK;
  const int32_t frames = trackIndex_ < static_cast<int32_t>(trackFrames_.size()) ? trackFrames_[trackIndex_] : 0;
  *pVal = static_cast<LONG>(static_cast<int64_t>(frames) * 588);
  return S_OK;
}

// ---- CDDB settings -----------------------------------------------------------

namespace {
std::string cut(std::string text) {
  if (text.size() > kCddbTextChars) text.resize(kCddbTextChars);
  return text;
}
}  // namespace

HRESULT STDMETHODCALLTYPE AudioCDRipper2::get_cddbTimeOut(LONG* pVal) {
  if (pVal == nullptr) return E_POINTER;
  log().line("GetCDDBTimeOut Property");
  if (mediaChangedGuard()) return S_OK;
  *pVal = cddbTimeOutMs_;
  log().value("CDDB TimeOut is:", cddbTimeOutMs_);
  log().line("GetCDDBTimeOut Property end.");
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::put_cddbTimeOut(LONG newVal) {
  log().value("PutCDDBTimeOut Property. Parameter: ", newVal);
  if (mediaChangedGuard()) return S_OK;
  if (newVal < 0) {
    raiseError(INVALID_PARAM);
    return S_OK;
  }
  cddbTimeOutMs_ = newVal;
  log().value("New CDDB TimeOut is:", cddbTimeOutMs_);
  log().line("PutCDDBTimeOut Property end.");
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::get_cddbServerAddress(BSTR* pVal) {
  if (pVal == nullptr) return E_POINTER;
  log().line("GetCDDBServerAdress Property...");
  if (!mediaChangedGuard()) *pVal = newBstr(cddbServer_);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::put_cddbServerAddress(BSTR newVal) {
  log().line("PutCDDBServerAddress Property...");
  if (mediaChangedGuard()) return S_OK;
  cddbServer_ = cut(fromBstr(newVal));
  cddb::CddbSetOption(cddb::CddbOption::kServer, cddbServer_.c_str(), 0);
  log().line(cddbServer_);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::get_cddbAgentName(BSTR* pVal) {
  if (pVal == nullptr) return E_POINTER;
  log().line("GetCDDBAgentName Property...");
  if (mediaChangedGuard()) return S_OK;
  *pVal = newBstr(cddbAgent_);
  log().line(cddbAgent_);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::put_cddbAgentName(BSTR newVal) {
  log().line("PutCDDBAgentName Property...");
  if (mediaChangedGuard()) return S_OK;
  cddbAgent_ = cut(fromBstr(newVal));
  cddb::CddbSetOption(cddb::CddbOption::kAgent, cddbAgent_.c_str(), 0);
  log().line(cddbAgent_);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::get_cddbServerHTTPPort(LONG* pVal) {
  if (pVal == nullptr) return E_POINTER;
  log().line("GetCDDBServerHTTPPort Property");
  if (mediaChangedGuard()) return S_OK;
  *pVal = cddbPort_;
  log().value("CDDB HTTP Port is:", cddbPort_);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::put_cddbServerHTTPPort(LONG newVal) {
  log().line("PutCDDBServerHTTPPort Property...");
  if (mediaChangedGuard()) return S_OK;
  cddb::CddbSetOption(cddb::CddbOption::kHttpPort, nullptr, newVal);
  cddbPort_ = newVal;  // no range check: the client refuses what it cannot use
  log().value("New CDDB HTTP Port is:", cddbPort_);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::get_cddbUserEMail(BSTR* pVal) {
  if (pVal == nullptr) return E_POINTER;
  log().line("GetCDDBUserEMail Property");
  if (mediaChangedGuard()) return S_OK;
  *pVal = newBstr(cddbUserEmail_);
  log().line(cddbUserEmail_);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::put_cddbUserEMail(BSTR newVal) {
  log().line("PutCDDBUserEMail Property");
  if (mediaChangedGuard()) return S_OK;
  cddbUserEmail_ = cut(fromBstr(newVal));
  cddb::CddbSetOption(cddb::CddbOption::kUserEMail, cddbUserEmail_.c_str(), 0);
  log().line(cddbUserEmail_);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::get_cddbCGIScript(BSTR* pVal) {
  if (pVal == nullptr) return E_POINTER;
  log().line("GetCDDBCGIScript Property");
  if (mediaChangedGuard()) return S_OK;
  *pVal = newBstr(cddbScript_);
  log().line(cddbScript_);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::put_cddbCGIScript(BSTR newVal) {
  log().line("PutCDDBCGIScript Property");
  if (mediaChangedGuard()) return S_OK;
  cddbScript_ = cut(fromBstr(newVal));
  cddb::CddbSetOption(cddb::CddbOption::kCgiScript, cddbScript_.c_str(), 0);
  log().line(cddbScript_);
  return S_OK;
}

}  // namespace engine
