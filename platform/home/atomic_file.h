// A small text file that is only ever replaced whole: every change writes a
// temporary file in the same folder, flushes it to the disk and renames it
// over the old one, so a reader sees the old content or the new, never a
// mixture, and a failed write (full disk, unwritable folder) leaves the old
// file as it was. Writers serialise on an advisory lock (flock) on the
// folder, so two writers, in one process or in two, never lose each other's
// changes: each reads the current content under the lock before editing it.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace platform {

class AtomicFile {
 public:
  explicit AtomicFile(std::filesystem::path path);

  const std::filesystem::path& path() const { return path_; }

  // The content now; nullopt when the file does not exist or cannot be read
  // (*failed tells the two apart when given: true for a read error, and for
  // something other than a regular file in its place, a FIFO say, which is
  // never opened for a blocking read).
  std::optional<std::string> read(bool* failed = nullptr) const;

  // Current content (nullopt when there is no file) → new content, or
  // nullopt to leave the file untouched.
  using Edit = std::function<std::optional<std::string>(const std::optional<std::string>& current)>;

  // Runs edit under the lock and writes its result atomically. True when the
  // file now holds the edit's result (or the edit chose to change nothing);
  // false (errno set) when the old content could not be read or the new one
  // could not be written, in which case the file is unchanged. The folder
  // must exist. The new file keeps the old one's permissions.
  bool update(const Edit& edit) const;

  // True when update could succeed: the file is writable, or it does not
  // exist and its folder is writable.
  bool writable() const;

 private:
  std::filesystem::path path_;
};

}  // namespace platform
