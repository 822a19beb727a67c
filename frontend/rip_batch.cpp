#include "frontend/rip_batch.h"

#include <sys/stat.h>

#include <QTimer>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <utility>

#include "client/accuraterip_lookup.h"
#include "client/file_names.h"
#include "client/rip_report.h"
#include "client/test_copy_summary.h"
#include "client/release_tags.h"
#include "frontend/current_tags.h"
#include "frontend/disc_controller.h"
#include "frontend/format_settings.h"
#include "frontend/seams.h"
#include "frontend/verified_steps.h"
#include "frontend/settings/settings_store.h"
#include "platform/shell/desktop_opener.h"
#include "platform/com/bstr_text.h"
#include "platform/com/com_ptr.h"

#ifndef QUAVERN_VERSION
#define QUAVERN_VERSION "unknown"
#endif

namespace quavern {

namespace {

// A year of digits only; anything else is not written.
bool parseYear(const std::string& text, LONG& year) {
  if (text.empty()) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), year);
  return error == std::errc() && end == text.data() + text.size();
}

// [accuraterip] "server": the text as set ("HOST[:PORT]", "none"), the
// server asked (nothing for none, or for a text that names no server).
std::string accurateRipServerText(SettingsStore& settings) {
  return settings.readText("accuraterip", "server", client::DefaultAccurateRipServer());
}
std::optional<client::HttpServer> accurateRipServer(const std::string& text) {
  std::optional<client::HttpServer> server;
  if (!client::ParseAccurateRipServer(text, server)) return std::nullopt;
  return server;
}

// The verification in the window's few words: "accurate (AccurateRip,
// confidence 12)", "not in the AccurateRip database", ...
std::string QuietVerification(proof::LookupStatus status, const std::vector<std::string>& outcome) {
  switch (status) {
    case proof::LookupStatus::kNotAsked: return "AccurateRip not asked";
    case proof::LookupStatus::kNotInDatabase: return "not in the AccurateRip database";
    case proof::LookupStatus::kNoAnswer: return "AccurateRip could not be reached";
    case proof::LookupStatus::kBadAnswer: return "AccurateRip's answer could not be read";
    case proof::LookupStatus::kFound: break;
  }
  // "All 3 tracks accurately ripped (AccurateRip, confidence 12)."
  const std::string& line = outcome.empty() ? std::string() : outcome.front();
  const size_t open = line.find("(AccurateRip");
  const size_t close = line.rfind(')');
  if (open == std::string::npos || close == std::string::npos || close < open) return "accurate";
  return "accurate " + line.substr(open, close - open + 1);
}

}  // namespace

std::string ripFileName(const std::string& title, const std::string& extension, const std::string& fallback) {
  return client::TitleFileName(title, extension, fallback);
}

std::string ripFailureText(LONG code) {
  switch (code) {
    case OPERATION_FAILED: return "a part of the disc could not be read";
    case FILE_ACCESS: return "the file could not be created or written in the output folder";
    case FORMAT_NOT_SUPPORT: return "the encoder could not create the file in the output folder";
    case DRIVE_BUSY: return "the drive was busy or could not be opened";
    case MEDIA_CHANGED: return "the disc was changed; press Refresh and try again";
    case ASPI_DRIVER: return "the drive could not be reached";
    case OUT_OF_MEMORY: return "there was not enough memory";
    case INVALID_PARAM: return "a rip setting was refused";
    default: return "the ripping engine reported error " + std::to_string(code);
  }
}

RipBatch::RipBatch(EngineLink& engine, SettingsStore& settings, Prompter& prompter, platform::DesktopOpener& opener,
                   CurrentTags& tags, DiscController& disc, RipBatchView& view)
    : engine_(engine), settings_(settings), prompter_(prompter), opener_(opener), tags_(tags), disc_(disc),
      view_(view) {}

RipBatch::~RipBatch() {
  // A look-up still running is given up; its answer is dropped.
  if (lookup_.valid()) {
    giveUpLookup_->store(true);
    lookup_.wait();
  }
  removeEmbeddedCover();
}

// The front cover of the release that named the disc, once fetched: a copy
// the tag component embeds in every file of the batch, and cover.jpg or
// cover.png beside the files (an existing one is never replaced). The log's
// "cover art" row; "" when the disc has no cover to give.
std::string RipBatch::prepareCoverArt() {
  removeEmbeddedCover();
  const std::optional<client::CoverArt> art = disc_.coverArt();
  // Still fetched: taken as soon as it comes (takeLateCover).
  coverAwaited_ = !art && disc_.coverArtPending();
  if (!art) return "";
  if (!art->found) return "none (" + art->reason + ")";
  std::string row;
  const std::string copy = outputFolder_ + ".quavern-cover." + art->extension;
  std::ofstream(copy, std::ios::binary | std::ios::trunc) << art->bytes;
  std::error_code ec;
  if (std::filesystem::file_size(copy, ec) == art->bytes.size()) {
    embeddedCover_ = copy;
    row = "embedded";
  } else {
    std::filesystem::remove(copy, ec);
  }
  std::string why;
  const std::string saved = client::SaveCoverArt(outputFolder_, *art, why);
  if (!saved.empty()) row += (row.empty() ? "" : ", ") + std::filesystem::path(saved).filename().string();
  return row.empty() ? "none (" + why + ")" : row;
}

void RipBatch::takeLateCover() {
  if (!coverAwaited_ || disc_.coverArtPending()) return;
  coverAwaited_ = false;
  const std::string row = prepareCoverArt();
  if (!row.empty() && proof_) proof_->addSetting("cover art", row);
}

// Through the tag component, as the ReplayGain tags are: each file's tags
// are read and written back in place with the picture added.
void RipBatch::embedLateCover() {
  takeLateCover();
  if (coverAwaited_ && proof_) proof_->addSetting("cover art", "none (its fetch had not ended when the batch did)");
  coverAwaited_ = false;
  const std::vector<std::pair<int, std::string>> files = std::exchange(withoutCover_, {});
  if (embeddedCover_.empty() || files.empty()) return;
  com::ComPtr<IAudioInformation2> info;
  CoCreateInstance(CLSID_AudioInformation2, nullptr, CLSCTX_INPROC_SERVER, IID_IAudioInformation2, info.putVoid());
  for (const auto& [row, path] : files) {
    const std::string why = client::EmbedCoverArt(info.get(), path, embeddedCover_);
    if (!why.empty()) failures_.push_back({row, view_.rowTitle(row), "its cover art could not be embedded: " + why});
  }
}

void RipBatch::removeEmbeddedCover() {
  if (embeddedCover_.empty()) return;
  std::error_code ec;
  std::filesystem::remove(embeddedCover_, ec);
  embeddedCover_.clear();
}

bool RipBatch::ripping() const { return disc_.ripping(); }

int RipBatch::nextTickedRow(int from) const {
  for (int row = std::max(from, 0); row < view_.trackRowCount(); ++row) {
    if (view_.rowTicked(row)) return row;
  }
  return -1;
}

void RipBatch::StartUnattended() {
  if (disc_.playbackOn() || disc_.ripping() || view_.trackRowCount() == 0) return;
  unattended_ = true;
  StartRip();
  if (!disc_.ripping()) unattended_ = false;
}

void RipBatch::StartRip() {
  if (disc_.playbackOn()) {
    prompter_.inform(nullptr, texts::kStopPlayingFirst);
    return;
  }
  if (disc_.ripping()) return;
  if (view_.trackRowCount() == 0) {
    prompter_.inform(nullptr, texts::kInsertCd);
    return;
  }
  if (nextTickedRow(0) < 0) return;
  IAudioCDRipper2* engine = engine_.engine();
  if (engine == nullptr) return;
  disc_.setRipping(true);
  phase_ = Phase::kBetween;
  failures_.clear();
  filesWritten_ = 0;
  logPath_.clear();
  foundWrong_ = false;
  quietOutcome_.clear();

  // The output folder, created when missing; a failure shows on the tracks.
  outputFolder_ = settings_.readText("basic", "output directory", defaults::musicFolder());
  std::error_code ec;
  if (!outputFolder_.empty()) std::filesystem::create_directories(outputFolder_, ec);
  if (outputFolder_.empty() || outputFolder_.back() != '/') outputFolder_ += '/';

  format_ = view_.outputFormat();
  if (!chooseFormat()) {
    phase_ = Phase::kIdle;
    disc_.setRipping(false);
    return;
  }
  ripCursor_ = 0;
  view_.setProgressCaption(RipBatchView::Caption::kPercent);
  started_ = 0;

  // Grab mode 4 (verified) starts in BURST; the steps put SECURE for re-reads.
  const int grabMode = grabModeSetting(settings_);
  const int retries = settings_.readInt("cd", "error retry", 5);
  const int speed = settings_.readInt("cd", "drive speed", 32);
  const int errorAction = settings_.readInt("cd", "error action", 3);
  verified_.begin(grabMode == kGrabModeVerified, retries, speed, errorAction);
  verified_.putMode(engine, grabModePreset(grabMode));

  client::RunSettings run;
  run.modePreset = grabModePreset(grabMode);
  run.verified = verified_.on();
  ctdbText_ = ctdbServerText(settings_);
  run.ctdbServer = ctdbText_;
  run.format = outputExtension_.substr(1);
  if (format_ == kFlac) run.flacLevel = readFlacCompressionLevel(settings_);
  run.retries = retries;
  run.onErrorAction = errorAction;
  run.speed = speed;
  // Test and copy: each track is read twice, a test read first (into a
  // file of its own, removed again), and the two reads' CRCs must agree.
  testAndCopy_ = settings_.readBool("cd", "test and copy", false);
  run.testAndCopy = testAndCopy_;
  serverText_ = accurateRipServerText(settings_);
  run.accurateRipServer = serverText_;
  // ReplayGain: the engine measures each track as it rips it.
  replayGain_ = settings_.readBool("replaygain", "enabled", true);
  replayGainBatch_ = {};
  client::RipReport(engine).putReplayGain(replayGain_);
  run.titles = client::TitlesLogRow(disc_.titles(), disc_.titlesAsked());
  withoutCover_.clear();
  run.coverArt = prepareCoverArt();
  proof_.emplace(engine, std::string("quavern ") + QUAVERN_VERSION);
  proof_->begin(engine_.getLong(&IAudioCDRipper2::get_trackCount), std::nullopt, run);
  // Each row's audio from the disc's layout, for the time left.
  rowMs_.assign(static_cast<size_t>(view_.trackRowCount()), 0);
  for (size_t row = 0; row < rowMs_.size(); ++row) {
    rowMs_[row] = static_cast<long>(proof_->log().layout.audioTrackFrames(row)) * 1000 / 75;
  }
  if (verified_.on()) {
    lookUpFirst();
    return;
  }
  RipNextTrack();
}

bool RipBatch::chooseFormat() {
  IAudioCDRipper2* engine = engine_.engine();
  switch (format_) {
    case kWav:
      break;
    case kWma:
      handWmaToEngine(engine, readWmaProfile(settings_));
      break;
    case kOgg:
      if (!handOggToEngine(engine, readOggSettings(settings_))) {
        prompter_.inform(nullptr, texts::kOggNotSupported);
        return false;
      }
      break;
    case kFlac:
      if (!handFlacToEngine(engine, readFlacCompressionLevel(settings_))) {
        prompter_.inform(nullptr, texts::kFlacNotAvailable);
        return false;
      }
      break;
    default:
      format_ = kMp3;
      if (!handMp3ToEngine(engine, engine_.mp3Settings(), readMp3Settings(settings_))) {
        prompter_.inform(nullptr, texts::kMp3NotSupported);
        return false;
      }
      break;
  }
  outputExtension_ = client::FormatInfo(formatAtBoxIndex(format_)).extension;
  return true;
}

void RipBatch::RipNextTrack() {
  // A loop rather than a recursion: skipped and refused tracks move on here.
  for (;;) {
    if (ripCursor_ == 0 || !view_.rowTicked(ripCursor_)) {
      const int first = nextTickedRow(ripCursor_);
      if (first < 0) {
        endBatch(true);
        return;
      }
      ripCursor_ = first;
    }
    const std::string title = view_.rowTitle(ripCursor_);
    const int number = ripCursor_ + 1;
    const std::string name =
        ripFileName(title, outputExtension_, (number < 10 ? "Track0" : "Track") + std::to_string(number));
    // Nobody to ask when the batch started on insertion: the new file takes
    // a free name.
    outputPath_ = unattended_ ? client::FreePath(outputFolder_, name) : outputFolder_ + name;

    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::symlink_status(outputPath_, ec))) {
      if (prompter_.askYesNo(nullptr, texts::kOverwrite)) {
        // Yes: a read-only file loses its protection.
        std::filesystem::permissions(outputPath_, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::add, ec);
      } else {
        view_.setRowStatus(ripCursor_, texts::kStatusFinish);
        const int next = nextTickedRow(ripCursor_ + 1);
        if (next < 0) {
          endBatch(false);
          return;
        }
        ripCursor_ = next;
        continue;
      }
    }

    view_.setRipProgress(0);
    view_.setRowStatus(ripCursor_, texts::kStatusConverting);
    view_.showRipRow(ripCursor_);
    testing_ = testAndCopy_;
    testCrc_.reset();
    if (startCall(testing_ ? testReadPath() : outputPath_)) return;  // the engine reports the rest
    testing_ = false;

    // Refused before it started: no progress follows.
    failures_.push_back({ripCursor_, title, ripFailureText(callErrors_.front())});
    if (proof_) proof_->addTrack(ripCursor_ + 1, "", false, failures_.back().reason);
    view_.setRowStatus(ripCursor_, texts::kStatusFailed);
    const int next = disc_.ripStopPending() ? -1 : nextTickedRow(ripCursor_ + 1);
    if (next < 0) {
      endBatch(true);
      return;
    }
    ripCursor_ = next;
  }
}

bool RipBatch::startCall(const std::string& path) {
  IAudioCDRipper2* engine = engine_.engine();
  engine->put_trackNum(ripCursor_ + 1);
  if (proof_) proof_->putReadOffset();
  {
    long laterMs = 0;
    int later = 0;
    for (int row = ripCursor_ + 1; row < view_.trackRowCount(); ++row) {
      if (!view_.rowTicked(row)) continue;
      ++later;
      if (static_cast<size_t>(row) < rowMs_.size()) laterMs += rowMs_[static_cast<size_t>(row)];
    }
    if (testing_ || !testAndCopy_) ++started_;  // a track's copy after its test read is the same track
    const long trackMs = static_cast<size_t>(ripCursor_) < rowMs_.size() ? rowMs_[static_cast<size_t>(ripCursor_)] : 0;
    clock_.startTrack(started_, started_ + later, trackMs, laterMs);
    view_.setProgressText(progressText(0));
  }
  callErrors_.clear();
  trackErrors_.clear();
  BSTR file = com::NewBstr(path);
  phase_ = Phase::kCalling;
  switch (testing_ ? static_cast<int>(kWav) : format_) {
    case kWav: engine->RipTrackToWav(file); break;
    case kWma: engine->RipTrackToWMA(file); break;
    case kOgg: engine->RipTrackToOGG(file); break;
    case kFlac: engine->RipTrackToAudioFile2Format(file); break;
    default: engine->RipTrackToMP3(file); break;
  }
  SysFreeString(file);
  phase_ = callErrors_.empty() ? Phase::kRipping : Phase::kBetween;
  return phase_ == Phase::kRipping;
}

void RipBatch::AudioCDRipperError(LONG code) {
  if (!disc_.ripping() || inStopCall_) return;
  if (phase_ == Phase::kCalling) {
    callErrors_.push_back(code);
  } else if (phase_ == Phase::kRipping) {
    trackErrors_.push_back(code);
  }
}

void RipBatch::AudioCDRipperRipProgress(LONG percent) {
  if (!disc_.ripping()) {
    // An event with no batch running.
    if (IAudioCDRipper2* engine = engine_.engine()) engine->StopRip();
    view_.setRipProgress(0);
    return;
  }
  if (phase_ != Phase::kRipping) return;
  if (percent < 100) {
    if (!disc_.ripStopPending()) {
      view_.setRipProgress(static_cast<int>(percent));
      view_.setProgressText(progressText(static_cast<int>(percent)));
    }
    return;
  }
  finishTrack();
}

std::string RipBatch::progressText(int percent) const {
  // The engine counts the frames it reads again as it goes; read between
  // its progress events, on this thread, as the rest of its report.
  long retried = 0;
  if (percent > 0 && engine_.engine() != nullptr)
    retried = client::RipReport(engine_.engine()).framesRetried().value_or(0);
  const std::string text = clock_.at(percent, retried);
  if (!testAndCopy_) return text;
  // "Track 2 of 5 · test read · 43% · …"
  const size_t first = text.find(" \u00b7 ");
  return text.substr(0, first) + (testing_ ? " \u00b7 test read" : " \u00b7 copy") + text.substr(first);
}

std::string RipBatch::testReadPath() const { return outputFolder_ + ".quavern-test-read.wav"; }

// The test read's RipProgress(100): its CRC kept, its file removed, and the
// copy started.
void RipBatch::finishTestRead() {
  phase_ = Phase::kBetween;
  testing_ = false;
  if (trackErrors_.empty() && proof_) testCrc_ = proof_->lastCopyCrc();
  std::error_code ec;
  std::filesystem::remove(testReadPath(), ec);
  if (disc_.ripStopPending()) {
    if (proof_) proof_->addTrack(ripCursor_ + 1, "", false, "the batch was stopped");
    view_.setRowStatus(ripCursor_, texts::kStatusFailed);
    endBatch(true);
    return;
  }
  view_.setRipProgress(0);
  if (startCall(outputPath_)) return;
  // The copy was refused: the track fails, the batch goes on.
  failures_.push_back({ripCursor_, view_.rowTitle(ripCursor_), ripFailureText(callErrors_.front())});
  if (proof_) proof_->addTrack(ripCursor_ + 1, "", false, failures_.back().reason);
  view_.setRowStatus(ripCursor_, texts::kStatusFailed);
  const int next = nextTickedRow(ripCursor_ + 1);
  if (next < 0) {
    endBatch(true);
    return;
  }
  ripCursor_ = next;
  RipNextTrack();
}

// The track's RipProgress(100): its file is closed.
void RipBatch::finishTrack() {
  if (testing_) {
    finishTestRead();
    return;
  }
  phase_ = Phase::kBetween;
  const bool failed = !trackErrors_.empty();
  if (failed) {
    failures_.push_back({ripCursor_, view_.rowTitle(ripCursor_), ripFailureText(trackErrors_.front())});
    view_.setRowStatus(ripCursor_, texts::kStatusFailed);
  } else {
    view_.setRowStatus(ripCursor_, texts::kStatusFinish);
  }
  std::error_code ec;
  bool written = !failed && std::filesystem::exists(outputPath_, ec);
  if (proof_) {
    // Read before the tag component touches anything: the report is the rip's.
    const std::string why = failed ? failures_.back().reason
                            : disc_.ripStopPending() ? std::string("the batch was stopped")
                            : !written ? std::string("no file was written")
                                       : std::string();
    proof_->addTrack(ripCursor_ + 1, written ? outputPath_ : std::string(), why.empty(), why, testAndCopy_, testCrc_);
    const client::RipLogTrack& logged = proof_->log().tracks.back();
    if (why.empty() && !logged.ripped) {
      // Test and copy disagree (or the test read failed): the track failed,
      // its file is left as read, untagged.
      failures_.push_back({ripCursor_, view_.rowTitle(ripCursor_), logged.failure});
      view_.setRowStatus(ripCursor_, texts::kStatusFailed);
      written = false;
    }
    if (verifiedTrackEnded(written)) return;  // read again in SECURE
  }
  if (written) {
    ++filesWritten_;
    takeLateCover();
    // A track stopped before its first block leaves a file without audio,
    // which the tag component may refuse; the stop was the user's.
    if (!TagRippedFile()) {
      if (!disc_.ripStopPending())
        failures_.push_back({ripCursor_, view_.rowTitle(ripCursor_), "the file was ripped, but its tags could not be written"});
    } else if (coverAwaited_) {
      // A track read again (verified mode) is the same file.
      if (std::find(withoutCover_.begin(), withoutCover_.end(), std::pair(ripCursor_, outputPath_)) == withoutCover_.end())
        withoutCover_.emplace_back(ripCursor_, outputPath_);
    }
    if (replayGain_ && engine_.engine() != nullptr)
      replayGainBatch_.addTrack(ripCursor_ + 1, outputPath_, client::RipReport(engine_.engine()).trackReplayGain());
  }
  if (disc_.ripStopPending()) {
    endBatch(true);
    return;
  }
  view_.setRipProgress(100);
  const int next = nextTickedRow(ripCursor_ + 1);
  if (next < 0) {
    endBatch(true);
    return;
  }
  ripCursor_ = next;
  RipNextTrack();
}

bool RipBatch::TagRippedFile() {
  IAudioInformation2* info = engine_.audioInformation();
  if (info == nullptr) return false;
  try {
    // What named the disc adds the track's own artist and the release's
    // fields; the album artist and disc number are the tag editor's.
    client::ReleaseTags release = client::ReleaseTagsOf(disc_.titles(), ripCursor_ + 1, "");
    release.albumArtist = tags_.albumArtist;
    release.discNumber = tags_.discNumber;
    const std::string& artist = release.trackArtist.empty() ? tags_.artist : release.trackArtist;
    putTextByName(info, "infoTitle", view_.rowTitle(ripCursor_));
    if (!tags_.album.empty()) putTextByName(info, "infoAlbum", tags_.album);
    if (!artist.empty()) putTextByName(info, "infoArtist", artist);
    client::PutReleaseTags(info, release, embeddedCover_);
    LONG year = 0;
    if (parseYear(tags_.year, year)) check(info->put_infoYear(year), "AudioInformation2.infoYear");
    check(info->put_infoGenre(static_cast<SHORT>(tags_.genreIndex)), "AudioInformation2.infoGenre");
    putTextByName(info, "infoGenreS", tags_.genreName);
    if (!tags_.comment.empty()) putTextByName(info, "infoComments", tags_.comment);
    check(info->put_infoTrack(static_cast<SHORT>(ripCursor_ + 1)), "AudioInformation2.infoTrack");
    const HRESULT hr = info->WriteInfo(com::Bstr(outputPath_).get());
    check(hr, "AudioInformation2.WriteInfo");
  } catch (const ComponentError&) {
    // Raised inside the engine's event: told in the batch's summary
    // instead of unwinding through the event's delivery.
    return false;
  }
  return true;
}

void RipBatch::RequestStopRip() {
  if (!disc_.ripping()) return;
  if (IAudioCDRipper2* engine = engine_.engine()) {
    inStopCall_ = true;
    engine->StopRip();
    inStopCall_ = false;
  }
  verified_.cancel();  // a stop while the databases are asked first ends their look-up
  disc_.setRipStopPending(true);
  view_.setProgressCaption(RipBatchView::Caption::kStopping);
}

void RipBatch::endBatch(bool normal) {
  phase_ = Phase::kBetween;
  endNormal_ = normal;
  embedLateCover();
  // The album's gain over the tracks ripped, and every file's ReplayGain tags.
  if (!replayGainBatch_.empty() && engine_.engine() != nullptr) {
    for (const auto& failure : replayGainBatch_.writeTags(client::RipReport(engine_.engine()))) {
      const int row = static_cast<int>(failure.track - 1);
      failures_.push_back({row, view_.rowTitle(row), "its ReplayGain tags could not be written: " + failure.reason});
    }
    replayGainBatch_ = {};
  }
  if (!proof_ || proof_->empty()) {
    proof_.reset();
    completeBatch(normal, {});
    return;
  }
  const std::string& text = serverText_;
  const std::optional<client::HttpServer> server = accurateRipServer(text);
  const std::optional<proof::AccurateRipDiscId> disc = proof_->disc();
  ctdbFound_ = std::make_shared<std::optional<client::CtdbLookup>>();
  if (verified_.lookedUp()) {
    // Asked before the first track: the answers are the same now.
    *ctdbFound_ = verified_.found().ctdb;
    verificationArrived(verified_.found().accurateRip);
    return;
  }
  proof::AccurateRipLookup lookup = client::NotAsked();
  if (proof_->anyRipped()) {
    // Asked for, but impossible: said as no answer, the log says why.
    if (!server && !text.empty() && text != "none") {
      lookup.status = proof::LookupStatus::kNoAnswer;
      lookup.detail = "the server \"" + text + "\" is not HOST or HOST:PORT";
    } else if (server && !disc) {
      lookup.status = proof::LookupStatus::kNoAnswer;
      lookup.detail = "the disc's identity is unknown";
    }
  }
  const bool askAccurateRip = server && disc && proof_->anyRipped();
  const bool askCtdb = proof_->anyRipped() && ctdbAsked(ctdbText_);
  if (!askAccurateRip && !askCtdb) {
    verificationArrived(lookup);
    return;
  }
  // The look-ups may wait for the network: on a worker, while the window
  // goes on (the menus stay as during the rip, the caption says why). The
  // worker fills the CUETools answer before its future is ready.
  view_.setProgressCaption(RipBatchView::Caption::kVerifying);
  phase_ = Phase::kVerifying;
  giveUpLookup_ = std::make_shared<std::atomic<bool>>(false);
  lookup_ = std::async(std::launch::async, [askAccurateRip, askCtdb, server, disc, lookup, ctdb = ctdbFound_,
                                            ctdbText = ctdbText_, layout = proof_->log().layout,
                                            giveUp = giveUpLookup_] {
    if (askCtdb) *ctdb = client::LookUpCtdbBy(ctdbText, layout, giveUp.get());
    return askAccurateRip ? client::LookUpDisc(*server, *disc, giveUp.get()) : lookup;
  });
  if (!lookupPoll_) {
    lookupPoll_ = std::make_unique<QTimer>();
    lookupPoll_->setInterval(20);
    QObject::connect(lookupPoll_.get(), &QTimer::timeout, [this] {
      if (!lookup_.valid() || lookup_.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return;
      lookupPoll_->stop();
      verificationArrived(lookup_.get());
    });
  }
  lookupPoll_->start();
}

void RipBatch::verificationArrived(const proof::AccurateRipLookup& lookup) {
  const std::vector<std::string> outcome = writeLog(lookup);
  completeBatch(endNormal_, outcome);
}

std::vector<std::string> RipBatch::writeLog(const proof::AccurateRipLookup& lookup) {
  std::vector<std::string> outcome;
  std::string folder = outputFolder_;
  if (folder.size() > 1) folder.pop_back();
  std::error_code ec;
  // No output folder: nothing was written, and the failures say why.
  if (proof_ && std::filesystem::is_directory(folder, ec)) {
    proof_->judge(lookup);
    if (ctdbFound_ && *ctdbFound_) proof_->judgeCtdb(**ctdbFound_);
    outcome = client::VerificationOutcome(proof_->log(), lookup);
    for (const std::string& line : ctdbSummary(proof_->log())) outcome.push_back(line);
    foundWrong_ = false;
    for (const client::RipLogTrack& track : proof_->log().tracks) {
      if (track.ripped && (track.unconfirmedFrames > 0 || track.verdict.kind == proof::VerdictKind::kNotAccurate))
        foundWrong_ = true;
    }
    quietOutcome_ = QuietVerification(lookup.status, outcome);
    if (const std::string ctdb = ctdbQuiet(proof_->log()); !ctdb.empty()) {
      quietOutcome_ += " \u00b7 " + ctdb;
      if (ctdb.rfind("not", 0) == 0) foundWrong_ = true;
    }
    // Test and copy: each track's two CRCs in the summary, and in a few
    // words beside the outcome ("test and copy CRCs match for 3 tracks").
    if (testAndCopy_) {
      const client::TestAndCopySummary testAndCopy = client::SummariseTestAndCopy(proof_->log());
      for (const std::string& line : testAndCopy.lines) outcome.push_back(line);
      if (!testAndCopy.brief.empty()) quietOutcome_ += " \u00b7 " + testAndCopy.brief;
    }
    std::string why;
    logPath_ = proof_->writeLog(folder, why);
    outcome.push_back(logPath_.empty() ? "The rip log could not be written: " + why + "." : "Rip log: " + logPath_);
  }
  proof_.reset();
  return outcome;
}

void RipBatch::abandon() {
  verified_.giveUp();  // the databases asked before the first track: their answer is dropped
  if (phase_ == Phase::kVerifying && lookup_.valid()) {
    // The window closes while AccurateRip is asked: the look-up is given up
    // (its worker ends within a second, not at its time-out) and
    // the log is still written, without a summary.
    if (lookupPoll_) lookupPoll_->stop();
    giveUpLookup_->store(true);
    writeLog(lookup_.get());
    phase_ = Phase::kIdle;
    disc_.setRipping(false);
    return;
  }
  if (!disc_.ripping()) return;
  const bool inTrack = phase_ == Phase::kRipping || phase_ == Phase::kCalling;
  const bool inTestRead = testing_;
  if (IAudioCDRipper2* engine = engine_.engine()) {
    inStopCall_ = true;
    engine->StopRip();
    inStopCall_ = false;
  }
  phase_ = Phase::kIdle;
  testing_ = false;
  if (inTestRead) {
    std::error_code ec;
    std::filesystem::remove(testReadPath(), ec);
  }
  // The tracks done so far keep their proof: the log is written at once,
  // the track under way marked stopped, and AccurateRip is not asked (the
  // window does not wait for the network on its way out).
  if (proof_ && (!proof_->empty() || inTrack)) {
    if (inTrack) proof_->addTrack(ripCursor_ + 1, "", false, "stopped: the window was closed during the rip");
    writeLog(client::NotAsked());
  }
  proof_.reset();
  disc_.setRipping(false);
}

void RipBatch::completeBatch(bool normal, const std::vector<std::string>& verification) {
  phase_ = Phase::kIdle;
  removeEmbeddedCover();
  disc_.setRipping(false);  // clears the stop request, menus idle
  const bool unattended = std::exchange(unattended_, false);
  if (settings_.readBool("cd", "eject when done", false) && engine_.engine() != nullptr) engine_.engine()->Eject();
  if (!normal) {
    // A refused overwrite of the last ticked row: the caption stays (the
    // percentage, also after a look-up), nothing is told.
    view_.setProgressCaption(RipBatchView::Caption::kPercent);
    return;
  }
  view_.setRipProgress(0);
  view_.setProgressCaption(RipBatchView::Caption::kNone);
  std::string text;
  if (!failures_.empty()) {
    text = failures_.size() == 1 ? "One track could not be ripped:\n"
                                 : std::to_string(failures_.size()) + " tracks could not be ripped:\n";
    for (const Failure& f : failures_) text += "\n" + f.title + " (track " + std::to_string(f.row + 1) + "): " + f.reason + ".";
  }
  if (!verification.empty()) {
    if (!text.empty()) text += "\n\n";
    for (size_t i = 0; i < verification.size(); ++i) text += (i == 0 ? "" : "\n") + verification[i];
  }
  const bool needsTheUsersEye = !failures_.empty() || foundWrong_;
  if (needsTheUsersEye && !unattended) {
    // Something needs the user's eye: a track failed, kept unconfirmed
    // frames, or is not what the database knows.
    prompter_.inform(nullptr, text);
  } else if (filesWritten_ > 0 || needsTheUsersEye) {
    // All went well (or the database could not say), or nobody is there to
    // click a box: the window tells it.
    std::string quiet = filesWritten_ == 1 ? "1 track ripped" : std::to_string(filesWritten_) + " tracks ripped";
    if (!failures_.empty()) quiet += " \u00b7 " + std::to_string(failures_.size()) + " failed";
    if (!quietOutcome_.empty()) quiet += " \u00b7 " + quietOutcome_;
    if (!logPath_.empty()) quiet += " \u00b7 log";
    view_.showOutcome(quiet, text);
  }
  if (unattended) return;  // no folder opens for a batch nobody asked for
  if (filesWritten_ > 0) {
    std::string folder = outputFolder_;
    if (folder.size() > 1) folder.pop_back();
    opener_.open(folder);
  }
}

}  // namespace quavern
