// A release's front cover from the Cover Art Archive (its 500-pixel image):
// redirects followed (the archive answers with one), at most 10 MB kept,
// and only a JPEG or PNG image accepted. Any thread.
#pragma once

#include <atomic>
#include <string>

namespace client {

inline constexpr size_t kMaxCoverArtBytes = 10 * 1024 * 1024;

struct CoverArt {
  bool found = false;
  std::string bytes;       // the image
  std::string extension;   // "jpg" or "png"
  std::string mimeType;    // "image/jpeg" or "image/png"
  std::string reason;      // without an image: why
};

// "jpg" / "png" by the bytes' signature; "" for anything else.
std::string CoverArtExtension(const std::string& bytes);

// `server`: a base address from ParseServiceServer (not "").
CoverArt FetchCoverArt(const std::string& server, const std::string& releaseId, int timeoutMs = 10000,
                       const std::atomic<bool>* cancel = nullptr);

// Writes the image beside the files as "cover.jpg" or "cover.png" by its
// type, never replacing a cover already in `folder` (either name). The path
// written; "" with `why` set when nothing was written.
std::string SaveCoverArt(const std::string& folder, const CoverArt& art, std::string& why);

}  // namespace client
