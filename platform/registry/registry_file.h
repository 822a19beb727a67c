// The registry store's file format, as pure data (no I/O):
//
//   [HKEY_CLASSES_ROOT\CLSID\{…}\InprocServer32]
//   @=/usr/lib/ripmarrow/libtrackmill2.so
//   ThreadingModel=Apartment
//
// One section per key path, `@` for the key's default value, `name=value`
// for the others. Blanks around names and values are not significant, so a
// hand edit with spaces reads as expected. Anything that could break a line
// or be taken for markup is written as %XX (two hex digits): '%', CR, LF,
// NUL, blanks at either end, '=' in names, ']' in key paths, a name that
// starts with '[' or ';' or is exactly "@". Reading decodes it, so every
// name and value comes back exactly as stored.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

class RegistryFile {
 public:
  struct Key {
    std::string path;  // normalised: components joined by one '\'
    std::vector<std::pair<std::string, std::string>> values;  // "" is the default value
  };

  static RegistryFile parse(std::string_view text);
  std::string serialize() const;

  // "A\\B\" → "A\B": empty components are dropped.
  static std::string normalize(std::string_view path);

  // Paths and names compare without regard to case.
  const Key* find(std::string_view path) const;
  Key* find(std::string_view path);
  // True for a key that has a section or has keys below it.
  bool exists(std::string_view path) const;
  // The key, created (parents too) when missing.
  Key& create(std::string_view path);
  // Removes the key and everything below it; false when nothing was there.
  bool remove(std::string_view path);
  // Names one level below path, first spelling kept, in file order.
  std::vector<std::string> subkeys(std::string_view path) const;

  static const std::string* findValue(const Key& key, std::string_view name);
  static void setValue(Key& key, std::string_view name, std::string_view value);
  static bool removeValue(Key& key, std::string_view name);

  static std::string encode(std::string_view raw, bool isName, bool isPath);
  static std::string decode(std::string_view stored);

  const std::vector<Key>& keys() const { return keys_; }

 private:
  std::vector<Key> keys_;
};

}  // namespace platform
