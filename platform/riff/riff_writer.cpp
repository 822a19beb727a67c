#include "platform/riff/riff_writer.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "platform/sys/sys.h"

namespace platform::riff {
namespace {

// Large enough that a rip's blocks go out in a few system calls per second.
constexpr size_t kBufferBytes = 256 * 1024;
constexpr uint32_t kMaxChunkBytes = 0xFFFFFFFFu;

void putLe32(uint8_t* out, uint32_t v) {
  out[0] = static_cast<uint8_t>(v);
  out[1] = static_cast<uint8_t>(v >> 8);
  out[2] = static_cast<uint8_t>(v >> 16);
  out[3] = static_cast<uint8_t>(v >> 24);
}

}  // namespace

RiffWriter::~RiffWriter() {
  if (fd_ >= 0) close();
}

bool RiffWriter::fail(int error) {
  lastErrno_ = error;
  return false;
}

bool RiffWriter::create(const std::string& path) {
  if (fd_ >= 0 && !close()) return false;
  fd_ = sys::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
  if (fd_ < 0) return fail(errno);
  fileBytes_ = 0;
  buffer_.clear();
  buffer_.reserve(kBufferBytes);
  chunks_.clear();
  lastErrno_ = 0;
  return true;
}

// Writes the buffer at the end of the file. A short write that stops
// (a full disk) leaves the bytes written so far counted as written.
bool RiffWriter::flush() {
  size_t done = 0;
  while (done < buffer_.size()) {
    const ssize_t n = sys::pwrite(fd_, buffer_.data() + done, buffer_.size() - done,
                                  static_cast<off_t>(fileBytes_));
    if (n <= 0) {
      const int error = n == 0 ? ENOSPC : errno;
      buffer_.clear();
      return fail(error);
    }
    done += static_cast<size_t>(n);
    fileBytes_ += static_cast<uint64_t>(n);
  }
  buffer_.clear();
  return true;
}

bool RiffWriter::write(const void* data, size_t bytes) {
  if (fd_ < 0) return fail(EBADF);
  const auto* p = static_cast<const uint8_t*>(data);
  while (bytes > 0) {
    const size_t room = kBufferBytes - buffer_.size();
    const size_t take = bytes < room ? bytes : room;
    buffer_.insert(buffer_.end(), p, p + take);
    p += take;
    bytes -= take;
    if (buffer_.size() == kBufferBytes && !flush()) return false;
  }
  return true;
}

bool RiffWriter::createChunk(FourCC id, FourCC formType) {
  if (fd_ < 0) return fail(EBADF);
  uint8_t header[12];
  putLe32(header, id);
  putLe32(header + 4, 0);
  const bool hasForm = id == fourCC("RIFF") || id == fourCC("LIST");
  if (hasForm) putLe32(header + 8, formType);
  const uint64_t start = fileBytes_ + buffer_.size();
  if (!write(header, hasForm ? 12 : 8)) return false;
  chunks_.push_back({start + 4, start + 8});
  return true;
}

bool RiffWriter::closeChunk() {
  if (fd_ < 0) return fail(EBADF);
  if (chunks_.empty()) return fail(EINVAL);
  const Chunk chunk = chunks_.back();
  chunks_.pop_back();
  bool ok = flush();
  // After a failed write the chunk holds what reached the file.
  uint64_t size = fileBytes_ - chunk.dataStart;
  if (ok && size % 2 != 0) {
    const uint8_t pad = 0;
    ok = write(&pad, 1) && flush();
  }
  if (size > kMaxChunkBytes) size = kMaxChunkBytes;
  uint8_t field[4];
  putLe32(field, static_cast<uint32_t>(size));
  // The size field lies inside what is already in the file, so this write
  // needs no new room even on a full disk.
  if (sys::pwrite(fd_, field, 4, static_cast<off_t>(chunk.sizeFieldOffset)) != 4) {
    return fail(errno != 0 ? errno : EIO);
  }
  return ok;
}

bool RiffWriter::close() {
  if (fd_ < 0) return fail(EBADF);
  bool ok = flush();
  // A file whose folder went away while it was written holds the audio in
  // no place anyone can reach: that is no success.
  struct stat st {};
  if (ok && sys::fstat(fd_, &st) == 0 && st.st_nlink == 0) ok = fail(ENOENT);
  if (sys::close(fd_) != 0 && ok) ok = fail(errno);
  fd_ = -1;
  chunks_.clear();
  return ok;
}

}  // namespace platform::riff
