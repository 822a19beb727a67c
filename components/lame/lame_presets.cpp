#include "components/lame/lame_presets.h"

namespace lame {
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
constexpr int kVoicePreset = 5;  // also turns short blocks off

}  // namespace

void applyPreset(LameRecord& r, int preset) {
  for (const PresetRow& row : kPresets) {
    if (row.number != preset) continue;
    r.frequency_hz = row.frequency_hz;
    r.channels = row.channels;
    r.stereo_mode = row.stereo_mode;
    r.bitrate_kbps = row.bitrate_kbps;
    r.encoder_quality = row.encoder_quality;
    r.vbr_method = row.vbr_method;
    r.vbr_bitrate_kbps = row.vbr_bitrate_kbps;
    r.vbr_quality = row.vbr_quality;
    r.lowpass_hz = row.lowpass_hz;
    r.lowpass_width_hz = row.lowpass_width_hz;
    r.highpass_hz = row.highpass_hz;
    r.highpass_width_hz = row.highpass_width_hz;
    if (preset == kVoicePreset) r.short_blocks_off = 1;
    return;
  }
  r = resetRecord();
}

int presetNumber(std::string_view name, int first, int last) {
  for (const PresetRow& row : kPresets) {
    if (row.number >= first && row.number <= last && name == row.name) return row.number;
  }
  return 0;
}

}  // namespace lame
