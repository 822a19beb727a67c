#include "platform/registry/registry_file.h"

#include <algorithm>

#include "platform/text/ascii.h"

namespace platform {
namespace {

using text::equalsIgnoreCase;

// True when path lies strictly below parent ("A\B\C" below "a\b").
bool isBelow(std::string_view path, std::string_view parent) {
  return path.size() > parent.size() + 1 && path[parent.size()] == '\\' &&
         equalsIgnoreCase(path.substr(0, parent.size()), parent);
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string RegistryFile::normalize(std::string_view path) {
  std::string out;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) {
      if (!out.empty()) out += '\\';
      out.append(path.substr(start, end - start));
    }
    start = end + 1;
  }
  return out;
}

std::string RegistryFile::encode(std::string_view raw, bool isName, bool isPath) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(raw.size());
  for (size_t i = 0; i < raw.size(); ++i) {
    const char c = raw[i];
    const bool atEdge = i == 0 || i + 1 == raw.size();
    bool escape = c == '%' || c == '\r' || c == '\n' || c == '\0' || (atEdge && text::isBlank(c));
    if (isName) escape = escape || c == '=' || (i == 0 && (c == '[' || c == ';' || (c == '@' && raw.size() == 1)));
    if (isPath) escape = escape || c == ']';
    if (escape) {
      const auto byte = static_cast<unsigned char>(c);
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    } else {
      out += c;
    }
  }
  return out;
}

std::string RegistryFile::decode(std::string_view stored) {
  std::string out;
  out.reserve(stored.size());
  for (size_t i = 0; i < stored.size(); ++i) {
    if (stored[i] == '%' && i + 2 < stored.size() && hexDigit(stored[i + 1]) >= 0 && hexDigit(stored[i + 2]) >= 0) {
      out += static_cast<char>(hexDigit(stored[i + 1]) * 16 + hexDigit(stored[i + 2]));
      i += 2;
    } else {
      out += stored[i];  // a stray '%' from a hand edit stays as it is
    }
  }
  return out;
}

RegistryFile RegistryFile::parse(std::string_view text) {
  RegistryFile file;
  Key* current = nullptr;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const auto line = text::trimBlanks(text.substr(start, end - start));
    start = end + 1;
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    if (line.front() == '[') {
      const size_t close = line.rfind(']');
      const auto inner = line.substr(1, close == std::string_view::npos || close == 0 ? std::string_view::npos : close - 1);
      // A repeated section (hand edit) adds to the first one.
      const std::string path = normalize(decode(text::trimBlanks(inner)));
      current = path.empty() ? nullptr : &file.create(path);
      continue;
    }
    const size_t eq = line.find('=');
    if (current == nullptr || eq == std::string_view::npos) continue;  // not ours: skipped
    const auto storedName = text::trimBlanks(line.substr(0, eq));
    const std::string name = storedName == "@" ? std::string() : decode(storedName);
    if (findValue(*current, name) == nullptr) setValue(*current, name, decode(text::trimBlanks(line.substr(eq + 1))));
  }
  return file;
}

std::string RegistryFile::serialize() const {
  std::string out;
  for (const Key& key : keys_) {
    if (!out.empty()) out += '\n';
    out += '[' + encode(key.path, false, true) + "]\n";
    for (const auto& [name, value] : key.values) {
      out += name.empty() ? std::string("@") : encode(name, true, false);
      out += '=';
      out += encode(value, false, false);
      out += '\n';
    }
  }
  return out;
}

const RegistryFile::Key* RegistryFile::find(std::string_view path) const {
  const std::string normal = normalize(path);
  for (const Key& key : keys_) {
    if (equalsIgnoreCase(key.path, normal)) return &key;
  }
  return nullptr;
}

RegistryFile::Key* RegistryFile::find(std::string_view path) {
  return const_cast<Key*>(static_cast<const RegistryFile*>(this)->find(path));
}

bool RegistryFile::exists(std::string_view path) const {
  const std::string normal = normalize(path);
  if (normal.empty()) return false;
  return std::any_of(keys_.begin(), keys_.end(), [&](const Key& key) {
    return equalsIgnoreCase(key.path, normal) || isBelow(key.path, normal);
  });
}

RegistryFile::Key& RegistryFile::create(std::string_view path) {
  const std::string normal = normalize(path);
  if (Key* key = find(normal)) return *key;
  // Parents first, so the file lists a key before its subkeys.
  const size_t slash = normal.rfind('\\');
  if (slash != std::string::npos) create(std::string_view(normal).substr(0, slash));
  keys_.push_back(Key{normal, {}});
  return keys_.back();
}

bool RegistryFile::remove(std::string_view path) {
  const std::string normal = normalize(path);
  if (normal.empty()) return false;
  const auto before = keys_.size();
  std::erase_if(keys_, [&](const Key& key) { return equalsIgnoreCase(key.path, normal) || isBelow(key.path, normal); });
  return keys_.size() != before;
}

std::vector<std::string> RegistryFile::subkeys(std::string_view path) const {
  const std::string normal = normalize(path);
  std::vector<std::string> names;
  for (const Key& key : keys_) {
    if (!isBelow(key.path, normal)) continue;
    std::string_view rest = std::string_view(key.path).substr(normal.size() + 1);
    rest = rest.substr(0, rest.find('\\'));
    const bool known = std::any_of(names.begin(), names.end(), [&](const std::string& n) { return equalsIgnoreCase(n, rest); });
    if (!known) names.emplace_back(rest);
  }
  return names;
}

const std::string* RegistryFile::findValue(const Key& key, std::string_view name) {
  for (const auto& [n, v] : key.values) {
    if (equalsIgnoreCase(n, name)) return &v;
  }
  return nullptr;
}

void RegistryFile::setValue(Key& key, std::string_view name, std::string_view value) {
  for (auto& [n, v] : key.values) {
    if (equalsIgnoreCase(n, name)) {
      v = value;  // the name keeps the case it was created with
      return;
    }
  }
  key.values.emplace_back(std::string(name), std::string(value));
}

bool RegistryFile::removeValue(Key& key, std::string_view name) {
  return std::erase_if(key.values, [&](const auto& nv) { return equalsIgnoreCase(nv.first, name); }) > 0;
}

}  // namespace platform
