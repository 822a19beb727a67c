#include "engine/cddb/cdplayer_ini.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/cddb/cddb_text.h"
#include "engine/cddb/disc_key.h"
#include "engine/cddb/line_reader.h"
#include "engine/cddb/track_titles.h"
#include "platform/home/atomic_file.h"
#include "platform/profile/ini_document.h"
#include "platform/profile/profile_file.h"
#include "platform/text/utf.h"

namespace engine::cddb {
namespace {

constexpr size_t kValueBytes = 255;       // profile values read, as the store's readers do
constexpr size_t kWriteLineCapacity = 128;  // entry lines read for storing
constexpr size_t kOrderBytes = 254;

// The store read once per call: a section of a large file would otherwise be
// parsed again for every track key.
platform::IniDocument LoadStore() {
  const platform::ProfileFile file(kCdPlayerIniFile);
  const std::optional<std::string> content = platform::AtomicFile(file.path()).read();
  return platform::IniDocument::parse(content.value_or(std::string()));
}

std::string ReadValue(const platform::IniDocument& store, std::string_view section, std::string_view key,
                      std::string_view fallback) {
  const std::optional<std::string> value = store.value(section, key);
  const std::string clean = platform::text::cleanUtf8(value ? *value : fallback);
  return std::string(CutUtf8(clean, kValueBytes));
}

int32_t TrackCount(const platform::IniDocument& store, std::string_view section) {
  const std::optional<std::string> value = store.value(section, "NUMTRACKS");
  if (!value) return 0;
  const std::optional<int> count = platform::ProfileFile::parseInt(*value);
  return count && *count > 0 ? *count : 0;
}

bool AllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

}  // namespace

int32_t CdPlayerIniTrackCount(std::string_view keyText) { return TrackCount(LoadStore(), keyText); }

int32_t CdPlayerIniRead(CddbMatch* match, char* text, int32_t size) {
  if (match == nullptr || text == nullptr || size <= 0) return kCddbFail;
  const std::string section(match->discId, strnlen(match->discId, sizeof match->discId));
  const platform::IniDocument store = LoadStore();
  const int32_t count = TrackCount(store, section);
  if (count == 0) return kCddbFail;

  CopyToField("rock", match->category, sizeof match->category);
  match->exact = 1;
  CopyToField(CutUtf8(ReadValue(store, section, "ARTIST", ""), 79), match->artist, sizeof match->artist);
  CopyToField(CutUtf8(ReadValue(store, section, "TITLE", ""), 79), match->title, sizeof match->title);

  std::string out;
  size_t room = size_t(size);
  const std::string discTitle = "DTITLE=" + std::string(match->artist) + " / " + match->title + "\r\n";
  if (discTitle.size() < room) {
    out = discTitle;
    room -= discTitle.size();
  }
  for (int32_t i = 0; i < count; ++i) {
    char key[16], fallback[24];
    std::snprintf(key, sizeof key, "%d", i);
    std::snprintf(fallback, sizeof fallback, "Track %d", i + 1);
    const std::string value = ReadValue(store, section, key, fallback);
    if (value.size() + 12 >= room) break;
    const std::string line = "TTITLE" + std::string(key) + "=" + value + "\r\n";
    out += line;
    room -= line.size();
  }
  // Every line appended left at least 12 bytes, so the text and its NUL fit.
  std::memcpy(text, out.data(), out.size());
  text[out.size()] = '\0';
  return kCddbOk;
}

void CdPlayerIniWrite(const CddbMatch& match, std::string_view text) {
  uint32_t trackCount = 0;
  const uint32_t key = DiscKeyCacheLookup(std::string_view(match.discId, strnlen(match.discId, sizeof match.discId)),
                                          &trackCount);
  if (key == 0) return;
  char section[16];
  std::snprintf(section, sizeof section, "%X", key);

  const std::string artist(match.artist, strnlen(match.artist, sizeof match.artist));
  const std::string title(match.title, strnlen(match.title, sizeof match.title));
  platform::AtomicFile file(platform::ProfileFile(kCdPlayerIniFile).path());
  file.update([&](const std::optional<std::string>& current) -> std::optional<std::string> {
    platform::IniDocument store = platform::IniDocument::parse(current.value_or(std::string()));
    store.setValue(section, "artist", artist);
    store.setValue(section, "title", title);
    store.setValue(section, "numtracks", std::to_string(trackCount));
    // An entry may split a long title over several lines of the same
    // number: the pieces are joined, in the order the tracks first appear.
    std::vector<std::pair<std::string, std::string>> titles;
    LineReader reader(text);
    while (!reader.atEnd()) {
      const std::string_view line = reader.next(kWriteLineCapacity);
      if (line.size() < 7 || line.substr(0, 6) != "TTITLE") continue;
      const size_t equals = line.find('=');
      if (equals == std::string_view::npos) continue;
      // Only track numbers are keys: any other text between "TTITLE" and "="
      // could name "artist", "numtracks" or "order" and overwrite them.
      const std::string_view trackKey = line.substr(6, equals - 6);
      if (!AllDigits(trackKey)) continue;
      auto known = std::find_if(titles.begin(), titles.end(), [&](const auto& t) { return t.first == trackKey; });
      if (known == titles.end()) known = titles.insert(titles.end(), {std::string(trackKey), std::string()});
      known->second += line.substr(equals + 1);
    }
    std::string order;
    for (const auto& [trackKey, value] : titles) {
      // The profile layer turns any CR or LF left in the value into blanks.
      if (store.setValue(section, trackKey, CutUtf8(value, kTrackTitleBytes)) == platform::IniDocument::Change::Refused) {
        continue;
      }
      if (order.size() + trackKey.size() + 1 <= kOrderBytes) order += trackKey + " ";
    }
    store.setValue(section, "order", order);
    return store.serialize();
  });
}

namespace {

// A value as the store's readers will see it: valid UTF-8 on one line, cut
// to what a title may hold, and quoted again when quotes of its own would
// otherwise be taken for the profile's.
std::string StoredValue(std::string_view text) {
  std::string value = platform::text::cleanUtf8(text);
  for (char& c : value) {
    if ((static_cast<unsigned char>(c) < 0x20) || c == 0x7f) c = ' ';
  }
  value = std::string(CutUtf8(value, kTrackTitleBytes - 2));
  const size_t first = value.find_first_not_of(' ');
  const size_t last = value.find_last_not_of(' ');
  if (first == std::string::npos) return std::string();
  value = value.substr(first, last - first + 1);
  const char q = value.front();
  if (value.size() >= 2 && (q == '"' || q == '\'') && value.back() == q) value = q + value + q;
  return value;
}

}  // namespace

bool CdPlayerIniStore(uint32_t key, uint32_t trackCount, std::string_view artist, std::string_view title,
                      const std::vector<std::string>& trackTitles) {
  if (key == 0 || trackCount == 0) return false;
  char section[16];
  std::snprintf(section, sizeof section, "%X", key);
  platform::AtomicFile file(platform::ProfileFile(kCdPlayerIniFile).path());
  return file.update([&](const std::optional<std::string>& current) -> std::optional<std::string> {
    platform::IniDocument store = platform::IniDocument::parse(current.value_or(std::string()));
    store.setValue(section, "artist", StoredValue(artist));
    store.setValue(section, "title", StoredValue(title));
    store.setValue(section, "numtracks", std::to_string(trackCount));
    std::string order;
    const size_t count = std::min<size_t>(trackTitles.size(), size_t(kMaxTrackTitles));
    for (size_t i = 0; i < count; ++i) {
      const std::string trackKey = std::to_string(i);
      store.setValue(section, trackKey, StoredValue(trackTitles[i]));
      if (order.size() + trackKey.size() + 1 <= kOrderBytes) order += trackKey + " ";
    }
    store.setValue(section, "order", order);
    return store.serialize();
  });
}

}  // namespace engine::cddb
