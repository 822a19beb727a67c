// Feeds arbitrary bytes to the profile parser and checks what the rest of
// the system relies on: an unedited document writes back byte for byte, and
// after a write the value reads back as written while no other section
// appears or vanishes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/profile/ini_document.h"
#include "platform/text/ascii.h"

namespace {

std::string expectedRead(std::string value) {
  for (char& c : value) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  std::string_view v = platform::text::trimBlanks(value);
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
    v = v.substr(1, v.size() - 2);
  }
  return std::string(v);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  // The last two 0x01 bytes split off a section, a key and a value to write.
  const size_t cut1 = input.rfind('\x01');
  const size_t cut2 = cut1 == std::string_view::npos || cut1 == 0 ? std::string_view::npos : input.rfind('\x01', cut1 - 1);
  const std::string_view text = cut2 == std::string_view::npos ? input : input.substr(0, cut2);

  platform::IniDocument doc = platform::IniDocument::parse(text);
  if (doc.serialize() != text) std::abort();
  (void)doc.sectionNames();
  if (cut2 == std::string_view::npos) return 0;

  const std::string_view rest = input.substr(cut2 + 1);
  const size_t mid = rest.find('\x01');
  const std::string_view section = rest.substr(0, mid);
  const std::string_view key = rest.substr(mid + 1, 8);
  const std::string value(rest.substr(mid + 1 + key.size() < rest.size() ? mid + 1 + key.size() : rest.size()));

  const size_t sectionsBefore = doc.sectionNames().size();
  const bool hadSection = !doc.keyNames(section).empty() || doc.value(section, key).has_value();
  const auto change = doc.setValue(section, key, value);
  const platform::IniDocument reread = platform::IniDocument::parse(doc.serialize());
  if (change == platform::IniDocument::Change::Refused) return 0;
  std::string sectionName(section);
  for (char& c : sectionName) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  std::string keyName(key);
  for (char& c : keyName) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  const auto got = reread.value(sectionName, keyName);
  if (!got || *got != expectedRead(value)) std::abort();
  const size_t sectionsAfter = reread.sectionNames().size();
  if (sectionsAfter != sectionsBefore && sectionsAfter != sectionsBefore + 1) std::abort();
  (void)hadSection;
  return 0;
}
