// Records shared by the CDDB client, the cdplayer.ini store and their caller,
// the engine's lookup. Like the device layer, the client's functions answer 1
// for success and 4 for failure.
#pragma once

#include <cstdint>

namespace engine::cddb {

inline constexpr int32_t kCddbOk = 1;
inline constexpr int32_t kCddbFail = 4;

// The category of a match that lives in cdplayer.ini rather than on a server.
inline constexpr char kCdPlayerIniCategory[] = "cdplayerini";

// One match of a query. Text fields are UTF-8 and NUL-terminated; a cut never
// splits a character.
struct CddbMatch {
  char category[12];  // "rock", "misc", … or kCdPlayerIniCategory
  char discId[12];    // up to 8 hexadecimal digits; for cdplayer.ini the key in "%X" form
  int32_t exact;      // 1: status 200 or a cdplayer.ini hit; 0: one of an inexact list
  char artist[81];
  char title[81];
};

// On entry `count` is the capacity of `items` (zero-filled by the caller);
// on return it is the number of matches found. The caller owns `items`.
struct CddbMatchList {
  int32_t count;
  CddbMatch* items;
};

}  // namespace engine::cddb
