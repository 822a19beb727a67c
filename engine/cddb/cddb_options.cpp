#include "engine/cddb/cddb_options.h"

#include <mutex>

#include "engine/cddb/cddb_text.h"

namespace engine::cddb {
namespace {

// Several engine objects may live on different threads of one process, so
// the shared options take a lock although one lookup runs at a time per
// object.
std::mutex gMutex;
CddbOptions gOptions;  // guarded by gMutex

}  // namespace

std::string PlusForAtAndBlank(std::string text) {
  for (size_t i = 1; i < text.size(); ++i) {
    if (text[i] == '@' || text[i] == ' ') text[i] = '+';
  }
  return text;
}

void CddbSetOption(CddbOption option, const char* text, int32_t number) {
  const std::string_view value = text ? text : "";
  std::lock_guard lock(gMutex);
  switch (option) {
    case CddbOption::kServer: gOptions.server = CutUtf8(value, 254); break;
    case CddbOption::kCgiScript: gOptions.cgiScript = CutUtf8(value, 79); break;
    case CddbOption::kUserEMail: gOptions.userEMail = PlusForAtAndBlank(std::string(CutUtf8(value, 63))); break;
    case CddbOption::kAgent: gOptions.agent = PlusForAtAndBlank(std::string(CutUtf8(value, 59))); break;
    case CddbOption::kHttpPort: gOptions.httpPort = number; break;
    case CddbOption::kWriteBack: gOptions.writeBack = number; break;
  }
}

CddbOptions CurrentCddbOptions() {
  std::lock_guard lock(gMutex);
  return gOptions;
}

void SetCddbTimeout(int32_t ms) {
  std::lock_guard lock(gMutex);
  gOptions.timeoutMs = ms;
}

void ResetCddbOptions() {
  std::lock_guard lock(gMutex);
  gOptions = CddbOptions{};
}

}  // namespace engine::cddb
