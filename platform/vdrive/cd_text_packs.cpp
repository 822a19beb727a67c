#include "platform/vdrive/cd_text_packs.h"

#include <array>
#include <string>

namespace platform::vdrive {
namespace {

constexpr size_t kTextBytes = 12;

uint16_t PackCrc(const uint8_t* bytes) {
  uint16_t crc = 0;
  for (int k = 0; k < 16; ++k) {
    crc ^= uint16_t(bytes[k]) << 8;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x8000) != 0 ? uint16_t((crc << 1) ^ 0x1021) : uint16_t(crc << 1);
  }
  return uint16_t(~crc);
}

// UTF-8 (as cue sheets hold text) to ISO 8859-1; other characters become '?'.
std::string ToLatin1(const std::string& text) {
  std::string out;
  for (size_t k = 0; k < text.size(); ++k) {
    const unsigned char c = static_cast<unsigned char>(text[k]);
    if (c < 0x80) {
      out += char(c);
    } else if ((c == 0xC2 || c == 0xC3) && k + 1 < text.size()) {
      out += char(((c & 0x03) << 6) | (static_cast<unsigned char>(text[++k]) & 0x3F));
    } else if (c >= 0xC0) {
      out += '?';
      while (k + 1 < text.size() && (static_cast<unsigned char>(text[k + 1]) & 0xC0) == 0x80) ++k;
    }
  }
  return out;
}

class PackWriter {
 public:
  void add(uint8_t type, uint8_t track, const std::array<uint8_t, kTextBytes>& text, uint8_t position) {
    std::array<uint8_t, 18> pack{};
    pack[0] = type;
    pack[1] = track;
    pack[2] = sequence_++;
    pack[3] = std::min<uint8_t>(position, 15);  // block 0, single-byte characters
    std::copy(text.begin(), text.end(), pack.begin() + 4);
    const uint16_t crc = PackCrc(pack.data());
    pack[16] = uint8_t(crc >> 8);
    pack[17] = uint8_t(crc);
    bytes_.insert(bytes_.end(), pack.begin(), pack.end());
    ++counts_[type & 0x0F];
  }
  uint8_t sequence() const { return sequence_; }
  const std::array<uint8_t, 16>& counts() const { return counts_; }
  std::vector<uint8_t>& bytes() { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
  uint8_t sequence_ = 0;
  std::array<uint8_t, 16> counts_{};
};

}  // namespace

std::vector<uint8_t> CdTextPacks(const Disc& disc) {
  const auto& tracks = disc.tracks();
  if (tracks.empty()) return {};
  const std::string DiscText::*albumFields[] = {&DiscText::title, &DiscText::performer, &DiscText::songwriter};
  const std::string Track::*trackFields[] = {&Track::title, &Track::performer, &Track::songwriter};
  PackWriter writer;
  for (int kind = 0; kind < 3; ++kind) {
    // The album's string, then each track's, NUL-ended, in one run.
    std::vector<std::pair<uint8_t, std::string>> strings;  // (track, text)
    bool any = !(disc.text().*albumFields[kind]).empty();
    strings.emplace_back(0, ToLatin1(disc.text().*albumFields[kind]));
    for (const Track& t : tracks) {
      any = any || !(t.*trackFields[kind]).empty();
      strings.emplace_back(uint8_t(t.number), ToLatin1(t.*trackFields[kind]));
    }
    if (!any) continue;
    std::array<uint8_t, kTextBytes> text{};
    size_t filled = 0;
    uint8_t packTrack = 0;
    uint8_t position = 0;
    for (const auto& [track, value] : strings) {
      const std::string ended = value + '\0';
      for (size_t k = 0; k < ended.size(); ++k) {
        if (filled == 0) {
          packTrack = track;
          position = uint8_t(std::min<size_t>(k, 15));
        }
        text[filled++] = uint8_t(ended[k]);
        if (filled == kTextBytes) {
          writer.add(uint8_t(0x80 + kind), packTrack, text, position);
          text.fill(0);
          filled = 0;
        }
      }
    }
    if (filled > 0) writer.add(uint8_t(0x80 + kind), packTrack, text, position);
  }
  if (writer.bytes().empty()) return {};
  // Size information: character set ISO 8859-1, the track range, the packs
  // of each type (the three size packs included), the last sequence number
  // of block 0, its language (English).
  std::array<uint8_t, 16> counts = writer.counts();
  counts[0x0F] = 3;
  const uint8_t last = uint8_t(writer.sequence() + 2);
  std::array<uint8_t, 36> info{};
  info[0] = 0x00;
  info[1] = uint8_t(tracks.front().number);
  info[2] = uint8_t(tracks.back().number);
  std::copy(counts.begin(), counts.end(), info.begin() + 4);
  info[20] = last;
  info[28] = 0x09;
  for (uint8_t k = 0; k < 3; ++k) {
    std::array<uint8_t, kTextBytes> text{};
    std::copy(info.begin() + k * kTextBytes, info.begin() + (k + 1) * kTextBytes, text.begin());
    writer.add(0x8F, k, text, 0);
  }
  return std::move(writer.bytes());
}

}  // namespace platform::vdrive
