#include "outside/wavesmith2/pcm_converter.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace wavesmith {

PcmConverter::~PcmConverter() { swr_free(&swr_); }

bool PcmConverter::configure(PcmLayout in, PcmLayout out, std::string& error) {
  swr_free(&swr_);
  configured_ = false;
  if (in.channels < 1 || in.channels > 8 || out.channels < 1 || out.channels > 8 ||
      in.rate_hz < 1000 || in.rate_hz > 384000 || out.rate_hz < 1000 || out.rate_hz > 384000) {
    error = "unsupported PCM layout: " + std::to_string(in.rate_hz) + " Hz, " +
            std::to_string(in.channels) + " channels";
    return false;
  }
  in_ = in;
  out_ = out;
  if (in == out) {
    configured_ = true;
    return true;
  }
  AVChannelLayout in_layout, out_layout;
  av_channel_layout_default(&in_layout, in.channels);
  av_channel_layout_default(&out_layout, out.channels);
  int rc = swr_alloc_set_opts2(&swr_, &out_layout, AV_SAMPLE_FMT_S16, out.rate_hz, &in_layout,
                               AV_SAMPLE_FMT_S16, in.rate_hz, 0, nullptr);
  av_channel_layout_uninit(&in_layout);
  av_channel_layout_uninit(&out_layout);
  if (rc < 0 || swr_init(swr_) < 0) {
    swr_free(&swr_);
    error = "the resampler refused the layout";
    return false;
  }
  configured_ = true;
  return true;
}

bool PcmConverter::convert(const int16_t* in, size_t in_frames, std::vector<int16_t>& out) {
  if (!configured_) return false;
  if (!swr_) {
    out.insert(out.end(), in, in + in_frames * in_.channels);
    return true;
  }
  int room = swr_get_out_samples(swr_, static_cast<int>(in_frames));
  if (room < 0) return false;
  size_t base = out.size();
  out.resize(base + static_cast<size_t>(room) * out_.channels);
  auto* dst = reinterpret_cast<uint8_t*>(out.data() + base);
  const auto* src = reinterpret_cast<const uint8_t*>(in);
  int got = swr_convert(swr_, &dst, room, in_frames ? &src : nullptr, static_cast<int>(in_frames));
  if (got < 0) {
    out.resize(base);
    return false;
  }
  out.resize(base + static_cast<size_t>(got) * out_.channels);
  return true;
}

bool PcmConverter::drain(std::vector<int16_t>& out) {
  if (!swr_) return configured_;
  return convert(nullptr, 0, out);
}

}  // namespace wavesmith
