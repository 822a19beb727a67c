#include "outside/wavesmith2/mp3_writer.h"

#include <lame/lame.h>

#include <algorithm>

namespace wavesmith {

namespace {

int highestBitrate(int rate_hz) {
  int n = 0;
  const int* rates = mp3BitratesFor(rate_hz, &n);
  return n ? rates[n - 1] : 320;
}

// Hands every field to LAME. Returns LAME's own context, or null with `error`.
lame_global_flags* makeEncoder(const LameSettings& s, std::string& error) {
  error = checkLameSettings(s);
  if (!error.empty()) return nullptr;
  lame_global_flags* gf = lame_init();
  if (!gf) {
    error = "LAME could not be initialised";
    return nullptr;
  }
  lame_set_in_samplerate(gf, s.frequency_hz);
  lame_set_out_samplerate(gf, s.frequency_hz);
  lame_set_num_channels(gf, s.channels);
  if (s.channels == 1) {
    lame_set_mode(gf, MONO);
  } else {
    switch (static_cast<StereoMode>(s.stereo_mode)) {
      case StereoMode::kSimple: lame_set_mode(gf, STEREO); break;
      case StereoMode::kJoint: lame_set_mode(gf, JOINT_STEREO); break;
      case StereoMode::kForcedJoint:
        lame_set_mode(gf, JOINT_STEREO);
        lame_set_force_ms(gf, 1);
        break;
      case StereoMode::kDualChannel: lame_set_mode(gf, DUAL_CHANNEL); break;
    }
  }
  lame_set_quality(gf, s.encoder_quality);

  // The maximum VBR rate is a ceiling: the settings object's default (192)
  // is above what the lower MPEG versions carry, so it is capped, not refused.
  const int top = highestBitrate(s.frequency_hz);
  switch (static_cast<VbrMethod>(s.vbr_method)) {
    case VbrMethod::kNone:
      lame_set_VBR(gf, vbr_off);
      lame_set_brate(gf, s.bitrate_kbps);
      break;
    case VbrMethod::kAbr:
      lame_set_VBR(gf, vbr_abr);
      lame_set_VBR_mean_bitrate_kbps(gf, s.abr_bitrate_kbps);
      break;
    case VbrMethod::kOld: lame_set_VBR(gf, vbr_rh); break;
    case VbrMethod::kDefault: lame_set_VBR(gf, vbr_default); break;
    case VbrMethod::kNew:
    case VbrMethod::kMtrh: lame_set_VBR(gf, vbr_mtrh); break;
  }
  if (s.vbr_method != static_cast<int16_t>(VbrMethod::kNone)) {
    if (s.vbr_method != static_cast<int16_t>(VbrMethod::kAbr)) lame_set_VBR_q(gf, s.vbr_quality);
    // The CBR rate is VBR's minimum, as in LAME's own vocabulary; for ABR
    // only when it lies below the average asked for.
    const bool abr = s.vbr_method == static_cast<int16_t>(VbrMethod::kAbr);
    if (s.bitrate_kbps > 0 && (!abr || s.bitrate_kbps <= s.abr_bitrate_kbps))
      lame_set_VBR_min_bitrate_kbps(gf, std::min<int>(s.bitrate_kbps, top));
    if (s.vbr_bitrate_kbps > 0) lame_set_VBR_max_bitrate_kbps(gf, std::min<int>(s.vbr_bitrate_kbps, top));
    lame_set_VBR_hard_min(gf, s.enforce_min_bitrate ? 1 : 0);
  }
  lame_set_bWriteVbrTag(gf, s.write_vbr_header ? 1 : 0);
  lame_set_error_protection(gf, s.error_protection ? 1 : 0);
  lame_set_disable_reservoir(gf, s.reservoir_off ? 1 : 0);
  lame_set_allow_diff_short(gf, s.block_type_control ? 1 : 0);
  if (s.short_blocks_off) lame_set_no_short_blocks(gf, 1);
  lame_set_strict_ISO(gf, s.strict_iso ? 1 : 0);
  if (s.lowpass_hz > 0) lame_set_lowpassfreq(gf, s.lowpass_hz);
  if (s.lowpass_width_hz > 0) lame_set_lowpasswidth(gf, s.lowpass_width_hz);
  if (s.highpass_hz > 0) lame_set_highpassfreq(gf, s.highpass_hz);
  if (s.highpass_width_hz > 0) lame_set_highpasswidth(gf, s.highpass_width_hz);
  switch (s.ath_mode) {
    case 1: lame_set_noATH(gf, 0); break;
    case 2: lame_set_noATH(gf, 1); break;
    case 3: lame_set_ATHshort(gf, 1); break;
    default: break;
  }
  lame_set_emphasis(gf, s.emphasis);
  lame_set_copyright(gf, s.copyright ? 1 : 0);
  lame_set_original(gf, s.original ? 1 : 0);
  // Tags are the tag component's job; the encoder writes none of its own.
  lame_set_write_id3tag_automatic(gf, 0);

  if (lame_init_params(gf) < 0) {
    lame_close(gf);
    error = "LAME refused these MP3 settings";
    return nullptr;
  }
  if (lame_get_out_samplerate(gf) != s.frequency_hz ||
      (s.vbr_method == static_cast<int16_t>(VbrMethod::kNone) && lame_get_brate(gf) != s.bitrate_kbps)) {
    lame_close(gf);
    error = "LAME would not write these MP3 settings as given";
    return nullptr;
  }
  return gf;
}

}  // namespace

Mp3Writer::~Mp3Writer() {
  std::string ignored;
  close(ignored);
}

std::string Mp3Writer::probe(const LameSettings& settings) {
  std::string error;
  if (lame_global_flags* gf = makeEncoder(settings, error)) lame_close(gf);
  return error;
}

bool Mp3Writer::open(const std::string& path, std::string& error) {
  std::string ignored;
  close(ignored);
  lame_ = makeEncoder(settings_, error);
  if (!lame_) return false;
  // Read access too: the VBR header is written back over the first frame.
  file_ = std::fopen(path.c_str(), "w+b");
  if (!file_) {
    lame_close(lame_);
    lame_ = nullptr;
    error = "cannot create " + path;
    return false;
  }
  return true;
}

bool Mp3Writer::write(const int16_t* samples, size_t frames, std::string& error) {
  if (!lame_) {
    error = "no MP3 file is open";
    return false;
  }
  // LAME takes at most INT_MAX samples a call; feed it in slices.
  constexpr size_t kSlice = 65536;
  while (frames > 0) {
    const size_t n = std::min(frames, kSlice);
    out_.resize(n * 5 / 4 + 7200);
    int bytes;
    if (settings_.channels == 2) {
      bytes = lame_encode_buffer_interleaved(lame_, const_cast<short*>(samples), static_cast<int>(n),
                                             out_.data(), static_cast<int>(out_.size()));
    } else {
      bytes = lame_encode_buffer(lame_, samples, nullptr, static_cast<int>(n), out_.data(),
                                 static_cast<int>(out_.size()));
    }
    if (bytes < 0 || std::fwrite(out_.data(), 1, static_cast<size_t>(bytes), file_) != static_cast<size_t>(bytes)) {
      error = bytes < 0 ? "LAME failed to encode" : "cannot write the MP3 file";
      return false;
    }
    samples += n * static_cast<size_t>(settings_.channels);
    frames -= n;
  }
  return true;
}

bool Mp3Writer::close(std::string& error) {
  if (!lame_) return true;
  bool ok = true;
  out_.resize(7200);
  const int bytes = lame_encode_flush(lame_, out_.data(), static_cast<int>(out_.size()));
  if (bytes < 0 || std::fwrite(out_.data(), 1, static_cast<size_t>(bytes), file_) != static_cast<size_t>(bytes)) {
    error = "cannot finish the MP3 file";
    ok = false;
  }
  if (ok && settings_.write_vbr_header) {
    // Rewrites the reserved first frame with the Xing/LAME header.
    std::fflush(file_);
    lame_mp3_tags_fid(lame_, file_);
  }
  if (std::fclose(file_) != 0 && ok) {
    error = "cannot finish the MP3 file";
    ok = false;
  }
  file_ = nullptr;
  lame_close(lame_);
  lame_ = nullptr;
  return ok;
}

}  // namespace wavesmith
