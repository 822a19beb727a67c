// Feeds arbitrary text to the cue sheet reader and the disc layout over files
// of made-up sizes: every input must end in a disc or an ImageError.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/vdrive/cue_image.h"
#include "platform/vdrive/image_error.h"

namespace {

using namespace platform::vdrive;

class SizedZeros final : public SectorSource {
 public:
  explicit SizedZeros(uint64_t size) : size_(size) {}
  bool read(uint64_t, std::span<uint8_t> out) const override {
    std::fill(out.begin(), out.end(), uint8_t{0});
    return true;
  }
  uint64_t sizeBytes() const override { return size_; }

 private:
  uint64_t size_;
};

// File sizes come from the names, so inputs can steer them.
class FakeOpener final : public CueFileOpener {
 public:
  std::shared_ptr<const SectorSource> open(const CueFile& file) override {
    if (file.name == "missing") throw ImageError("cannot open 'missing'");
    uint64_t size = 0;
    for (char c : file.name) size = size * 31 + static_cast<unsigned char>(c);
    return std::make_shared<SizedZeros>(size % (2352ull * 400000));
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    CueSheet sheet = parseCueSheet(text, "fuzz.cue");
    FakeOpener opener;
    Disc disc = buildCueDisc(sheet, opener);
    std::array<uint8_t, kSectorBytes> sector{};
    disc.readSector(disc.tracks().front().start, sector);
    disc.readSector(disc.leadOut() - 1, sector);
  } catch (const ImageError&) {
  }
  return 0;
}
