// Tags every file `ripmarrow rip` writes, in every format, through the tag
// component AudioInformation2, as the desktop program tags its rips: title,
// artist, album, genre, year when known, track number and total, and the
// disc's CDDB id. The component is created through COM on first use and
// kept for the run; it lives on the client's thread like the engine.
#pragma once

#include <ostream>
#include <string>

#include "components/tonemeter2.h"
#include "components/trackmill2.h"
#include "platform/com/com_ptr.h"

namespace ripmarrow {

class TrackTagger {
 public:
  // What every file of the disc carries.
  struct DiscTags {
    std::string artist;
    std::string album;
    std::string genre;
    long year = 0;         // 0: not known
    long trackTotal = 0;   // audio tracks on the disc
    std::string cddbId;    // eight hex digits, "" when not known
  };

  // The disc's tags from the engine after its title lookup: artist, album
  // and genre only when `titlesFound` (the engine's lookup properties hold
  // nothing of this disc otherwise), the track total and the CDDB id always.
  // The engine offers no year.
  static DiscTags discTags(IAudioCDRipper2* engine, bool titlesFound);

  // The CDDB id as tags carry it: eight lower-case hex digits.
  static std::string cddbIdText(LONG id);

  // Writes the tags into `path`. "" on success, else why not (the component
  // is not registered, or its own reason).
  std::string tag(const std::string& path, long track, const std::string& title, const DiscTags& disc);

 private:
  com::ComPtr<IAudioInformation2> info_;
  bool tried_ = false;
};

}  // namespace ripmarrow
