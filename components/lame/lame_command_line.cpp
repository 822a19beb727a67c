#include "components/lame/lame_command_line.h"

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "components/lame/lame_presets.h"

namespace lame {
namespace {

constexpr size_t kMaxTokens = 127;
// Beyond this a kHz value cannot fit 32 bits as Hz anyway; reading stops
// growing so that no text, however long, reaches infinity.
constexpr double kDecimalCeiling = 1e12;

std::vector<std::string_view> splitAtBlanks(std::string_view text) {
  std::vector<std::string_view> tokens;
  size_t start = 0;
  while (tokens.size() < kMaxTokens) {
    const size_t blank = text.find(' ', start);
    tokens.push_back(text.substr(start, blank == std::string_view::npos ? std::string_view::npos : blank - start));
    if (blank == std::string_view::npos) break;
    start = blank + 1;
  }
  return tokens;
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// Skips leading blanks and reads an optional sign; returns the position of
// the first digit.
size_t readSign(std::string_view text, bool* negative) {
  size_t i = 0;
  while (i < text.size() && isBlank(text[i])) ++i;
  *negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    *negative = text[i] == '-';
    ++i;
  }
  return i;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

int16_t readInt16(std::string_view text) {
  bool negative = false;
  uint32_t value = 0;  // wraps, as storing into a narrower field does
  for (size_t i = readSign(text, &negative); i < text.size() && isDigit(text[i]); ++i) {
    value = value * 10u + static_cast<uint32_t>(text[i] - '0');
  }
  if (negative) value = 0u - value;
  return static_cast<int16_t>(static_cast<uint16_t>(value & 0xFFFFu));
}

double readDecimal(std::string_view text) {
  bool negative = false;
  double value = 0;
  double scale = 0;  // 0 before the decimal point, then 0.1, 0.01, …
  for (size_t i = readSign(text, &negative); i < text.size(); ++i) {
    const char c = text[i];
    if (c == '.' && scale == 0) {
      scale = 0.1;
    } else if (isDigit(c)) {
      if (scale == 0) {
        if (value < kDecimalCeiling) value = value * 10 + (c - '0');
      } else {
        value += (c - '0') * scale;
        scale /= 10;
      }
    } else {
      break;
    }
  }
  return negative ? -value : value;
}

int32_t kiloToUnits(double kilo) {
  const double units = std::round(kilo * 1000.0);
  if (units >= static_cast<double>(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
  if (units <= static_cast<double>(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(units);
}

void applyCommandLine(LameRecord& r, std::string_view commandLine) {
  if (commandLine.empty()) return;
  const std::vector<std::string_view> tok = splitAtBlanks(commandLine);
  r = resetRecord();
  for (size_t i = 0; i < tok.size(); ++i) {
    const std::string_view t = tok[i];
    const bool hasArg = i + 1 < tok.size();
    const std::string_view arg = hasArg ? tok[i + 1] : std::string_view();
    if (t == "-b" || t == "-B" || t == "-m" || t == "--abr" || t == "--preset" || t == "--alt-preset" ||
        t == "-q" || t == "-v" || t == "--resample" || t == "-e") {
      if (!hasArg) continue;
      ++i;
      if (t == "-b") r.bitrate_kbps = readInt16(arg);
      if (t == "-B") r.vbr_bitrate_kbps = readInt16(arg);
      if (t == "--abr") {
        r.vbr_method = static_cast<int16_t>(VbrMethod::kAbr);
        r.abr_bitrate_kbps = readInt16(arg);
      }
      if (t == "-q") r.encoder_quality = readInt16(arg);
      if (t == "-v") r.vbr_quality = readInt16(arg);
      if (t == "-e") r.emphasis = readInt16(arg);
      if (t == "--resample") r.frequency_hz = kiloToUnits(readDecimal(arg));
      if (t == "-m") {
        if (arg == "m") r.channels = 1;
        constexpr std::string_view kModes = "sjfd";  // StereoMode 1 … 4
        if (arg.size() == 1 && kModes.find(arg[0]) != std::string_view::npos) {
          r.channels = 2;
          r.stereo_mode = static_cast<int16_t>(kModes.find(arg[0]) + 1);
        }
      }
      if (t == "--preset") {
        r.vbr_method = static_cast<int16_t>(VbrMethod::kDefault);
        if (const int n = presetNumber(arg, 1, 11); n != 0) applyPreset(r, n);
      }
      if (t == "--alt-preset") {
        r.vbr_method = static_cast<int16_t>(VbrMethod::kDefault);
        // Only the one-word names can arrive as one token.
        if (arg == "standard" || arg == "extreme" || arg == "insane") applyPreset(r, presetNumber(arg, 101, 105));
      }
      continue;
    }
    // Filters: the value is taken only when it reads as a positive number;
    // otherwise it stays a token of its own.
    int32_t* filter = t == "--lowpass"          ? &r.lowpass_hz
                      : t == "--lowpass-width"  ? &r.lowpass_width_hz
                      : t == "--highpass"       ? &r.highpass_hz
                      : t == "--highpass-width" ? &r.highpass_width_hz
                                                : nullptr;
    if (filter != nullptr) {
      *filter = 0;
      if (hasArg && readDecimal(arg) > 0) {
        *filter = kiloToUnits(readDecimal(arg));
        ++i;
      }
      continue;
    }
    if (t == "-f") {
      r.vbr_quality = 9;
      r.encoder_quality = 1;
    } else if (t == "-h") {
      r.vbr_quality = 0;
      r.encoder_quality = 3;
    } else if (t == "--r3mix") {
      applyPreset(r, 11);
    } else if (t == "-t") {
      r.write_vbr_header = 0;
    } else if (t == "--ath") {
      r.ath_mode = 1;
    } else if (t == "--noath") {
      r.ath_mode = 2;
    } else if (t == "--athshort") {
      r.ath_mode = 3;
    } else if (t == "-k") {
      r.lowpass_hz = -1;
      r.highpass_hz = -1;
    } else if (t == "-F") {
      r.enforce_min_bitrate = 1;
    } else if (t == "-p") {
      r.error_protection = 1;
    } else if (t == "--nores") {
      r.reservoir_off = 1;
    } else if (t == "-noshort") {
      r.short_blocks_off = 1;
    } else if (t == "--strictly-enforce-ISO") {
      r.strict_iso = 1;
    } else if (t == "-d") {
      r.block_type_control = 1;
    } else if (t == "-vbr") {
      r.vbr_method = static_cast<int16_t>(VbrMethod::kDefault);
    } else if (t == "--vbr-old") {
      r.vbr_method = static_cast<int16_t>(VbrMethod::kOld);
    } else if (t == "--vbr-new") {
      r.vbr_method = static_cast<int16_t>(VbrMethod::kNew);
    } else if (t == "--vbr-mtrh") {
      r.vbr_method = static_cast<int16_t>(VbrMethod::kMtrh);
    }
    // Everything else, the accepted-and-ignored switches ("--comp", "-s",
    // "--athlower", "-a", "-freeformat", "-c", "-o", "-cwlimit", "-x")
    // included, is skipped without taking an argument.
  }
}

}  // namespace lame
