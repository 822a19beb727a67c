// The table of contents and the disc's class, read through a drive handle.
// The answers are taken apart by toc_parser.h.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/device/device_types.h"

namespace engine::device {

// READ TOC format 0 into an 804-byte buffer, in MSF form when the handle's
// msfAddressing is set, LBA otherwise. 1, or 4 (DEVERR_BAD_HANDLE,
// DEVERR_COMMAND_FAILED).
int32_t ReadToc(int32_t handle, uint8_t* buffer804);

// READ TOC/PMA/ATIP format 5: the disc's CD-TEXT packs, read as its length
// says (a 4-byte ask first), at most 9216 bytes. Empty for a bad handle, a
// drive that refuses the format or a disc without CD-TEXT.
std::vector<uint8_t> ReadCdTextAnswer(int32_t handle);

// Asks READ TRACK INFORMATION for tracks 1..trackCount (the first failure
// ends the asking; the remaining tracks count as unanswered) and classifies
// the disc: 0, 1, 2, 3 or 5 (see ClassifyEntries). 0 for a bad handle
// (DEVERR_BAD_HANDLE) or a count of 0 or less.
int32_t ClassifyDisc(int32_t handle, int32_t trackCount);

// The engine's form: sets the handle's msfAddressing (it stays set), reads the
// TOC into a cleared buffer without examining the result, and computes the
// record from whatever the buffer holds.
void ComputeDiscId(int32_t handle, DiscIdRecord& record);

// The validating form, used by the CDDB query: 4 with DEVERR_BAD_HANDLE for a
// handle that is not open; otherwise reads with MSF addresses, restores the
// handle's msfAddressing and returns 1. Recording the disc in the title
// store's key cache is the caller's part.
int32_t ComputeDiscIdChecked(int32_t handle, DiscIdRecord& record);

}  // namespace engine::device
