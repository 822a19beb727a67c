// The table of contents and the disc's class, read through a drive handle.
// The answers are taken apart by toc_parser.h.
#pragma once

#include <cstdint>

namespace engine::device {

// READ TOC format 0 into an 804-byte buffer, in MSF form when the handle's
// msfAddressing is set, LBA otherwise. 1, or 4 (DEVERR_BAD_HANDLE,
// DEVERR_COMMAND_FAILED).
int32_t ReadToc(int32_t handle, uint8_t* buffer804);

// Asks READ TRACK INFORMATION for tracks 1..trackCount (the first failure
// ends the asking; the remaining tracks count as unanswered) and classifies
// the disc: 0, 1, 2, 3 or 5 (see ClassifyEntries). 0 for a bad handle
// (DEVERR_BAD_HANDLE) or a count of 0 or less.
int32_t ClassifyDisc(int32_t handle, int32_t trackCount);

}  // namespace engine::device
