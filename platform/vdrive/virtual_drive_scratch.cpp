// Scratches: audio sectors whose reads succeed but return some bytes wrong,
// as a scratched disc does, and the C2 error pointers that flag such bytes.
//
// A random scratch reads right on scratchGoodPercent of its reads and wrong
// otherwise, differently each time; a stable one gives the same wrong bytes
// on every read, so no number of agreeing reads can tell it from the disc.
// The C2 field (READ CD error field 01b: 294 bytes, one bit a byte of the
// sector, the first byte's bit in bit 7 of the field's first byte; 10b adds
// the block error byte, the OR of them all, and a pad byte) flags the wrong
// bytes all (exact) or only one of them (partial: drives that under-report).
#include <algorithm>
#include <array>

#include "platform/vdrive/virtual_drive.h"

namespace platform::vdrive {

namespace {

constexpr uint64_t kScratchSalt = 0x5C2A7C4ull;
constexpr size_t kC2Bytes = kSectorBytes / 8;  // 294
constexpr int kMinWrongBytes = 2;             // so a partial report can leave one out
constexpr int kMaxWrongBytes = 48;

}  // namespace

void VirtualDrive::placeRandomScratches() {
  scratchReads_.clear();
  scratchRng_ = faults_.seed ^ kScratchSalt;
  randomScratch_ = randomAudioSectors(faults_.randomScratchSectors, faults_.seed ^ (kScratchSalt << 1));
  randomScratch_.erase(std::unique(randomScratch_.begin(), randomScratch_.end()), randomScratch_.end());
}

void VirtualDrive::applyScratch(const ReadRequest& r, Lba lba, std::span<uint8_t> out) {
  if (faults_.scratch.empty() && randomScratch_.empty()) return;
  int wrongReads = -1;
  for (const ScratchRange& s : faults_.scratch)
    if (lba >= s.first && lba <= s.last) wrongReads = std::max(wrongReads, s.wrongReads);
  if (std::binary_search(randomScratch_.begin(), randomScratch_.end(), lba)) wrongReads = 0;
  if (wrongReads < 0) return;
  int& reads = scratchReads_[lba];
  ++reads;
  if (wrongReads > 0 && reads > wrongReads) return;  // the scratch was polished away

  // Where this read puts the sector's audio and its C2 field.
  bool hasMain = false;
  size_t c2At = 0;
  size_t c2Size = 0;
  if (r.kind == ReadKind::ReadCd) {
    hasMain = (r.flags & 0xF8) != 0;
    c2At = hasMain ? kSectorBytes : 0;
    c2Size = (r.flags & 0x06) == 0x02 ? kC2Bytes : (r.flags & 0x06) == 0x04 ? kC2Bytes + 2 : 0;
  } else {
    hasMain = r.mainData && out.size() >= kSectorBytes;
  }

  uint64_t state = 0;
  if (faults_.scratchStable) {
    state = faults_.seed ^ kScratchSalt ^ (static_cast<uint64_t>(static_cast<uint32_t>(lba)) << 20);
  } else {
    if (static_cast<int>(nextRandom(scratchRng_) % 100) < faults_.scratchGoodPercent) return;
    state = nextRandom(scratchRng_);
  }
  const int wrong = kMinWrongBytes + static_cast<int>(nextRandom(state) % (kMaxWrongBytes - kMinWrongBytes + 1));
  std::array<uint16_t, kMaxWrongBytes> positions{};
  int placed = 0;
  while (placed < wrong) {
    const auto at = static_cast<uint16_t>(nextRandom(state) % kSectorBytes);
    if (std::find(positions.begin(), positions.begin() + placed, at) != positions.begin() + placed) continue;
    positions[static_cast<size_t>(placed++)] = at;
  }
  for (int i = 0; i < placed; ++i) {
    const uint8_t flip = static_cast<uint8_t>(1 + nextRandom(state) % 255);
    if (hasMain) out[positions[static_cast<size_t>(i)]] ^= flip;
  }
  if (c2Size == 0 || faults_.c2 == C2Report::None) return;
  std::span<uint8_t> c2 = out.subspan(c2At, c2Size);
  const int flagged = faults_.c2 == C2Report::Exact ? placed : 1;
  for (int i = 0; i < flagged; ++i) {
    const uint16_t at = positions[static_cast<size_t>(i)];
    c2[at / 8] |= static_cast<uint8_t>(0x80 >> (at % 8));
  }
  if (c2Size == kC2Bytes + 2) {
    uint8_t any = 0;
    for (size_t i = 0; i < kC2Bytes; ++i) any |= c2[i];
    c2[kC2Bytes] = any;
  }
}

}  // namespace platform::vdrive
