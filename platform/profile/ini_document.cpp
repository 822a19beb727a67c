#include "platform/profile/ini_document.h"

#include <algorithm>

#include "platform/text/ascii.h"

namespace platform {
namespace {

using text::equalsIgnoreCase;
using text::trimBlanks;

std::string unquoted(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    return std::string(value.substr(1, value.size() - 2));
  }
  return std::string(value);
}

// CR and LF would end the line early; a blank keeps the rest on it.
std::string oneLine(std::string_view s) {
  std::string out(s);
  std::replace(out.begin(), out.end(), '\r', ' ');
  std::replace(out.begin(), out.end(), '\n', ' ');
  return out;
}

bool addUnique(std::vector<std::string>& names, const std::string& name) {
  for (const auto& n : names) {
    if (equalsIgnoreCase(n, name)) return false;
  }
  names.push_back(name);
  return true;
}

}  // namespace

IniDocument::Line IniDocument::classify(std::string raw, std::string eol) {
  Line line;
  line.raw = std::move(raw);
  line.eol = std::move(eol);
  const std::string_view trimmed = trimBlanks(line.raw);
  if (trimmed.empty() || trimmed.front() == ';') return line;
  if (trimmed.front() == '[') {
    const size_t close = trimmed.find(']');
    if (close == std::string_view::npos) {
      line.kind = Kind::BrokenSection;  // its entries belong to no section anyone can name
    } else {
      line.kind = Kind::Section;
      line.name = std::string(trimBlanks(trimmed.substr(1, close - 1)));
    }
    return line;
  }
  const size_t eq = trimmed.find('=');
  if (eq == std::string_view::npos) return line;
  line.kind = Kind::Entry;
  line.name = std::string(trimBlanks(trimmed.substr(0, eq)));
  line.value = std::string(trimBlanks(trimmed.substr(eq + 1)));
  return line;
}

IniDocument IniDocument::parse(std::string_view text) {
  IniDocument doc;
  size_t start = 0;
  // A byte-order mark (editors on other systems write one) stays in the
  // file, but must not hide the first line's section header.
  constexpr std::string_view kBom = "\xEF\xBB\xBF";
  std::string bom;
  if (text.substr(0, kBom.size()) == kBom) {
    bom = kBom;
    text.remove_prefix(kBom.size());
  }
  while (start < text.size()) {
    const size_t lf = text.find('\n', start);
    if (lf == std::string_view::npos) {
      doc.lines_.push_back(classify(std::string(text.substr(start)), ""));
      break;
    }
    const bool crlf = lf > start && text[lf - 1] == '\r';
    const size_t end = crlf ? lf - 1 : lf;
    doc.lines_.push_back(classify(std::string(text.substr(start, end - start)), crlf ? "\r\n" : "\n"));
    start = lf + 1;
  }
  if (!bom.empty()) {
    if (doc.lines_.empty()) doc.lines_.push_back(classify("", ""));
    doc.lines_.front().raw.insert(0, bom);
  }
  return doc;
}

std::string IniDocument::serialize() const {
  std::string out;
  for (const Line& line : lines_) {
    out += line.raw;
    out += line.eol;
  }
  return out;
}

std::vector<IniDocument::Range> IniDocument::sections(std::string_view name) const {
  const std::string_view wanted = trimBlanks(name);
  std::vector<Range> ranges;
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].kind != Kind::Section || !equalsIgnoreCase(lines_[i].name, wanted)) continue;
    size_t end = i + 1;
    while (end < lines_.size() && lines_[end].kind != Kind::Section && lines_[end].kind != Kind::BrokenSection) ++end;
    ranges.push_back({i, end});
  }
  return ranges;
}

std::optional<std::string> IniDocument::value(std::string_view section, std::string_view key) const {
  const auto ranges = sections(section);
  if (ranges.empty()) return std::nullopt;
  const std::string_view wanted = trimBlanks(key);
  for (size_t i = ranges.front().header + 1; i < ranges.front().end; ++i) {
    if (lines_[i].kind == Kind::Entry && equalsIgnoreCase(lines_[i].name, wanted)) return unquoted(lines_[i].value);
  }
  return std::nullopt;
}

std::vector<std::string> IniDocument::sectionNames() const {
  std::vector<std::string> names;
  for (const Line& line : lines_) {
    if (line.kind == Kind::Section) addUnique(names, line.name);
  }
  return names;
}

std::vector<std::string> IniDocument::keyNames(std::string_view section) const {
  std::vector<std::string> names;
  const auto ranges = sections(section);
  if (ranges.empty()) return names;
  for (size_t i = ranges.front().header + 1; i < ranges.front().end; ++i) {
    if (lines_[i].kind == Kind::Entry) addUnique(names, lines_[i].name);
  }
  return names;
}

std::string IniDocument::newLineEnding() const {
  // The file's own ending: that of its first ended line; LF for a new file.
  for (const Line& line : lines_) {
    if (!line.eol.empty()) return line.eol;
  }
  return "\n";
}

void IniDocument::ensureLastLineEnded() {
  if (!lines_.empty() && lines_.back().eol.empty()) lines_.back().eol = newLineEnding();
}

IniDocument::Change IniDocument::setValue(std::string_view section, std::string_view key, std::string_view value) {
  const std::string sectionName(trimBlanks(oneLine(section)));
  const std::string keyName(trimBlanks(oneLine(key)));
  const std::string text = oneLine(value);
  if (sectionName.find(']') != std::string::npos) return Change::Refused;
  if (keyName.empty() || keyName.find('=') != std::string::npos || keyName.front() == '[' || keyName.front() == ';') {
    return Change::Refused;
  }
  const std::string eol = newLineEnding();
  const auto ranges = sections(sectionName);
  if (ranges.empty()) {
    ensureLastLineEnded();
    lines_.push_back(classify("[" + sectionName + "]", eol));
    lines_.push_back(classify(keyName + "=" + text, eol));
    return Change::Changed;
  }
  const Range range = ranges.front();
  size_t insertAt = range.header + 1;
  for (size_t i = range.header + 1; i < range.end; ++i) {
    if (lines_[i].kind != Kind::Entry) continue;
    if (equalsIgnoreCase(lines_[i].name, keyName)) {
      if (lines_[i].value == trimBlanks(text)) return Change::Unchanged;
      // The key keeps its spelling; its line's ending stays too.
      const bool bom = i == 0 && lines_[i].raw.starts_with("\xEF\xBB\xBF");
      lines_[i] = classify(lines_[i].name + "=" + text, lines_[i].eol);
      if (bom) lines_[i].raw.insert(0, "\xEF\xBB\xBF");
      return Change::Changed;
    }
    insertAt = i + 1;
  }
  // The line before the new one must end, or the two would run together.
  if (lines_[insertAt - 1].eol.empty()) lines_[insertAt - 1].eol = eol;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), classify(keyName + "=" + text, eol));
  return Change::Changed;
}

IniDocument::Change IniDocument::removeKey(std::string_view section, std::string_view key) {
  const auto ranges = sections(section);
  if (ranges.empty()) return Change::Unchanged;
  const std::string_view wanted = trimBlanks(key);
  bool removed = false;
  for (size_t i = ranges.front().end; i-- > ranges.front().header + 1;) {
    if (lines_[i].kind == Kind::Entry && equalsIgnoreCase(lines_[i].name, wanted)) {
      lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
      removed = true;
    }
  }
  return removed ? Change::Changed : Change::Unchanged;
}

IniDocument::Change IniDocument::removeSection(std::string_view section) {
  auto ranges = sections(section);
  if (ranges.empty()) return Change::Unchanged;
  // From the last, so earlier ranges keep their indexes.
  for (auto it = ranges.rbegin(); it != ranges.rend(); ++it) {
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(it->header),
                 lines_.begin() + static_cast<std::ptrdiff_t>(it->end));
  }
  return Change::Changed;
}

}  // namespace platform
