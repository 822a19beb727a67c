// RiffWriter: writes a RIFF file chunk by chunk, the way the multimedia
// file functions do: a chunk is created with a size of 0 and its size is
// written into its header when it is closed, so a file whose chunks were
// all closed has sizes that describe exactly the bytes in it.
//
// All I/O goes through platform::sys, so tests can make writes fail. Every
// failure is reported (false, with errno kept in lastErrno()): a full disk,
// a folder that vanished, a file that cannot be created. Writes are
// buffered; a buffered write that fails is reported by the call that
// flushes it (a write, closeChunk or close). After a write failure the
// bytes that did reach the file stay part of the chunk, so closing the
// chunks still leaves consistent headers.
//
// One thread at a time; the object owns its descriptor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform::riff {

using FourCC = uint32_t;

// "RIFF", "fmt " … as the four bytes they are in the file.
constexpr FourCC fourCC(const char (&id)[5]) {
  return static_cast<uint32_t>(static_cast<uint8_t>(id[0])) |
         static_cast<uint32_t>(static_cast<uint8_t>(id[1])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(id[2])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(id[3])) << 24;
}

class RiffWriter {
 public:
  RiffWriter() = default;
  ~RiffWriter();  // closes an open file; failures then go unreported
  RiffWriter(const RiffWriter&) = delete;
  RiffWriter& operator=(const RiffWriter&) = delete;

  // Creates (or replaces) the file for reading and writing.
  bool create(const std::string& path);
  bool isOpen() const { return fd_ >= 0; }

  // Starts a chunk inside the current one (or at the top): its id, a size
  // of 0, and for "RIFF" and "LIST" chunks the form type.
  bool createChunk(FourCC id, FourCC formType = 0);
  // Appends to the innermost open chunk.
  bool write(const void* data, size_t bytes);
  // Writes the innermost chunk's size into its header (and a pad byte
  // after an odd-sized chunk) and returns to its parent.
  bool closeChunk();
  // Writes what is buffered and closes the file; chunks still open keep
  // the sizes they had. The writer can then create another file.
  bool close();

  size_t openChunks() const { return chunks_.size(); }
  int lastErrno() const { return lastErrno_; }

 private:
  struct Chunk {
    uint64_t sizeFieldOffset;  // where its 32-bit size goes
    uint64_t dataStart;        // first byte after its header
  };

  bool flush();
  bool fail(int error);

  int fd_ = -1;
  uint64_t fileBytes_ = 0;  // bytes that reached the file
  std::vector<uint8_t> buffer_;  // written after fileBytes_ by the next flush
  std::vector<Chunk> chunks_;
  int lastErrno_ = 0;
};

}  // namespace platform::riff
