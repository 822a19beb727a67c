// A profile (INI) file as text, read and edited with the Windows
// private-profile rules, without any I/O:
//  - "[name]" opens a section, "key=value" is an entry; blanks around
//    section names, keys and values do not count; names match without
//    regard to case; a value in matching quotes ("…" or '…') reads without
//    them.
//  - The first of two sections or keys of the same name wins on read and is
//    the one a write changes.
//  - Every other line (comments, blank lines, text that is not an entry, a
//    "[" line without "]") is kept as it stands, and so is each line's own
//    ending (CR LF or LF). serialize() of an unedited document gives back its
//    text byte for byte.
//  - A new key goes after the last entry of its section; a new section goes
//    at the end of the file.
//  - Writes never let a name or value break its line: CR and LF become
//    blanks, and a key or section that could not be read back as written (a
//    key with '=' or starting with '[' or ';', an empty key, a section with
//    ']') is refused.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class IniDocument {
 public:
  static IniDocument parse(std::string_view text);
  std::string serialize() const;

  std::optional<std::string> value(std::string_view section, std::string_view key) const;
  // Section names in file order, each once (first spelling).
  std::vector<std::string> sectionNames() const;
  // Keys of the first section of that name, each once; empty when absent.
  std::vector<std::string> keyNames(std::string_view section) const;

  enum class Change { Changed, Unchanged, Refused };
  Change setValue(std::string_view section, std::string_view key, std::string_view value);
  Change removeKey(std::string_view section, std::string_view key);
  // Removes every section of that name with all its lines.
  Change removeSection(std::string_view section);

 private:
  enum class Kind { Other, Section, BrokenSection, Entry };
  struct Line {
    std::string raw;  // without its ending
    std::string eol;  // "\r\n", "\n", or "" for a last line without one
    Kind kind = Kind::Other;
    std::string name;   // section name or key, trimmed
    std::string value;  // entry value, trimmed, quotes kept
  };
  struct Range {
    size_t header;  // index of the "[name]" line
    size_t end;     // one past the section's last line
  };

  static Line classify(std::string raw, std::string eol);
  // Ranges of the sections with that name, in file order.
  std::vector<Range> sections(std::string_view name) const;
  std::string newLineEnding() const;
  void ensureLastLineEnded();

  std::vector<Line> lines_;
};

}  // namespace platform
