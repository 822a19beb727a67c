#include "engine/device/cd_text.h"

#include <array>
#include <set>

namespace engine::device {
namespace {

constexpr size_t kPackBytes = 18;
constexpr size_t kTextBytes = 12;
constexpr uint8_t kSizeInfo = 0x8F;
constexpr uint8_t kCodes = 0x8E;

struct Pack {
  uint8_t type = 0;
  uint8_t track = 0;
  uint8_t sequence = 0;
  uint8_t position = 0;  // characters of the pack's first string in the packs before
  uint8_t block = 0;
  bool doubleByte = false;
  std::array<uint8_t, kTextBytes> text{};
};

std::string Latin1ToUtf8(const std::string& text) {
  std::string out;
  for (const unsigned char c : text) {
    if (c < 0x80) {
      out += char(c);
    } else {
      out += char(0xC0 | (c >> 6));
      out += char(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::string* Field(CdTextEntry& entry, uint8_t type) {
  switch (type) {
    case 0x80: return &entry.title;
    case 0x81: return &entry.performer;
    case 0x82: return &entry.songwriter;
    case 0x83: return &entry.composer;
    case kCodes: return &entry.code;
    default: return nullptr;
  }
}

}  // namespace

uint16_t CdTextPackCrc(std::span<const uint8_t> first16) {
  uint16_t crc = 0;
  for (const uint8_t byte : first16.first(std::min<size_t>(first16.size(), 16))) {
    crc ^= uint16_t(byte) << 8;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x8000) != 0 ? uint16_t((crc << 1) ^ 0x1021) : uint16_t(crc << 1);
  }
  return uint16_t(~crc);
}

CdText ParseCdText(std::span<const uint8_t> answer) {
  CdText result;
  if (answer.size() < 4) return result;
  // The header's length counts the bytes after itself; a reply cut short
  // by the allocation gives what it holds.
  const size_t length = std::min<size_t>(answer.size(), size_t(answer[0]) << 8 | answer[1]) + 2;
  const auto body = answer.subspan(4, std::min(length, answer.size()) - std::min<size_t>(4, length));
  std::vector<Pack> packs;
  size_t dropped = 0;
  for (size_t at = 0; at + kPackBytes <= body.size(); at += kPackBytes) {
    const auto bytes = body.subspan(at, kPackBytes);
    const uint16_t stored = uint16_t(bytes[16] << 8 | bytes[17]);
    if (CdTextPackCrc(bytes.first(16)) != stored) {
      ++dropped;
      continue;
    }
    Pack pack;
    pack.type = bytes[0];
    if (pack.type < 0x80 || pack.type > 0x8F || (bytes[1] & 0x80) != 0) continue;  // not text, or an extension
    pack.track = bytes[1] & 0x7F;
    pack.sequence = bytes[2];
    pack.position = bytes[3] & 0x0F;
    pack.block = (bytes[3] >> 4) & 0x07;
    pack.doubleByte = (bytes[3] & 0x80) != 0;
    std::copy(bytes.begin() + 4, bytes.begin() + 16, pack.text.begin());
    packs.push_back(pack);
  }
  if (dropped > 0) result.notes.push_back(std::to_string(dropped) + " CD-TEXT pack(s) failed their CRC and were dropped");

  // Each block's character set, from the first byte of its first size
  // information pack; a block without one counts as ISO 8859-1.
  std::map<uint8_t, uint8_t> charset;
  std::set<uint8_t> blocks;
  for (const Pack& pack : packs) {
    blocks.insert(pack.block);
    if (pack.type == kSizeInfo && pack.track == 0 && !charset.count(pack.block)) charset[pack.block] = pack.text[0];
  }
  int chosen = -1;
  for (const uint8_t block : blocks) {
    const uint8_t code = charset.count(block) ? charset[block] : 0x00;
    bool doubleByte = false;
    for (const Pack& pack : packs) doubleByte = doubleByte || (pack.block == block && pack.doubleByte);
    if ((code == 0x00 || code == 0x01) && !doubleByte) {
      if (chosen < 0) chosen = block;
    } else {
      result.notes.push_back("CD-TEXT block " + std::to_string(block) + " skipped: character set " +
                             std::to_string(code) + " is not ISO 8859-1 or ASCII");
    }
  }
  if (chosen < 0) return result;

  // The strings of each type, in pack order. A pack that does not follow
  // the one before of its type (one was dropped) starts afresh at its own
  // track; the part of a string whose start was lost is not kept.
  struct Run {
    int track = 0;
    std::string text;
    bool partial = false;  // the text's start was lost: drop it at its end
    int lastSequence = -2;
    std::string previous;  // the last string ended, for TAB
  };
  std::map<uint8_t, Run> runs;
  for (const Pack& pack : packs) {
    if (pack.block != chosen || pack.type == kSizeInfo) continue;
    Run& run = runs[pack.type];
    if (pack.sequence != run.lastSequence + 1) {
      run.track = pack.track;
      run.text.clear();
      run.partial = pack.position > 0;
    }
    run.lastSequence = pack.sequence;
    for (const uint8_t byte : pack.text) {
      if (byte != 0) {
        if (run.text.size() < 160) run.text += char(byte);
        continue;
      }
      const std::string value = run.text == "\t" ? run.previous : run.text;
      if (!run.partial) {
        run.previous = value;
        if (run.track >= 0 && run.track <= 99 && !value.empty()) {
          if (std::string* field = Field(result.entries[run.track], pack.type)) *field = Latin1ToUtf8(value);
        }
      }
      run.partial = false;
      ++run.track;
      run.text.clear();
    }
  }
  // Entries left with nothing (a type the reader does not keep) go.
  for (auto it = result.entries.begin(); it != result.entries.end();) {
    const CdTextEntry& e = it->second;
    it = e.title.empty() && e.performer.empty() && e.songwriter.empty() && e.composer.empty() && e.code.empty()
             ? result.entries.erase(it)
             : std::next(it);
  }
  return result;
}

}  // namespace engine::device
