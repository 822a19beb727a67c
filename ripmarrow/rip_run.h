// One `ripmarrow rip` over an open engine: the drive and its disc, the
// tracks chosen, titles and settings, the read offset and the proof, the
// hidden track, each track ripped, tagged and checked, the cue sheet and the
// summary, each step a method over the run's state.
#pragma once

#include <chrono>

#include <cstddef>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "components/trackmill2.h"
#include "platform/com/com_object.h"
#include "client/cover_art.h"
#include "client/disc_titles.h"
#include "client/replay_gain_tags.h"
#include "ripmarrow/disc_layout_query.h"
#include "ripmarrow/rip_command.h"
#include "ripmarrow/rip_proof.h"
#include "ripmarrow/track_tagger.h"

namespace ripmarrow {

// Collects the engine's rip events. They arrive on this thread while it
// pumps (the rip thread's calls are marshalled here), so no lock is needed.
class RipSink final : public com::EventSink<RipSink, DIID__IAudioCDRipper2Events> {
 public:
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    if (params == nullptr || params->cArgs != 1) return S_OK;
    const LONG value = params->rgvarg[0].lVal;
    if (id == DISPID_AudioCDRipper2_Error) {
      errors.push_back(value);
    } else if (id == DISPID_AudioCDRipper2_RipRetry) {
      ++retries;
    } else if (id == DISPID_AudioCDRipper2_RipProgress) {
      percent = value;
      if (value == 100) finished = true;
      if (onProgress) onProgress(value);
    }
    return S_OK;
  }
  void reset() {
    errors.clear();
    retries = 0;
    percent = 0;
    finished = false;
  }

  std::vector<LONG> errors;
  long retries = 0;
  LONG percent = 0;
  bool finished = false;
  // Called with each RipProgress, on this thread (a watch worker reports
  // the percentage and the speed to its parent); empty: nothing.
  std::function<void(LONG)> onProgress;
};

class RipRun {
 public:
  // `engine` and `sink` (advised on the engine's events) stay the caller's
  // and must outlive the run.
  RipRun(IAudioCDRipper2* engine, RipSink& sink, const RipCommand::Options& options, std::ostream& out,
         std::ostream& err);
  ~RipRun();
  RipRun(const RipRun&) = delete;
  RipRun& operator=(const RipRun&) = delete;

  // The whole rip: 0 when every track (and the hidden one, and the cue sheet
  // asked for) came out whole and confirmed; 1 when not; 2 for a track the
  // disc does not have; 130 after Ctrl-C.
  int run();

 private:
  bool openDisc();
  int lookUpTitles();
  std::string titlesRow() const;
  std::string hiddenTitle() const;
  void fetchCoverArt(const std::string& server);
  void placeCoverArt();  // in the disc's folder, once naming has made it
  bool chooseTracks();
  bool prepareFolder();
  bool applySettings();
  void sayPreEmphasis() const;
  void ripHiddenTrack();
  void ripTrack(size_t index);
  void tag(const std::string& path, long track, const std::string& title);
  void writeCueSheet();
  void writeReplayGain();
  bool applyNaming();
  int summary() const;

  bool deemphasise(long track) const;
  std::string trackFailure(bool whole) const;
  // Rips into `path` through the engine, showing the progress (ripOne).
  bool ripInto(long track, const std::string& path, const RipCommand::Options& options, std::ostream& out,
               const std::function<HRESULT(BSTR)>& start = {}, bool announce = true);
  std::optional<uint32_t> testRead(long track);

  IAudioCDRipper2* const engine_;
  RipSink& sink_;
  RipCommand::Options options_;  // a copy: a naming template moves its folder to the disc's
  std::ostream& out_;
  std::ostream& err_;
  const bool terminal_;
  const std::string extension_;

  // The mode the tracks are ripped in: options_.mode, but SECURE for a
  // verified rip of a disc no database knows.
  RipModePresetConstants mode_ = BURST;
  LONG trackCount_ = 0;
  std::vector<long> tracks_;        // in rip order
  std::vector<std::string> titles_;  // by track, "" when not known
  client::DiscTitles discTitles_;    // what named the disc, and all it said
  std::vector<std::string> releasesPassedOver_;  // unattended: the releases not taken
  std::string coverRow_;             // the log's cover art row; "" none asked
  std::optional<client::CoverArt> coverArt_;  // fetched with the titles, placed once the folder stands
  std::string embeddedCover_;        // the image the tags embed, removed at the end; "" none
  std::optional<RipProof> proof_;
  DiscLayoutQuery layout_;
  TrackTagger tagger_;
  TrackTagger::DiscTags discTags_;
  client::ReplayGainBatch replayGain_;  // --replaygain: the tracks ripped whole and their gains
  std::vector<std::string> files_;  // by track: the file of each track ripped whole
  std::vector<bool> deemphasised_;  // by track
  std::string hiddenFile_;          // "" when no hidden track was ripped
  size_t ripped_ = 0;
  size_t unconfirmedTracks_ = 0;
  // The batch's total: audio ripped whole (stereo sample frames) and when
  // the run began.
  long long rippedSamples_ = 0;
  std::chrono::steady_clock::time_point began_ = std::chrono::steady_clock::now();
  bool hiddenOk_ = true;
  bool cueOk_ = true;  // a sheet asked for was written
  bool stopped_ = false;
};

}  // namespace ripmarrow
