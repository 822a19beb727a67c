#include "platform/vdrive/file_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/vdrive/image_error.h"

namespace platform::vdrive {

FileSource::FileSource(const std::string& path, bool swapBytePairs, uint64_t windowStart, uint64_t windowBytes)
    : swap_(swapBytePairs) {
  do {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd_ < 0 && errno == EINTR);
  if (fd_ < 0) throw ImageError("cannot open '" + path + "': " + std::strerror(errno));
  struct stat st {};
  if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd_);
    throw ImageError("'" + path + "' is not a regular file");
  }
  uint64_t size = static_cast<uint64_t>(st.st_size);
  windowStart_ = std::min(windowStart, size);
  windowBytes_ = std::min(windowBytes, size - windowStart_);
}

FileSource::~FileSource() { ::close(fd_); }

uint64_t FileSource::fileSize(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) throw ImageError("cannot open '" + path + "': " + std::strerror(errno));
  if (!S_ISREG(st.st_mode)) throw ImageError("'" + path + "' is not a regular file");
  return static_cast<uint64_t>(st.st_size);
}

bool FileSource::read(uint64_t offsetBytes, std::span<uint8_t> out) const {
  std::fill(out.begin(), out.end(), uint8_t{0});
  if (offsetBytes >= windowBytes_) return true;
  size_t wanted = static_cast<size_t>(std::min<uint64_t>(out.size(), windowBytes_ - offsetBytes));
  size_t done = 0;
  while (done < wanted) {
    ssize_t n = ::pread(fd_, out.data() + done, wanted - done,
                        static_cast<off_t>(windowStart_ + offsetBytes + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;  // the file shrank under us: the rest reads as zeros
    done += static_cast<size_t>(n);
  }
  if (swap_) {
    // Audio byte pairs are swapped from the window's start, whatever the offset.
    size_t first = offsetBytes % 2;
    for (size_t i = first; i + 1 < out.size(); i += 2) std::swap(out[i], out[i + 1]);
  }
  return true;
}

}  // namespace platform::vdrive
