// Generated discs from a small text description, for tests, the demo disc and
// users who want a disc of a given shape. One statement a line, '#' starts a
// comment, values with blanks are quoted:
//
//   disc title="Demo" artist="The Quartet" seed=7 catalog=0123456789012
//   track kind=music length=0:32:00 title="Morning" key=D progression=I-vi-IV-V tempo=92 voicing=1
//   track kind=tone length=20s freq=440 preemphasis=yes copy=yes isrc=USXYZ2600001
//   track kind=noise length=300f pregap=2s
//   session
//   track kind=data length=1:00:00
//
//   track kind=level length=10s value=1000
//
// Kinds: music, tone, noise, level (every sample at `value`), silence, data. Lengths and pregaps are mm:ss:ff,
// seconds ("20s") or frames ("300f"). The same description always yields the
// same disc, byte for byte.
#pragma once

#include <string>
#include <string_view>

#include "platform/vdrive/disc.h"

namespace platform::vdrive {

// Throws ImageError "<name>:<line>: …" on a malformed description.
Disc generateDisc(std::string_view description, const std::string& name);
Disc loadDescription(const std::string& path);

// A .cue file or a description, told apart by the ".cue" suffix.
Disc loadImage(const std::string& path);

}  // namespace platform::vdrive
