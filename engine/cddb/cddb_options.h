// The CDDB client's options, one set for the whole process. The engine sets
// them when an engine object is initialised and again whenever one of its
// CDDB properties is written; the time-out comes with each query.
#pragma once

#include <cstdint>
#include <string>

namespace engine::cddb {

enum class CddbOption : int32_t {
  kServer = 0,     // host name, at most 254 bytes
  kCgiScript = 1,  // gateway script path, at most 79 bytes
  kUserEMail = 2,  // at most 63 bytes, "@" and blanks after the first character made "+"
  kAgent = 3,      // at most 59 bytes, the same rule
  kHttpPort = 4,
  kWriteBack = 5,  // non-zero: entries read from a server are stored in cdplayer.ini
};

inline constexpr char kDefaultServer[] = "gnudb.gnudb.org";
inline constexpr char kDefaultCgiScript[] = "/~cddb/cddb.cgi";
inline constexpr char kDefaultUserEMail[] = "ripmarrow@localhost";
inline constexpr char kDefaultAgent[] = "Ripmarrow 0.1";
inline constexpr int32_t kDefaultHttpPort = 80;
inline constexpr int32_t kDefaultTimeoutMs = 7000;

// Stores one option: text options from `text` (null reads as ""), integer
// options from `number`. Unknown options are ignored.
void CddbSetOption(CddbOption option, const char* text, int32_t number);

// A copy of the options as they stand.
struct CddbOptions {
  std::string server = kDefaultServer;
  std::string cgiScript = kDefaultCgiScript;
  std::string userEMail = kDefaultUserEMail;
  std::string agent = kDefaultAgent;
  int32_t httpPort = kDefaultHttpPort;
  int32_t writeBack = 1;
  int32_t timeoutMs = kDefaultTimeoutMs;
};
CddbOptions CurrentCddbOptions();
void SetCddbTimeout(int32_t ms);
// Back to the initial values (tests).
void ResetCddbOptions();

// "@" and blanks after the first character of text become "+" (the hello
// field's rule).
std::string PlusForAtAndBlank(std::string text);

}  // namespace engine::cddb
