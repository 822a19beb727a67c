#include "platform/vdrive/disc_identity.h"

namespace platform::vdrive {

namespace {

int seconds(Lba lba) {
  Msf m = lbaToMsf(lba).value_or(Msf{});
  return m.minutes * 60 + m.seconds;
}

int digitSum(int n) {
  int sum = 0;
  for (; n > 0; n /= 10) sum += n % 10;
  return sum;
}

}  // namespace

uint32_t cddbDiscId(const Disc& disc) {
  uint32_t n = 0;
  for (const Track& t : disc.tracks()) n += static_cast<uint32_t>(digitSum(seconds(t.start)));
  uint32_t playing = static_cast<uint32_t>(seconds(disc.leadOut()) - seconds(disc.tracks().front().start));
  return (n % 255) << 24 | playing << 8 | static_cast<uint32_t>(disc.tracks().size());
}

uint32_t cdPlayerKey(const Disc& disc) {
  uint32_t key = 0;
  for (const Track& t : disc.tracks()) {
    if (isDataMode(t.mode)) continue;
    Msf m = lbaToMsf(t.start).value_or(Msf{});
    key += static_cast<uint32_t>(m.minutes) << 16 | static_cast<uint32_t>(m.seconds) << 8 | m.frames;
  }
  return key;
}

}  // namespace platform::vdrive
