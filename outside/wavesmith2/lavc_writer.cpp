#include "outside/wavesmith2/lavc_writer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cstring>

namespace wavesmith {

namespace {

std::string avError(int rc) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(rc, text, sizeof text);
  return text;
}

// Opens the encoder context for the target; null with `error` on refusal.
AVCodecContext* openEncoder(const LavcTarget& t, bool global_header, std::string& error) {
  const AVCodec* codec = avcodec_find_encoder_by_name(t.encoder.c_str());
  if (!codec) {
    error = "this system has no " + t.encoder + " encoder";
    return nullptr;
  }
  AVCodecContext* ctx = avcodec_alloc_context3(codec);
  if (!ctx) {
    error = "out of memory";
    return nullptr;
  }
  ctx->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
  ctx->sample_rate = t.layout.rate_hz;
  av_channel_layout_default(&ctx->ch_layout, t.layout.channels);
  ctx->bit_rate = t.bit_rate_bps;
  ctx->time_base = AVRational{1, t.layout.rate_hz};
  if (global_header) ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  // Quiet: refusals come back as our own messages.
  av_log_set_level(AV_LOG_QUIET);
  const int rc = avcodec_open2(ctx, codec, nullptr);
  if (rc < 0) {
    error = "the " + t.encoder + " encoder refuses " + std::to_string(t.layout.rate_hz) + " Hz, " +
            std::to_string(t.layout.channels) + " channels" +
            (t.bit_rate_bps ? ", " + std::to_string(t.bit_rate_bps / 1000) + " kbit/s" : std::string()) +
            " (" + avError(rc) + ")";
    avcodec_free_context(&ctx);
    return nullptr;
  }
  return ctx;
}

}  // namespace

struct LavcWriter::State {
  AVFormatContext* fmt = nullptr;
  AVCodecContext* enc = nullptr;
  AVStream* stream = nullptr;
  SwrContext* swr = nullptr;  // s16 interleaved → the encoder's sample format
  AVFrame* frame = nullptr;
  AVPacket* packet = nullptr;
  int frame_frames = 0;       // samples per channel the encoder takes a call
  bool variable_frames = false;
  int64_t next_pts = 0;
  bool header_written = false;

  ~State() {
    av_packet_free(&packet);
    av_frame_free(&frame);
    swr_free(&swr);
    avcodec_free_context(&enc);
    if (fmt) {
      if (fmt->pb) avio_closep(&fmt->pb);
      avformat_free_context(fmt);
    }
  }
};

LavcWriter::LavcWriter(LavcTarget target) : target_(std::move(target)) {}

LavcWriter::~LavcWriter() {
  std::string ignored;
  close(ignored);
}

std::string LavcWriter::probe(const LavcTarget& target) {
  std::string error;
  AVCodecContext* ctx = openEncoder(target, false, error);
  avcodec_free_context(&ctx);
  return error;
}

bool LavcWriter::open(const std::string& path, std::string& error) {
  std::string ignored;
  close(ignored);
  auto s = std::make_unique<State>();
  if (avformat_alloc_output_context2(&s->fmt, nullptr, target_.muxer.c_str(), path.c_str()) < 0 || !s->fmt) {
    error = "this system has no " + target_.muxer + " container writer";
    return false;
  }
  // No encoder-version strings in the headers: the same input gives the same file.
  s->fmt->flags |= AVFMT_FLAG_BITEXACT;
  s->enc = openEncoder(target_, (s->fmt->oformat->flags & AVFMT_GLOBALHEADER) != 0, error);
  if (!s->enc) return false;
  s->stream = avformat_new_stream(s->fmt, nullptr);
  if (!s->stream || avcodec_parameters_from_context(s->stream->codecpar, s->enc) < 0) {
    error = "cannot set up the " + target_.muxer + " stream";
    return false;
  }
  s->stream->time_base = s->enc->time_base;
  const int rc = avio_open(&s->fmt->pb, path.c_str(), AVIO_FLAG_WRITE);
  if (rc < 0) {
    error = "cannot create " + path + " (" + avError(rc) + ")";
    return false;
  }
  if (avformat_write_header(s->fmt, nullptr) < 0) {
    error = "cannot write the " + target_.muxer + " header";
    return false;
  }
  s->header_written = true;
  s->variable_frames = (s->enc->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) || s->enc->frame_size == 0;
  s->frame_frames = s->enc->frame_size > 0 ? s->enc->frame_size : 4096;
  AVChannelLayout in_layout;
  av_channel_layout_default(&in_layout, target_.layout.channels);
  const int swr_rc = swr_alloc_set_opts2(&s->swr, &s->enc->ch_layout, s->enc->sample_fmt, s->enc->sample_rate,
                                         &in_layout, AV_SAMPLE_FMT_S16, target_.layout.rate_hz, 0, nullptr);
  av_channel_layout_uninit(&in_layout);
  s->frame = av_frame_alloc();
  s->packet = av_packet_alloc();
  if (swr_rc < 0 || swr_init(s->swr) < 0 || !s->frame || !s->packet) {
    error = "cannot set up the sample converter";
    return false;
  }
  state_ = std::move(s);
  pending_.clear();
  return true;
}

bool LavcWriter::drainPackets(std::string& error) {
  State& s = *state_;
  for (;;) {
    const int rc = avcodec_receive_packet(s.enc, s.packet);
    if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
    if (rc < 0) {
      error = "the " + target_.encoder + " encoder failed (" + avError(rc) + ")";
      return false;
    }
    av_packet_rescale_ts(s.packet, s.enc->time_base, s.stream->time_base);
    s.packet->stream_index = s.stream->index;
    const int wrc = av_interleaved_write_frame(s.fmt, s.packet);
    av_packet_unref(s.packet);
    if (wrc < 0) {
      error = "cannot write the " + target_.muxer + " file (" + avError(wrc) + ")";
      return false;
    }
  }
}

bool LavcWriter::encodeFrame(const int16_t* samples, size_t frames, std::string& error) {
  State& s = *state_;
  av_frame_unref(s.frame);
  s.frame->format = s.enc->sample_fmt;
  s.frame->sample_rate = s.enc->sample_rate;
  s.frame->nb_samples = static_cast<int>(frames);
  if (av_channel_layout_copy(&s.frame->ch_layout, &s.enc->ch_layout) < 0 ||
      av_frame_get_buffer(s.frame, 0) < 0) {
    error = "out of memory";
    return false;
  }
  const auto* src = reinterpret_cast<const uint8_t*>(samples);
  if (swr_convert(s.swr, s.frame->data, static_cast<int>(frames), &src, static_cast<int>(frames)) !=
      static_cast<int>(frames)) {
    error = "the sample converter failed";
    return false;
  }
  s.frame->pts = s.next_pts;
  s.next_pts += static_cast<int64_t>(frames);
  const int rc = avcodec_send_frame(s.enc, s.frame);
  if (rc < 0) {
    error = "the " + target_.encoder + " encoder failed (" + avError(rc) + ")";
    return false;
  }
  return drainPackets(error);
}

bool LavcWriter::write(const int16_t* samples, size_t frames, std::string& error) {
  if (!state_) {
    error = "no file is open";
    return false;
  }
  const size_t channels = static_cast<size_t>(target_.layout.channels);
  pending_.insert(pending_.end(), samples, samples + frames * channels);
  const size_t per_frame = static_cast<size_t>(state_->frame_frames);
  size_t done = 0;
  bool ok = true;
  while (ok && (pending_.size() - done) / channels >= per_frame) {
    ok = encodeFrame(pending_.data() + done, per_frame, error);
    done += per_frame * channels;
  }
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<ptrdiff_t>(done));
  return ok;
}

bool LavcWriter::close(std::string& error) {
  if (!state_) return true;
  bool ok = true;
  const size_t channels = static_cast<size_t>(target_.layout.channels);
  if (!pending_.empty()) {
    const size_t left = pending_.size() / channels;
    // Fixed-frame encoders take only whole frames: the last one is padded
    // with silence (at most one frame, a few tens of milliseconds).
    const size_t per_frame = static_cast<size_t>(state_->frame_frames);
    const bool small_last = state_->variable_frames ||
                            (state_->enc->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME);
    if (!small_last) pending_.resize(per_frame * channels, 0);
    ok = encodeFrame(pending_.data(), small_last ? left : per_frame, error);
  }
  if (ok) {
    const int rc = avcodec_send_frame(state_->enc, nullptr);
    ok = rc >= 0 && drainPackets(error);
  }
  if (state_->header_written && av_write_trailer(state_->fmt) < 0 && ok) {
    error = "cannot finish the " + target_.muxer + " file";
    ok = false;
  }
  if (state_->fmt->pb && avio_closep(&state_->fmt->pb) < 0 && ok) {
    error = "cannot finish the " + target_.muxer + " file";
    ok = false;
  }
  state_.reset();
  pending_.clear();
  return ok;
}

}  // namespace wavesmith
