// The product's own version, the one its package carries ("0.1.0"): shown by
// --version, in the About box and in every rip log.
#pragma once

namespace platform {

const char* productVersion();

}  // namespace platform
