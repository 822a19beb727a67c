#include "ripmarrow/offset_command.h"
#include "client/accuraterip_lookup.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "components/trackmill2.h"
#include "components/wavesmith2.h"
#include "proof/accuraterip_id.h"
#include "client/proof_recorder.h"
#include "client/drive_offsets.h"
#include "client/terminal_text.h"
#include "client/engine_session.h"
#include "client/rip_report.h"
#include "ripmarrow/verify_command.h"

namespace ripmarrow {
namespace {

constexpr long kRange = client::kMaxReadOffset;  // -kRange ... +kRange
constexpr long kMarginFrames = (kRange + 587) / 588 + 1;

std::string signedText(long value) { return (value > 0 ? "+" : "") + std::to_string(value); }

class RangeSink final : public com::EventSink<RangeSink, DIID__IAudioCDRipper2Events> {
 public:
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    if (params == nullptr || params->cArgs != 1) return S_OK;
    if (id == DISPID_AudioCDRipper2_Error) errors.push_back(params->rgvarg[0].lVal);
    if (id == DISPID_AudioCDRipper2_RipProgress && params->rgvarg[0].lVal == 100) finished = true;
    return S_OK;
  }
  std::vector<LONG> errors;
  bool finished = false;
};

// v1 and v2 of the track read at offset `k` (directly, for a few offsets).
void sumsAt(const std::vector<uint32_t>& padded, long k, uint64_t first, uint64_t last, uint32_t& v1, uint32_t& v2) {
  v1 = 0;
  v2 = 0;
  for (uint64_t i = first; i <= last; ++i) {
    const uint32_t w = padded[static_cast<size_t>(kRange + k) + static_cast<size_t>(i - 1)];
    const uint64_t product = i * w;
    v1 += static_cast<uint32_t>(product);
    v2 += static_cast<uint32_t>(product) + static_cast<uint32_t>(product >> 32);
  }
}

// Rips `frames` frames from `firstLba` at offset 0 into a WAV file; its PCM,
// or nothing with the reason.
std::optional<std::string> ripRangeAtZero(IAudioCDRipper2* engine, RangeSink& sink, const client::RipReport& report,
                                          long firstLba, long frames, std::string& why) {
  com::ComPtr<IUnknown> object;
  com::ComPtr<IAudioFile2> codec;
  if (FAILED(engine->GetAudioFile2Interface(object.put())) || !object || FAILED(object.as(&codec)) || !codec ||
      FAILED(codec->SetFormatPCM(44100, 2, 16))) {
    why = "the engine's codec component cannot write WAV";
    return std::nullopt;
  }
  char pattern[] = "/tmp/ripmarrow-offset.XXXXXX";
  if (mkdtemp(pattern) == nullptr) {
    why = "no temporary folder";
    return std::nullopt;
  }
  const std::string folder = pattern;
  const std::string path = folder + "/range.wav";
  sink.errors.clear();
  sink.finished = false;
  const HRESULT hr = report.ripRangeToAudioFile2Format(firstLba, frames, path);
  while (SUCCEEDED(hr) && !sink.finished && sink.errors.empty()) CoPumpCalls(20);
  if (SUCCEEDED(hr) && !sink.finished) {
    // A failed read: the rip is stopped before its file goes.
    engine->StopRip();
    for (int i = 0; i < 100 && !sink.finished; ++i) CoPumpCalls(20);
  }
  std::optional<std::string> pcm;
  if (FAILED(hr)) {
    why = "the engine cannot rip a range of the disc";
  } else if (!sink.errors.empty()) {
    why = "the rip of the track failed (engine error " + std::to_string(sink.errors.front()) + ")";
  } else {
    pcm = VerifyCommand::readAudio(path, why);
  }
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
  return pcm;
}

int find(IAudioCDRipper2* engine, RangeSink& sink, const std::string& driveName, const OffsetCommand::Options& options,
         std::ostream& out, std::ostream& err) {
  LONG trackCount = 0;
  LONG cddbId = 0;
  engine->get_trackCount(&trackCount);
  engine->get_cdID(&cddbId);
  const client::RipReport report(engine);
  const auto id1 = report.accurateRipId1();
  const auto id2 = report.accurateRipId2();
  const auto layout = report.audioLayout(trackCount);
  if (!id1 || !id2 || !layout) {
    err << "The engine does not report the disc's identity and layout.\n";
    return 1;
  }
  const proof::AccurateRipDiscId disc{static_cast<uint32_t>(trackCount), *id1, *id2,
                                               static_cast<uint32_t>(cddbId)};
  const proof::AccurateRipLookup lookup = client::LookUpDisc(options.server, disc);
  out << "AccurateRip " << proof::AccurateRipIdentity(disc) << ": " << client::LookupText(lookup) << "\n";
  if (lookup.status != proof::LookupStatus::kFound) {
    out << "The disc cannot tell the drive's offset: the database holds no record of it to compare with.\n";
    return 1;
  }

  const size_t index = static_cast<size_t>(trackCount) / 2;  // a middle track, away from the disc's ends
  const uint32_t start = layout->tracks[index].startLba;
  const uint64_t frames = layout->audioTrackFrames(index);
  const uint64_t trackSamples = frames * proof::kSamplesPerFrame;
  std::set<uint32_t> crcs;
  for (const auto& record : lookup.records) {
    if (index < record.tracks.size()) crcs.insert(record.tracks[index].crc);
  }
  // The track with kMarginFrames around it, as far as the disc reaches.
  const long firstLba = std::max<long>(0, static_cast<long>(start) - kMarginFrames);
  const long endLba = std::min<long>(static_cast<long>(layout->leadOutLba), static_cast<long>(start + frames) + kMarginFrames);
  out << "Reading track " << index + 1 << " with the frames around it at offset 0...\n" << std::flush;
  const auto previous = report.readOffsetSamples();
  report.putReadOffsetSamples(0);
  std::string why;
  const std::optional<std::string> pcm = ripRangeAtZero(engine, sink, report, firstLba, endLba - firstLba, why);
  report.putReadOffsetSamples(previous.value_or(0));
  if (!pcm) {
    err << why << ".\n";
    return 1;
  }
  // Sample p of `padded` is the track's sample p - kRange.
  std::vector<uint32_t> padded(static_cast<size_t>(trackSamples) + 2 * kRange, 0);
  const int64_t rangeStart = (static_cast<int64_t>(firstLba) - start) * proof::kSamplesPerFrame;
  const size_t got = pcm->size() / 4;
  for (size_t q = 0; q < got; ++q) {
    const int64_t p = rangeStart + static_cast<int64_t>(q) + kRange;
    if (p < 0 || p >= static_cast<int64_t>(padded.size())) continue;
    uint32_t w = 0;
    std::memcpy(&w, pcm->data() + q * 4, 4);  // little-endian L then R: L | R << 16
    padded[static_cast<size_t>(p)] = w;
  }
  const std::vector<long> offsets = OffsetCommand::matchingOffsets(
      padded, trackSamples, proof::TrackPlaceOf(index, static_cast<size_t>(trackCount)), crcs);
  if (offsets.empty()) {
    out << "No read offset from -2000 to +2000 gives a CRC the database holds: the disc cannot tell "
           "(a different pressing, or a damaged disc).\n";
    return 1;
  }
  const long found = offsets.front();
  const auto common = OffsetCommand::commonOffsets();
  const bool isCommon = std::find(common.begin(), common.end(), found) != common.end();
  if (offsets.size() > 1 && !isCommon) {
    out << "Several read offsets match (" << signedText(offsets[0]) << ", " << signedText(offsets[1])
        << "...): the disc cannot tell. Try another disc.\n";
    return 1;
  }
  out << "Read offset of " << client::TerminalText(driveName) << ": " << signedText(found) << " samples\n";
  if (options.save) {
    if (!client::DriveOffsets::setOffset(driveName, found)) {
      err << "Cannot write drives.ini.\n";
      return 1;
    }
    out << "Saved in drives.ini: every rip from this drive applies it.\n";
  } else {
    out << "To keep it: ripmarrow offset find --save (or offset set " << signedText(found) << ").\n";
  }
  return 0;
}

}  // namespace

const std::vector<long>& OffsetCommand::commonOffsets() {
  static const std::vector<long> offsets = {6, 667, 48, 102, 30, -472, 103, 738, 1164, 0, 91, 97, 99, 594, 618, 686, 1858, -1164};
  return offsets;
}

std::vector<long> OffsetCommand::matchingOffsets(const std::vector<uint32_t>& padded, uint64_t trackSamples,
                                                 proof::TrackPlace place, const std::set<uint32_t>& crcs) {
  std::vector<long> result;
  if (trackSamples == 0 || padded.size() < trackSamples + 2 * kRange || crcs.empty()) return result;
  // The 1-based range of samples the sums count, as for the rip's own sums.
  const uint64_t first = place.firstAudioTrack ? proof::kFirstTrackSkipSamples + 1 : 1;
  const uint64_t last = place.lastAudioTrack && trackSamples > proof::kLastTrackSkipSamples
                            ? trackSamples - proof::kLastTrackSkipSamples
                            : trackSamples;
  if (first > last) return result;
  for (const long k : commonOffsets()) {
    uint32_t v1 = 0, v2 = 0;
    sumsAt(padded, k, first, last, v1, v2);
    if (crcs.count(v1) != 0 || crcs.count(v2) != 0) result.push_back(k);
  }
  // Every offset by a sliding sum: with S(k) the plain sum of the counted
  // window at offset k, V(k+1) = V(k) - S(k) - (first-1)*w[k+first-1] + last*w[k+last].
  uint32_t v = 0, window = 0;
  sumsAt(padded, -kRange, first, last, v, window);
  window = 0;
  for (uint64_t i = first; i <= last; ++i) window += padded[static_cast<size_t>(i - 1)];
  for (long k = -kRange;; ++k) {
    if (crcs.count(v) != 0 && std::find(result.begin(), result.end(), k) == result.end()) result.push_back(k);
    if (k == kRange) break;
    const uint32_t leaving = padded[static_cast<size_t>(kRange + k) + static_cast<size_t>(first - 1)];
    const uint32_t entering = padded[static_cast<size_t>(kRange + k) + static_cast<size_t>(last)];
    v = v - window - static_cast<uint32_t>(first - 1) * leaving + static_cast<uint32_t>(last) * entering;
    window = window - leaving + entering;
  }
  return result;
}

int OffsetCommand::main(const Options& options) {
  // Nothing is played: the player the engine creates needs no sound card
  // (and probing one fills the terminal with the sound library's complaints).
  setenv("RIPMARROW_AUDIO", "silent", 1);
  return client::runInApartment([&] { return run(options, std::cout, std::cerr); });
}

int OffsetCommand::run(const Options& options, std::ostream& out, std::ostream& err) {
  auto sink = com::make<RangeSink>();
  client::EngineSession session(sink->identity(), err);
  if (!session) return 1;
  const com::ComPtr<IAudioCDRipper2>& engine = session.engine();
  int status = 1;
  const LONG drive = client::chooseDrive(engine.get(), options.driveNum, options.preferredLetter, true);
  if (drive == 0) {
    err << "No such CD drive.\n";
  } else {
    engine->put_driveNum(drive);
    BSTR name = nullptr;
    engine->get_driveName(&name);
    const std::string driveName = com::TakeUtf8(name);
    if (const std::string problem = client::DriveOffsets::fileProblem(); !problem.empty()) {
      err << client::TerminalText(problem) << "\n";
    }
    if (options.action == Action::kShow) {
      const auto offset = client::DriveOffsets::offsetOf(driveName);
      out << "Read offset of " << client::TerminalText(driveName) << ": "
          << (offset ? signedText(*offset) + " samples" : std::string("not set (0 is used)")) << "\n";
      status = 0;
    } else if (options.action == Action::kSet) {
      if (client::DriveOffsets::setOffset(driveName, options.offset)) {
        out << "Read offset of " << client::TerminalText(driveName) << " set to " << signedText(options.offset) << " samples\n";
        status = 0;
      } else {
        err << "Cannot write drives.ini.\n";
      }
    } else {
      sink->errors.clear();
      engine->Refresh();
      LONG tracks = 0;
      engine->get_trackCount(&tracks);
      if (!sink->errors.empty() || tracks <= 0) {
        err << "No audio CD in drive " << drive << ".\n";
      } else {
        status = find(engine.get(), *sink.get(), driveName, options, out, err);
      }
    }
  }
  session.close(50);
  return status;
}

}  // namespace ripmarrow
