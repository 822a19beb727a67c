#include "outside/wavesmith2/audio_file.h"

#include <sys/stat.h>

#include "outside/wavesmith2/mp3_writer.h"
#include "outside/wavesmith2/wma_profiles.h"

namespace wavesmith {

namespace {

std::string channelsText(int channels) {
  return channels == 1 ? "mono" : channels == 2 ? "stereo" : std::to_string(channels) + " channels";
}

std::string lameText(const LameSettings& s) {
  std::string mode;
  switch (static_cast<VbrMethod>(s.vbr_method)) {
    case VbrMethod::kNone: mode = std::to_string(s.bitrate_kbps) + " kbit/s CBR"; break;
    case VbrMethod::kAbr: mode = std::to_string(s.abr_bitrate_kbps) + " kbit/s ABR"; break;
    default: mode = "VBR quality " + std::to_string(s.vbr_quality); break;
  }
  return "MP3 " + std::to_string(s.frequency_hz) + " Hz, " + mode + ", " + channelsText(s.channels);
}

}  // namespace

AudioFile::AudioFile() = default;

AudioFile::~AudioFile() {
  std::lock_guard<std::mutex> guard(lock_);
  closeWriter();
}

void AudioFile::choose(Kind kind, std::string description, std::string refusal) {
  kind_ = kind;
  refusal_ = std::move(refusal);
  format_text_ = refusal_.empty() ? std::move(description) : refusal_;
}

bool AudioFile::setFormatPCM(int rate_hz, int channels, int bits) {
  std::lock_guard<std::mutex> guard(lock_);
  const char* encoder = bits == 8 ? "pcm_u8" : bits == 16 ? "pcm_s16le" : bits == 24 ? "pcm_s24le"
                      : bits == 32 ? "pcm_s32le" : nullptr;
  std::string refusal;
  if (!encoder) {
    refusal = "WAV is written with 8, 16, 24 or 32 bits, not " + std::to_string(bits);
  } else {
    lavc_ = LavcTarget{encoder, "wav", {rate_hz, channels}, 0};
    refusal = (channels < 1 || channels > 8) ? "WAV takes 1 to 8 channels" : LavcWriter::probe(lavc_);
  }
  choose(Kind::kPcm,
         "WAV " + std::to_string(rate_hz) + " Hz, " + std::to_string(bits) + " bit, " + channelsText(channels),
         refusal);
  return refusal_.empty();
}

bool AudioFile::setFormatMP3(int rate_hz, int bitrate_kbps, int channels) {
  LameSettings s = lameSettings();
  s.frequency_hz = rate_hz;
  s.bitrate_kbps = static_cast<int16_t>(bitrate_kbps);
  s.channels = static_cast<int16_t>(channels);
  s.vbr_method = static_cast<int16_t>(VbrMethod::kNone);
  return setLameSettings(s);
}

bool AudioFile::setLameSettings(const LameSettings& settings) {
  const std::string refusal = Mp3Writer::probe(settings);
  std::lock_guard<std::mutex> guard(lock_);
  lame_ = settings;
  choose(Kind::kMp3, lameText(settings), refusal);
  return refusal_.empty();
}

LameSettings AudioFile::lameSettings() const {
  std::lock_guard<std::mutex> guard(lock_);
  return lame_;
}

bool AudioFile::setFormatMP2(int rate_hz, int bitrate_kbps, int channels) {
  LavcTarget target{"mp2", "mp2", {rate_hz, channels}, static_cast<int64_t>(bitrate_kbps) * 1000};
  std::string refusal = (channels == 1 || channels == 2) ? LavcWriter::probe(target)
                                                         : "MP2 takes 1 or 2 channels";
  if (!refusal.empty()) refusal = "MP2 " + std::to_string(rate_hz) + " Hz, " + std::to_string(bitrate_kbps) +
                                  " kbit/s, " + channelsText(channels) + " cannot be written: " + refusal;
  std::lock_guard<std::mutex> guard(lock_);
  lavc_ = target;
  choose(Kind::kMp2, "MP2 " + std::to_string(rate_hz) + " Hz, " + std::to_string(bitrate_kbps) + " kbit/s, " +
         channelsText(channels), refusal);
  return refusal_.empty();
}

bool AudioFile::setFormatOGG(int rate_hz, int channels, int nominal_kbps, int min_kbps, int max_kbps, int quality) {
  OggSettings s{{rate_hz, channels}, nominal_kbps, min_kbps, max_kbps, quality};
  const std::string refusal = OggWriter::probe(s);
  std::string text = "OGG Vorbis " + std::to_string(rate_hz) + " Hz, " + channelsText(channels) + ", ";
  text += quality != -1 ? "quality " + std::to_string(quality)
                        : std::to_string(nominal_kbps) + " kbit/s (min " + std::to_string(min_kbps) + ", max " +
                              std::to_string(max_kbps) + ")";
  std::lock_guard<std::mutex> guard(lock_);
  ogg_ = s;
  choose(Kind::kOgg, text, refusal);
  return refusal_.empty();
}

bool AudioFile::setFormatWMA(int profile) {
  LavcTarget target;
  std::string made, refusal;
  wmaTarget(profile, target, made, refusal);
  std::string text = "WMA";
  if (const WmaProfile* p = wmaProfile(profile)) {
    text = p->name;
    // A profile the encoder cannot make exactly names what it makes instead.
    if (!made.empty()) text += " (written as " + made + ")";
  }
  std::lock_guard<std::mutex> guard(lock_);
  lavc_ = target;
  choose(Kind::kWma, text, refusal);
  return refusal_.empty();
}

bool AudioFile::setFormatFLAC(int level) {
  FlacSettings s{{44100, 2}, level == -1 ? FlacWriter::kDefaultLevel : level};
  const std::string refusal = FlacWriter::probe(s);
  std::lock_guard<std::mutex> guard(lock_);
  flac_ = s;
  choose(Kind::kFlac, "FLAC, compression level " + std::to_string(s.level), refusal);
  return refusal_.empty();
}

bool AudioFile::isAvailableFormatMP3(int rate_hz, int bitrate_kbps, int channels) {
  return (channels == 1 || channels == 2) && mp3BitrateValid(rate_hz, bitrate_kbps);
}

bool AudioFile::isAvailableFormatOGG(int rate_hz, int channels, int nominal_kbps, int min_kbps, int max_kbps) {
  return OggWriter::probe(OggSettings{{rate_hz, channels}, nominal_kbps, min_kbps, max_kbps, -1}).empty();
}

std::unique_ptr<AudioWriter> AudioFile::makeWriter() const {
  switch (kind_) {
    case Kind::kMp3: return std::make_unique<Mp3Writer>(lame_);
    case Kind::kOgg: return std::make_unique<OggWriter>(ogg_);
    case Kind::kFlac: return std::make_unique<FlacWriter>(flac_);
    case Kind::kPcm: case Kind::kMp2: case Kind::kWma: return std::make_unique<LavcWriter>(lavc_);
    case Kind::kNone: break;
  }
  return nullptr;
}

int AudioFile::createOutputFile(const std::string& path) {
  std::lock_guard<std::mutex> guard(lock_);
  closeWriter();
  reader_.close();
  if (kind_ == Kind::kNone || !refusal_.empty()) {
    error_ = kind_ == Kind::kNone ? "no output format chosen" : refusal_;
    status_ = kStatusNoFormat;
    return status_;
  }
  auto writer = makeWriter();
  if (input_.rate_hz > 0) writer->adoptLayout(input_);
  if (!writer->open(path, error_)) {
    status_ = kStatusCannotCreate;
    return status_;
  }
  struct stat st {};  // a file already gone here fails at its close
  if (::stat(path.c_str(), &st) != 0) st = {};
  output_path_ = path;
  output_device_ = static_cast<uint64_t>(st.st_dev);
  output_inode_ = static_cast<uint64_t>(st.st_ino);
  writer_ = std::move(writer);
  carry_.clear();
  const PcmLayout in = input_.rate_hz > 0 ? input_ : writer_->layout();
  if (!converter_.configure(in, writer_->layout(), error_)) {
    writer_.reset();
    status_ = kStatusWriteFailed;
    return status_;
  }
  status_ = kStatusOk;
  error_.clear();
  return status_;
}

bool AudioFile::setInputFormat(int rate_hz, int channels) {
  std::lock_guard<std::mutex> guard(lock_);
  input_ = {rate_hz, channels};
  if (!writer_) return rate_hz >= 1000 && channels >= 1 && channels <= 8;
  // Samples already converted stay as they are; the new layout applies from
  // the next write on.
  std::vector<int16_t> tail;
  if (converter_.drain(tail) && !tail.empty())
    writer_->write(tail.data(), tail.size() / static_cast<size_t>(writer_->layout().channels), error_);
  carry_.clear();
  writer_->adoptLayout(input_);
  if (!converter_.configure(input_, writer_->layout(), error_)) {
    status_ = kStatusWriteFailed;
    return false;
  }
  return true;
}

bool AudioFile::writeConverted(const int16_t* samples, size_t frames) {
  if (converter_.passthrough()) return writer_->write(samples, frames, error_);
  converted_.clear();
  if (!converter_.convert(samples, frames, converted_)) {
    error_ = "the resampler failed";
    return false;
  }
  const size_t out_frames = converted_.size() / static_cast<size_t>(writer_->layout().channels);
  return out_frames == 0 || writer_->write(converted_.data(), out_frames, error_);
}

bool AudioFile::writeSamples(const int16_t* samples, size_t count) {
  std::lock_guard<std::mutex> guard(lock_);
  if (!writer_) {
    error_ = "no output file is open";
    return false;
  }
  const size_t channels = static_cast<size_t>(converter_.input().channels);
  if (!carry_.empty()) {
    // Complete the frame split across the previous call.
    const size_t need = std::min(channels - carry_.size(), count);
    carry_.insert(carry_.end(), samples, samples + need);
    samples += need;
    count -= need;
    if (carry_.size() == channels) {
      if (!writeConverted(carry_.data(), 1)) return status_ = kStatusWriteFailed, false;
      carry_.clear();
    }
  }
  const size_t frames = count / channels;
  if (frames && !writeConverted(samples, frames)) return status_ = kStatusWriteFailed, false;
  carry_.insert(carry_.end(), samples + frames * channels, samples + count);
  return true;
}

bool AudioFile::closeWriter() {
  if (!writer_) return true;
  bool ok = true;
  converted_.clear();
  if (converter_.drain(converted_) && !converted_.empty())
    ok = writer_->write(converted_.data(), converted_.size() / static_cast<size_t>(writer_->layout().channels), error_);
  std::string close_error;
  if (!writer_->close(close_error)) {
    ok = false;
    error_ = close_error;
  }
  // A file whose folder went away while it was written (or that another
  // file replaced) holds the audio nowhere anyone can reach: no success.
  struct stat st {};
  if (ok && (::stat(output_path_.c_str(), &st) != 0 || static_cast<uint64_t>(st.st_dev) != output_device_ ||
             static_cast<uint64_t>(st.st_ino) != output_inode_)) {
    ok = false;
    error_ = "the file was removed while it was written";
  }
  writer_.reset();
  carry_.clear();
  if (!ok) status_ = kStatusWriteFailed;
  return ok;
}

bool AudioFile::closeFile() {
  std::lock_guard<std::mutex> guard(lock_);
  reader_.close();
  return closeWriter();
}

bool AudioFile::openRead(const std::string& path) {
  std::lock_guard<std::mutex> guard(lock_);
  closeWriter();
  error_.clear();
  return reader_.open(path, error_);
}

std::vector<int16_t> AudioFile::readSamples(size_t count) {
  std::lock_guard<std::mutex> guard(lock_);
  return reader_.read(count);
}

size_t AudioFile::readSamples(int16_t* out, size_t capacity) {
  std::lock_guard<std::mutex> guard(lock_);
  return reader_.read(out, capacity);
}

bool AudioFile::isOpen() const {
  std::lock_guard<std::mutex> guard(lock_);
  return writer_ != nullptr || reader_.isOpen();
}

int64_t AudioFile::lengthSamples() const {
  std::lock_guard<std::mutex> guard(lock_);
  return reader_.lengthFrames();
}

int AudioFile::frameSize() const {
  std::lock_guard<std::mutex> guard(lock_);
  return reader_.frameSize();
}

int64_t AudioFile::durationMs() const {
  std::lock_guard<std::mutex> guard(lock_);
  return reader_.durationMs();
}

int AudioFile::channelCount() const {
  std::lock_guard<std::mutex> guard(lock_);
  return reader_.isOpen() ? reader_.layout().channels : writer_ ? writer_->layout().channels : 0;
}

int AudioFile::sampleRate() const {
  std::lock_guard<std::mutex> guard(lock_);
  return reader_.isOpen() ? reader_.layout().rate_hz : writer_ ? writer_->layout().rate_hz : 0;
}

int AudioFile::fileStatus() const {
  std::lock_guard<std::mutex> guard(lock_);
  return status_;
}

std::string AudioFile::formatString() const {
  std::lock_guard<std::mutex> guard(lock_);
  return format_text_;
}

std::string AudioFile::lastError() const {
  std::lock_guard<std::mutex> guard(lock_);
  return error_;
}

}  // namespace wavesmith
