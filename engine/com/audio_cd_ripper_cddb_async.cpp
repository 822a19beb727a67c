// AudioCDRipper2: BeginCDDBInfo and CancelCDDBInfo. The drive is read on
// the client's thread at the start (it is the one part of a look-up that
// needs the drive); the sources are then asked on a thread of the look-up's
// own (cddb_lookup.h), which raises QUERY and PROCESSANSWER and its end
// through its marshalled pointer. The end event, on the client's thread,
// takes the answer into the CDDB information fields, so those stay the
// client's thread's alone.
#include <algorithm>

#include "engine/cddb/cddb_exchange.h"
#include "engine/com/audio_cd_ripper.h"

namespace engine {

namespace {
constexpr int32_t kNoRefusal = 0;
}  // namespace

HRESULT STDMETHODCALLTYPE AudioCDRipper2::BeginCDDBInfo(CDDBSourceConstants cddbSource) {
  log().line("Begin CDDB Info");
  // One look-up at a time: the one running is stopped (its CDDBSTOPPED
  // fires while this waits for its thread). The wait runs incoming calls,
  // so what follows looks at the engine as they left it; one that a call
  // began meanwhile is stopped too.
  endCddbLookups();

  // A refused look-up ends at once, so that each one ends with one status.
  int32_t refusal = kNoRefusal;
  if (mediaChanged_.load() != 0) {
    refusal = MEDIA_CHANGED;
  } else if (scsiManagerLoaded_.load() == 0) {
    refusal = ASPI_DRIVER;
  } else if (cdHandle_.load() == 0 || ripBusy()) {
    refusal = DRIVE_BUSY;  // a rip's thread holds the drive: the disc's identity cannot be read now
  }
  if (refusal != kNoRefusal) {
    raiseError(static_cast<ErrcodeConstants>(refusal));
    fire(DISPID_AudioCDRipper2_CDDBQueryStatus, {com::variantI4(CDDBNOTFOUND)});
    return S_OK;
  }
  // The thread's way back to this thread: without it the look-up could
  // never report its end, so it does not start.
  IStream* stream = nullptr;
  if (FAILED(CoMarshalInterThreadInterfaceInStream(IID_IAudioCDRipper2, static_cast<IAudioCDRipper2*>(this),
                                                   &stream))) {
    raiseError(OPERATION_FAILED);
    fire(DISPID_AudioCDRipper2_CDDBQueryStatus, {com::variantI4(CDDBNOTFOUND)});
    return S_OK;
  }

  auto lookup = std::make_unique<CddbLookup>();
  lookup->id = ++cddbLookupSerial_;
  lookup->source = cddbSource;
  lookup->timeoutMs = cddbTimeOutMs_;
  lookup->toc = tocEntries_;
  {
    std::lock_guard drive(driveLock_);
    lookup->discRead = cddb::CddbReadDisc(cdHandle_.load(), lookup->disc);
  }
  pushCddbOptions();
  switch (cddbSource) {
    case ALL: log().line("from any availabel"); break;
    case ONLINEDATABASE: log().line("from on-line database"); break;
    case CDPLAYERINI: log().line("from cdplayer.ini"); break;
    default: log().line("from <default>"); break;
  }
  CddbLookup* running = lookup.get();
  cddbLookups_.push_back(std::move(lookup));
  running->thread = com::ComThread([this, running, stream] { cddbLookupMain(*running, stream); });
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AudioCDRipper2::CancelCDDBInfo() {
  log().line("Cancel CDDB Info");
  for (const std::unique_ptr<CddbLookup>& lookup : cddbLookups_) lookup->stop.raise();
  return S_OK;
}

void AudioCDRipper2::cddbLookupMain(CddbLookup& lookup, IStream* ownStream) {
  IAudioCDRipper2* own = nullptr;
  if (ownStream != nullptr &&
      FAILED(CoGetInterfaceAndReleaseStream(ownStream, IID_IAudioCDRipper2, reinterpret_cast<void**>(&own)))) {
    own = nullptr;
  }
  {
    // Every exchange of this thread ends at once when the look-up is stopped.
    const cddb::CddbStopScope stopScope(&lookup.stop);
    const auto status = [this, own, &lookup](int32_t value) {
      if (!lookup.stop.raised()) deliverWorkerEvent(own, queueWorkerEvent(own, kEventCddbStatus, value));
    };
    CddbAnswer answer;
    const auto attempt = [&](bool online) {
      if (lookup.stop.raised()) return false;
      if (!lookup.discRead) {
        status(QUERY);  // as GetCDDBInfo: asked, and the drive gave no disc
        return false;
      }
      return runCddbAttempt(&lookup.disc, online, lookup.timeoutMs, answer, status);
    };
    bool found = attempt(lookup.source == ONLINEDATABASE);
    if (!found && lookup.source == ALL) found = attempt(true);
    std::lock_guard lock(lookup.lock);
    if (found) lookup.answer = std::move(answer);
    lookup.ended = true;
  }
  deliverWorkerEvent(own, queueWorkerEvent(own, kEventCddbEnd, lookup.id));
  // Releasing is a call posted to the client's thread: the object's final
  // release never runs here.
  if (own != nullptr) own->Release();
}

void AudioCDRipper2::fireCddbEnd(int32_t id) {
  const auto it = std::find_if(cddbLookups_.begin(), cddbLookups_.end(),
                               [id](const std::unique_ptr<CddbLookup>& l) { return l->id == id; });
  if (it == cddbLookups_.end()) return;
  CddbLookup& lookup = **it;
  CddbAnswer answer;
  {
    std::lock_guard lock(lookup.lock);
    if (!lookup.ended) return;
    answer = std::move(lookup.answer);
    lookup.answer = {};
  }
  int32_t status = CDDBNOTFOUND;
  if (lookup.stop.raised()) {
    status = CDDBSTOPPED;  // the information stays as it was
  } else if (answer.found && mediaChanged_.load() == 0 && lookup.toc == tocEntries_) {
    installCddbAnswer(std::move(answer));
    status = CDDBANSWERED;
  } else {
    // Nothing found, or an answer for a disc that is no longer the one
    // the last Refresh read.
    cddbInfoValid_ = false;
  }
  log().value("CDDB look-up ended: ", status);
  fire(DISPID_AudioCDRipper2_CDDBQueryStatus, {com::variantI4(status)});
}

void AudioCDRipper2::endCddbLookups() {
  // Stopped, then joined one at a time, each staying listed while its end
  // event fires during the wait. Calls run meanwhile may begin another look-up or end
  // these again: a look-up being joined is skipped by such a nested call.
  for (;;) {
    // Every pass stops them all, a look-up a call began during the last wait too.
    for (const std::unique_ptr<CddbLookup>& lookup : cddbLookups_) lookup->stop.raise();
    CddbLookup* next = nullptr;
    for (const std::unique_ptr<CddbLookup>& lookup : cddbLookups_) {
      if (lookup->joining) continue;
      // Inside a worker's event its thread may be the one waiting for this
      // thread: only a finished thread is joined then.
      if (workerEventDepth_ == 0 || lookup->thread.finished()) {
        next = lookup.get();
        break;
      }
    }
    if (next == nullptr) return;
    next->joining = true;
    next->thread.join();
    std::erase_if(cddbLookups_, [next](const std::unique_ptr<CddbLookup>& l) { return l.get() == next; });
  }
}

}  // namespace engine
