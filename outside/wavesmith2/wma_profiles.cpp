#include "outside/wavesmith2/wma_profiles.h"

#include <algorithm>
#include <array>
#include <map>
#include <mutex>

namespace wavesmith {

namespace {

constexpr WmaMode C = WmaMode::kCbr;
constexpr WmaMode Q = WmaMode::kVbrQuality;
constexpr WmaMode L = WmaMode::kLossless;

// The "WMA9" standard codec writes the version 2 bitstream, so every profile
// here maps to FFmpeg's wmav2; none asks for version 1.
constexpr std::array<WmaProfile, kWmaProfileCount> kProfiles = {{
    {1, "WMA9 48KHz, 192Kbps, Stereo, CBR", 48000, 2, 192, C, 0, 2},
    {2, "WMA9 48KHz, 160Kbps, Stereo, CBR", 48000, 2, 160, C, 0, 2},
    {3, "WMA9 48KHz, 128Kbps, Stereo, CBR", 48000, 2, 128, C, 0, 2},
    {4, "WMA9 48KHz, 96Kbps, Stereo, CBR", 48000, 2, 96, C, 0, 2},
    {5, "WMA9 48KHz, 64Kbps, Stereo, CBR", 48000, 2, 64, C, 0, 2},
    {6, "WMA9 44KHz, 320Kbps, Stereo, CBR", 44100, 2, 320, C, 0, 2},
    {7, "WMA9 44KHz, 256Kbps, Stereo, CBR", 44100, 2, 256, C, 0, 2},
    {8, "WMA9 44KHz, 192Kbps, Stereo, CBR", 44100, 2, 192, C, 0, 2},
    {9, "WMA9 44KHz, 160Kbps, Stereo, CBR", 44100, 2, 160, C, 0, 2},
    {10, "WMA9 44KHz, 128Kbps, Stereo, CBR", 44100, 2, 128, C, 0, 2},
    {11, "WMA9 44KHz, 96Kbps, Stereo, CBR", 44100, 2, 96, C, 0, 2},
    {12, "WMA9 44KHz, 80Kbps, Stereo, CBR", 44100, 2, 80, C, 0, 2},
    {13, "WMA9 44KHz, 64Kbps, Stereo, CBR", 44100, 2, 64, C, 0, 2},
    {14, "WMA9 44KHz, 48Kbps, Stereo, CBR", 44100, 2, 48, C, 0, 2},
    {15, "WMA9 44KHz, 32Kbps, Stereo, CBR", 44100, 2, 32, C, 0, 2},
    {16, "WMA9 44KHz, 48Kbps, Mono, CBR", 44100, 1, 48, C, 0, 2},
    {17, "WMA9 44KHz, 32Kbps, Mono, CBR", 44100, 1, 32, C, 0, 2},
    {18, "WMA9 44KHz, 20Kbps, Mono, CBR", 44100, 1, 20, C, 0, 2},
    {19, "WMA9 32KHz, 48Kbps, Stereo, CBR", 32000, 2, 48, C, 0, 2},
    {20, "WMA9 32KHz, 40Kbps, Stereo, CBR", 32000, 2, 40, C, 0, 2},
    {21, "WMA9 32KHz, 32Kbps, Stereo, CBR", 32000, 2, 32, C, 0, 2},
    {22, "WMA9 32KHz, 20Kbps, Mono, CBR", 32000, 1, 20, C, 0, 2},
    {23, "WMA9 32KHz, 32Kbps, Stereo, CBR", 32000, 2, 32, C, 0, 2},
    {24, "WMA9 32KHz, 22Kbps, Stereo, CBR", 32000, 2, 22, C, 0, 2},
    {25, "WMA9 22KHz, 20Kbps, Stereo, CBR", 22050, 2, 20, C, 0, 2},
    {26, "WMA9 22KHz, 20Kbps, Mono, CBR", 22050, 1, 20, C, 0, 2},
    {27, "WMA9 22KHz, 16Kbps, Mono, CBR", 22050, 1, 16, C, 0, 2},
    {28, "WMA9 16KHz, 20Kbps, Stereo, CBR", 16000, 2, 20, C, 0, 2},
    {29, "WMA9 16KHz, 16Kbps, Stereo, CBR", 16000, 2, 16, C, 0, 2},
    {30, "WMA9 16KHz, 16Kbps, Mono, CBR", 16000, 1, 16, C, 0, 2},
    {31, "WMA9 16KHz, 12Kbps, Mono, CBR", 16000, 1, 12, C, 0, 2},
    {32, "WMA9 16KHz, 10Kbps, Mono, CBR", 16000, 1, 10, C, 0, 2},
    {33, "WMA9 11KHz, 10Kbps, Mono, CBR", 11025, 1, 10, C, 0, 2},
    {34, "WMA9 11KHz, 8Kbps, Mono, CBR", 11025, 1, 8, C, 0, 2},
    {35, "WMA9 8KHz,  12Kbps, Stereo, CBR", 8000, 2, 12, C, 0, 2},
    {36, "WMA9 8KHz,  8Kbps, Mono, CBR", 8000, 1, 8, C, 0, 2},
    {37, "WMA9 8KHz,  6Kbps, Mono, CBR", 8000, 1, 6, C, 0, 2},
    {38, "WMA9 8KHz,  5Kbps, Mono, CBR", 8000, 1, 5, C, 0, 2},
    {39, "WMA9 48KHz, Stereo, VBR Quality 98", 48000, 2, 0, Q, 98, 2},
    {40, "WMA9 48KHz, Stereo, VBR Quality 90", 48000, 2, 0, Q, 90, 2},
    {41, "WMA9 44KHz, Stereo, VBR Quality 98", 44100, 2, 0, Q, 98, 2},
    {42, "WMA9 44KHz, Stereo, VBR Quality 90", 44100, 2, 0, Q, 90, 2},
    {43, "WMA9 44KHz, Stereo, VBR Quality 75", 44100, 2, 0, Q, 75, 2},
    {44, "WMA9 44KHz, Stereo, VBR Quality 50", 44100, 2, 0, Q, 50, 2},
    {45, "WMA9 44KHz, Stereo, VBR Quality 25", 44100, 2, 0, Q, 25, 2},
    {46, "WMA9 44KHz, Stereo, VBR Quality 10", 44100, 2, 0, Q, 10, 2},
    {47, "WMA9 44KHz, Stereo, Lossless", 44100, 2, 0, L, 0, 2},
}};

}  // namespace

const WmaProfile* wmaProfile(int number) {
  if (number < 1 || number > kWmaProfileCount) return nullptr;
  return &kProfiles[static_cast<size_t>(number - 1)];
}

int wmaQualityKbps(int quality) {
  if (quality >= 98) return 320;
  if (quality >= 90) return 192;
  if (quality >= 75) return 128;
  if (quality >= 50) return 96;
  if (quality >= 25) return 64;
  return 48;
}

bool wmaTarget(int number, LavcTarget& target, std::string& made, std::string& error) {
  made.clear();
  const WmaProfile* p = wmaProfile(number);
  if (!p) {
    error = "WMA profile " + std::to_string(number) + " does not exist (1 to 47)";
    return false;
  }
  int kbps = p->bitrate_kbps;
  switch (p->mode) {
    case WmaMode::kVbrQuality: kbps = wmaQualityKbps(p->quality); break;
    case WmaMode::kLossless: kbps = kWmaTopKbps; break;
    case WmaMode::kCbr: kbps = std::clamp(kbps, kWmaFloorKbps, kWmaTopKbps); break;
  }
  target = LavcTarget{p->wma_version == 1 ? "wmav1" : "wmav2", "asf", {p->rate_hz, p->channels},
                      static_cast<int64_t>(kbps) * 1000};
  if (p->mode != WmaMode::kCbr || kbps != p->bitrate_kbps) {
    made = "WMA " + std::to_string(p->rate_hz) + " Hz, " + std::to_string(kbps) + " kbit/s CBR, " +
           (p->channels == 1 ? "mono" : "stereo");
  }
  // The encoder's answer for a profile never changes; ask once.
  static std::mutex lock;
  static std::map<int, std::string> refusals;  // guarded by `lock`
  std::string refusal;
  {
    std::lock_guard<std::mutex> guard(lock);
    auto it = refusals.find(number);
    if (it == refusals.end()) it = refusals.emplace(number, LavcWriter::probe(target)).first;
    refusal = it->second;
  }
  if (!refusal.empty()) {
    error = "WMA profile " + std::to_string(number) + " (" + p->name + ") cannot be produced: " + refusal;
    return false;
  }
  return true;
}

}  // namespace wavesmith
