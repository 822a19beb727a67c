#include "tests/doubles/call_log.h"

#include <mutex>

namespace doubles {
namespace {
std::mutex mutex;
std::vector<std::string>& calls() {  // guarded by mutex
  static std::vector<std::string> list;
  return list;
}
}  // namespace

void recordCall(std::string call) {
  std::lock_guard lock(mutex);
  calls().push_back(std::move(call));
}

std::vector<std::string> recordedCalls() {
  std::lock_guard lock(mutex);
  return calls();
}

void clearCalls() {
  std::lock_guard lock(mutex);
  calls().clear();
}

}  // namespace doubles
