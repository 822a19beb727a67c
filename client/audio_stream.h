// Reading the files a rip wrote back, as `ripmarrow verify` does with files
// it did not write and a log it cannot trust: only regular files are opened
// (a FIFO would wait for a writer for ever, a device could act on the open),
// and the audio streams through in blocks, so memory stays at a few MB
// whatever a file's size, and a file longer than its track is refused before
// its audio is read.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

namespace client {

// Bytes a file may hold beyond its audio (headers, tags, pictures, padding)
// before it is refused as larger than its track can be.
inline constexpr uint64_t kAudioFileOverheadBytes = 64ull << 20;

// A read-only descriptor of `path` when it is a regular file: checked before
// the open, opened non-blocking (in case it changed in between) and checked
// again on the descriptor. -1 with the reason in `error` ("not a regular
// file", "cannot open it: ..."). The caller closes it.
int OpenRegularFile(const std::string& path, std::string& error);

// The whole of a regular file of at most `maxBytes`; nothing with the reason.
std::optional<std::string> ReadRegularFile(const std::string& path, uint64_t maxBytes, std::string& error);

// Receives PCM in blocks of any size (16-bit little-endian stereo at 44100 Hz).
using PcmSink = std::function<void(std::span<const uint8_t> pcm)>;

// Streams the PCM of a WAV file's data chunk or of a decoded FLAC file
// (chosen by the file's first bytes; a FLAC file may start with an ID3v2 tag)
// into `sink`. False, with the reason in `error`, for anything else, for a
// damaged file (FLAC's frame checksums and MD5 sum are checked) and for a
// file holding more than `maxPcmBytes` of audio or more than that plus
// kAudioFileOverheadBytes of bytes: refused before its audio is read where
// the file states its length, else as soon as the audio runs past it. What
// was fed to `sink` before a failure is to be thrown away.
bool StreamAudioFile(const std::string& path, uint64_t maxPcmBytes, const PcmSink& sink, std::string& error);

}  // namespace client
