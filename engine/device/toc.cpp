#include "engine/device/toc.h"

#include <algorithm>
#include <iterator>
#include <vector>

#include "engine/device/cdb.h"
#include "engine/device/command.h"
#include "engine/device/device_types.h"
#include "engine/device/disc_id.h"
#include "engine/device/handles.h"
#include "engine/device/toc_parser.h"
#include "engine/device/transport.h"

namespace engine::device {

namespace {

constexpr int32_t kMaxClassifiedTracks = 255;

void ReadMsfToc(int32_t handle, uint8_t (&toc)[kTocBufferBytes]) {
  std::fill(std::begin(toc), std::end(toc), uint8_t{0});
  ReadToc(handle, toc);  // a failed read leaves the buffer zero
}

}  // namespace

int32_t ReadToc(int32_t handle, uint8_t* buffer804) {
  const HandleRecord* r = FindOpenHandle(handle);
  if (!r) {
    SetLastDeviceError(DEVERR_BAD_HANDLE);
    return kResultFail;
  }
  return ExecuteOnHandle(handle, ReadTocCdb(r->msfAddressing != 0), kFlagsIn, buffer804,
                         kTocBufferBytes);
}

std::vector<uint8_t> ReadCdTextAnswer(int32_t handle) {
  constexpr size_t kMaxCdTextBytes = 9216;
  if (!FindOpenHandle(handle)) {
    SetLastDeviceError(DEVERR_BAD_HANDLE);
    return {};
  }
  uint8_t head[4] = {};
  if (ExecuteOnHandle(handle, ReadCdTextCdb(sizeof head), kFlagsIn, head, sizeof head) != kResultOk) return {};
  const size_t length = std::min(kMaxCdTextBytes, (size_t(head[0]) << 8 | head[1]) + 2);
  if (length <= 4) return {};
  std::vector<uint8_t> answer(length, 0);
  if (ExecuteOnHandle(handle, ReadCdTextCdb(uint16_t(length)), kFlagsIn, answer.data(), uint32_t(length)) !=
      kResultOk) {
    return {};
  }
  return answer;
}

int32_t ClassifyDisc(int32_t handle, int32_t trackCount) {
  const HandleRecord* r = FindOpenHandle(handle);
  if (!r) {
    SetLastDeviceError(DEVERR_BAD_HANDLE);
    return 0;
  }
  if (trackCount <= 0) return 0;
  const int32_t count = trackCount < kMaxClassifiedTracks ? trackCount : kMaxClassifiedTracks;
  std::vector<TrackClassEntry> entries(static_cast<size_t>(count));
  for (int32_t track = 1; track <= count; ++track) {
    uint8_t answer[kTrackInfoBytes] = {};
    const Cdb cdb = ReadTrackInfoCdb(static_cast<uint32_t>(track), r->readType);
    if (ExecuteOnHandle(handle, cdb, kFlagsIn, answer, sizeof(answer)) != kResultOk) break;
    entries[static_cast<size_t>(track - 1)] = ParseTrackInfo(answer);
  }
  return ClassifyEntries(entries);
}

void ComputeDiscId(int32_t handle, DiscIdRecord& record) {
  if (HandleRecord* r = FindOpenHandle(handle)) r->msfAddressing = 1;
  uint8_t toc[kTocBufferBytes];
  ReadMsfToc(handle, toc);
  DiscIdFromToc(toc, record);
}

int32_t ComputeDiscIdChecked(int32_t handle, DiscIdRecord& record) {
  HandleRecord* r = FindOpenHandle(handle);
  if (!r) {
    SetLastDeviceError(DEVERR_BAD_HANDLE);
    return kResultFail;
  }
  const int32_t previous = r->msfAddressing;
  r->msfAddressing = 1;
  uint8_t toc[kTocBufferBytes];
  ReadMsfToc(handle, toc);
  r->msfAddressing = previous;
  DiscIdFromToc(toc, record);
  return kResultOk;
}

}  // namespace engine::device
