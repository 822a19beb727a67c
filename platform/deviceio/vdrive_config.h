// Reads $RIPMARROW_HOME/vdrives.ini: one section per drive letter ([E]), whose
// keys (image, model, faults…) belong to the virtual drive. Only the file's
// shape is checked here; the drive factory judges the keys.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace platform::deviceio {

class VdriveConfig {
 public:
  using Keys = std::map<std::string, std::string>;  // key names in lower case

  // The file in $RIPMARROW_HOME (default ~/.config/Ripmarrow).
  static std::string defaultPath();
  // A missing file is an empty configuration. Lines that make no sense are
  // reported in `errors` ("vdrives.ini:7: …") and skipped. Every drive comes
  // out with an "address" key: its own, or the next free one.
  static VdriveConfig read(const std::string& path, std::vector<std::string>& errors);
  static VdriveConfig parse(const std::string& text, const std::string& name, std::vector<std::string>& errors);

  // Letter (upper case, C..Z) → its keys; the first section of a letter wins.
  const std::map<char, Keys>& drives() const { return drives_; }

  // The line of a drive's key (lower case) in the file, 0 when unknown.
  int lineOf(char letter, const std::string& key) const;

  // Every fault of the file at `path` that leaves a drive out or a key
  // unused, as the drive table finds them, each naming the file, the line
  // and the key: "vdrives.ini:7: drive E: virtual drive setting 'speed':
  // 'fast' is not a number from 0 to 64". The keys are judged by the drive
  // factory; an image only by its existence (it is not loaded here).
  static std::vector<std::string> problems(const std::string& path);
  // "vdrives.ini:7: drive E: " + what, or without the line when unknown.
  std::string placeOf(char letter, const std::string& key, const std::string& name) const;

 private:
  void assignAddresses(const std::map<char, int>& addressLines, const std::string& name,
                       std::vector<std::string>& errors);

  std::map<char, Keys> drives_;
  std::map<char, std::map<std::string, int>> keyLines_;  // letter → key → its line
};

}  // namespace platform::deviceio
