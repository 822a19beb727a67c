// The rip batch's verified mode ([cd] "grab mode" 4): the databases asked
// before the first track, every track ripped in BURST, and each track no
// database confirms read again in SECURE, its log row saying why. When
// neither database knows the disc the batch is SECURE from the start.
#include <filesystem>

#include "client/verified_mode.h"
#include "frontend/disc_controller.h"
#include "frontend/rip_batch.h"

namespace quavern {

void RipBatch::lookUpFirst() {
  // The batch waits for the answers (a few seconds at most); the window goes on.
  view_.setProgressCaption(RipBatchView::Caption::kVerifying);
  verified_.lookUpFirst(serverText_, ctdbText_, proof_->disc(), proof_->log().layout,
                        [this] { firstLookUpArrived(); });
}

void RipBatch::firstLookUpArrived() {
  if (!proof_ || !disc_.ripping()) return;
  const client::ProofLookups& found = verified_.found();
  proof_->addSetting(client::kVerifiedModeSetting, client::VerifiedModeText(found));
  // Nothing could confirm a burst rip: every track is read securely.
  if (!client::DatabasesKnowDisc(found)) verified_.putMode(engine_.engine(), SECURE);
  view_.setProgressCaption(RipBatchView::Caption::kPercent);
  if (disc_.ripStopPending()) {
    endBatch(true);
    return;
  }
  RipNextTrack();
}

bool RipBatch::verifiedTrackEnded(bool written) {
  if (!verified_.on() || !proof_ || proof_->empty()) return false;
  if (verified_.rereading) {
    // The secure read took the burst read's place.
    verified_.rereading = false;
    proof_->noteLastTrack(client::kVerifiedReread);
    verified_.putMode(engine_.engine(), BURST);
    return false;
  }
  if (!written || disc_.ripStopPending() || !verified_.needsReread(proof_->log().tracks.back())) return false;
  std::error_code ec;
  std::filesystem::remove(outputPath_, ec);
  proof_->dropLastTrack();
  verified_.putMode(engine_.engine(), SECURE);
  verified_.rereading = true;
  view_.setRipProgress(0);
  view_.setRowStatus(ripCursor_, texts::kStatusConverting);
  if (!testAndCopy_) --started_;  // the same track again, for the time left
  if (startCall(outputPath_)) return true;
  // The re-read was refused: the track failed, the batch goes on.
  verified_.rereading = false;
  failures_.push_back({ripCursor_, view_.rowTitle(ripCursor_), ripFailureText(callErrors_.front())});
  proof_->addTrack(ripCursor_ + 1, "", false, failures_.back().reason);
  proof_->noteLastTrack(client::kVerifiedReread);
  verified_.putMode(engine_.engine(), BURST);
  view_.setRowStatus(ripCursor_, texts::kStatusFailed);
  const int next = disc_.ripStopPending() ? -1 : nextTickedRow(ripCursor_ + 1);
  if (next < 0) {
    endBatch(true);
    return true;
  }
  ripCursor_ = next;
  RipNextTrack();
  return true;
}

}  // namespace quavern
