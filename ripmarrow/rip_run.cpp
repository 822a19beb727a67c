#include "ripmarrow/rip_run.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/text/utf.h"
#include "client/naming_template.h"
#include "client/clock_text.h"
#include "client/rereading_text.h"
#include "client/terminal_text.h"
#include "client/proof_recorder.h"
#include "client/rip_report.h"
#include "ripmarrow/codec_output.h"
#include "ripmarrow/cue_sheet_file.h"
#include "ripmarrow/deemphasis.h"
#include "ripmarrow/engine_errors.h"
#include "client/engine_session.h"
#include "ripmarrow/flac_output.h"
#include "ripmarrow/hidden_track.h"
#include "client/cover_art.h"
#include "client/release_tags.h"
#include "client/musicbrainz_settings.h"
#include "ripmarrow/title_lookup.h"

namespace ripmarrow {
namespace {

// Set by the SIGINT handler, read by the rip loop on the main thread.
volatile sig_atomic_t gInterrupted = 0;

void onInterrupt(int) {
  gInterrupted = 1;
  // A second Ctrl-C ends the program at once.
  signal(SIGINT, SIG_DFL);
}

// A track's errors as its line and the log say them: in a rip,
// OPERATION_FAILED is a block that stayed unreadable.
std::string errorList(const std::vector<LONG>& errors) {
  std::string list;
  for (LONG code : errors) {
    list += (list.empty() ? "" : ", ") + std::string(errorName(code));
    if (code == OPERATION_FAILED) list += " (a block stayed unreadable)";
  }
  return list;
}

const char* extensionOf(RipCommand::Format format) { return client::FormatInfo(format).extension; }

HRESULT startRip(IAudioCDRipper2* engine, RipCommand::Format format, BSTR path) {
  switch (format) {
    case RipCommand::Format::kWav: return engine->RipTrackToWav(path);
    case RipCommand::Format::kMp3: return engine->RipTrackToMP3(path);
    case RipCommand::Format::kMp2: return engine->RipTrackToMP2(path);
    case RipCommand::Format::kOgg: return engine->RipTrackToOGG(path);
    case RipCommand::Format::kWma: return engine->RipTrackToWMA(path);
    case RipCommand::Format::kFlac: return engine->RipTrackToAudioFile2Format(path);
  }
  return E_INVALIDARG;
}

// One track's progress: on a terminal one line redrawn in place with the
// read speed, the frames a secure mode reads again (while there are any)
// and the time left once they can be told, else a line per tenth.
class ProgressView {
 public:
  ProgressView(std::ostream& out, bool terminal, long trackSamples = 0)
      : out_(out), terminal_(terminal), trackSamples_(trackSamples) {}
  void show(LONG percent, long retriedFrames = 0) {
    percent = std::clamp<LONG>(percent, 0, 100);
    if (terminal_) {
      if (percent == drawn_ && retriedFrames == drawnRetried_) return;
      drawn_ = percent;
      drawnRetried_ = retriedFrames;
      const std::string rereading =
          retriedFrames > 0 ? std::string(" \u00b7 ") + client::RereadingText(retriedFrames) : std::string();
      const size_t cells = static_cast<size_t>(percent) * 40 / 100;
      std::string speed;
      const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - began_).count();
      if (trackSamples_ > 0 && percent >= 2 && percent < 100 && elapsed >= 0.25) {
        const double audio = trackSamples_ / 44100.0;
        const double x = audio * percent / 100.0 / elapsed;
        char text[32];
        std::snprintf(text, sizeof text, "%.1fx", x);
        speed = std::string(" \u00b7 ") + text + rereading + " \u00b7 " +
                client::ClockText(audio * (100 - percent) / 100.0 / x) + " left";
      } else {
        speed = rereading;
      }
      out_ << "\r  [" << std::string(cells, '#') << std::string(40 - cells, '.') << "] " << (percent < 10 ? "  " : percent < 100 ? " " : "")
           << percent << " %" << speed << "\x1b[K" << std::flush;
    } else {
      while (drawn_ + 10 <= percent - percent % 10 || (drawn_ < 0 && percent >= 0)) {
        drawn_ = drawn_ < 0 ? 0 : drawn_ + 10;
        if (drawn_ > 0) out_ << "  " << drawn_ << " %\n" << std::flush;
      }
    }
  }
  void end() {
    if (terminal_ && drawn_ >= 0) out_ << "\n";
    drawn_ = -1;
  }

 private:
  std::ostream& out_;
  const bool terminal_;
  const long trackSamples_;
  const std::chrono::steady_clock::time_point began_ = std::chrono::steady_clock::now();
  LONG drawn_ = -1;
  long drawnRetried_ = 0;
};

uintmax_t sizeOf(const std::string& path) {
  std::error_code ec;
  const uintmax_t size = std::filesystem::file_size(path, ec);
  return ec ? 0 : size;
}

using client::kVerifiedReread;

// False when the format was refused (said on `err`).
bool putSettings(IAudioCDRipper2* engine, const RipCommand::Options& options, std::ostream& err) {
  switch (options.format) {
    case RipCommand::Format::kFlac:
      if (const std::string refused = setFlacFormat(engine, options.flacLevel); !refused.empty()) {
        err << refused << ".\n";
        return false;
      }
      break;
    case RipCommand::Format::kMp3:
    case RipCommand::Format::kOgg:
    case RipCommand::Format::kWma:
      if (options.encoders) {
        // The desktop program's encoder settings, handed over as its batch does.
        if (const std::string refused = CodecOutput::setFormat(engine, options.format, options.flacLevel,
                                                               &*options.encoders);
            !refused.empty()) {
          err << refused << ".\n";
          return false;
        }
      } else if (options.format == RipCommand::Format::kMp3) {
        engine->SetFormatMP3(FQ_44_KHZ, BR_128_KBPS, STEREO);
      }  // else OGG and WMA keep the engine's defaults
      break;
    case RipCommand::Format::kMp2: engine->SetFormatMP2(FQ_44_KHZ, BR_192_KBPS, STEREO); break;
    default: break;  // WAV needs none
  }
  // The preset first: it sets retries, speed and (for PLAY) the action.
  engine->put_ripModePreset(options.mode);
  if (options.retries >= 0) engine->put_ripOnErrorRetries(options.retries);
  if (options.speed > 0) engine->put_driveSpeed(options.speed);
  engine->put_driveSpeedMax(options.speedMax ? VARIANT_TRUE : VARIANT_FALSE);
  if (options.onError >= 0) engine->put_ripOnErrorAction(static_cast<RipActionOnErrorConstants>(options.onError));
  return true;
}

// Rips one track into `path`, showing its progress; true when it was ripped
// whole. Ends early (and sets `stopped`) on Ctrl-C. `start`, when given,
// starts another rip into `path` instead (a range, an intermediate WAV);
// `announce` false leaves naming the file written to the caller.
bool ripOne(IAudioCDRipper2* engine, RipSink& sink, const RipCommand::Options& options, long track,
            const std::string& path, bool terminal, bool& stopped, std::ostream& out,
            const std::function<HRESULT(BSTR)>& start = {}, bool announce = true) {
  LONG trackSamples = 0;
  if (!start) {
    engine->put_trackNum(track);
    engine->get_trackSamples(&trackSamples);
  }
  sink.reset();
  BSTR file = com::NewBstr(path);
  if (start) {
    start(file);
  } else {
    startRip(engine, options.format, file);
  }
  SysFreeString(file);
  // The entry's refusals come before the call returns; a started rip's
  // events come only when this thread pumps.
  if (!sink.errors.empty()) {
    std::error_code ec;
    if (sizeOf(path) == 0) std::filesystem::remove(path, ec);
    out << "  not started: " << errorList(sink.errors) << "\n";
    return false;
  }
  ProgressView view(out, terminal, trackSamples);
  view.show(0);
  // The engine counts the frames it reads again as the rip goes.
  const client::RipReport report(engine);
  bool stopSent = false;
  while (!sink.finished) {
    CoPumpCalls(20);
    if (gInterrupted && !stopSent) {
      engine->StopRip();
      stopSent = true;
      stopped = true;
    }
    // A rip thread that could not load the transport or open the drive
    // ends without a last progress event.
    if (std::any_of(sink.errors.begin(), sink.errors.end(),
                    [](LONG e) { return e == ASPI_DRIVER || e == DRIVE_BUSY; })) {
      break;
    }
    view.show(sink.percent, terminal && sink.percent > 0 ? report.framesRetried().value_or(0) : 0);
  }
  view.end();

  const uintmax_t bytes = sizeOf(path);
  std::string note;
  if (sink.retries > 0) note += ", " + std::to_string(sink.retries) + (sink.retries == 1 ? " retry" : " retries");
  if (options.format == RipCommand::Format::kWav && !start && sink.errors.empty() && !stopped) {
    // A WAV data chunk shorter than the track: blocks that stayed unreadable were cut.
    const uintmax_t want = static_cast<uintmax_t>(std::max<LONG>(trackSamples, 0)) * 4 + 46;
    if (bytes < want) note += ", " + std::to_string((want - bytes) / 2352) + " unreadable frames cut";
  }
  const bool ok = sink.errors.empty() && !stopped;
  if (ok && !announce) {
    if (!note.empty()) out << "  " << note.substr(2) << "\n";
  } else if (ok) {
    out << "  written: " << path << " (" << bytes << " bytes" << note << ")\n";
  } else if (!announce) {
    // The caller's intermediate file: it goes, and the caller says what stays.
    out << "  " << (stopped ? "stopped" : "FAILED: " + errorList(sink.errors)) << "\n";
  } else {
    out << "  " << (stopped ? "stopped" : "FAILED: " + errorList(sink.errors)) << "; "
        << (bytes > 0 ? "partial file " + path + " (" + std::to_string(bytes) + " bytes" + note + ")"
                      : "nothing written" + note)
        << "\n";
  }
  return ok;
}

// What the rip mode vouches for in the track just ripped, from the rip
// report, in the mode's own words; false when frames stayed unconfirmed.
bool showConfirmation(IAudioCDRipper2* engine, RipModePresetConstants mode, std::ostream& out) {
  com::ComPtr<IAudioCDRipperReport> report;
  LONG unconfirmed = 0;
  if (FAILED(engine->QueryInterface(IID_IAudioCDRipperReport, report.putVoid())) ||
      FAILED(report->get_framesUnconfirmed(&unconfirmed)))
    return true;
  if (unconfirmed > 0) {
    out << "  " << unconfirmed << (unconfirmed == 1 ? " frame" : " frames") << " unconfirmed\n";
    return false;
  }
  VARIANT_BOOL c2 = VARIANT_FALSE;
  const bool c2Secure = mode == SECURE && SUCCEEDED(report->get_c2Used(&c2)) && c2 != VARIANT_FALSE;
  out << "  "
      << (mode == SYNCH ? "every block aligned on its neighbour"
          : c2Secure    ? "every frame confirmed by a read its C2 pointers call clean"
                        : "every frame confirmed by two reads")
      << "\n";
  return true;
}

// What a naming template fills in for `track` of the disc.
client::NamingValues namingValues(const TrackTagger::DiscTags& disc, long track, const std::string& title) {
  client::NamingValues values;
  values.albumArtist = disc.artist;
  values.album = disc.album;
  values.year = disc.year;
  values.track = track;
  values.title = title;
  return values;
}

RipProofSettings proofSettings(const RipCommand::Options& options) {
  RipProofSettings settings;
  settings.offset = options.offset;
  client::RunSettings& run = settings.run;
  run.modePreset = options.mode;
  run.verified = options.verified;
  run.format = client::FormatInfo(options.format).name;
  if (options.format == RipCommand::Format::kFlac) run.flacLevel = options.flacLevel;
  if (options.retries >= 0) run.retries = options.retries;
  if (options.onError >= 0) run.onErrorAction = options.onError;
  if (options.speed > 0) run.speed = options.speed;
  run.speedMax = options.speedMax;
  run.testAndCopy = options.verify;
  run.deemphasis = options.deemphasis;
  run.accurateRipServer = options.accurateRipServer;
  run.ctdbServer = options.ctdbServer;
  return settings;
}

// Ctrl-C stops the running rip (through StopRip) while this lives.
class InterruptWatch {
 public:
  InterruptWatch() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    gInterrupted = 0;
    sigaction(SIGINT, &action, &previous_);
  }
  ~InterruptWatch() { sigaction(SIGINT, &previous_, nullptr); }
  InterruptWatch(const InterruptWatch&) = delete;
  InterruptWatch& operator=(const InterruptWatch&) = delete;

 private:
  struct sigaction previous_ {};
};

}  // namespace

RipRun::RipRun(IAudioCDRipper2* engine, RipSink& sink, const RipCommand::Options& options, std::ostream& out,
               std::ostream& err)
    : engine_(engine),
      sink_(sink),
      options_(options),
      out_(out),
      err_(err),
      terminal_(isatty(STDOUT_FILENO) != 0),
      extension_(extensionOf(options.format)) {}

int RipRun::run() {
  if (!openDisc()) return 1;
  if (!chooseTracks()) return 2;
  if (!prepareFolder()) return 1;
  if (const int status = lookUpTitles(); status != 0) return status;
  if (!applySettings()) return 1;
  // The disc's folder by the naming template, made once the titles are
  // known; the cover and the log go into it.
  const bool engineTitles = discTitles_.source == "cdplayer.ini" || discTitles_.source == "CDDB server";
  discTags_ = TrackTagger::discTags(engine_, engineTitles);
  if (discTitles_.source == "MusicBrainz" || discTitles_.source == "CD-TEXT") {
    discTags_.artist = discTitles_.artist;
    discTags_.album = discTitles_.album;
    discTags_.year = std::atol(discTitles_.date.substr(0, 4).c_str());
  }
  if (!applyNaming()) return 1;
  placeCoverArt();
  RipProofSettings settings = proofSettings(options_);
  settings.run.titles = titlesRow();
  // An unattended choice among releases that differ names the others.
  for (size_t k = 0; k < releasesPassedOver_.size(); ++k) {
    settings.run.titles += (k == 0 ? "; passed over: " : ", ") + releasesPassedOver_[k].substr(0, releasesPassedOver_[k].find(' '));
  }
  settings.run.coverArt = coverRow_;
  proof_.emplace(engine_, settings);
  if (!proof_->begin(trackCount_, out_, err_)) return 1;
  mode_ = options_.mode;
  if (options_.verified && !proof_->lookUpFirst(out_)) {
    // Nothing can confirm a burst rip: every track is read securely.
    out_ << "Neither AccurateRip nor the CUETools database knows the disc: every track is ripped in secure mode.\n";
    mode_ = SECURE;
    RipCommand::Options secure = options_;
    secure.mode = SECURE;
    if (!putSettings(engine_, secure, err_)) return 1;
  }
  {
    InterruptWatch interrupts;
    if (options_.verified && mode_ == BURST) {
      out_ << "Verified mode: burst, then secure for each track neither database confirms.\n";
    } else if (mode_ == PLAY || mode_ == BURST) {
      out_ << "The " << (mode_ == PLAY ? "play" : "burst") << " mode trusts the drive: no frame is confirmed.\n";
    }
    layout_ = DiscLayoutQuery::read(engine_, trackCount_);
    sayPreEmphasis();
    files_.assign(static_cast<size_t>(trackCount_), "");
    deemphasised_.assign(static_cast<size_t>(trackCount_), false);
    ripHiddenTrack();
    for (size_t i = 0; i < tracks_.size() && !stopped_; ++i) ripTrack(i);
  }
  if (options_.cue && !stopped_) writeCueSheet();
  if (options_.replayGain) writeReplayGain();
  proof_->finish(options_.folder, out_, err_);
  return summary();
}

// The titles by the chosen sources; empty titles when none named the disc
// (the files are then named TrackNN). 0, or the exit status that ends the
// run before anything is ripped.
int RipRun::lookUpTitles() {
  titles_.assign(static_cast<size_t>(trackCount_), "");
  if (options_.titles == RipCommand::Titles::kNone) return 0;
  std::string refused;
  const auto online = client::ReadMusicBrainzSettings(options_.musicBrainzServer, options_.coverArtServer, refused);
  if (!online) {
    err_ << refused << "\n";
    return 2;
  }
  TitleLookup::Settings settings;
  settings.sources = options_.titles == RipCommand::Titles::kLocal    ? TitleLookup::Sources::kLocal
                     : options_.titles == RipCommand::Titles::kOnline ? TitleLookup::Sources::kOnline
                     : options_.titles == RipCommand::Titles::kCdText ? TitleLookup::Sources::kCdText
                                                                      : TitleLookup::Sources::kAll;
  settings.musicBrainzServer = online->server;
  settings.country = online->country;
  settings.release = options_.release;
  settings.unattended = options_.unattended;
  // A server named on the command line is asked even where the environment turns the default off.
  settings.cddbServerOff = options_.cddbServer.empty() && client::CddbServerOffByEnvironment();
  TitleLookup lookup(engine_, out_, err_);
  const TitleLookup::Outcome outcome = lookup.run(settings, trackCount_);
  // A failed lookup is not a failed rip: its errors are not the tracks'.
  sink_.errors.clear();
  if (outcome == TitleLookup::Outcome::kReleaseNotChosen) {
    out_ << "Nothing ripped.\n";
    return kExitReleaseNotChosen;
  }
  if (outcome != TitleLookup::Outcome::kFound) {
    out_ << "No titles found for the disc: the files are named TrackNN.\n";
    return 0;
  }
  discTitles_ = lookup.titles();
  releasesPassedOver_ = lookup.releasesPassedOver();
  for (size_t k = 0; k < titles_.size() && k < discTitles_.trackTitles.size(); ++k) titles_[k] = discTitles_.trackTitles[k];
  out_ << "Titles (" << discTitles_.source << "): " << client::TerminalText(discTitles_.artist) << " / "
       << client::TerminalText(discTitles_.album) << "\n";
  if ((options_.coverArtFile || options_.coverArtEmbed) && online->coverArt && discTitles_.coverArtFront &&
      !online->coverArtServer.empty()) {
    fetchCoverArt(online->coverArtServer);
  }
  return 0;
}

// The release's front cover, fetched with the titles (the look-up's answer
// said the archive has one).
void RipRun::fetchCoverArt(const std::string& server) {
  client::CoverArt art = client::FetchCoverArt(server, discTitles_.releaseId);
  if (!art.found) {
    out_ << "No cover art: " << art.reason << ".\n";
    coverRow_ = "none (" + art.reason + ")";
    return;
  }
  coverArt_ = std::move(art);
}

// The fetched cover beside the files and ready to embed, in the folder the
// disc's files go to (a naming template's folder only stands after the
// titles are known).
void RipRun::placeCoverArt() {
  if (!coverArt_) return;
  const client::CoverArt& art = *coverArt_;
  if (options_.coverArtEmbed) {
    // The tag component embeds it from a file of its own, removed after the run.
    const std::string path = RipCommand::reservePath(options_.folder, ".ripmarrow-cover." + art.extension);
    std::ofstream(path, std::ios::binary) << art.bytes;
    if (sizeOf(path) == art.bytes.size()) {
      embeddedCover_ = path;
      coverRow_ = "embedded";
    } else {
      std::error_code ec;
      std::filesystem::remove(path, ec);  // a short copy is nobody's
    }
  }
  std::string why;
  const std::string path = options_.coverArtFile ? client::SaveCoverArt(options_.folder, art, why) : "";
  if (!path.empty()) {
    const std::string name = std::filesystem::path(path).filename().string();
    coverRow_ = coverRow_.empty() ? name : coverRow_ + ", " + name;
  } else if (options_.coverArtFile) {
    out_ << "No cover file: " << why << ".\n";
  }
  out_ << "Cover art: " << (coverRow_.empty() ? "none" : coverRow_) << " (" << art.bytes.size() << " bytes)\n";
}

// The log's line of where the titles came from.
std::string RipRun::titlesRow() const {
  return client::TitlesLogRow(discTitles_, options_.titles != RipCommand::Titles::kNone);
}

bool RipRun::openDisc() {
  const LONG drive = client::chooseDrive(engine_, options_.driveNum, options_.preferredLetter, true);
  if (drive == 0) {
    err_ << (options_.driveNum != 0 ? "No drive " + std::to_string(options_.driveNum) + ".\n" : "No CD drive found.\n");
    return false;
  }
  engine_->put_driveNum(drive);
  engine_->Refresh();
  engine_->get_trackCount(&trackCount_);
  if (!sink_.errors.empty() || trackCount_ <= 0) {
    err_ << "No audio CD in drive " << drive << ".\n";
    return false;
  }
  return true;
}

bool RipRun::chooseTracks() {
  tracks_ = options_.tracks;
  if (tracks_.empty()) {
    for (long t = 1; t <= trackCount_; ++t) tracks_.push_back(t);
  }
  for (const long t : tracks_) {
    if (t > trackCount_) {
      err_ << "The disc has " << trackCount_ << " audio tracks: there is no track " << t << ".\n";
      return false;
    }
  }
  return true;
}

bool RipRun::prepareFolder() {
  std::error_code ec;
  std::filesystem::create_directories(options_.folder, ec);
  if (!std::filesystem::is_directory(options_.folder, ec)) {
    err_ << "Cannot create the folder " << options_.folder << ".\n";
    return false;
  }
  return true;
}

bool RipRun::applySettings() {
  if (!putSettings(engine_, options_, err_)) return false;
  client::RipReport(engine_).putReplayGain(options_.replayGain);
  if (!sink_.errors.empty()) {
    err_ << "The rip settings were refused: " << errorList(sink_.errors) << ".\n";
    return false;
  }
  return true;
}

void RipRun::sayPreEmphasis() const {
  for (const DiscLayoutQuery::Track& t : layout_.tracks) {
    if (!t.preEmphasis) continue;
    out_ << "Track " << t.number << " has pre-emphasis: "
         << (options_.deemphasis ? "de-emphasised on the way to its file" : "kept as on the disc (--deemphasis undoes it)")
         << ".\n";
  }
}

bool RipRun::deemphasise(long track) const {
  return options_.deemphasis && layout_.tracks[static_cast<size_t>(track - 1)].preEmphasis;
}

bool RipRun::ripInto(long track, const std::string& path, const RipCommand::Options& options, std::ostream& out,
                     const std::function<HRESULT(BSTR)>& start, bool announce) {
  return ripOne(engine_, sink_, options, track, path, terminal_ && &out == &out_, stopped_, out, start, announce);
}

void RipRun::ripHiddenTrack() {
  const uint32_t frames = layout_.hiddenTrackFrames();
  if (frames == 0 || std::find(tracks_.begin(), tracks_.end(), 1) == tracks_.end()) return;
  out_ << "Hidden track before track 1 (" << frames << " frames):\n";
  const RipInto rip = [this](const std::function<HRESULT(BSTR)>& start, const std::string& path, bool announce) {
    return ripInto(0, path, options_, out_, start, announce);
  };
  const HiddenTrack::Outcome hidden =
      HiddenTrack::rip(engine_, rip, options_, frames, RipCommand::fileName(0, hiddenTitle(), extension_),
                       deemphasise(1), out_);
  hiddenOk_ = hidden.ok;
  if (hidden.path.empty()) return;
  hiddenFile_ = std::filesystem::path(hidden.path).filename().string();
  tag(hidden.path, 0, hiddenTitle());
}

// The release's track before track 1 names the hidden track, when it has one.
std::string RipRun::hiddenTitle() const {
  return discTitles_.hiddenTrackTitle.empty() ? HiddenTrack::kTitle : discTitles_.hiddenTrackTitle;
}

// Test and copy: the track's first read goes into a WAV file of its own,
// removed again; the copy CRC of that read, nothing when it failed.
std::optional<uint32_t> RipRun::testRead(long track) {
  RipCommand::Options wav = options_;
  wav.format = RipCommand::Format::kWav;
  const std::string path = RipCommand::reservePath(options_.folder, ".ripmarrow-test.wav");
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return std::nullopt;
  std::ostringstream quiet;
  const bool whole = ripInto(track, path, wav, quiet);
  std::filesystem::remove(path, ec);
  const std::optional<uint32_t> crc = whole ? proof_->lastCopyCrc() : std::nullopt;
  char text[16];
  std::snprintf(text, sizeof text, "%08X", crc.value_or(0));
  out_ << "  test read: " << (crc ? std::string("copy CRC ") + text : std::string("failed")) << "\n";
  return crc;
}

// The log's reason for a track not ripped whole: the engine's errors, or
// the stop that ended it.
std::string RipRun::trackFailure(bool whole) const {
  if (!whole && stopped_ && sink_.errors.empty()) return "stopped";
  return errorList(sink_.errors);
}

void RipRun::ripTrack(size_t index) {
  const long track = tracks_[index];
  const size_t slot = static_cast<size_t>(track - 1);
  const std::string name = options_.naming.empty()
                               ? RipCommand::fileName(track, titles_[slot], extension_)
                               : client::ExpandNaming(client::NamingFilePart(options_.naming),
                                                      namingValues(discTags_, track, titles_[slot])) +
                                     extension_;
  const std::string path = RipCommand::reservePath(options_.folder, name);
  out_ << "Track " << track << " (" << index + 1 << " of " << tracks_.size() << "): "
       << std::filesystem::path(path).filename().string() << "\n";
  const std::optional<uint32_t> testCrc = options_.verify ? testRead(track) : std::nullopt;
  const RipInto rip = [this](const std::function<HRESULT(BSTR)>& start, const std::string& into, bool announce) {
    return ripInto(0, into, options_, out_, start, announce);
  };
  const auto ripIt = [&] {
    return !stopped_ && (deemphasise(track)
                             ? Deemphasis::ripTrack(engine_, rip, options_.format, options_.flacLevel, track, path, out_,
                                                  options_.encoders ? &*options_.encoders : nullptr)
                             : ripInto(track, path, options_, out_));
  };
  bool whole = ripIt();
  std::error_code ec;
  if (stopped_ && sizeOf(path) == 0) std::filesystem::remove(path, ec);  // stopped in the test read
  proof_->addTrack(track, path, whole, trackFailure(whole), options_.verify, testCrc);
  // Verified mode: a burst rip no database confirms is read again securely.
  RipModePresetConstants trackMode = mode_;
  if (options_.verified && mode_ == BURST && whole && !stopped_ && proof_->log().tracks.back().ripped &&
      !proof_->lastTrackConfirmed()) {
    out_ << "  " << kVerifiedReread << "\n";
    std::filesystem::remove(path, ec);
    proof_->dropLastTrack();
    RipCommand::Options secure = options_;
    secure.mode = SECURE;
    putSettings(engine_, secure, err_);
    trackMode = SECURE;
    whole = ripIt();
    if (stopped_ && sizeOf(path) == 0) std::filesystem::remove(path, ec);
    proof_->addTrack(track, path, whole, trackFailure(whole), options_.verify, testCrc);
    proof_->noteLastTrack(kVerifiedReread);
    putSettings(engine_, options_, err_);
  }
  if (whole && deemphasise(track)) proof_->markDeemphasised();
  if (whole && !proof_->log().tracks.back().ripped) {
    out_ << "  FAILED: " << proof_->log().tracks.back().failure << "\n";
  } else if (whole) {
    ++ripped_;
    LONG samples = 0;
    if (!deemphasise(track) && SUCCEEDED(engine_->get_trackSamples(&samples))) rippedSamples_ += samples;
    files_[slot] = std::filesystem::path(path).filename().string();
    deemphasised_[slot] = deemphasise(track);
    tag(path, track, titles_[slot]);
    // A de-emphasised file holds other audio than the engine measured.
    if (options_.replayGain && !deemphasise(track)) {
      const auto gain = client::RipReport(engine_).trackReplayGain();
      replayGain_.addTrack(track, path, gain);
      if (gain)
        out_ << "  ReplayGain: " << client::GainText(gain->gainDb) << ", peak " << client::PeakText(gain->peak)
             << "\n";
    }
  }
  const bool trusting = trackMode == PLAY || trackMode == BURST;
  if (!trusting && !stopped_ && !showConfirmation(engine_, trackMode, out_)) ++unconfirmedTracks_;
  // What the reads cost, as the log's row says it.
  if (const client::RipLogTrack& row = proof_->log().tracks.back(); row.readsPerFrame && !stopped_) {
    out_ << "  Reads: " << client::ReadsText(*row.readsPerFrame);
    if (row.c2ErrorFrames > 0) out_ << ", " << row.c2ErrorFrames << " C2-flagged frames";
    out_ << "\n";
  }
}

// A template's folders, from the disc's titles, become the rip's folder:
// one of its own, " (2)" added when a disc of that name has one already.
bool RipRun::applyNaming() {
  const std::string folders = client::NamingFolderPart(options_.naming);
  if (folders.empty()) return true;
  const std::string folder =
      client::CreateDiscFolder(options_.folder, client::ExpandNaming(folders, namingValues(discTags_, 0, "")));
  if (folder.empty()) {
    err_ << "Cannot create a folder for the disc in " << options_.folder << ".\n";
    return false;
  }
  options_.folder = folder;
  out_ << "Folder: " << folder << "\n";
  return true;
}

void RipRun::tag(const std::string& path, long track, const std::string& title) {
  const size_t slot = static_cast<size_t>(track - 1);
  // The disc's own ISRC (its Q sub-channel) goes before the release's.
  const std::string discIsrc = track >= 1 && slot < layout_.tracks.size() ? layout_.tracks[slot].isrc : std::string();
  const client::ReleaseTags release = client::ReleaseTagsOf(discTitles_, track, discIsrc);
  TrackTagger::DiscTags tags = discTags_;
  // A compilation's tracks carry their own artists.
  if (!release.trackArtist.empty()) tags.artist = release.trackArtist;
  tags.musicBrainzDiscId = release.musicBrainzDiscId;
  tags.albumArtist = release.albumArtist;
  tags.discNumber = release.discNumber;
  tags.label = release.label;
  tags.catalogNumber = release.catalogNumber;
  tags.barcode = release.barcode;
  tags.isrc = release.isrc;
  tags.albumId = release.albumId;
  tags.releaseGroupId = release.releaseGroupId;
  tags.releaseTrackId = release.releaseTrackId;
  tags.recordingId = release.recordingId;
  tags.artistIds = release.artistIds;
  tags.albumArtistIds = release.albumArtistIds;
  tags.coverArtFile = embeddedCover_;
  const std::string untagged = tagger_.tag(path, track, title, tags);
  if (!untagged.empty()) out_ << "  not tagged: " << untagged << "\n";
}

// The album's gain over the tracks ripped whole, and every file's tags.
void RipRun::writeReplayGain() {
  if (replayGain_.empty()) return;
  const auto failures = replayGain_.writeTags(client::RipReport(engine_));
  if (const auto album = replayGain_.album())
    out_ << "Album ReplayGain: " << client::GainText(album->gainDb) << ", peak " << client::PeakText(album->peak)
         << "\n";
  for (const auto& failure : failures)
    out_ << "  ReplayGain not tagged in " << std::filesystem::path(failure.path).filename().string() << ": "
         << failure.reason << "\n";
}

void RipRun::writeCueSheet() {
  if (!std::all_of(files_.begin(), files_.end(), [](const std::string& f) { return !f.empty(); })) {
    out_ << "No cue sheet: it needs every audio track of the disc ripped whole.\n";
    return;
  }
  CueSheetWriter::Disc sheet =
      layout_.cueDisc(titles_, discTags_.album, discTags_.artist, files_, hiddenFile_, deemphasised_);
  if (options_.format == RipCommand::Format::kMp3) sheet.fileType = "MP3";
  const std::string cue = CueSheetFile::save(options_.folder, CueSheetFile::name(discTags_.artist, discTags_.album),
                                             CueSheetWriter::write(sheet));
  cueOk_ = !cue.empty();
  out_ << (cueOk_ ? "Cue sheet: " + cue : "The cue sheet could not be written into " + options_.folder) << "\n";
}

RipRun::~RipRun() {
  if (!embeddedCover_.empty()) {
    std::error_code ec;
    std::filesystem::remove(embeddedCover_, ec);
  }
}

int RipRun::summary() const {
  out_ << ripped_ << " of " << tracks_.size() << (tracks_.size() == 1 ? " track" : " tracks") << " ripped into "
       << options_.folder << (stopped_ ? " (stopped)" : "") << "\n";
  // The batch's total: the audio ripped, the time it took, the speed.
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began_).count();
  if (rippedSamples_ > 0 && seconds > 0) {
    const double audio = static_cast<double>(rippedSamples_) / 44100.0;
    char speed[32];
    std::snprintf(speed, sizeof speed, "%.1fx", audio / seconds);
    out_ << "Batch: " << client::ClockText(audio) << " of audio in " << client::ClockText(seconds) << " (" << speed << ")\n";
  }
  if (stopped_) return 130;
  return ripped_ == tracks_.size() && hiddenOk_ && cueOk_ && unconfirmedTracks_ == 0 ? 0 : 1;
}

}  // namespace ripmarrow
