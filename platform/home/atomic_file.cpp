#include "platform/home/atomic_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>
#include <system_error>

#include "platform/sys/sys.h"

namespace platform {
namespace {

// Closes a descriptor when it goes out of scope.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) sys::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

std::filesystem::path folderOf(const std::filesystem::path& path) {
  auto folder = path.parent_path();
  return folder.empty() ? std::filesystem::path(".") : folder;
}

// The file a path names after following symbolic links, so that replacing a
// linked file replaces its target and keeps the link.
std::filesystem::path target(const std::filesystem::path& path) {
  std::error_code ec;
  if (std::filesystem::is_symlink(path, ec)) {
    auto resolved = std::filesystem::weakly_canonical(path, ec);
    if (!ec) return resolved;
  }
  return path;
}

std::string temporaryName(const std::filesystem::path& path) {
  static std::atomic<unsigned> counter{0};
  return (folderOf(path) / ("." + path.filename().string() + ".tmp-" + std::to_string(::getpid()) + "-" +
                            std::to_string(counter.fetch_add(1))))
      .string();
}

}  // namespace

AtomicFile::AtomicFile(std::filesystem::path path) : path_(std::move(path)) {}

std::optional<std::string> AtomicFile::read(bool* failed) const {
  if (failed != nullptr) *failed = false;
  // Non-blocking: a FIFO in the file's place would wait for a writer for
  // ever. Only a regular file is read; anything else is a failed read, which
  // update() never writes through either.
  Fd fd(sys::open(path_.c_str(), O_RDONLY | O_NONBLOCK));
  if (fd.get() < 0) {
    if (failed != nullptr) *failed = errno != ENOENT && errno != ENOTDIR;
    return std::nullopt;
  }
  struct stat st {};
  if (sys::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
    if (failed != nullptr) *failed = true;
    errno = EINVAL;
    return std::nullopt;
  }
  std::string content;
  if (!sys::readAll(fd.get(), content)) {
    if (failed != nullptr) *failed = true;
    return std::nullopt;
  }
  return content;
}

bool AtomicFile::update(const Edit& edit) const {
  const auto file = target(path_);
  const auto folder = folderOf(file);
  Fd folderFd(sys::open(folder.c_str(), O_RDONLY | O_DIRECTORY));
  if (folderFd.get() < 0) return false;
  if (sys::flock(folderFd.get(), LOCK_EX) != 0) return false;  // released when folderFd closes

  bool readFailed = false;
  const auto current = AtomicFile(file).read(&readFailed);
  if (readFailed) return false;  // never replace what we could not read
  const auto next = edit(current);
  if (!next) return true;

  const std::string tmp = temporaryName(file);
  Fd out(sys::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666));
  if (out.get() < 0) return false;
  bool ok = true;
  if (current) {
    // Keep the old file's permissions rather than the defaults.
    struct stat old {};
    Fd oldFd(sys::open(file.c_str(), O_RDONLY));
    if (oldFd.get() >= 0 && sys::fstat(oldFd.get(), &old) == 0) ok = sys::fchmod(out.get(), old.st_mode & 07777) == 0;
  }
  ok = ok && sys::writeAll(out.get(), next->data(), next->size()) && sys::fsync(out.get()) == 0;
  const int closeResult = sys::close(out.release());
  ok = ok && closeResult == 0 && sys::rename(tmp.c_str(), file.c_str()) == 0;
  if (!ok) {
    const int saved = errno;
    sys::unlink(tmp.c_str());
    errno = saved;
    return false;
  }
  // Make the rename itself durable.
  sys::fsync(folderFd.get());
  return true;
}

bool AtomicFile::writable() const {
  const auto file = target(path_);
  if (::access(file.c_str(), F_OK) == 0) return ::access(file.c_str(), W_OK) == 0;
  std::error_code ec;
  const auto folder = folderOf(file);
  return std::filesystem::is_directory(folder, ec) && ::access(folder.c_str(), W_OK) == 0;
}

}  // namespace platform
