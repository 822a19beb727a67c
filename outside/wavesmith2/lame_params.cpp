#include "outside/wavesmith2/lame_params.h"

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace wavesmith {
namespace {

struct PresetRow {
  int number;
  const char* name;
  int32_t frequency_hz;
  int16_t channels, stereo_mode, bitrate_kbps, encoder_quality, vbr_method, vbr_bitrate_kbps, vbr_quality;
  int32_t lowpass_hz, lowpass_width_hz, highpass_hz, highpass_width_hz;
};

constexpr PresetRow kPresets[] = {
    {1, "phone", 8000, 1, 1, 8, 5, 0, 56, 6, 3200, 1000, -1, 0},
    {2, "sw", 11025, 1, 1, 8, 5, 0, 64, 5, 4800, 500, -1, 0},
    {3, "am", 16000, 1, 1, 24, 5, 0, 160, 5, 7200, 500, -1, 0},
    {4, "fm", 22050, 2, 2, 16, 5, 0, 128, 5, 9950, 880, -1, 0},
    {5, "voice", 32000, 1, 2, 32, 5, 0, 128, 5, 12300, 2000, -1, 0},
    {6, "radio", 44100, 2, 2, 64, 5, 0, 256, 4, 15000, 0, -1, 0},
    {7, "tape", 44100, 2, 2, 96, 5, 0, 320, 4, 18500, 2000, -1, 0},
    {8, "hifi", 44100, 2, 2, 112, 2, 0, 320, 3, 20240, 2200, -1, 0},
    {9, "cd", 44100, 2, 1, 128, 2, 0, 320, 2, -1, 0, -1, 0},
    {10, "studio", 44100, 2, 1, 160, 2, 0, 320, 0, -1, 0, -1, 0},
    {11, "r3mix", 44100, 2, 2, 96, 2, 3, 320, 1, 19500, 0, -1, 0},
    {101, "fast standard", 44100, 2, 2, 128, 2, 2, 320, 1, 19000, 0, -1, 0},
    {102, "standard", 44100, 2, 2, 128, 2, 1, 320, 1, 19000, 0, -1, 0},
    {103, "fast extreme", 44100, 2, 2, 128, 2, 2, 320, 1, 19500, 0, -1, 0},
    {104, "extreme", 44100, 2, 2, 128, 2, 1, 320, 1, 19500, 0, -1, 0},
    {105, "insane", 44100, 2, 2, 320, 2, 1, 320, 1, 20500, 0, -1, 0},
};
constexpr int kVoicePreset = 5;
constexpr size_t kMaxTokens = 127;

// The usual decimal conversions: leading blanks, optional sign, digits;
// text that is no number gives 0.
int16_t toInt16(const std::string& t) { return static_cast<int16_t>(std::atoi(t.c_str())); }
double toNumber(const std::string& t) { return std::atof(t.c_str()); }
int32_t kiloToUnits(double kilo) { return static_cast<int32_t>(std::lround(kilo * 1000.0)); }

std::vector<std::string> splitAtBlanks(std::string_view text) {
  std::vector<std::string> tokens;
  size_t start = 0;
  while (tokens.size() < kMaxTokens) {
    size_t blank = text.find(' ', start);
    tokens.emplace_back(text.substr(start, blank == std::string_view::npos ? text.npos : blank - start));
    if (blank == std::string_view::npos) break;
    start = blank + 1;
  }
  return tokens;
}

}  // namespace

LameSettings resetLameSettings() {
  LameSettings s;
  s.vbr_bitrate_kbps = 128;
  return s;
}

void applyLamePreset(LameSettings& s, int preset) {
  for (const PresetRow& row : kPresets) {
    if (row.number != preset) continue;
    s.frequency_hz = row.frequency_hz;
    s.channels = row.channels;
    s.stereo_mode = row.stereo_mode;
    s.bitrate_kbps = row.bitrate_kbps;
    s.encoder_quality = row.encoder_quality;
    s.vbr_method = row.vbr_method;
    s.vbr_bitrate_kbps = row.vbr_bitrate_kbps;
    s.vbr_quality = row.vbr_quality;
    s.lowpass_hz = row.lowpass_hz;
    s.lowpass_width_hz = row.lowpass_width_hz;
    s.highpass_hz = row.highpass_hz;
    s.highpass_width_hz = row.highpass_width_hz;
    if (preset == kVoicePreset) s.short_blocks_off = 1;
    return;
  }
  s = resetLameSettings();
}

void applyLameCommandLine(LameSettings& s, std::string_view commandLine) {
  if (commandLine.empty()) return;
  const std::vector<std::string> tok = splitAtBlanks(commandLine);
  s = resetLameSettings();
  const auto presetByName = [&](const std::string& name, int first, int last) {
    for (const PresetRow& row : kPresets) {
      if (row.number >= first && row.number <= last && name == row.name) applyLamePreset(s, row.number);
    }
  };
  for (size_t i = 0; i < tok.size(); ++i) {
    const std::string& t = tok[i];
    const bool hasArg = i + 1 < tok.size();
    const std::string arg = hasArg ? tok[i + 1] : std::string();
    // Options with an argument are ignored when it is missing.
    if (t == "-b" || t == "-B" || t == "-m" || t == "--abr" || t == "--preset" || t == "--alt-preset" ||
        t == "-q" || t == "-v" || t == "--resample" || t == "-e") {
      if (!hasArg) continue;
      ++i;
      if (t == "-b") s.bitrate_kbps = toInt16(arg);
      if (t == "-B") s.vbr_bitrate_kbps = toInt16(arg);
      if (t == "--abr") {
        s.vbr_method = static_cast<int16_t>(VbrMethod::kAbr);
        s.abr_bitrate_kbps = toInt16(arg);
      }
      if (t == "-q") s.encoder_quality = toInt16(arg);
      if (t == "-v") s.vbr_quality = toInt16(arg);
      if (t == "-e") s.emphasis = toInt16(arg);
      if (t == "--resample") s.frequency_hz = kiloToUnits(toNumber(arg));
      if (t == "-m") {
        if (arg == "m") s.channels = 1;
        const char* modes = "sjfd";  // StereoMode 1 … 4
        for (int m = 0; m < 4; ++m) {
          if (arg.size() == 1 && arg[0] == modes[m]) {
            s.channels = 2;
            s.stereo_mode = static_cast<int16_t>(m + 1);
          }
        }
      }
      if (t == "--preset") {
        s.vbr_method = static_cast<int16_t>(VbrMethod::kDefault);
        presetByName(arg, 1, 11);
      }
      if (t == "--alt-preset") {
        s.vbr_method = static_cast<int16_t>(VbrMethod::kDefault);
        if (arg == "standard" || arg == "extreme" || arg == "insane") presetByName(arg, 101, 105);
      }
      continue;
    }
    // Filters: the value is taken only when it reads as a positive number.
    int32_t* filter = t == "--lowpass"          ? &s.lowpass_hz
                      : t == "--lowpass-width"  ? &s.lowpass_width_hz
                      : t == "--highpass"       ? &s.highpass_hz
                      : t == "--highpass-width" ? &s.highpass_width_hz
                                                : nullptr;
    if (filter != nullptr) {
      *filter = 0;
      if (hasArg && toNumber(arg) > 0) {
        *filter = kiloToUnits(toNumber(arg));
        ++i;
      }
      continue;
    }
    if (t == "-f") {
      s.vbr_quality = 9;
      s.encoder_quality = 1;
    } else if (t == "-h") {
      s.vbr_quality = 0;
      s.encoder_quality = 3;
    } else if (t == "--r3mix") {
      applyLamePreset(s, 11);
    } else if (t == "-t") {
      s.write_vbr_header = 0;
    } else if (t == "--ath") {
      s.ath_mode = 1;
    } else if (t == "--noath") {
      s.ath_mode = 2;
    } else if (t == "--athshort") {
      s.ath_mode = 3;
    } else if (t == "-k") {
      s.lowpass_hz = -1;
      s.highpass_hz = -1;
    } else if (t == "-F") {
      s.enforce_min_bitrate = 1;
    } else if (t == "-p") {
      s.error_protection = 1;
    } else if (t == "--nores") {
      s.reservoir_off = 1;
    } else if (t == "-noshort") {
      s.short_blocks_off = 1;
    } else if (t == "--strictly-enforce-ISO") {
      s.strict_iso = 1;
    } else if (t == "-d") {
      s.block_type_control = 1;
    } else if (t == "-vbr") {
      s.vbr_method = static_cast<int16_t>(VbrMethod::kDefault);
    } else if (t == "--vbr-old") {
      s.vbr_method = static_cast<int16_t>(VbrMethod::kOld);
    } else if (t == "--vbr-new") {
      s.vbr_method = static_cast<int16_t>(VbrMethod::kNew);
    } else if (t == "--vbr-mtrh") {
      s.vbr_method = static_cast<int16_t>(VbrMethod::kMtrh);
    }
    // Everything else, the accepted-and-ignored switches included, is skipped.
  }
}

}  // namespace wavesmith
