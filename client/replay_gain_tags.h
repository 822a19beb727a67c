// The ReplayGain tags of a rip batch: the tracks ripped whole, each with the
// gain the engine measured while ripping it, and, once the batch ends, the
// album's gain over them (the engine's meters gated together, RipReport::
// albumReplayGain), written into every file through the tag component:
// REPLAYGAIN_TRACK_GAIN, _TRACK_PEAK, _ALBUM_GAIN, _ALBUM_PEAK, as ID3v2
// TXXX frames, Vorbis comments or ASF attributes by the file's kind.
//
// A batch belongs to the thread that runs the rip (the engine's client
// thread, where the tag component lives too).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "client/replay_gain.h"
#include "components/tonemeter2.h"

namespace client {

class RipReport;

// Feeds `meter` with a block of interleaved 16-bit samples as the codec
// component hands them (a VT_I2 SAFEARRAY; the caller keeps it).
void AddSamples(LoudnessMeter& meter, SAFEARRAY* block);

// Writes the four tags into `path`, keeping every other tag the file has
// (the component reads them first). Without an album value the file's
// album tags stay as they were (the converter's copy of its source's).
// "" on success, else why not.
std::string WriteReplayGainTags(IAudioInformation2* info, const std::string& path, const ReplayGain& track,
                                const std::optional<ReplayGain>& album);

class ReplayGainBatch {
 public:
  // After each track's rip: the file, and what the report measured
  // (RipReport::trackReplayGain; nothing leaves the file untagged).
  void addTrack(long track, const std::string& path, const std::optional<ReplayGain>& gain);

  struct Failure {
    long track;
    std::string path;
    std::string reason;
  };
  // At the batch's end: the album's gain over every track added that was
  // measured, then the tags of each file, through a tag component of its
  // own (created here, so that what it reads from the files never reaches
  // the caller's). The failures, none when all went well; each file fails
  // when the component is not registered.
  std::vector<Failure> writeTags(const RipReport& report);

  std::optional<ReplayGain> album() const { return album_; }
  bool empty() const { return tracks_.empty(); }

 private:
  struct Track {
    long track;
    std::string path;
    ReplayGain gain;
  };
  std::vector<Track> tracks_;
  std::optional<ReplayGain> album_;
};

}  // namespace client
