// The engine's error codes (the ErrcodeConstants its Error event carries)
// by name, as every command reports them.
#pragma once

#include "components/trackmill2.h"

namespace ripmarrow {

// "DRIVE_BUSY"; "error" for a code the engine does not define.
const char* errorName(LONG code);

}  // namespace ripmarrow
