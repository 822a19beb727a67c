#include "outside/wavesmith2/flac_writer.h"

#include <FLAC/metadata.h>
#include <FLAC/stream_encoder.h>

extern "C" {
#include <libavutil/md5.h>
#include <libavutil/mem.h>

// libFLAC exports this beside its public calls but declares it only in its
// private headers; its own flac tool declares it the same way for
// --no-md5-sum.
FLAC_API FLAC__bool FLAC__stream_encoder_set_do_md5(FLAC__StreamEncoder* encoder, FLAC__bool value);
}

#include <algorithm>
#include <bit>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace wavesmith {

namespace {

constexpr unsigned kBitsPerSample = 16;
constexpr unsigned kPaddingBytes = 8192;  // room for tags, so tagging does not rewrite the file
// Where STREAMINFO's MD5 signature lies: after "fLaC", the block's header
// and the block's sizes, rate, channels, bits and length (2+2+3+3+8 bytes).
// libFLAC writes STREAMINFO first, always.
constexpr long kMd5Offset = 4 + 4 + 18;
constexpr size_t kMd5Bytes = 16;
// A caller held back at a full queue goes on when this many slices are left.
constexpr size_t kResumeSlices = FlacWriter::kQueuedBlocks / 2;

std::string layoutRefusal(PcmLayout l) {
  if (l.channels < 1 || l.channels > 8) return "FLAC is written with 1 to 8 channels";
  if (l.rate_hz < 1 || l.rate_hz > static_cast<int>(FLAC__MAX_SAMPLE_RATE))
    return "FLAC cannot be written at " + std::to_string(l.rate_hz) + " Hz";
  return {};
}

// Sets the level and layout on a new encoder; false when libFLAC refuses one.
// The MD5 signature is the writer's to sum, not libFLAC's.
bool configure(FLAC__StreamEncoder* encoder, const FlacSettings& s) {
  return FLAC__stream_encoder_set_verify(encoder, true) && FLAC__stream_encoder_set_do_md5(encoder, false) &&
         FLAC__stream_encoder_set_channels(encoder, static_cast<uint32_t>(s.layout.channels)) &&
         FLAC__stream_encoder_set_bits_per_sample(encoder, kBitsPerSample) &&
         FLAC__stream_encoder_set_sample_rate(encoder, static_cast<uint32_t>(s.layout.rate_hz)) &&
         FLAC__stream_encoder_set_compression_level(encoder, static_cast<uint32_t>(s.level));
}

FLAC__StreamEncoderWriteStatus discard(const FLAC__StreamEncoder*, const FLAC__byte[], size_t, uint32_t, uint32_t,
                                       void*) {
  return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
}

}  // namespace

struct FlacWriter::State {
  // One encoded frame: where it starts, in samples and in bytes after the
  // first frame, as the seek table counts them.
  struct Frame {
    uint64_t first_sample;
    uint64_t offset;
    uint32_t samples;
  };
  // One queued slice: `frames` sample frames, a channel after another, each
  // channel kSliceFrames apart, as libFLAC takes them.
  struct Slice {
    std::vector<int32_t> lanes;
    uint32_t frames = 0;
  };

  explicit State(int channels_) : channels(static_cast<size_t>(channels_)) {}

  // Set up by open() and start() before the encoder's thread runs.
  FILE* file = nullptr;
  FLAC__StreamEncoder* encoder = nullptr;
  AVMD5* md5 = nullptr;  // the signature of the samples written so far (caller's thread)
  std::vector<int16_t> little_endian;  // scratch for the signature on a big-endian machine
  FLAC__StreamMetadata* seek_table = nullptr;
  FLAC__StreamMetadata* padding = nullptr;
  size_t channels;
  bool started = false;
  bool failed = false;  // the encoder could not start: the file is not whole (caller's thread)

  // The encoder's thread's between start() and the join; anyone's after.
  bool write_failed = false;
  uint64_t position = 0;      // file offset of the next write
  uint64_t audio_offset = 0;  // file offset of the first frame
  bool audio_seen = false;
  uint64_t samples_framed = 0;
  std::vector<Frame> frames;

  std::thread worker;
  std::mutex lock;
  std::condition_variable changed;
  std::deque<Slice> queue;                 // guarded by lock
  std::vector<std::vector<int32_t>> spare;  // guarded by lock: emptied slices, reused
  bool ending = false;                     // guarded by lock: no more slices will come
  bool worker_failed = false;              // guarded by lock
  std::string worker_error;                // guarded by lock

  ~State() {
    stopWorker();
    if (encoder) FLAC__stream_encoder_delete(encoder);
    if (seek_table) FLAC__metadata_object_delete(seek_table);
    if (padding) FLAC__metadata_object_delete(padding);
    av_free(md5);
    if (file) std::fclose(file);
  }

  // Adds `count` samples to the signature as FLAC sums them: each sample's
  // two bytes, low byte first, in the order they arrive.
  void sum(const int16_t* samples, size_t count) {
    if constexpr (std::endian::native == std::endian::big) {
      little_endian.resize(count);
      for (size_t i = 0; i < count; ++i) {
        const auto u = static_cast<uint16_t>(samples[i]);
        little_endian[i] = static_cast<int16_t>(static_cast<uint16_t>(u << 8 | u >> 8));
      }
      samples = little_endian.data();
    }
    av_md5_update(md5, reinterpret_cast<const uint8_t*>(samples), count * sizeof(int16_t));
  }

  // Lets the encoder's thread finish what is queued and waits for it.
  void stopWorker() {
    if (!worker.joinable()) return;
    {
      std::lock_guard<std::mutex> guard(lock);
      ending = true;
    }
    changed.notify_all();
    worker.join();
  }

  // The encoder's thread: encodes slices in order until the writer ends.
  // After a failure it still takes the slices (and drops them), so a
  // waiting caller always gets on to see the failure.
  void run() {
    bool ok = true;
    for (;;) {
      Slice slice;
      bool wake_caller = false;
      {
        std::unique_lock<std::mutex> guard(lock);
        changed.wait(guard, [this] { return !queue.empty() || ending; });
        if (queue.empty()) return;
        slice = std::move(queue.front());
        queue.pop_front();
        wake_caller = queue.size() == kResumeSlices;
      }
      if (wake_caller) changed.notify_all();
      if (ok) {
        const FLAC__int32* lanes[8];
        for (size_t c = 0; c < channels; ++c) lanes[c] = slice.lanes.data() + c * kSliceFrames;
        ok = FLAC__stream_encoder_process(encoder, lanes, slice.frames);
        if (!ok) {
          const std::string error = write_failed ? "cannot write the FLAC file"
                                                 : std::string("libFLAC failed: ") +
                                                       FLAC__stream_encoder_get_resolved_state_string(encoder);
          {
            std::lock_guard<std::mutex> guard(lock);
            worker_failed = true;
            worker_error = error;
          }
          changed.notify_all();
        }
      }
      std::lock_guard<std::mutex> guard(lock);
      spare.push_back(std::move(slice.lanes));
    }
  }

  static FLAC__StreamEncoderWriteStatus onWrite(const FLAC__StreamEncoder*, const FLAC__byte buffer[], size_t bytes,
                                                uint32_t samples, uint32_t, void* data) {
    State& s = *static_cast<State*>(data);
    if (samples > 0) {  // one whole frame
      if (!s.audio_seen) {
        s.audio_offset = s.position;
        s.audio_seen = true;
      }
      s.frames.push_back({s.samples_framed, s.position - s.audio_offset, samples});
      s.samples_framed += samples;
    }
    if (std::fwrite(buffer, 1, bytes, s.file) != bytes) {
      s.write_failed = true;
      return FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
    }
    s.position += bytes;
    return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
  }

  static FLAC__StreamEncoderSeekStatus onSeek(const FLAC__StreamEncoder*, FLAC__uint64 offset, void* data) {
    State& s = *static_cast<State*>(data);
    if (fseeko(s.file, static_cast<off_t>(offset), SEEK_SET) != 0) return FLAC__STREAM_ENCODER_SEEK_STATUS_ERROR;
    s.position = offset;
    return FLAC__STREAM_ENCODER_SEEK_STATUS_OK;
  }

  static FLAC__StreamEncoderTellStatus onTell(const FLAC__StreamEncoder*, FLAC__uint64* offset, void* data) {
    *offset = static_cast<State*>(data)->position;
    return FLAC__STREAM_ENCODER_TELL_STATUS_OK;
  }
};

FlacWriter::FlacWriter(const FlacSettings& settings) : settings_(settings) {}

FlacWriter::~FlacWriter() {
  std::string ignored;
  close(ignored);
}

std::string FlacWriter::probe(const FlacSettings& settings) {
  if (settings.level < 0 || settings.level > 8)
    return "FLAC compression levels are 0 to 8, not " + std::to_string(settings.level);
  std::string refusal = layoutRefusal(settings.layout);
  if (!refusal.empty()) return refusal;
  FLAC__StreamEncoder* encoder = FLAC__stream_encoder_new();
  if (!encoder) return "libFLAC could not be initialised";
  if (!configure(encoder, settings)) {
    refusal = "libFLAC refuses these settings";
  } else {
    const FLAC__StreamEncoderInitStatus status =
        FLAC__stream_encoder_init_stream(encoder, discard, nullptr, nullptr, nullptr, nullptr);
    if (status != FLAC__STREAM_ENCODER_INIT_STATUS_OK)
      refusal = std::string("libFLAC refuses these settings: ") + FLAC__StreamEncoderInitStatusString[status];
    FLAC__stream_encoder_finish(encoder);
  }
  FLAC__stream_encoder_delete(encoder);
  return refusal;
}

bool FlacWriter::adoptLayout(PcmLayout layout) {
  if ((state_ && state_->started) || !layoutRefusal(layout).empty()) return false;
  settings_.layout = layout;
  return true;
}

bool FlacWriter::open(const std::string& path, std::string& error) {
  std::string ignored;
  close(ignored);
  auto s = std::make_unique<State>(settings_.layout.channels);
  s->file = std::fopen(path.c_str(), "wb");
  if (!s->file) {
    error = "cannot create " + path;
    return false;
  }
  std::setvbuf(s->file, nullptr, _IOFBF, 1 << 16);
  state_ = std::move(s);
  return true;
}

bool FlacWriter::start(std::string& error) {
  State& s = *state_;
  s.started = true;
  s.channels = static_cast<size_t>(settings_.layout.channels);
  error = layoutRefusal(settings_.layout);
  if (!error.empty()) return false;
  s.encoder = FLAC__stream_encoder_new();
  s.seek_table = FLAC__metadata_object_new(FLAC__METADATA_TYPE_SEEKTABLE);
  s.padding = FLAC__metadata_object_new(FLAC__METADATA_TYPE_PADDING);
  s.md5 = av_md5_alloc();
  if (s.md5) av_md5_init(s.md5);
  if (!s.encoder || !s.seek_table || !s.padding || !s.md5 ||
      !FLAC__metadata_object_seektable_template_append_placeholders(s.seek_table, kSeekPoints)) {
    error = "out of memory";
    return false;
  }
  s.padding->length = kPaddingBytes;
  FLAC__StreamMetadata* blocks[] = {s.seek_table, s.padding};
  if (!configure(s.encoder, settings_) || !FLAC__stream_encoder_set_metadata(s.encoder, blocks, 2)) {
    error = "libFLAC refuses these settings";
    return false;
  }
  const FLAC__StreamEncoderInitStatus status =
      FLAC__stream_encoder_init_stream(s.encoder, State::onWrite, State::onSeek, State::onTell, nullptr, &s);
  if (status != FLAC__STREAM_ENCODER_INIT_STATUS_OK) {
    error = s.write_failed ? "cannot write the FLAC file"
                           : std::string("libFLAC cannot start: ") + FLAC__StreamEncoderInitStatusString[status];
    return false;
  }
  s.worker = std::thread([&s] { s.run(); });
  return true;
}

bool FlacWriter::write(const int16_t* samples, size_t frames, std::string& error) {
  if (!state_) {
    error = "no FLAC file is open";
    return false;
  }
  if (!state_->started && !start(error)) {
    state_->failed = true;
    return false;
  }
  if (state_->failed) {
    error = "the FLAC encoder has stopped";
    return false;
  }
  State& s = *state_;
  const size_t channels = s.channels;
  while (frames > 0) {
    const size_t n = std::min(frames, kSliceFrames);
    std::vector<int32_t> lanes;
    {
      std::unique_lock<std::mutex> guard(s.lock);
      // A full queue holds the caller back until half of it is encoded: one
      // wake-up for several slices rather than one for each.
      if (s.queue.size() >= kQueuedBlocks)
        s.changed.wait(guard, [&s] { return s.queue.size() <= kResumeSlices || s.worker_failed; });
      if (s.worker_failed) {
        error = s.worker_error;
        return false;
      }
      if (!s.spare.empty()) {
        lanes = std::move(s.spare.back());
        s.spare.pop_back();
      }
    }
    // Widened and split by channel here, while the encoder works on the
    // slices before this one.
    lanes.resize(channels * kSliceFrames);
    if (channels == 2) {
      int32_t* left = lanes.data();
      int32_t* right = left + kSliceFrames;
      for (size_t i = 0; i < n; ++i) {
        left[i] = samples[2 * i];
        right[i] = samples[2 * i + 1];
      }
    } else {
      for (size_t i = 0; i < n; ++i)
        for (size_t c = 0; c < channels; ++c) lanes[c * kSliceFrames + i] = samples[i * channels + c];
    }
    s.sum(samples, n * channels);
    bool wake_worker = false;
    {
      std::lock_guard<std::mutex> guard(s.lock);
      wake_worker = s.queue.empty();  // the encoder's thread waits only on an empty queue
      s.queue.push_back({std::move(lanes), static_cast<uint32_t>(n)});
    }
    if (wake_worker) s.changed.notify_all();
    samples += n * channels;
    frames -= n;
  }
  return true;
}

void FlacWriter::fillSeekTable() {
  State& s = *state_;
  FLAC__StreamMetadata_SeekTable& table = s.seek_table->data.seek_table;
  uint64_t spacing = static_cast<uint64_t>(kSeekSpacingSeconds) * static_cast<uint64_t>(settings_.layout.rate_hz);
  spacing = std::max(spacing, (s.samples_framed + kSeekPoints - 1) / kSeekPoints);
  uint32_t used = 0;
  auto frame = s.frames.begin();
  for (uint64_t target = 0; target < s.samples_framed && used < table.num_points; target += spacing) {
    // The frame holding the target sample; frames are in sample order.
    while (frame != s.frames.end() && frame->first_sample + frame->samples <= target) ++frame;
    if (frame == s.frames.end()) break;
    if (used > 0 && table.points[used - 1].sample_number == frame->first_sample) continue;
    table.points[used++] = {frame->first_sample, frame->offset, frame->samples};
  }
  for (uint32_t i = used; i < table.num_points; ++i)
    table.points[i] = {FLAC__STREAM_METADATA_SEEKPOINT_PLACEHOLDER, 0, 0};
}

bool FlacWriter::close(std::string& error) {
  if (!state_) return true;
  bool ok = true;
  // A file without samples still gets its header: an empty, valid stream.
  if (!state_->started) ok = start(error);
  if (state_->failed) {
    error = "the FLAC file was not completed";
    ok = false;
  }
  // What is queued is encoded first; from here on this thread alone.
  state_->stopWorker();
  if (ok && state_->worker_failed) {
    error = state_->worker_error;
    ok = false;
  }
  if (ok) {
    // The frames still buffered are encoded by finish, which then writes the
    // MD5 signature, the length and the seek table back into the header.
    fillSeekTable();
    if (!FLAC__stream_encoder_finish(state_->encoder)) {
      const FLAC__StreamEncoderState st = FLAC__stream_encoder_get_state(state_->encoder);
      error = state_->write_failed ? "cannot finish the FLAC file"
              : st == FLAC__STREAM_ENCODER_VERIFY_MISMATCH_IN_AUDIO_DATA
                  ? "libFLAC's verify found the encoded audio differs from its input"
                  : std::string("libFLAC failed: ") + FLAC__StreamEncoderStateString[st];
      ok = false;
    }
  }
  if (ok) {
    // libFLAC left the signature zero (unknown); the summed one goes in.
    uint8_t digest[kMd5Bytes];
    av_md5_final(state_->md5, digest);
    if (fseeko(state_->file, kMd5Offset, SEEK_SET) != 0 ||
        std::fwrite(digest, 1, kMd5Bytes, state_->file) != kMd5Bytes) {
      error = "cannot finish the FLAC file";
      ok = false;
    }
  }
  if (std::fclose(state_->file) != 0 && ok) {
    error = "cannot finish the FLAC file";
    ok = false;
  }
  state_->file = nullptr;
  state_.reset();
  return ok;
}

}  // namespace wavesmith
