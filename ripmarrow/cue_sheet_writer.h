// The cue sheet of a rip, as a pure function of the disc's layout, its
// titles and the files the tracks went into: CATALOG, and per track FILE,
// TRACK, FLAGS (PRE, DCP, 4CH), ISRC, TITLE, PERFORMER, INDEX 00 and
// INDEX 01.
//
// Pregaps are placed as the common rippers place them for one file per
// track: a track's file starts at its INDEX 01, so its pregap is the end of
// the previous track's file (which is where a rip by the table of contents
// puts it) and its INDEX 00 is written under the previous FILE. Track 1's
// room before INDEX 01 is in no file: it is written as PREGAP (silence for
// whoever burns or plays the sheet), unless it was ripped as the hidden
// track: then that file holds track 1's INDEX 00. Data tracks have no file
// and are left out; a pregap not known is written as none, and a sheet
// whose pregaps were not known says so in a comment.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ripmarrow {

class CueSheetWriter {
 public:
  struct Track {
    int number = 1;
    uint32_t startLba = 0;      // INDEX 01
    int32_t pregapFrames = -1;  // INDEX 00 to INDEX 01; -1 not known
    bool data = false;
    bool preEmphasis = false;
    bool copyPermitted = false;
    bool fourChannel = false;
    std::string isrc;       // "" none
    std::string title;      // "" none
    std::string performer;  // "" none
    std::string file;       // the file's name beside the sheet
  };
  struct Disc {
    std::string catalog;  // "" none
    std::string title;
    std::string performer;
    std::vector<Track> tracks;  // disc order
    // The file of the audio before track 1's INDEX 01 (the hidden track);
    // "" when it was not ripped.
    std::string hiddenTrackFile;
    bool pregapsUnknown = false;  // the drive did not tell them
    std::string fileType = "WAVE";  // of every FILE: WAVE, MP3
  };

  // The sheet's text, lines ended by CR LF as most readers expect.
  static std::string write(const Disc& disc);

  // mm:ss:ff of a frame count.
  static std::string msf(uint32_t frames);
};

}  // namespace ripmarrow
