#include "ripmarrow/cue_sheet_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "client/file_names.h"
#include "ripmarrow/rip_command.h"

namespace ripmarrow {

std::string CueSheetFile::name(const std::string& artist, const std::string& album) {
  const std::string wanted =
      artist.empty() || album.empty() ? artist + album : artist + " - " + album;
  // The track files' rules for a name fit for the file system; an artist
  // ".hidden" does not hide the sheet.
  return client::SafeStem(client::CleanTitle(wanted), "Disc") + ".cue";
}

std::string CueSheetFile::save(const std::string& folder, const std::string& name,
                               const std::string& text) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string path = RipCommand::freePath(folder, name);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return {};
    }
    size_t written = 0;
    while (written < text.size()) {
      const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      written += static_cast<size_t>(n);
    }
    const bool ok = ::close(fd) == 0 && written == text.size();
    if (ok) return path;
    std::error_code ec;
    std::filesystem::remove(path, ec);
    return {};
  }
  return {};
}

}  // namespace ripmarrow
