// `ripmarrow verify FOLDER [--log FILE] [--accuraterip-server HOST[:PORT]]`:
// reads a rip log of the folder (the newest one unless --log names one),
// recomputes the checksums of the WAV or FLAC files it lists from their
// audio (a WAV file's data chunk; a FLAC file decoded), compares them with
// the log, and asks AccurateRip about them (lossy files are named and passed
// over). The checking is the client library's (client/rip_check.h): each
// file read once, streamed, only regular files, no more audio than its track
// holds. 0 when every WAV or FLAC file matches the log and no track is found
// not accurate; 1 otherwise (a log that is not a rip log included); 2 for bad
// arguments.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include "client/http_get.h"

namespace ripmarrow {

class VerifyCommand {
 public:
  static int main(int argc, char** argv);

  struct Options {
    std::string folder;
    std::string log;  // "": the folder's newest log
    std::optional<client::HttpServer> server;
  };
  static int run(const Options& options, std::ostream& out, std::ostream& err);

  // The 16-bit stereo PCM of a WAV file's data chunk or of a decoded FLAC
  // file (chosen by the file's first bytes), as the rip delivered it;
  // nothing, with the reason, for anything else (client::StreamAudioFile
  // collected into one string: for the engine's own files).
  static std::optional<std::string> readAudio(const std::string& path, std::string& error);
};

}  // namespace ripmarrow
