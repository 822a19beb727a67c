#include "ripmarrow/deemphasis.h"

#include <algorithm>

#include <cstring>
#include <filesystem>

#include "ripmarrow/wave_reader.h"

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libavutil/samplefmt.h>
}

namespace ripmarrow {

namespace {

constexpr int kRate = 44100;
constexpr int kChannels = 2;
// Sample frames handed to the filter at a time.
constexpr size_t kFrameSamples = 4096;
// Samples read from the rip's WAV at a time: ten seconds.
constexpr size_t kPieceSamples = 10 * kRate * kChannels;

std::string avError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

}  // namespace

// abuffer -> aemphasis -> aformat (back to 16-bit stereo 44.1 kHz) ->
// abuffersink; the graph inserts the sample format conversions the filter
// needs.
class Deemphasis::Graph {
 public:
  Graph() : graph_(avfilter_graph_alloc()) {}
  ~Graph() { avfilter_graph_free(&graph_); }
  Graph(const Graph&) = delete;
  Graph& operator=(const Graph&) = delete;

  std::string build() {
    if (graph_ == nullptr) return "out of memory";
    const AVFilter* emphasis = avfilter_get_by_name("aemphasis");
    if (emphasis == nullptr) return "this FFmpeg has no aemphasis filter";
    AVFilterContext* filter = nullptr;
    AVFilterContext* format = nullptr;
    int rc = avfilter_graph_create_filter(
        &source_, avfilter_get_by_name("abuffer"), "in",
        "time_base=1/44100:sample_rate=44100:sample_fmt=s16:channel_layout=stereo", nullptr,
        graph_);
    if (rc >= 0)
      rc = avfilter_graph_create_filter(&filter, emphasis, "emphasis", "mode=reproduction:type=cd",
                                        nullptr, graph_);
    if (rc >= 0) {
      rc = avfilter_graph_create_filter(&format, avfilter_get_by_name("aformat"), "format",
                                        "sample_fmts=s16:sample_rates=44100:channel_layouts=stereo",
                                        nullptr, graph_);
    }
    if (rc >= 0)
      rc = avfilter_graph_create_filter(&sink_, avfilter_get_by_name("abuffersink"), "out", nullptr,
                                        nullptr, graph_);
    if (rc >= 0) rc = avfilter_link(source_, 0, filter, 0);
    if (rc >= 0) rc = avfilter_link(filter, 0, format, 0);
    if (rc >= 0) rc = avfilter_link(format, 0, sink_, 0);
    if (rc >= 0) rc = avfilter_graph_config(graph_, nullptr);
    return rc < 0 ? "the de-emphasis filter could not be set up: " + avError(rc) : std::string();
  }

  // Feeds `frames` sample frames (nullptr, 0: the end) and collects what the
  // filter gives back into `result`.
  std::string feed(const int16_t* samples, size_t frames, std::vector<int16_t>& result) {
    int rc = 0;
    if (samples != nullptr) {
      AVFrame* frame = av_frame_alloc();
      if (frame == nullptr) return "out of memory";
      frame->format = AV_SAMPLE_FMT_S16;
      frame->sample_rate = kRate;
      frame->nb_samples = static_cast<int>(frames);
      frame->pts = pts_;
      pts_ += static_cast<int64_t>(frames);
      av_channel_layout_default(&frame->ch_layout, kChannels);
      rc = av_frame_get_buffer(frame, 0);
      if (rc >= 0) {
        std::memcpy(frame->data[0], samples, frames * kChannels * sizeof(int16_t));
        rc = av_buffersrc_add_frame(source_, frame);
      }
      av_frame_free(&frame);
    } else {
      rc = av_buffersrc_add_frame(source_, nullptr);
    }
    if (rc < 0) return "the de-emphasis filter refused the audio: " + avError(rc);
    AVFrame* out = av_frame_alloc();
    if (out == nullptr) return "out of memory";
    while ((rc = av_buffersink_get_frame(sink_, out)) >= 0) {
      const auto* data = reinterpret_cast<const int16_t*>(out->data[0]);
      result.insert(result.end(), data, data + static_cast<size_t>(out->nb_samples) * kChannels);
      av_frame_unref(out);
    }
    av_frame_free(&out);
    return rc == AVERROR(EAGAIN) || rc == AVERROR_EOF
               ? std::string()
               : "the de-emphasis filter failed: " + avError(rc);
  }

 private:
  AVFilterGraph* graph_;
  AVFilterContext* source_ = nullptr;
  AVFilterContext* sink_ = nullptr;
  int64_t pts_ = 0;
};

Deemphasis::Deemphasis() = default;
Deemphasis::~Deemphasis() = default;

std::string Deemphasis::start() {
  graph_ = std::make_unique<Graph>();
  return graph_->build();
}

std::string Deemphasis::filter(const int16_t* samples, size_t count, std::vector<int16_t>& result) {
  if (!graph_) return "the de-emphasis filter is not set up";
  const size_t frames = count / kChannels;
  for (size_t at = 0; at < frames; at += kFrameSamples) {
    const size_t n = std::min(kFrameSamples, frames - at);
    if (std::string failure = graph_->feed(samples + at * kChannels, n, result); !failure.empty())
      return failure;
  }
  return {};
}

std::string Deemphasis::finish(std::vector<int16_t>& result) {
  if (!graph_) return "the de-emphasis filter is not set up";
  return graph_->feed(nullptr, 0, result);
}

std::string Deemphasis::apply(const std::vector<int16_t>& samples, std::vector<int16_t>& result) {
  result.clear();
  result.reserve(samples.size());
  Deemphasis deemphasis;
  std::string failure = deemphasis.start();
  if (failure.empty()) failure = deemphasis.filter(samples.data(), samples.size(), result);
  if (failure.empty()) failure = deemphasis.finish(result);
  if (failure.empty() && result.size() != samples.size() / kChannels * kChannels) {
    failure = "the de-emphasis filter gave " + std::to_string(result.size()) + " samples for " +
              std::to_string(samples.size());
  }
  return failure;
}

std::string Deemphasis::writeFiltered(IAudioCDRipper2* engine, const std::string& wavePath,
                                      const std::string& path) {
  WaveReader reader;
  if (!reader.open(wavePath)) return "the rip's WAV could not be read back";
  Deemphasis deemphasis;
  if (std::string failure = deemphasis.start(); !failure.empty()) return failure;
  CodecOutput output(engine);  // removes the file unless finished
  if (std::string failure = output.create(path); !failure.empty()) return failure;
  std::vector<int16_t> samples(kPieceSamples);
  std::vector<int16_t> filtered;
  uint64_t samplesIn = 0;
  uint64_t samplesOut = 0;
  for (;;) {
    const size_t count = reader.read(samples.data(), samples.size());
    filtered.clear();
    std::string failure = count > 0 ? deemphasis.filter(samples.data(), count, filtered)
                                    : deemphasis.finish(filtered);
    if (failure.empty()) failure = output.write(filtered.data(), filtered.size());
    if (!failure.empty()) return failure;
    samplesIn += count;
    samplesOut += filtered.size();
    if (count == 0) break;
  }
  if (samplesOut != samplesIn) {
    return "the de-emphasis filter gave " + std::to_string(samplesOut) + " samples for " +
           std::to_string(samplesIn);
  }
  return output.finish();
}

bool Deemphasis::ripTrack(IAudioCDRipper2* engine, const RipInto& rip, RipCommand::Format format,
                          long flacLevel, long track, const std::string& path, std::ostream& out,
                          const client::EncoderSettings* encoders) {
  const TemporaryWave wave(std::filesystem::path(path).parent_path().string());
  if (wave.path().empty()) {
    out << "  FAILED: no room for the de-emphasis's intermediate WAV beside " << path << "\n";
    return false;
  }
  std::error_code ec;
  engine->put_trackNum(track);
  if (!rip([engine](BSTR file) { return engine->RipTrackToWav(file); }, wave.path(), false)) {
    // Nothing reached the file the caller reserved.
    if (std::filesystem::file_size(path, ec) == 0) std::filesystem::remove(path, ec);
    return false;
  }
  std::string failure = CodecOutput::setFormat(engine, format, flacLevel, encoders);
  if (failure.empty()) failure = writeFiltered(engine, wave.path(), path);
  if (!failure.empty()) {
    out << "  FAILED: " << failure << "\n";
    return false;
  }
  out << "  written de-emphasised: " << path << " (" << std::filesystem::file_size(path, ec)
      << " bytes)\n";
  return true;
}

}  // namespace ripmarrow
