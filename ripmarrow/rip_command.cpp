#include "ripmarrow/rip_command.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text/utf.h"
#include "ripmarrow/accuraterip_check.h"
#include "ripmarrow/codec_output.h"
#include "ripmarrow/command_table.h"
#include "ripmarrow/cue_sheet_file.h"
#include "ripmarrow/deemphasis.h"
#include "ripmarrow/disc_layout_query.h"
#include "ripmarrow/engine_errors.h"
#include "ripmarrow/engine_session.h"
#include "ripmarrow/flac_output.h"
#include "ripmarrow/hidden_track.h"
#include "ripmarrow/rip_proof.h"
#include "ripmarrow/track_tagger.h"

namespace ripmarrow {
namespace {

constexpr long kMaxTracks = 99;
// File names longer than this are cut (at a character boundary): most file
// systems refuse names past 255 bytes, and " (NN)" and the extension follow.
constexpr size_t kMaxTitleBytes = 200;

// Set by the SIGINT handler, read by the rip loop on the main thread.
volatile sig_atomic_t gInterrupted = 0;

void onInterrupt(int) {
  gInterrupted = 1;
  // A second Ctrl-C ends the program at once.
  signal(SIGINT, SIG_DFL);
}

// Collects the engine's rip events. They arrive on this thread while it
// pumps (the rip thread's calls are marshalled here), so no lock is needed.
class RipSink final : public com::EventSink<RipSink, DIID__IAudioCDRipper2Events> {
 public:
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    if (params == nullptr || params->cArgs != 1) return S_OK;
    const LONG value = params->rgvarg[0].lVal;
    if (id == DISPID_AudioCDRipper2_Error) {
      errors.push_back(value);
    } else if (id == DISPID_AudioCDRipper2_RipRetry) {
      ++retries;
    } else if (id == DISPID_AudioCDRipper2_RipProgress) {
      percent = value;
      if (value == 100) finished = true;
    }
    return S_OK;
  }
  void reset() {
    errors.clear();
    retries = 0;
    percent = 0;
    finished = false;
  }

  std::vector<LONG> errors;
  long retries = 0;
  LONG percent = 0;
  bool finished = false;
};

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

const char* extensionOf(RipCommand::Format format) {
  switch (format) {
    case RipCommand::Format::kWav: return ".wav";
    case RipCommand::Format::kMp3: return ".mp3";
    case RipCommand::Format::kMp2: return ".mp2";
    case RipCommand::Format::kOgg: return ".ogg";
    case RipCommand::Format::kWma: return ".wma";
    case RipCommand::Format::kFlac: return ".flac";
  }
  return "";
}

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

std::string twoDigits(long n) { return (n < 10 ? "0" : "") + std::to_string(n); }

// Draws the bar of a track in place on a terminal, or a line per 10 %.
class ProgressView {
 public:
  ProgressView(std::ostream& out, bool terminal) : out_(out), terminal_(terminal) {}
  void show(LONG percent) {
    percent = std::clamp<LONG>(percent, 0, 100);
    if (terminal_) {
      if (percent == drawn_) return;
      drawn_ = percent;
      const size_t cells = static_cast<size_t>(percent) * 40 / 100;
      out_ << "\r  [" << std::string(cells, '#') << std::string(40 - cells, '.') << "] " << (percent < 10 ? "  " : percent < 100 ? " " : "")
           << percent << " %" << std::flush;
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
  LONG drawn_ = -1;
};

}  // namespace

bool RipCommand::parseTracks(const std::string& text, std::vector<long>& tracks) {
  tracks.clear();
  size_t at = 0;
  while (at <= text.size()) {
    const size_t comma = std::min(text.find(',', at), text.size());
    const std::string item = text.substr(at, comma - at);
    const size_t dash = item.find('-');
    long first = 0;
    long last = 0;
    if (dash == std::string::npos) {
      if (!parseNumber(item, 1, kMaxTracks, first)) return false;
      last = first;
    } else if (!parseNumber(item.substr(0, dash), 1, kMaxTracks, first) ||
               !parseNumber(item.substr(dash + 1), 1, kMaxTracks, last) || last < first) {
      return false;
    }
    for (long t = first; t <= last; ++t) tracks.push_back(t);
    at = comma + 1;
  }
  return !tracks.empty();
}

std::string RipCommand::fileName(long track, const std::string& title, const std::string& extension) {
  std::string clean;
  // The nine characters that file systems (or other users' ones) refuse are
  // left out, as the desktop program leaves them out; control characters
  // have no place in a file name either.
  constexpr std::string_view kRefused = "*?|:\"/\\<>";
  for (const char c : title) {
    if (kRefused.find(c) == std::string_view::npos && static_cast<unsigned char>(c) >= 0x20 && c != 0x7f) clean += c;
  }
  if (clean.size() > kMaxTitleBytes) {
    size_t cut = kMaxTitleBytes;
    while (cut > 0 && (static_cast<unsigned char>(clean[cut]) & 0xC0) == 0x80) --cut;  // not inside a character
    clean.resize(cut);
  }
  const size_t first = clean.find_first_not_of(' ');
  const size_t last = clean.find_last_not_of(' ');
  clean = first == std::string::npos ? std::string() : clean.substr(first, last - first + 1);
  if (clean.empty()) return "Track" + twoDigits(track) + extension;
  return twoDigits(track) + " " + clean + extension;
}

std::string RipCommand::freePath(const std::string& folder, const std::string& name) {
  const std::filesystem::path base(name);
  const std::string stem = base.stem().string();
  const std::string extension = base.extension().string();
  std::string path = (std::filesystem::path(folder) / name).string();
  std::error_code ec;
  for (int n = 2; std::filesystem::exists(std::filesystem::symlink_status(path, ec)); ++n) {
    path = (std::filesystem::path(folder) / (stem + " (" + std::to_string(n) + ")" + extension)).string();
  }
  return path;
}

int RipCommand::main(const Options& options) {
  // Nothing is played: the player the engine creates needs no sound card
  // (and probing one fills the terminal with the sound library's complaints).
  setenv("RIPMARROW_AUDIO", "silent", 1);
  return runInApartment([&] { return run(options, std::cout, std::cerr); });
}

namespace {

// Reserves `path` by creating it empty, so that nothing else takes the name
// between the choice and the engine's open; the engine then writes it.
bool reserve(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

}  // namespace

std::string RipCommand::reservePath(const std::string& folder, const std::string& name) {
  std::string path = freePath(folder, name);
  for (int attempt = 0; !reserve(path) && errno == EEXIST && attempt < 100; ++attempt) path = freePath(folder, name);
  return path;
}

namespace {

uintmax_t sizeOf(const std::string& path) {
  std::error_code ec;
  const uintmax_t size = std::filesystem::file_size(path, ec);
  return ec ? 0 : size;
}

// The titles of the tracks by the chosen source; empty titles when the
// lookup found nothing (the files are then named TrackNN).
std::vector<std::string> lookUpTitles(IAudioCDRipper2* engine, RipSink& sink, RipCommand::Titles titles,
                                      LONG trackCount, std::ostream& out) {
  std::vector<std::string> result(static_cast<size_t>(trackCount));
  if (titles == RipCommand::Titles::kNone) return result;
  const CDDBSourceConstants source = titles == RipCommand::Titles::kLocal    ? CDPLAYERINI
                                     : titles == RipCommand::Titles::kOnline ? ONLINEDATABASE
                                                                             : ALL;
  VARIANT_BOOL found = VARIANT_FALSE;
  engine->GetCDDBInfo(source, &found);
  // A failed lookup is not a failed rip: its errors are not the tracks'.
  sink.errors.clear();
  if (found != VARIANT_TRUE) {
    out << "No titles found for the disc: the files are named TrackNN.\n";
    return result;
  }
  BSTR artist = nullptr;
  BSTR album = nullptr;
  engine->get_cddbInfoArtist(&artist);
  engine->get_cddbInfoAlbum(&album);
  out << "Titles: " << takeText(artist) << " / " << takeText(album) << "\n";
  for (LONG t = 1; t <= trackCount; ++t) {
    engine->put_trackNum(t);
    BSTR title = nullptr;
    engine->get_cddbInfoTitle(&title);
    result[static_cast<size_t>(t - 1)] = takeText(title);
  }
  return result;
}

// False when the format was refused (said on `err`).
bool applySettings(IAudioCDRipper2* engine, const RipCommand::Options& options, std::ostream& err) {
  switch (options.format) {
    case RipCommand::Format::kFlac:
      if (const std::string refused = setFlacFormat(engine, options.flacLevel); !refused.empty()) {
        err << refused << ".\n";
        return false;
      }
      break;
    case RipCommand::Format::kMp3: engine->SetFormatMP3(FQ_44_KHZ, BR_128_KBPS, STEREO); break;
    case RipCommand::Format::kMp2: engine->SetFormatMP2(FQ_44_KHZ, BR_192_KBPS, STEREO); break;
    default: break;  // WAV needs none; OGG and WMA keep the engine's defaults
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
  BSTR file = makeBstr(path);
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
  ProgressView view(out, terminal);
  view.show(0);
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
    view.show(sink.percent);
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
  out << "  " << (mode == SYNCH ? "every block aligned on its neighbour" : "every frame confirmed by two reads") << "\n";
  return true;
}

// Test and copy: the track's first read goes into a WAV file of its own,
// removed again; the copy CRC of that read, nothing when it failed.
std::optional<uint32_t> testRead(IAudioCDRipper2* engine, RipSink& sink, const RipCommand::Options& options,
                                 const RipProof& proof, long track, bool& stopped, std::ostream& out) {
  RipCommand::Options wav = options;
  wav.format = RipCommand::Format::kWav;
  const std::string path = RipCommand::freePath(options.folder, ".ripmarrow-test.wav");
  if (!reserve(path)) return std::nullopt;
  std::ostringstream quiet;
  const bool whole = ripOne(engine, sink, wav, track, path, false, stopped, quiet);
  std::error_code ec;
  std::filesystem::remove(path, ec);
  const std::optional<uint32_t> crc = whole ? proof.lastCopyCrc() : std::nullopt;
  char text[16];
  std::snprintf(text, sizeof text, "%08X", crc.value_or(0));
  out << "  test read: " << (crc ? std::string("copy CRC ") + text : std::string("failed")) << "\n";
  return crc;
}

RipProofSettings proofSettings(const RipCommand::Options& options) {
  RipProofSettings settings;
  settings.offset = options.offset;
  parseAccurateRipServer(options.accurateRipServer, settings.server);
  constexpr const char* kModes[] = {"play", "burst", "synch", "secure", "paranoid"};
  settings.mode = kModes[std::clamp<long>(options.mode, PLAY, PARANOID)];
  settings.settings.emplace_back("format", std::string(extensionOf(options.format) + 1));
  if (options.format == RipCommand::Format::kFlac) settings.settings.emplace_back("flac level", std::to_string(options.flacLevel));
  settings.settings.emplace_back("retries", options.retries >= 0 ? std::to_string(options.retries) : "the mode's");
  constexpr const char* kActions[] = {"stop", "silence", "cut", "correct"};
  settings.settings.emplace_back("on error", options.onError >= 0 ? kActions[std::clamp<long>(options.onError, 0, 3)] : "the mode's");
  settings.settings.emplace_back("speed", options.speedMax ? "max" : options.speed > 0 ? std::to_string(options.speed) + "x" : "the mode's");
  settings.settings.emplace_back("test and copy", options.verify ? "yes" : "no");
  settings.settings.emplace_back("de-emphasis", options.deemphasis ? "yes" : "no");
  settings.settings.emplace_back("AccurateRip server", options.accurateRipServer);
  return settings;
}

int ripTracks(IAudioCDRipper2* engine, RipSink& sink, const RipCommand::Options& options, std::ostream& out,
              std::ostream& err) {
  const LONG drive = chooseDrive(engine, options.driveNum, options.preferredLetter, true);
  if (drive == 0) {
    err << (options.driveNum != 0 ? "No drive " + std::to_string(options.driveNum) + ".\n" : "No CD drive found.\n");
    return 1;
  }
  engine->put_driveNum(drive);
  engine->Refresh();
  LONG trackCount = 0;
  engine->get_trackCount(&trackCount);
  if (!sink.errors.empty() || trackCount <= 0) {
    err << "No audio CD in drive " << drive << ".\n";
    return 1;
  }
  std::vector<long> tracks = options.tracks;
  if (tracks.empty()) {
    for (long t = 1; t <= trackCount; ++t) tracks.push_back(t);
  }
  for (long t : tracks) {
    if (t > trackCount) {
      err << "The disc has " << trackCount << " audio tracks: there is no track " << t << ".\n";
      return 2;
    }
  }
  std::error_code ec;
  std::filesystem::create_directories(options.folder, ec);
  if (!std::filesystem::is_directory(options.folder, ec)) {
    err << "Cannot create the folder " << options.folder << ".\n";
    return 1;
  }

  const std::vector<std::string> titles = lookUpTitles(engine, sink, options.titles, trackCount, out);
  if (!applySettings(engine, options, err)) return 1;
  if (!sink.errors.empty()) {
    err << "The rip settings were refused: " << errorList(sink.errors) << ".\n";
    return 1;
  }

  RipProof proof(engine, proofSettings(options));
  if (!proof.begin(trackCount, out, err)) return 1;

  struct sigaction action {};
  struct sigaction previous {};
  action.sa_handler = onInterrupt;
  sigemptyset(&action.sa_mask);
  gInterrupted = 0;
  sigaction(SIGINT, &action, &previous);

  TrackTagger tagger;
  const TrackTagger::DiscTags discTags = TrackTagger::discTags(
      engine, std::any_of(titles.begin(), titles.end(), [](const std::string& t) { return !t.empty(); }));
  const bool terminal = isatty(STDOUT_FILENO) != 0;
  const std::string extension = extensionOf(options.format);
  size_t ripped = 0;
  size_t unconfirmedTracks = 0;
  bool stopped = false;
  const bool trusting = options.mode == PLAY || options.mode == BURST;
  if (trusting) out << "The " << (options.mode == PLAY ? "play" : "burst") << " mode trusts the drive: no frame is confirmed.\n";
  const DiscLayoutQuery layout = DiscLayoutQuery::read(engine, trackCount);
  auto deemphasise = [&](long track) { return options.deemphasis && layout.tracks[static_cast<size_t>(track - 1)].preEmphasis; };
  for (const DiscLayoutQuery::Track& t : layout.tracks) {
    if (!t.preEmphasis) continue;
    out << "Track " << t.number << " has pre-emphasis: "
        << (options.deemphasis ? "de-emphasised on the way to its file" : "kept as on the disc (--deemphasis undoes it)")
        << ".\n";
  }
  const RipInto ripInto = [&](const std::function<HRESULT(BSTR)>& start, const std::string& path, bool announce) {
    return ripOne(engine, sink, options, 0, path, terminal, stopped, out, start, announce);
  };
  std::vector<std::string> files(static_cast<size_t>(trackCount));  // of the tracks ripped whole
  std::vector<bool> deemphasised(static_cast<size_t>(trackCount));
  std::string hiddenFile;
  bool hiddenOk = true;
  if (const uint32_t frames = layout.hiddenTrackFrames();
      frames > 0 && std::find(tracks.begin(), tracks.end(), 1) != tracks.end()) {
    out << "Hidden track before track 1 (" << frames << " frames):\n";
    const HiddenTrack::Outcome hidden =
        HiddenTrack::rip(engine, ripInto, options, frames, RipCommand::fileName(0, HiddenTrack::kTitle, extension),
                         deemphasise(1), out);
    hiddenOk = hidden.ok;
    if (!hidden.path.empty()) {
      hiddenFile = std::filesystem::path(hidden.path).filename().string();
      const std::string untagged = tagger.tag(hidden.path, 0, HiddenTrack::kTitle, discTags);
      if (!untagged.empty()) out << "  not tagged: " << untagged << "\n";
    }
  }
  for (size_t i = 0; i < tracks.size() && !stopped; ++i) {
    const long track = tracks[i];
    const std::string name = RipCommand::fileName(track, titles[static_cast<size_t>(track - 1)], extension);
    const std::string path = RipCommand::reservePath(options.folder, name);
    out << "Track " << track << " (" << i + 1 << " of " << tracks.size() << "): "
        << std::filesystem::path(path).filename().string() << "\n";
    const std::optional<uint32_t> testCrc =
        options.verify ? testRead(engine, sink, options, proof, track, stopped, out) : std::nullopt;
    const bool whole =
        !stopped && (deemphasise(track) ? Deemphasis::ripTrack(engine, ripInto, options.format, options.flacLevel,
                                                               track, path, out)
                                        : ripOne(engine, sink, options, track, path, terminal, stopped, out));
    if (stopped && sizeOf(path) == 0) std::filesystem::remove(path, ec);  // stopped in the test read
    proof.addTrack(track, path, whole, errorList(sink.errors), options.verify, testCrc, sink.retries);
    if (whole && deemphasise(track)) proof.markDeemphasised();
    if (whole && !proof.log().tracks.back().ripped) {
      out << "  FAILED: " << proof.log().tracks.back().failure << "\n";
    } else if (whole) {
      ++ripped;
      files[static_cast<size_t>(track - 1)] = std::filesystem::path(path).filename().string();
      deemphasised[static_cast<size_t>(track - 1)] = deemphasise(track);
      const std::string untagged = tagger.tag(path, track, titles[static_cast<size_t>(track - 1)], discTags);
      if (!untagged.empty()) out << "  not tagged: " << untagged << "\n";
    }
    if (!trusting && !stopped && !showConfirmation(engine, options.mode, out)) ++unconfirmedTracks;
  }
  sigaction(SIGINT, &previous, nullptr);
  bool cueOk = true;  // a sheet asked for was written
  if (options.cue && !stopped) {
    if (std::all_of(files.begin(), files.end(), [](const std::string& f) { return !f.empty(); })) {
      CueSheetWriter::Disc sheet = layout.cueDisc(titles, discTags.album, discTags.artist, files, hiddenFile, deemphasised);
      if (options.format == RipCommand::Format::kMp3) sheet.fileType = "MP3";
      const std::string cue = CueSheetFile::save(options.folder, CueSheetFile::name(discTags.artist, discTags.album),
                                                 CueSheetWriter::write(sheet));
      cueOk = !cue.empty();
      out << (cueOk ? "Cue sheet: " + cue : "The cue sheet could not be written into " + options.folder) << "\n";
    } else {
      out << "No cue sheet: it needs every audio track of the disc ripped whole.\n";
    }
  }
  proof.finish(options.folder, out, err);

  out << ripped << " of " << tracks.size() << (tracks.size() == 1 ? " track" : " tracks") << " ripped into "
      << options.folder << (stopped ? " (stopped)" : "") << "\n";
  if (stopped) return 130;
  return ripped == tracks.size() && hiddenOk && cueOk && unconfirmedTracks == 0 ? 0 : 1;
}

}  // namespace

int RipCommand::run(const Options& options, std::ostream& out, std::ostream& err) {
  auto sink = com::make<RipSink>();
  EngineSession session(sink->identity(), err);
  if (!session) return 1;
  const com::ComPtr<IAudioCDRipper2>& engine = session.engine();
  putCddbUserEMail(engine.get(), options.email);
  const int status = ripTracks(engine.get(), *sink.get(), options, out, err);
  // The last calls of the rip thread (its pointer's release) run before the
  // sink goes.
  session.close(50);
  return status;
}

}  // namespace ripmarrow
