// The titles of the disc in the engine's drive, from the sources in their
// order: cdplayer.ini (through the engine), MusicBrainz (the client
// library), the CDDB server (through the engine), the disc's own CD-TEXT. `rip` and `lookup` share
// it. When MusicBrainz offers several releases that differ in artist or
// album and the user named none, no release is taken: the list is shown and
// the caller ends with exit status 3 — unless nobody is there to choose
// (watch), when the best-ranked is taken and the others are listed.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "client/disc_titles.h"
#include "components/trackmill2.h"

namespace ripmarrow {

// Exit status of a command that could not choose among releases.
inline constexpr int kExitReleaseNotChosen = 3;

class TitleLookup {
 public:
  enum class Sources { kLocal, kOnline, kAll, kCdText };
  enum class Outcome { kFound, kNotFound, kReleaseNotChosen };

  struct Settings {
    Sources sources = Sources::kAll;
    std::string musicBrainzServer;  // a base address; "" the source is off
    std::string release;            // --release: a candidate's number or a release MBID; "" the best
    std::string country;            // the ranking's preferred country; "" none
    bool cddbServerOff = false;     // the CDDB server is not asked
    bool listCandidates = false;    // list every MusicBrainz candidate, even one
    bool unattended = false;        // releases that differ: the best is taken, the others listed
  };

  // `engine` has read the disc; it and the streams outlive the lookup.
  TitleLookup(IAudioCDRipper2* engine, std::ostream& out, std::ostream& err) : engine_(engine), out_(out), err_(err) {}

  // Called before each engine query, with true for the CDDB server and
  // false for cdplayer.ini.
  std::function<void(bool server)> beforeEngineQuery;

  Outcome run(const Settings& settings, long trackCount);
  const client::DiscTitles& titles() const { return titles_; }
  // The releases not taken when an unattended look-up chose among releases
  // that differ, one line each ("MBID  description"); empty otherwise.
  const std::vector<std::string>& releasesPassedOver() const { return passedOver_; }

 private:
  bool askEngine(CDDBSourceConstants source, long trackCount);
  Outcome askMusicBrainz(const Settings& settings, long trackCount);
  Outcome askCdText(long trackCount);

  IAudioCDRipper2* const engine_;
  std::ostream& out_;
  std::ostream& err_;
  client::DiscTitles titles_;
  std::vector<std::string> passedOver_;
};

}  // namespace ripmarrow
