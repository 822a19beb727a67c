#include "ripmarrow/verify_command.h"
#include "client/accuraterip_lookup.h"

#include <FLAC/stream_decoder.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "proof/accuraterip_id.h"
#include "proof/ctdb_crc.h"
#include "proof/accuraterip_verdict.h"
#include "proof/track_checksums.h"
#include "client/audio_formats.h"
#include "client/proof_recorder.h"
#include "ripmarrow/command_table.h"
#include "client/rip_log.h"

namespace ripmarrow {
namespace {

std::string hex8(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", value);
  return text;
}

uint32_t le32(const std::string& bytes, size_t at) {
  return static_cast<uint32_t>(static_cast<uint8_t>(bytes[at])) | static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 1])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 2])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 3])) << 24;
}
uint16_t le16(const std::string& bytes, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8);
}

std::optional<std::string> wavAudio(const std::string& file, std::string& error) {
  bool formatOk = false;
  size_t at = 12;
  while (at + 8 <= file.size()) {
    const std::string id = file.substr(at, 4);
    const uint64_t size = le32(file, at + 4);
    if (id == "fmt ") {
      if (size < 16 || at + 8 + size > file.size()) break;
      formatOk = le16(file, at + 8) == 1 && le16(file, at + 10) == 2 && le32(file, at + 12) == 44100 &&
                 le16(file, at + 22) == 16;
      if (!formatOk) {
        error = "not 16-bit stereo PCM at 44100 Hz";
        return std::nullopt;
      }
    } else if (id == "data") {
      if (!formatOk) break;
      if (at + 8 + size > file.size()) {
        error = "the data chunk is cut short";
        return std::nullopt;
      }
      return file.substr(at + 8, size);
    }
    at += 8 + size + (size & 1);
  }
  error = "no PCM data chunk";
  return std::nullopt;
}

struct FlacState {
  std::string pcm;
  std::string error;
};

FLAC__StreamDecoderWriteStatus onFlacFrame(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                           const FLAC__int32* const buffer[], void* data) {
  auto* state = static_cast<FlacState*>(data);
  if (frame->header.channels != 2 || frame->header.bits_per_sample != 16) {
    state->error = "not 16-bit stereo";
    return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
  }
  for (unsigned i = 0; i < frame->header.blocksize; ++i) {
    for (unsigned c = 0; c < 2; ++c) {
      const auto sample = static_cast<uint16_t>(buffer[c][i]);
      state->pcm += static_cast<char>(sample & 0xff);
      state->pcm += static_cast<char>(sample >> 8);
    }
  }
  return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}

void onFlacError(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus status, void* data) {
  auto* state = static_cast<FlacState*>(data);
  if (state->error.empty()) state->error = FLAC__StreamDecoderErrorStatusString[status];
}

std::optional<std::string> flacAudio(const std::string& path, std::string& error) {
  FLAC__StreamDecoder* decoder = FLAC__stream_decoder_new();
  if (decoder == nullptr) {
    error = "no FLAC decoder";
    return std::nullopt;
  }
  FlacState state;
  FLAC__stream_decoder_set_md5_checking(decoder, true);
  bool ok = FLAC__stream_decoder_init_file(decoder, path.c_str(), onFlacFrame, nullptr, onFlacError, &state) ==
            FLAC__STREAM_DECODER_INIT_STATUS_OK;
  ok = ok && FLAC__stream_decoder_process_until_end_of_stream(decoder);
  // The MD5 sum of the stream's audio, when the encoder stored one.
  ok = FLAC__stream_decoder_finish(decoder) && ok;
  FLAC__stream_decoder_delete(decoder);
  if (!ok || !state.error.empty()) {
    error = "cannot decode the FLAC file" + (state.error.empty() ? std::string() : ": " + state.error);
    return std::nullopt;
  }
  return std::move(state.pcm);
}

// "NNN-AAAAAAAA-BBBBBBBB-CCCCCCCC" as the log states the disc's identity.
// The CUETools database's verdict the log read back, and whether the file's
// CTDB CRC is still the one the log keeps.
std::string ctdbLine(const client::RipLog& log, size_t index, const client::RipLogTrack& track,
                     const std::string& pcm) {
  const std::vector<proof::DiscTrack> audio = log.layout.audioTracks();
  uint64_t discFrames = 0;
  for (size_t t = 0; t < audio.size(); ++t) discFrames += log.layout.audioTrackFrames(t);
  const proof::CtdbSkips skips =
      proof::CtdbTrackSkips(index == 0, index + 1 == audio.size(), discFrames * proof::kSamplesPerFrame);
  proof::CtdbTrackCrc crc(uint64_t{log.layout.audioTrackFrames(index)} * proof::kSamplesPerFrame, skips.first,
                          skips.last);
  crc.add({reinterpret_cast<const uint8_t*>(pcm.data()), pcm.size()});
  return track.ctdb + (crc.value() == track.ctdbCrc ? " (CRC " + hex8(crc.value()) + " as in the log)"
                                                    : " (CRC " + hex8(crc.value()) + " DIFFERS from the log's " +
                                                          hex8(track.ctdbCrc) + ")");
}

std::optional<proof::AccurateRipDiscId> parseIdentity(const std::string& text) {
  if (text.size() != 30 || text[3] != '-' || text[12] != '-' || text[21] != '-') return std::nullopt;
  const auto number = [&](size_t at, size_t length, int base, uint32_t& value) {
    const std::string part = text.substr(at, length);
    if (part.find_first_not_of(base == 10 ? "0123456789" : "0123456789abcdef") != std::string::npos) return false;
    value = static_cast<uint32_t>(std::stoul(part, nullptr, base));
    return true;
  };
  proof::AccurateRipDiscId id;
  if (!number(0, 3, 10, id.audioTracks) || !number(4, 8, 16, id.id1) || !number(13, 8, 16, id.id2) ||
      !number(22, 8, 16, id.cddbId))
    return std::nullopt;
  return id;
}

std::string readWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

std::optional<std::string> VerifyCommand::readAudio(const std::string& path, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot open it";
    return std::nullopt;
  }
  char magic[12] = {};
  in.read(magic, sizeof magic);
  in.close();
  if (std::memcmp(magic, "fLaC", 4) == 0) return flacAudio(path, error);
  // A FLAC file may start with an ID3v2 tag.
  if (std::memcmp(magic, "ID3", 3) == 0) return flacAudio(path, error);
  if (std::memcmp(magic, "RIFF", 4) == 0 && std::memcmp(magic + 8, "WAVE", 4) == 0) {
    return wavAudio(readWhole(path), error);
  }
  error = "neither a WAV nor a FLAC file";
  return std::nullopt;
}

// The command line goes through the command table, as every command's does.
int VerifyCommand::main(int argc, char** argv) { return dispatch(argc, argv); }

int VerifyCommand::run(const Options& options, std::ostream& out, std::ostream& err) {
  namespace fs = std::filesystem;
  std::string logPath = options.log;
  if (logPath.empty()) {
    const std::vector<std::string> logs = client::RipLogsIn(options.folder);
    if (logs.empty()) {
      err << "No rip log (ripmarrow.log) in " << options.folder << ".\n";
      return 1;
    }
    logPath = logs.back();
  } else if (!fs::exists(logPath) && fs::exists(fs::path(options.folder) / logPath)) {
    logPath = (fs::path(options.folder) / logPath).string();
  }
  std::error_code ec;
  if (!fs::is_regular_file(logPath, ec) || fs::file_size(logPath, ec) > 4 * 1024 * 1024) {
    err << "Cannot read the log " << logPath << ".\n";
    return 1;
  }
  std::string why;
  const std::optional<client::RipLog> log = client::ParseRipLog(readWhole(logPath), why);
  if (!log) {
    err << logPath << ": " << why << "\n";
    return 1;
  }
  out << "Log: " << logPath << "\n";

  const std::vector<proof::DiscTrack> audio = log->layout.audioTracks();
  // The identity the rip stated (its CDDB id counts the disc's data tracks,
  // which the log's table of contents may leave out); else the layout's.
  const proof::AccurateRipDiscId disc =
      parseIdentity(log->accurateRipIdentity).value_or(proof::AccurateRipDiscIdOf(log->layout));
  const proof::AccurateRipLookup lookup = client::LookUpDisc(options.server, disc);
  out << "AccurateRip " << proof::AccurateRipIdentity(disc) << ": " << client::LookupText(lookup) << "\n";

  size_t matching = 0;
  size_t lossy = 0;
  size_t deemphasised = 0;
  size_t accurate = 0;
  bool notAccurate = false;
  for (const client::RipLogTrack& track : log->tracks) {
    out << "Track " << track.number << ": " << (track.file.empty() ? "(no file)" : track.file) << "\n";
    const size_t index = static_cast<size_t>(track.number - 1);
    if (track.number < 1 || index >= audio.size()) {
      out << "  not a track of the log's table of contents\n";
      continue;
    }
    if (!track.ripped || track.file.empty()) {
      out << "  not checked: the rip of this track failed\n";
      continue;
    }
    // Only a name in the folder: a log cannot point elsewhere.
    if (track.file.find('/') != std::string::npos || track.file == "." || track.file == "..") {
      out << "  not checked: not a file name\n";
      continue;
    }
    // Lossy files keep no exact audio: nothing to compare.
    const std::string extension = fs::path(track.file).extension().string();
    if (const auto format = client::FormatOfExtension(extension); format && !client::FormatInfo(*format).lossless) {
      out << "  not checked: " << extension.substr(1) << " files keep no exact copy of the audio\n";
      ++lossy;
      continue;
    }
    // The log keeps the disc's checksums, not those of the filtered audio.
    if (track.deemphasised) {
      out << "  not checked: de-emphasised, its audio is not the disc's\n";
      ++deemphasised;
      continue;
    }
    std::string error;
    const std::optional<std::string> pcm = readAudio((fs::path(options.folder) / track.file).string(), error);
    if (!pcm) {
      out << "  CANNOT CHECK: " << error << "\n";
      continue;
    }
    proof::TrackChecksums sums(static_cast<uint64_t>(log->layout.audioTrackFrames(index)) *
                                            proof::kSamplesPerFrame,
                                        proof::TrackPlaceOf(index, audio.size()));
    sums.add({reinterpret_cast<const uint8_t*>(pcm->data()), pcm->size()});
    const proof::TrackChecksumValues values = sums.values();
    const bool same = values.copyCrc == track.copyCrc && values.accurateRipV1 == track.accurateRipV1 &&
                      values.accurateRipV2 == track.accurateRipV2;
    if (same) {
      ++matching;
      out << "  copy CRC " << hex8(values.copyCrc) << ": as in the log\n";
    } else {
      out << "  copy CRC " << hex8(values.copyCrc) << ": DIFFERS from the log's " << hex8(track.copyCrc) << "\n";
    }
    const proof::TrackVerdict verdict =
        proof::AccurateRipVerdict(lookup, index, values.accurateRipV1, values.accurateRipV2);
    if (verdict.kind == proof::VerdictKind::kAccurate) ++accurate;
    if (verdict.kind == proof::VerdictKind::kNotAccurate) notAccurate = true;
    out << "  AccurateRip: " << client::VerdictText(verdict) << "\n";
    if (!track.ctdb.empty()) out << "  CTDB: " << ctdbLine(*log, index, track, *pcm) << "\n";
  }
  const size_t checkable = log->tracks.size() - lossy - deemphasised;
  out << matching << " of " << checkable << (checkable == 1 ? " file matches" : " files match") << " the log";
  if (lossy > 0) out << " (" << lossy << " lossy " << (lossy == 1 ? "file" : "files") << " not checked)";
  if (deemphasised > 0) {
    out << " (" << deemphasised << " de-emphasised " << (deemphasised == 1 ? "file" : "files") << " not checked)";
  }
  out << "; " << accurate << " accurate by AccurateRip.\n";
  return matching == checkable && !notAccurate ? 0 : 1;
}

}  // namespace ripmarrow
