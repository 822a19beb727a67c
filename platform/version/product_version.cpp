#include "platform/version/product_version.h"

namespace platform {

const char* productVersion() { return RIPMARROW_PRODUCT_VERSION; }

}  // namespace platform
