#include "client/rip_check.h"

#include <filesystem>
#include <map>
#include <set>

#include "client/audio_formats.h"
#include "client/audio_stream.h"
#include "proof/ctdb_crc.h"

namespace client {

void CheckRipFiles(const std::string& folder, const RipLog& log, const std::function<void(const TrackCheck&)>& each) {
  namespace fs = std::filesystem;
  const size_t audioTracks = log.layout.audioTracks().size();
  uint64_t discSamples = 0;  // the audio of the disc, as the CUETools database's spans need it
  for (size_t t = 0; t < audioTracks; ++t) discSamples += uint64_t{log.layout.audioTrackFrames(t)} * proof::kSamplesPerFrame;
  std::set<long> numbersSeen;
  std::map<std::string, long> filesSeen;  // file name -> the track that named it first
  for (const RipLogTrack& track : log.tracks) {
    TrackCheck check;
    check.track = &track;
    check.audioIndex = static_cast<size_t>(track.number - 1);
    const auto say = [&](TrackCheck::Kind kind, std::string detail = {}) {
      check.kind = kind;
      check.detail = std::move(detail);
      each(check);
    };
    // The log reader refuses both; a log made in memory may hold them.
    if (track.number < 1 || check.audioIndex >= audioTracks) {
      say(TrackCheck::Kind::kCannotCheck, "not a track of the log's table of contents");
      continue;
    }
    if (!numbersSeen.insert(track.number).second) {
      say(TrackCheck::Kind::kCannotCheck, "the log names this track twice");
      continue;
    }
    if (!track.ripped || track.file.empty()) {
      say(TrackCheck::Kind::kRipFailed);
      continue;
    }
    // Only a name in the folder: a log cannot point elsewhere.
    if (track.file.find('/') != std::string::npos || track.file == "." || track.file == "..") {
      say(TrackCheck::Kind::kNotAFileName);
      continue;
    }
    const std::string extension = fs::path(track.file).extension().string();
    if (const auto format = FormatOfExtension(extension); format && !FormatInfo(*format).lossless) {
      say(TrackCheck::Kind::kLossy, extension.substr(1));
      continue;
    }
    // The log keeps the disc's checksums, not those of the filtered audio.
    if (track.deemphasised) {
      say(TrackCheck::Kind::kDeemphasised);
      continue;
    }
    if (const auto [first, fresh] = filesSeen.emplace(track.file, track.number); !fresh) {
      say(TrackCheck::Kind::kCannotCheck, "the file of track " + std::to_string(first->second) + ", checked already");
      continue;
    }
    const uint64_t trackSamples =
        static_cast<uint64_t>(log.layout.audioTrackFrames(check.audioIndex)) * proof::kSamplesPerFrame;
    proof::TrackChecksums sums(trackSamples, proof::TrackPlaceOf(check.audioIndex, audioTracks));
    const proof::CtdbSkips skips =
        proof::CtdbTrackSkips(check.audioIndex == 0, check.audioIndex + 1 == audioTracks, discSamples);
    proof::CtdbTrackCrc ctdb(trackSamples, skips.first, skips.last);
    std::string error;
    const bool read = StreamAudioFile(
        (fs::path(folder) / track.file).string(), trackSamples * proof::kBytesPerSample,
        [&](std::span<const uint8_t> pcm) {
          sums.add(pcm);
          ctdb.add(pcm);
          check.pcmBytes += pcm.size();
        },
        error);
    if (!read) {
      say(TrackCheck::Kind::kCannotCheck, error);
      continue;
    }
    check.values = sums.values();
    check.ctdbCrc = ctdb.value();
    check.matchesLog = check.values.copyCrc == track.copyCrc && check.values.accurateRipV1 == track.accurateRipV1 &&
                       check.values.accurateRipV2 == track.accurateRipV2;
    say(TrackCheck::Kind::kChecked);
  }
}

}  // namespace client
