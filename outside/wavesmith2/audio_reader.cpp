#include "outside/wavesmith2/audio_reader.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <limits>

namespace wavesmith {

namespace {

// Only the containers and codecs this component reads; anything else is
// refused before a decoder ever sees it.
constexpr const char* kFormats = "mp3,wav,asf,ogg,flac";

bool codecAllowed(AVCodecID id) {
  switch (id) {
    case AV_CODEC_ID_MP1: case AV_CODEC_ID_MP2: case AV_CODEC_ID_MP3:
    case AV_CODEC_ID_PCM_S16LE: case AV_CODEC_ID_PCM_U8: case AV_CODEC_ID_PCM_S24LE:
    case AV_CODEC_ID_PCM_S32LE: case AV_CODEC_ID_PCM_F32LE: case AV_CODEC_ID_PCM_F64LE:
    case AV_CODEC_ID_PCM_ALAW: case AV_CODEC_ID_PCM_MULAW:
    case AV_CODEC_ID_ADPCM_MS: case AV_CODEC_ID_ADPCM_IMA_WAV:
    case AV_CODEC_ID_WMAV1: case AV_CODEC_ID_WMAV2: case AV_CODEC_ID_WMAPRO: case AV_CODEC_ID_WMALOSSLESS:
    case AV_CODEC_ID_WMAVOICE:
    case AV_CODEC_ID_VORBIS:
    case AV_CODEC_ID_FLAC:
      return true;
    default:
      return false;
  }
}

// No real file of these formats yields more than this many sample frames per
// byte (8 kbit/s MPEG-2.5 at 12 kHz gives 12; PCM gives at most 1) ...
constexpr int64_t kMaxFramesPerByte = 64;
// ... except FLAC, whose silence is a constant per channel: a frame of up to
// 65535 sample frames in a dozen bytes or so.
constexpr int64_t kMaxFlacFramesPerByte = 8192;
// Packets in a row that give no audio before the reader gives up.
constexpr int kMaxBarrenPackets = 2000;

}  // namespace

struct AudioReader::State {
  AVFormatContext* fmt = nullptr;
  AVCodecContext* dec = nullptr;
  SwrContext* swr = nullptr;
  AVPacket* packet = nullptr;
  AVFrame* frame = nullptr;
  int stream = -1;
  bool demux_done = false;  // no more packets
  bool decode_done = false; // decoder drained
  int64_t frames_out = 0;
  int64_t max_frames_out = 0;

  ~State() {
    av_frame_free(&frame);
    av_packet_free(&packet);
    swr_free(&swr);
    avcodec_free_context(&dec);
    avformat_close_input(&fmt);
  }
};

AudioReader::AudioReader() = default;
AudioReader::~AudioReader() = default;

void AudioReader::close() {
  state_.reset();
  layout_ = {0, 0};
  length_frames_ = 0;
  format_name_.clear();
  buffered_.clear();
  buffered_pos_ = 0;
}

int64_t AudioReader::durationMs() const {
  return layout_.rate_hz > 0 ? length_frames_ * 1000 / layout_.rate_hz : 0;
}

bool AudioReader::open(const std::string& path, std::string& error, PcmLayout requested) {
  close();
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    error = "cannot open " + path;
    return false;
  }
  if (st.st_size == 0) {
    error = path + " is empty";
    return false;
  }
  av_log_set_level(AV_LOG_QUIET);
  auto s = std::make_unique<State>();
  s->fmt = avformat_alloc_context();
  if (!s->fmt) {
    error = "out of memory";
    return false;
  }
  s->fmt->format_whitelist = av_strdup(kFormats);
  s->fmt->protocol_whitelist = av_strdup("file");
  if (avformat_open_input(&s->fmt, path.c_str(), nullptr, nullptr) < 0) {
    error = path + " is not an MP3, MP2, WAV, WMA, OGG or FLAC file";
    return false;  // avformat_open_input freed the context
  }
  if (avformat_find_stream_info(s->fmt, nullptr) < 0) {
    error = path + " holds no readable stream";
    return false;
  }
  const AVCodec* codec = nullptr;
  s->stream = av_find_best_stream(s->fmt, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
  if (s->stream < 0 || !codec) {
    error = path + " holds no audio";
    return false;
  }
  AVStream* st_audio = s->fmt->streams[s->stream];
  if (!codecAllowed(st_audio->codecpar->codec_id)) {
    error = path + " holds audio in a codec this component does not read";
    return false;
  }
  s->dec = avcodec_alloc_context3(codec);
  if (!s->dec || avcodec_parameters_to_context(s->dec, st_audio->codecpar) < 0 ||
      avcodec_open2(s->dec, codec, nullptr) < 0) {
    error = path + ": the audio decoder cannot be opened";
    return false;
  }
  const int channels = s->dec->ch_layout.nb_channels;
  const int rate = s->dec->sample_rate;
  if (channels < 1 || channels > 8 || rate < 1000 || rate > 384000) {
    error = path + " has an impossible audio layout";
    return false;
  }
  PcmLayout out{rate, channels};
  if (requested.rate_hz > 0) out.rate_hz = requested.rate_hz;
  if (requested.channels > 0) out.channels = requested.channels;
  if (out.channels > 8 || out.rate_hz < 1000 || out.rate_hz > 384000) {
    error = "cannot deliver the requested layout";
    return false;
  }
  AVChannelLayout out_layout;
  av_channel_layout_default(&out_layout, out.channels);
  AVChannelLayout in_layout;
  if (s->dec->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
    av_channel_layout_default(&in_layout, channels);
  else
    av_channel_layout_copy(&in_layout, &s->dec->ch_layout);
  const int rc = swr_alloc_set_opts2(&s->swr, &out_layout, AV_SAMPLE_FMT_S16, out.rate_hz, &in_layout,
                                     s->dec->sample_fmt, rate, 0, nullptr);
  av_channel_layout_uninit(&out_layout);
  av_channel_layout_uninit(&in_layout);
  s->packet = av_packet_alloc();
  s->frame = av_frame_alloc();
  if (rc < 0 || swr_init(s->swr) < 0 || !s->packet || !s->frame) {
    error = "cannot set up the sample converter";
    return false;
  }

  // Length from the container, in the delivered rate.
  double seconds = 0;
  if (st_audio->duration > 0 && st_audio->duration != AV_NOPTS_VALUE)
    seconds = static_cast<double>(st_audio->duration) * av_q2d(st_audio->time_base);
  else if (s->fmt->duration > 0)
    seconds = static_cast<double>(s->fmt->duration) / AV_TIME_BASE;
  // Audio before the stream's start time is decoder delay the decoder
  // skips (MP3 with a LAME header), so it is not part of the length.
  if (st_audio->start_time > 0 && st_audio->start_time != AV_NOPTS_VALUE)
    seconds = std::max(0.0, seconds - static_cast<double>(st_audio->start_time) * av_q2d(st_audio->time_base));
  // A header can claim more audio than the file holds: PCM cannot hold more
  // frames than bytes.
  const bool pcm = st_audio->codecpar->block_align > 0 &&
                   avcodec_get_type(st_audio->codecpar->codec_id) == AVMEDIA_TYPE_AUDIO &&
                   av_get_bits_per_sample(st_audio->codecpar->codec_id) > 0;
  if (pcm) {
    const double most = static_cast<double>(st.st_size) / st_audio->codecpar->block_align / rate;
    seconds = std::min(seconds, most);
  }
  const double frames = seconds * out.rate_hz;
  length_frames_ = static_cast<int64_t>(std::clamp(frames + 0.5, 0.0, static_cast<double>(std::numeric_limits<int32_t>::max())));
  const int64_t per_byte =
      st_audio->codecpar->codec_id == AV_CODEC_ID_FLAC ? kMaxFlacFramesPerByte : kMaxFramesPerByte;
  s->max_frames_out =
      static_cast<int64_t>(st.st_size) * per_byte * std::max(1, out.rate_hz / std::max(1, rate)) + out.rate_hz;

  layout_ = out;
  format_name_ = s->fmt->iformat->name;
  state_ = std::move(s);
  // Decode the first audio now: a file that has none fails here, not later.
  if (!fill(error) || buffered_.empty()) {
    if (error.empty()) error = path + " holds no decodable audio";
    close();
    return false;
  }
  return true;
}

bool AudioReader::fill(std::string& error) {
  State& s = *state_;
  int barren = 0;
  while (buffered_.size() == buffered_pos_ && !s.decode_done) {
    int rc = avcodec_receive_frame(s.dec, s.frame);
    if (rc == 0) {
      const int room = swr_get_out_samples(s.swr, s.frame->nb_samples);
      if (room < 0) return false;
      // Every sample is overwritten below; the buffer keeps its capacity.
      buffered_.resize(static_cast<size_t>(room) * layout_.channels);
      buffered_pos_ = 0;
      auto* dst = reinterpret_cast<uint8_t*>(buffered_.data());
      const int got = swr_convert(s.swr, &dst, room, const_cast<const uint8_t**>(s.frame->extended_data),
                                  s.frame->nb_samples);
      av_frame_unref(s.frame);
      buffered_.resize(got > 0 ? static_cast<size_t>(got) * layout_.channels : 0);
      s.frames_out += std::max(got, 0);
      if (s.frames_out > s.max_frames_out) {
        // More audio than the file can hold: it is lying; stop here.
        s.decode_done = true;
        buffered_.clear();
        return true;
      }
      if (buffered_.empty() && ++barren > kMaxBarrenPackets) s.decode_done = true;
      continue;
    }
    if (rc == AVERROR_EOF) {
      // What the resampler still holds.
      std::vector<int16_t> tail(static_cast<size_t>(std::max(0, swr_get_out_samples(s.swr, 0))) * layout_.channels);
      auto* dst = reinterpret_cast<uint8_t*>(tail.data());
      const int got = tail.empty() ? 0 : swr_convert(s.swr, &dst, static_cast<int>(tail.size() / layout_.channels), nullptr, 0);
      tail.resize(got > 0 ? static_cast<size_t>(got) * layout_.channels : 0);
      buffered_ = std::move(tail);
      buffered_pos_ = 0;
      s.decode_done = true;
      continue;
    }
    if (rc != AVERROR(EAGAIN)) {
      // A damaged frame is skipped; a long run of them ends the stream.
      if (++barren > kMaxBarrenPackets) s.decode_done = true;
      continue;
    }
    if (s.demux_done) {
      s.decode_done = true;
      continue;
    }
    rc = av_read_frame(s.fmt, s.packet);
    if (rc < 0) {
      s.demux_done = true;
      avcodec_send_packet(s.dec, nullptr);
      continue;
    }
    if (s.packet->stream_index == s.stream) {
      // A packet the decoder rejects is skipped, as players do with a
      // damaged frame; a long run of them ends the stream.
      if (avcodec_send_packet(s.dec, s.packet) < 0 && ++barren > kMaxBarrenPackets) s.decode_done = true;
    } else if (++barren > kMaxBarrenPackets) {
      s.decode_done = true;
    }
    av_packet_unref(s.packet);
  }
  (void)error;
  return true;
}

size_t AudioReader::read(int16_t* out, size_t capacity) {
  if (!state_ || layout_.channels <= 0) return 0;
  const size_t channels = static_cast<size_t>(layout_.channels);
  // Whole frames: the buffer only ever holds whole frames, so every copy
  // below is whole frames too.
  const size_t want = capacity / channels * channels;
  size_t got = 0;
  std::string ignored;
  while (got < want) {
    if (buffered_pos_ == buffered_.size()) {
      if (!fill(ignored) || buffered_pos_ == buffered_.size()) break;
    }
    const size_t n = std::min(want - got, buffered_.size() - buffered_pos_);
    std::memcpy(out + got, buffered_.data() + buffered_pos_, n * sizeof(int16_t));
    buffered_pos_ += n;
    got += n;
  }
  return got;
}

std::vector<int16_t> AudioReader::read(size_t max_samples) {
  std::vector<int16_t> out;
  if (!state_ || layout_.channels <= 0) return out;
  const size_t channels = static_cast<size_t>(layout_.channels);
  const size_t want = std::max<size_t>(max_samples / channels, 1) * channels;
  // Grown a step at a time, so a huge request near the end of a file does
  // not allocate for samples that never come.
  const size_t step = (size_t{1} << 20) / channels * channels;
  while (out.size() < want) {
    const size_t base = out.size();
    const size_t asked = std::min(want - base, step);
    out.resize(base + asked);
    const size_t got = read(out.data() + base, asked);
    out.resize(base + got);
    if (got < asked) break;
  }
  return out;
}

}  // namespace wavesmith
