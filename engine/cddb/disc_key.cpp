#include "engine/cddb/disc_key.h"

#include <algorithm>
#include <array>
#include <mutex>

#include "engine/device/handles.h"
#include "engine/device/toc.h"
#include "engine/device/toc_parser.h"

namespace engine::cddb {
namespace {

struct Slot {
  uint32_t key = 0;
  uint32_t cddbId = 0;
  uint32_t trackCount = 0;
};

// Lookups of several engine objects on different threads may meet here.
std::mutex gMutex;
std::array<Slot, kDiscKeySlots> gSlots;  // guarded by gMutex
int gWriteIndex = -1;                    // guarded by gMutex; -1 until the first record

// strtoul-style: leading hexadecimal digits, the value kept to 32 bits.
uint32_t ParseHex(std::string_view text) {
  uint32_t value = 0;
  for (const char c : text) {
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else break;
    value = value * 16 + uint32_t(digit);
  }
  return value;
}

}  // namespace

uint32_t CdPlayerKeyFromToc(std::span<const uint8_t> toc) {
  if (toc.size() < device::kTocHeaderBytes) return 0;
  const int first = toc[2];
  const int last = toc[3];
  if (last < first) return 0;
  const size_t tracks = std::min<size_t>(size_t(last - first + 1), device::TocDescriptorCount(toc));
  uint32_t key = 0;
  for (size_t i = 0; i < tracks; ++i) {
    const device::TocDescriptor d = device::TocDescriptorAt(toc, i);
    if (!d.isData()) key += device::ReadBigEndian32(d.address);
  }
  return key;
}

uint32_t CdPlayerKeyTerm(int32_t lba) {
  const int64_t frames = std::max<int64_t>(int64_t{lba} + 150, 0);
  const auto minutes = static_cast<uint32_t>(std::min<int64_t>(frames / (60 * 75), 255));
  const auto seconds = static_cast<uint32_t>(frames / 75 % 60);
  const auto rest = static_cast<uint32_t>(frames % 75);
  return minutes << 16 | seconds << 8 | rest;
}

uint32_t CdPlayerKey(int32_t drive) {
  device::HandleRecord* handle = device::FindOpenHandle(drive);
  if (handle == nullptr) return 0;
  const int32_t savedMsf = handle->msfAddressing;
  handle->msfAddressing = 1;
  std::array<uint8_t, device::kTocBufferBytes> toc{};
  const int32_t result = device::ReadToc(drive, toc.data());
  if (device::HandleRecord* again = device::FindOpenHandle(drive)) again->msfAddressing = savedMsf;
  return result == device::kResultOk ? CdPlayerKeyFromToc(toc) : 0;
}

void DiscKeyCacheRecord(uint32_t key, uint32_t cddbId, uint32_t trackCount) {
  std::lock_guard lock(gMutex);
  if (gWriteIndex == -1) gSlots.fill(Slot{});
  gWriteIndex = (gWriteIndex + 1) % kDiscKeySlots;
  gSlots[size_t(gWriteIndex)] = Slot{key, cddbId, trackCount};
}

uint32_t DiscKeyCacheLookup(std::string_view cddbIdText, uint32_t* trackCount) {
  const uint32_t id = ParseHex(cddbIdText);
  std::lock_guard lock(gMutex);
  for (const Slot& slot : gSlots) {
    if (slot.cddbId == id) {
      if (trackCount) *trackCount = slot.trackCount;
      return slot.key;
    }
  }
  if (trackCount) *trackCount = 0;
  return 0;
}

void DiscKeyCacheReset() {
  std::lock_guard lock(gMutex);
  gSlots.fill(Slot{});
  gWriteIndex = -1;
}

}  // namespace engine::cddb
