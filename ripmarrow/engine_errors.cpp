#include "ripmarrow/engine_errors.h"

namespace ripmarrow {

const char* errorName(LONG code) {
  switch (code) {
    case NO_ERRORS: return "NO_ERRORS";
    case INIT_FAILED: return "INIT_FAILED";
    case OPERATION_FAILED: return "OPERATION_FAILED";
    case NO_DRIVES: return "NO_DRIVES";
    case DRIVE_NOT_SUPPORTED: return "DRIVE_NOT_SUPPORTED";
    case OUT_OF_MEMORY: return "OUT_OF_MEMORY";
    case INVALID_PARAM: return "INVALID_PARAM";
    case TIMEOUT: return "TIMEOUT";
    case DRIVE_BUSY: return "DRIVE_BUSY";
    case ASPI_DRIVER: return "ASPI_DRIVER";
    case FORMAT_NOT_SUPPORT: return "FORMAT_NOT_SUPPORT";
    case FILE_ACCESS: return "FILE_ACCESS";
    case MEDIA_CHANGED: return "MEDIA_CHANGED";
  }
  return "error";
}

}  // namespace ripmarrow
