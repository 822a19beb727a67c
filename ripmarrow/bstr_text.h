// Strings across the COM boundary: the engine's BSTRs as UTF-8 text and back.
#pragma once

#include <string>

#include "platform/com/com.h"

namespace ripmarrow {

// The UTF-8 text of a BSTR the caller received; frees it.
std::string takeText(BSTR value);
// A new BSTR the callee will own.
BSTR makeBstr(const std::string& utf8);

}  // namespace ripmarrow
