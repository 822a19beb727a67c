// quavern.ini, the desktop program's settings. Nothing is kept in memory:
// every read goes to the file at the moment a window needs the value and
// every write replaces the file at once (atomically, other lines kept), so
// windows that share one store never see stale values. Sections and keys
// match without regard to case; integers and booleans are stored as text
// ("1"/"0"); a missing, unreadable or garbled value gives the caller's
// default.
#pragma once

#include <string>
#include <string_view>

#include "platform/profile/profile_file.h"

namespace quavern {

class SettingsStore {
 public:
  // The program's own file, $RIPMARROW_HOME/quavern.ini.
  static constexpr const char* kFileName = "quavern.ini";

  // fileName is a bare name (in $RIPMARROW_HOME) or a path (tests).
  explicit SettingsStore(std::string fileName = kFileName);

  std::string readText(std::string_view section, std::string_view key, std::string_view fallback) const;
  // A leading sign and decimal digits; anything else gives the fallback.
  int readInt(std::string_view section, std::string_view key, int fallback) const;
  // Any non-zero integer reads as true.
  bool readBool(std::string_view section, std::string_view key, bool fallback) const;

  // Write failures are not reported to the user (false here).
  bool writeText(std::string_view section, std::string_view key, std::string_view value);
  bool writeInt(std::string_view section, std::string_view key, int value);
  bool writeBool(std::string_view section, std::string_view key, bool value);

  std::string path() const;

 private:
  platform::ProfileFile file_;
};

// The readers' defaults that more than one window uses.
namespace defaults {
inline constexpr const char* kCddbServer = "gnudb.gnudb.org";
inline constexpr const char* kCddbPort = "80";
inline constexpr int kLookupTimeOutMs = 15000;
inline constexpr const char* kCddbScript = "/~cddb/cddb.cgi";
// "C:\Music" of the original layout: the user's Music folder.
std::string musicFolder();
// [cddb] "email" when none is stored: the login name at the host name.
// Public CDDB servers ask every request to carry the user's own address.
std::string userEMail();
}  // namespace defaults

}  // namespace quavern
