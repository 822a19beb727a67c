// FFmpeg's `ebur128` filter as the independent measure of loudness the
// ReplayGain tests compare with.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace test_support {

// The integrated loudness in LUFS of `inputAndFilter` ("-i 'file.wav' -af
// ebur128", or a filter graph of several inputs ending in ebur128), read
// from the summary FFmpeg prints; none when FFmpeg gave no summary.
inline std::optional<double> FfmpegLoudness(const std::string& inputAndFilter) {
  const std::string command = "ffmpeg -nostdin -hide_banner -nostats " + inputAndFilter + " -f null - 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return std::nullopt;
  std::string out;
  char buffer[4096];
  while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
  pclose(pipe);
  const size_t summary = out.rfind("Summary:");
  if (summary == std::string::npos) return std::nullopt;
  // "  Integrated loudness:\n    I:         -16.2 LUFS"
  const size_t label = out.find("I:", summary);
  if (label == std::string::npos) return std::nullopt;
  const char* start = out.c_str() + label + 2;
  char* end = nullptr;
  const double lufs = std::strtod(start, &end);
  if (end == start || std::string_view(end).substr(0, 5) != " LUFS") return std::nullopt;
  return lufs;
}

// "0.988525": a linear peak as the tags write it, six decimals.
inline bool IsPeakText(const std::string& text) {
  if (text.size() != 8 || text[1] != '.' || text[0] < '0' || text[0] > '9') return false;
  for (size_t i = 2; i < text.size(); ++i)
    if (text[i] < '0' || text[i] > '9') return false;
  return true;
}

}  // namespace test_support
