// The record the test doubles keep of every call made on them, in order,
// as "Class.Member(arguments)". One record per process: tests link the
// doubles' library, which is the same library the registry names, so the
// objects the engine activates write where the test reads.
#pragma once

#include <string>
#include <vector>

#define RM_DOUBLES_API __attribute__((visibility("default")))

namespace doubles {

RM_DOUBLES_API void recordCall(std::string call);
RM_DOUBLES_API std::vector<std::string> recordedCalls();
RM_DOUBLES_API void clearCalls();
// Registers the four classes in the current $RIPMARROW_HOME; false when the store cannot be written.
RM_DOUBLES_API bool registerDoubles();

}  // namespace doubles
