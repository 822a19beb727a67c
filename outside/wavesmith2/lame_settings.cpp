#include "outside/wavesmith2/lame_settings.h"

#include <iterator>

namespace wavesmith {

namespace {
// ISO 11172-3 / 13818-3 bit-rate tables of Layer III (free format left out).
constexpr int kMpeg1[] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
constexpr int kMpeg2[] = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
constexpr int kMpeg25[] = {8, 16, 24, 32, 40, 48, 56, 64};
}  // namespace

const int* mp3BitratesFor(int rate_hz, int* count) {
  switch (rate_hz) {
    case 32000: case 44100: case 48000:
      *count = static_cast<int>(std::size(kMpeg1));
      return kMpeg1;
    case 16000: case 22050: case 24000:
      *count = static_cast<int>(std::size(kMpeg2));
      return kMpeg2;
    case 8000: case 11025: case 12000:
      *count = static_cast<int>(std::size(kMpeg25));
      return kMpeg25;
    default:
      *count = 0;
      return nullptr;
  }
}

bool mp3RateValid(int rate_hz) {
  int n = 0;
  return mp3BitratesFor(rate_hz, &n) != nullptr;
}

bool mp3BitrateValid(int rate_hz, int bitrate_kbps) {
  int n = 0;
  const int* rates = mp3BitratesFor(rate_hz, &n);
  for (int i = 0; i < n; ++i)
    if (rates[i] == bitrate_kbps) return true;
  return false;
}

std::string checkLameSettings(const LameSettings& s) {
  const std::string rate = std::to_string(s.frequency_hz) + " Hz";
  if (!mp3RateValid(s.frequency_hz)) return "MP3 cannot be written at " + rate;
  if (s.channels != 1 && s.channels != 2) return "MP3 takes 1 or 2 channels, not " + std::to_string(s.channels);
  const auto method = static_cast<VbrMethod>(s.vbr_method);
  if (method < VbrMethod::kNone || method > VbrMethod::kAbr)
    return "unknown VBR method " + std::to_string(s.vbr_method);
  if (method == VbrMethod::kNone && !mp3BitrateValid(s.frequency_hz, s.bitrate_kbps))
    return "MP3 bit rate " + std::to_string(s.bitrate_kbps) + " kbit/s is not valid at " + rate;
  if (method != VbrMethod::kNone && method != VbrMethod::kAbr && s.bitrate_kbps != 0 &&
      !mp3BitrateValid(s.frequency_hz, s.bitrate_kbps))
    return "MP3 minimum bit rate " + std::to_string(s.bitrate_kbps) + " kbit/s is not valid at " + rate;
  if (method == VbrMethod::kAbr && (s.abr_bitrate_kbps < 8 || s.abr_bitrate_kbps > 320))
    return "MP3 average bit rate " + std::to_string(s.abr_bitrate_kbps) + " kbit/s is out of range";
  if (s.encoder_quality < 0 || s.encoder_quality > 9) return "MP3 encoder quality must be 0 to 9";
  if (method != VbrMethod::kNone && (s.vbr_quality < 0 || s.vbr_quality > 9))
    return "MP3 VBR quality must be 0 to 9";
  if (s.stereo_mode < 1 || s.stereo_mode > 4) return "unknown stereo mode " + std::to_string(s.stereo_mode);
  if (s.emphasis < 0 || s.emphasis > 3 || s.emphasis == 2)
    return "MP3 emphasis must be 0 (none), 1 (50/15 us) or 3 (CCITT J.17)";
  if (s.ath_mode < 0 || s.ath_mode > 3) return "unknown ATH mode " + std::to_string(s.ath_mode);
  return {};
}

}  // namespace wavesmith
