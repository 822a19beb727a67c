// The CDDB client: finds the matches for the disc in a drive and fetches the
// entry text of one of them, from a CDDB server (protocol level 6 through
// the server's HTTP gateway, one connection per command) or from
// cdplayer.ini. Options are process-wide (cddb_options.h). Text arrives as
// UTF-8 at this protocol level; a server that answers in ISO-8859-1 is read
// as such, and everything is UTF-8 before it is parsed, stored or returned.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/cddb/cddb_types.h"
#include "engine/device/device_types.h"

namespace engine::cddb {

inline constexpr size_t kQueryReplyBytes = 2048;

// Finds the matches for the disc in `drive` (a device-layer handle): on line
// from the server when `online` is non-zero, else from cdplayer.ini (item 0
// becomes {"cdplayerini", the key in "%X" form, exact 1} when the disc is
// there). timeoutMs becomes the current time-out. 4 only when `list` or its
// items are missing (count 0); otherwise 1 with list->count matches (0 is a
// valid answer: no disc, no server, no match). An on-line query that found
// matches links each match's identifier to the disc's key for a later
// write-back.
int32_t CddbQuery(int32_t drive, CddbMatchList* list, int32_t online, int32_t timeoutMs);

// CddbQuery in two halves, for a caller that asks the drive on one thread
// and the server on another. CddbReadDisc reads what a query needs from the
// disc in `drive` (the drive's only use): false when the drive has no
// table of contents to give. CddbQueryDisc is CddbQuery for that disc, with
// no drive: the same answers and the same write-back links.
struct CddbDisc {
  device::DiscIdRecord disc{};
  uint32_t key = 0;  // the cdplayer.ini key
};
bool CddbReadDisc(int32_t drive, CddbDisc& out);
int32_t CddbQueryDisc(const CddbDisc& disc, CddbMatchList* list, int32_t online, int32_t timeoutMs);

// Fetches the entry text of a match into text[0..size), NUL-terminated: from
// cdplayer.ini for the "cdplayerini" category, else from the server, where
// the text is everything after the "210" status line, the "." line included
// (cut after its last whole line if the UTF-8 text would not fit). With the
// write-back option on, a non-empty server entry is also stored in
// cdplayer.ini. 1, or 4 with text untouched.
int32_t CddbRead(CddbMatch* match, char* text, int32_t size);

}  // namespace engine::cddb
