#include "client/audio_stream.h"

#include <FLAC/stream_decoder.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <utility>
#include <vector>

#include "platform/sys/sys.h"

namespace client {
namespace {

namespace sys = platform::sys;

// PCM handed to the sink at a time, and the most chunks a WAV file may put
// before its audio (a file of 8-byte empty chunks would otherwise be walked
// for ever).
constexpr size_t kBlockBytes = 1 << 20;
constexpr int kMaxWavChunks = 1024;

// Closes a descriptor when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) sys::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

uint32_t le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}
unsigned le16(const uint8_t* p) { return p[0] | static_cast<unsigned>(p[1]) << 8; }

std::string tooLong(uint64_t audioBytes, uint64_t maxPcmBytes) {
  return "it holds more audio than its track (" + std::to_string(audioBytes) + " bytes; the track " +
         std::to_string(maxPcmBytes) + ")";
}

// Exactly `bytes` at `offsetBytes`; false on a read error (errno set) or at
// the file's end (errno 0).
bool readAt(int fd, uint8_t* into, size_t bytes, uint64_t offsetBytes) {
  while (bytes > 0) {
    const ssize_t got = sys::pread(fd, into, bytes, static_cast<off_t>(offsetBytes));
    if (got == 0) errno = 0;  // the end of the file, no error
    if (got <= 0) return false;
    into += got;
    bytes -= static_cast<size_t>(got);
    offsetBytes += static_cast<uint64_t>(got);
  }
  return true;
}

bool streamWav(int fd, uint64_t fileBytes, uint64_t maxPcmBytes, const PcmSink& sink, std::string& error) {
  bool formatOk = false;
  uint64_t at = 12;
  for (int chunks = 0; chunks < kMaxWavChunks && at + 8 <= fileBytes; ++chunks) {
    uint8_t chunk[8];
    if (!readAt(fd, chunk, sizeof chunk, at)) break;
    const uint64_t size = le32(chunk + 4);
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      uint8_t fmt[16];
      if (size < sizeof fmt || !readAt(fd, fmt, sizeof fmt, at + 8)) break;
      formatOk = le16(fmt) == 1 && le16(fmt + 2) == 2 && le32(fmt + 4) == 44100 && le16(fmt + 14) == 16;
      if (!formatOk) {
        error = "not 16-bit stereo PCM at 44100 Hz";
        return false;
      }
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      if (!formatOk) break;
      if (at + 8 + size > fileBytes) {
        error = "the data chunk is cut short";
        return false;
      }
      if (size > maxPcmBytes) {
        error = tooLong(size, maxPcmBytes);
        return false;
      }
      std::vector<uint8_t> block(static_cast<size_t>(std::min<uint64_t>(size, kBlockBytes)));
      for (uint64_t done = 0; done < size;) {
        const size_t bytes = static_cast<size_t>(std::min<uint64_t>(size - done, block.size()));
        if (!readAt(fd, block.data(), bytes, at + 8 + done)) {
          error = std::string("cannot read it: ") + (errno != 0 ? std::strerror(errno) : "it ends early");
          return false;
        }
        sink({block.data(), bytes});
        done += bytes;
      }
      return true;
    }
    at += 8 + size + (size & 1);
  }
  error = "no PCM data chunk";
  return false;
}

struct FlacRead {
  const PcmSink* sink = nullptr;
  uint64_t maxPcmBytes = 0;
  uint64_t fedBytes = 0;
  std::vector<uint8_t> block;
  std::string error;
};

FLAC__StreamDecoderWriteStatus onFlacFrame(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                           const FLAC__int32* const buffer[], void* data) {
  auto* read = static_cast<FlacRead*>(data);
  if (frame->header.channels != 2 || frame->header.bits_per_sample != 16) {
    read->error = "not 16-bit stereo";
    return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
  }
  const uint64_t bytes = uint64_t{frame->header.blocksize} * 4;
  if (read->fedBytes + bytes > read->maxPcmBytes) {
    read->error = tooLong(read->fedBytes + bytes, read->maxPcmBytes);
    return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
  }
  read->block.resize(static_cast<size_t>(bytes));
  uint8_t* out = read->block.data();
  for (unsigned i = 0; i < frame->header.blocksize; ++i) {
    for (unsigned c = 0; c < 2; ++c) {
      const auto sample = static_cast<uint16_t>(buffer[c][i]);
      *out++ = static_cast<uint8_t>(sample & 0xff);
      *out++ = static_cast<uint8_t>(sample >> 8);
    }
  }
  (*read->sink)({read->block.data(), read->block.size()});
  read->fedBytes += bytes;
  return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}

void onFlacMetadata(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* metadata, void* data) {
  auto* read = static_cast<FlacRead*>(data);
  // The stated length, when the encoder knew it (0: unknown).
  if (metadata->type == FLAC__METADATA_TYPE_STREAMINFO && read->error.empty()) {
    const uint64_t bytes = metadata->data.stream_info.total_samples * 4;
    if (bytes > read->maxPcmBytes) read->error = tooLong(bytes, read->maxPcmBytes);
  }
}

void onFlacError(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus status, void* data) {
  auto* read = static_cast<FlacRead*>(data);
  if (read->error.empty()) read->error = FLAC__StreamDecoderErrorStatusString[status];
}

bool streamFlac(int fd, uint64_t maxPcmBytes, const PcmSink& sink, std::string& error) {
  FLAC__StreamDecoder* decoder = FLAC__stream_decoder_new();
  if (decoder == nullptr) {
    sys::close(fd);
    error = "no FLAC decoder";
    return false;
  }
  FILE* file = fdopen(fd, "rb");
  if (file == nullptr) {
    sys::close(fd);
    FLAC__stream_decoder_delete(decoder);
    error = "cannot read it";
    return false;
  }
  FlacRead read;
  read.sink = &sink;
  read.maxPcmBytes = maxPcmBytes;
  FLAC__stream_decoder_set_md5_checking(decoder, true);
  // The decoder owns `file` from here and closes it when it finishes.
  bool ok = FLAC__stream_decoder_init_FILE(decoder, file, onFlacFrame, onFlacMetadata, onFlacError, &read) ==
            FLAC__STREAM_DECODER_INIT_STATUS_OK;
  ok = ok && FLAC__stream_decoder_process_until_end_of_metadata(decoder) && read.error.empty();
  ok = ok && FLAC__stream_decoder_process_until_end_of_stream(decoder);
  // The MD5 sum of the stream's audio, when the encoder stored one.
  ok = FLAC__stream_decoder_finish(decoder) && ok;
  FLAC__stream_decoder_delete(decoder);
  if (!ok || !read.error.empty()) {
    error = read.error.rfind("it holds more", 0) == 0
                ? read.error
                : "cannot decode the FLAC file" + (read.error.empty() ? std::string() : ": " + read.error);
    return false;
  }
  return true;
}

}  // namespace

int OpenRegularFile(const std::string& path, std::string& error) {
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  if (ec) {
    error = "cannot open it: " + ec.message();
    return -1;
  }
  if (!std::filesystem::is_regular_file(status)) {
    error = "not a regular file";
    return -1;
  }
  Descriptor fd(sys::open(path.c_str(), O_RDONLY | O_NONBLOCK));
  if (fd.get() < 0) {
    error = std::string("cannot open it: ") + std::strerror(errno);
    return -1;
  }
  struct stat st {};
  if (sys::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
    error = "not a regular file";
    return -1;
  }
  return fd.release();
}

std::optional<std::string> ReadRegularFile(const std::string& path, uint64_t maxBytes, std::string& error) {
  Descriptor fd(OpenRegularFile(path, error));
  if (fd.get() < 0) return std::nullopt;
  struct stat st {};
  if (sys::fstat(fd.get(), &st) != 0 || static_cast<uint64_t>(st.st_size) > maxBytes) {
    error = "larger than " + std::to_string(maxBytes) + " bytes";
    return std::nullopt;
  }
  std::string content;
  if (!sys::readAll(fd.get(), content)) {
    error = std::string("cannot read it: ") + std::strerror(errno);
    return std::nullopt;
  }
  if (content.size() > maxBytes) {  // it grew while being read
    error = "larger than " + std::to_string(maxBytes) + " bytes";
    return std::nullopt;
  }
  return content;
}

bool StreamAudioFile(const std::string& path, uint64_t maxPcmBytes, const PcmSink& sink, std::string& error) {
  Descriptor fd(OpenRegularFile(path, error));
  if (fd.get() < 0) return false;
  struct stat st {};
  if (sys::fstat(fd.get(), &st) != 0) {
    error = std::string("cannot read it: ") + std::strerror(errno);
    return false;
  }
  const auto fileBytes = static_cast<uint64_t>(st.st_size);
  if (fileBytes > maxPcmBytes + kAudioFileOverheadBytes) {
    error = "larger than its track can be (" + std::to_string(fileBytes) + " bytes; the track holds " +
            std::to_string(maxPcmBytes) + " bytes of audio)";
    return false;
  }
  uint8_t magic[12] = {};
  if (fileBytes < sizeof magic || !readAt(fd.get(), magic, sizeof magic, 0)) {
    error = "neither a WAV nor a FLAC file";
    return false;
  }
  if (std::memcmp(magic, "fLaC", 4) == 0 || std::memcmp(magic, "ID3", 3) == 0) {
    return streamFlac(fd.release(), maxPcmBytes, sink, error);
  }
  if (std::memcmp(magic, "RIFF", 4) == 0 && std::memcmp(magic + 8, "WAVE", 4) == 0) {
    return streamWav(fd.get(), fileBytes, maxPcmBytes, sink, error);
  }
  error = "neither a WAV nor a FLAC file";
  return false;
}

}  // namespace client
