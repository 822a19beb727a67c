// `ripmarrow [--vdrive [IMAGE]] [--drive N] rip [--tracks 1,3-4]
// [--format wav|mp3|mp2|ogg|wma|flac] [--flac-level N] [--encoder-settings FILE] [--mode play|burst|synch|secure|paranoid|verified]
// [--retries N] [--on-error stop|silence|cut|correct] [--speed X|max]
// [--titles local|online|all|none] [--cddb-server HOST[:PORT]] [--cddb-timeout MS] [--out FOLDER]
// [--cue] [--deemphasis]`: rips tracks of the disc
// (all audio tracks by default) one after another through the engine into
// one file per track, "NN Title.ext" when a title lookup succeeded and
// "TrackNN.ext" otherwise, never replacing a file that exists, and tags each
// file written whole, then asks AccurateRip about the tracks and writes
// ripmarrow.log into the folder (see rip_proof.h). Audio before track 1 that
// is not digital silence is ripped as track 00 (hidden_track.h); --cue
// writes a cue sheet beside the files, --deemphasis de-emphasises tracks
// flagged with pre-emphasis. Shows a
// progress bar per track (a line per 10 % when stdout is not a terminal)
// and each track's outcome; Ctrl-C stops the running rip through StopRip.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "client/audio_formats.h"
#include "client/encoder_settings.h"
#include "components/trackmill2.h"
#include "client/accuraterip_lookup.h"
#include "client/ctdb_lookup.h"

namespace ripmarrow {

class RipCommand {
 public:
  using Format = client::AudioFormat;
  enum class Titles { kNone, kLocal, kOnline, kAll, kCdText };

  struct Options {
    long driveNum = 0;  // 1-based; 0: the drive at preferredLetter, else drive 1
    char preferredLetter = 0;
    std::vector<long> tracks;  // 1-based, in rip order; empty: every audio track
    Format format = Format::kMp3;
    long flacLevel = 5;  // 0 fastest ... 8 smallest
    bool flacLevelGiven = false;  // --flac-level was given: it wins over the encoder settings' level
    // --encoder-settings FILE: the encoder sections of a quavern.ini-format
    // file, loaded when the command line is checked. Unset: MP3 at 128
    // kbit/s, MP2 at 192 kbit/s, the engine's own OGG and WMA formats.
    std::string encoderSettingsFile;
    std::optional<client::EncoderSettings> encoders;
    RipModePresetConstants mode = BURST;
    // --mode verified: the databases asked first, every track in BURST, and
    // a track neither confirms (AccurateRip v2 or the CUETools database,
    // confidence 2 or more) ripped again in SECURE; SECURE from the start
    // when neither knows the disc. `mode` is BURST then.
    bool verified = false;
    long retries = -1;   // -1: the preset's
    long onError = -1;   // a RipActionOnErrorConstants value; -1: the preset's
    long speed = 0;      // x; 0: the preset's
    bool speedMax = false;  // the drive's highest speed, unpaced
    Titles titles = Titles::kAll;
    std::string musicBrainzServer;  // --musicbrainz-server; "": the environment's, quavern.ini's or the public one
    std::string coverArtServer;     // --coverart-server; the same
    std::string release;            // --release N|MBID
    // Nobody to ask (watch): of releases that differ the best-ranked is
    // taken and the others are listed in the output and the log.
    bool unattended = false;
    // --cover-art embed|file|both|none: the release's front cover in the
    // files, beside them, or both (the default).
    bool coverArtFile = true;
    bool coverArtEmbed = true;
    std::string folder;  // "": ~/Music/Ripmarrow
    std::string email;   // CDDB requests' address; "": [cddb] "email" of quavern.ini, else login@host
    std::string cddbServer;  // --cddb-server HOST[:PORT]: a host name; "": the engine's (gnudb.gnudb.org)
    long cddbPort = 0;       // 0: the engine's (80)
    long cddbTimeOutMs = 0;  // --cddb-timeout; 0: the engine's
    std::optional<long> offset;  // --offset: the read offset instead of drives.ini's
    bool verify = false;         // test and copy: each track read twice, the copy CRCs compared
    std::string accurateRipServer = client::DefaultAccurateRipServer();  // HOST[:PORT], or "none"
    std::string ctdbServer = client::DefaultCtdbServer();  // http://HOST[:PORT][/PATH], HOST[:PORT] or "none"
    bool cue = false;         // a cue sheet beside the files
    bool deemphasis = false;  // undo pre-emphasis on the tracks flagged with it
    std::string naming;       // --naming: a folder and file name template (naming_template.h); "": "NN Title"
    bool replayGain = false;  // --replaygain: track and album gain measured while ripping, tagged at the end
  };
  // Runs as the program: in a COM apartment of its own, on stdout and
  // stderr; the process's exit status.
  static int main(const Options& options);
  // 0 when every track was ripped whole; 1 when one failed, was stopped or
  // nothing could be ripped.
  static int run(const Options& options, std::ostream& out, std::ostream& err);

  // "1,3-4" -> 1 3 4, in the order given. False on anything else (empty
  // items, zero, reversed or huge ranges).
  static bool parseTracks(const std::string& text, std::vector<long>& tracks);
  // The file name of track `track` (without folder): "NN Title.ext" from a
  // title fit for a file name, "TrackNN.ext" when nothing of the title is
  // left. `extension` includes its dot.
  static std::string fileName(long track, const std::string& title, const std::string& extension);
  // `folder/name`, or `folder/stem (2).ext`, `(3)`... when that exists.
  static std::string freePath(const std::string& folder, const std::string& name);
  // freePath, created empty so that nothing else takes the name before the
  // engine writes it (another free name while one appears meanwhile).
  static std::string reservePath(const std::string& folder, const std::string& name);
};

}  // namespace ripmarrow
