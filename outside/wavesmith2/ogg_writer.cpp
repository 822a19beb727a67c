#include "outside/wavesmith2/ogg_writer.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>

namespace wavesmith {

namespace {

long kbps(int value) { return value > 0 ? static_cast<long>(value) * 1000 : -1; }

// Sets up `vi` for the settings; false with `error` when libvorbisenc refuses.
bool setup(vorbis_info* vi, const OggSettings& s, std::string& error) {
  const PcmLayout& l = s.layout;
  if (l.channels < 1 || l.channels > 2) {
    error = "OGG Vorbis is written with 1 or 2 channels";
    return false;
  }
  int rc;
  if (s.quality != -1) {
    if (s.quality < -100 || s.quality > 1000) {
      error = "OGG quality must be -100 to 1000";
      return false;
    }
    rc = vorbis_encode_setup_vbr(vi, l.channels, l.rate_hz, static_cast<float>(s.quality) / 1000.0f);
  } else {
    if (s.nominal_kbps <= 0 && s.min_kbps <= 0 && s.max_kbps <= 0) {
      error = "OGG bit-rate mode needs a nominal, minimum or maximum bit rate";
      return false;
    }
    // libvorbisenc takes crossed limits without complaint and then ignores
    // them; they are refused here so a file never misses its rates.
    const bool crossed = (s.min_kbps > 0 && s.max_kbps > 0 && s.min_kbps > s.max_kbps) ||
                         (s.nominal_kbps > 0 && s.min_kbps > s.nominal_kbps) ||
                         (s.nominal_kbps > 0 && s.max_kbps > 0 && s.max_kbps < s.nominal_kbps);
    if (crossed) {
      error = "OGG bit rates must keep minimum <= nominal <= maximum";
      return false;
    }
    rc = vorbis_encode_setup_managed(vi, l.channels, l.rate_hz, kbps(s.max_kbps), kbps(s.nominal_kbps),
                                     kbps(s.min_kbps));
  }
  if (rc == 0) rc = vorbis_encode_setup_init(vi);
  if (rc != 0) {
    error = "libvorbis cannot encode " + std::to_string(l.rate_hz) + " Hz, " + std::to_string(l.channels) +
            " channels with " +
            (s.quality != -1 ? "quality " + std::to_string(s.quality)
                             : "bit rates " + std::to_string(s.nominal_kbps) + "/" + std::to_string(s.min_kbps) +
                                   "/" + std::to_string(s.max_kbps) + " kbit/s");
    return false;
  }
  return true;
}

}  // namespace

struct OggWriter::State {
  FILE* file = nullptr;
  vorbis_info vi;
  vorbis_comment vc;
  vorbis_dsp_state vd;
  vorbis_block vb;
  ogg_stream_state os;
  bool dsp = false;
  bool stream = false;

  State() {
    vorbis_info_init(&vi);
    vorbis_comment_init(&vc);
  }
  ~State() {
    if (stream) ogg_stream_clear(&os);
    if (dsp) {
      vorbis_block_clear(&vb);
      vorbis_dsp_clear(&vd);
    }
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    if (file) std::fclose(file);
  }
};

OggWriter::OggWriter(const OggSettings& settings) : settings_(settings) {}

OggWriter::~OggWriter() {
  std::string ignored;
  close(ignored);
}

std::string OggWriter::probe(const OggSettings& settings) {
  vorbis_info vi;
  vorbis_info_init(&vi);
  std::string error;
  setup(&vi, settings, error);
  vorbis_info_clear(&vi);
  return error;
}

bool OggWriter::flushPages(bool force, std::string& error) {
  State& s = *state_;
  ogg_page page;
  while (force ? ogg_stream_flush(&s.os, &page) : ogg_stream_pageout(&s.os, &page)) {
    if (std::fwrite(page.header, 1, static_cast<size_t>(page.header_len), s.file) != static_cast<size_t>(page.header_len) ||
        std::fwrite(page.body, 1, static_cast<size_t>(page.body_len), s.file) != static_cast<size_t>(page.body_len)) {
      error = "cannot write the OGG file";
      return false;
    }
  }
  return true;
}

bool OggWriter::open(const std::string& path, std::string& error) {
  std::string ignored;
  close(ignored);
  auto s = std::make_unique<State>();
  if (!setup(&s->vi, settings_, error)) return false;
  s->file = std::fopen(path.c_str(), "wb");
  if (!s->file) {
    error = "cannot create " + path;
    return false;
  }
  vorbis_analysis_init(&s->vd, &s->vi);
  vorbis_block_init(&s->vd, &s->vb);
  s->dsp = true;
  ogg_stream_init(&s->os, serial_++);
  s->stream = true;
  ogg_packet ident, comments, codebooks;
  vorbis_analysis_headerout(&s->vd, &s->vc, &ident, &comments, &codebooks);
  ogg_stream_packetin(&s->os, &ident);
  ogg_stream_packetin(&s->os, &comments);
  ogg_stream_packetin(&s->os, &codebooks);
  state_ = std::move(s);
  // The headers end on a page of their own, as the format asks.
  if (!flushPages(true, error)) {
    state_.reset();
    return false;
  }
  return true;
}

bool OggWriter::analyse(std::string& error) {
  State& s = *state_;
  while (vorbis_analysis_blockout(&s.vd, &s.vb) == 1) {
    vorbis_analysis(&s.vb, nullptr);
    vorbis_bitrate_addblock(&s.vb);
    ogg_packet packet;
    while (vorbis_bitrate_flushpacket(&s.vd, &packet)) {
      ogg_stream_packetin(&s.os, &packet);
      if (!flushPages(false, error)) return false;
    }
  }
  return true;
}

bool OggWriter::write(const int16_t* samples, size_t frames, std::string& error) {
  if (!state_) {
    error = "no OGG file is open";
    return false;
  }
  const int channels = settings_.layout.channels;
  constexpr size_t kSlice = 4096;
  while (frames > 0) {
    const size_t n = std::min(frames, kSlice);
    float** buffer = vorbis_analysis_buffer(&state_->vd, static_cast<int>(n));
    for (size_t i = 0; i < n; ++i)
      for (int c = 0; c < channels; ++c) buffer[c][i] = samples[i * channels + c] / 32768.0f;
    vorbis_analysis_wrote(&state_->vd, static_cast<int>(n));
    if (!analyse(error)) return false;
    samples += n * static_cast<size_t>(channels);
    frames -= n;
  }
  return true;
}

bool OggWriter::close(std::string& error) {
  if (!state_) return true;
  vorbis_analysis_wrote(&state_->vd, 0);  // end of stream
  bool ok = analyse(error) && flushPages(true, error);
  if (std::fclose(state_->file) != 0 && ok) {
    error = "cannot finish the OGG file";
    ok = false;
  }
  state_->file = nullptr;
  state_.reset();
  return ok;
}

}  // namespace wavesmith
