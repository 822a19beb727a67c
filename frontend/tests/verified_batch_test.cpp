// The batch's verified mode ([cd] "grab mode" 4) and the CUETools database,
// on the real engine against virtual drives of small generated discs, with
// loopback AccurateRip and CUETools servers holding records the test makes
// from the image: the tracks no database confirms are read again in secure
// mode and only those, the log says why and agrees with the command line's
// verified rip; an unknown disc is ripped securely from the start; a grab
// mode out of range never reaches the engine; CTDB's verdicts reach the log,
// the summary and the window's outcome line.
#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QProgressBar>
#include <QTableWidget>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "client/ctdb_lookup.h"
#include "client/rip_log.h"
#include "client/testing/accuraterip_test_server.h"
#include "frontend/tests/quavern_test_support.h"
#include "platform/vdrive/disc_description.h"
#include "proof/accuraterip_id.h"
#include "proof/ctdb_crc.h"

using namespace quavern_testing;

namespace {

constexpr char kThreeTracks[] =
    "disc seed=4\n"
    "track kind=music length=2s key=D progression=I-vi-IV-V tempo=92\n"
    "track kind=noise length=2s\n"
    "track kind=tone length=2s freq=440\n";

void putLe32(std::string& bytes, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) bytes += static_cast<char>((value >> shift) & 0xff);
}

// AccurateRip v2 of a track's audio, from its definition: the sum of the
// high and low halves of i x w over the samples w = L | R << 16 counted
// from 1, the disc's first 5 x 588 - 1 and last 5 x 588 samples skipped.
uint32_t accurateRipV2(const std::string& audio, bool firstTrack, bool lastTrack) {
  uint32_t v2 = 0;
  const uint64_t samples = audio.size() / 4;
  const uint64_t from = firstTrack ? 5 * 588 : 1;
  const uint64_t to = lastTrack ? samples - 5 * 588 : samples;
  for (uint64_t i = from; i <= to; ++i) {
    const auto* b = reinterpret_cast<const uint8_t*>(audio.data()) + (i - 1) * 4;
    const uint32_t w = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    const uint64_t product = i * w;
    v2 += static_cast<uint32_t>(product >> 32) + static_cast<uint32_t>(product);
  }
  return v2;
}

// The log's lines but those that differ between any two runs, and the
// titles' source (the batch's and the command line's are compared by the
// rip batch test's same-log test).
std::vector<std::string> comparableLines(const std::string& text) {
  std::vector<std::string> kept;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("Program: ", 0) != 0 && line.rfind("Date: ", 0) != 0 && line.rfind("  File: ", 0) != 0 &&
        line.rfind("Setting titles: ", 0) != 0)
      kept.push_back(line);
  }
  return kept;
}

size_t count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

}  // namespace

class VerifiedBatchTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<ScratchHome> home_;
  std::unique_ptr<ProgramUnderTest> program_;
  std::string out_;

  // A drive with kThreeTracks and the program started with `ini` in its
  // quavern.ini (WAV files, no database unless `ini` names one).
  void start(const std::string& ini) {
    home_->write("test.disc", kThreeTracks);
    home_->write("vdrives.ini", "[E]\nimage=test.disc\n");
    out_ = home_->path() + "/out";
    home_->write("quavern.ini", "[basic]\noutput directory=" + out_ + "\nformat=1\n" + ini);
    QVERIFY(quavern::ensureComponentsRegistered(std::cerr));
    program_ = std::make_unique<ProgramUnderTest>(*application());
    program_->show();
  }
  quavern::Tfm_main& window() const { return program_->window(); }
  QProgressBar* pb() const { return program_->find<QProgressBar>("pb"); }
  void rip() {
    window().RipCD1Click();
    QTRY_VERIFY_WITH_TIMEOUT(!window().controller().ripping(), 30000);
  }
  std::string file(const std::string& name) const { return out_ + "/" + name; }
  RipModePresetConstants enginePreset() const {
    RipModePresetConstants mode = PLAY;
    window().engine().engine()->get_ripModePreset(&mode);
    return mode;
  }
  std::string loopback(const client::testing::AccurateRipTestServer& server) const {
    return "127.0.0.1:" + std::to_string(server.port());
  }

  platform::vdrive::Disc disc() const { return platform::vdrive::generateDisc(kThreeTracks, "test.disc"); }
  std::string trackAudio(int number) const {
    const platform::vdrive::Disc image = disc();
    const platform::vdrive::Track* track = image.track(number);
    std::string audio;
    std::array<uint8_t, platform::vdrive::kSectorBytes> sector{};
    for (auto lba = track->start; lba < track->end; ++lba) {
      if (!image.readSector(lba, sector)) return {};
      audio.append(reinterpret_cast<const char*>(sector.data()), sector.size());
    }
    return audio;
  }
  // The file holds the track's audio after its 46-byte header (tags may follow).
  bool holdsTrack(const std::string& name, int number) const {
    const std::string wav = readFile(file(name));
    const std::string audio = trackAudio(number);
    return !audio.empty() && wav.size() >= 46 + audio.size() && wav.compare(46, audio.size(), audio) == 0;
  }
  proof::DiscLayout layout() const {
    const platform::vdrive::Disc image = disc();
    proof::DiscLayout layout;
    for (const platform::vdrive::Track& track : image.tracks())
      layout.tracks.push_back({static_cast<uint8_t>(track.number), static_cast<uint32_t>(track.start), false});
    layout.leadOutLba = static_cast<uint32_t>(image.leadOut());
    return layout;
  }
  // The disc's AccurateRip record, confidence 12, track `spoil`'s CRC wrong.
  void putAccurateRip(client::testing::AccurateRipTestServer& server, int spoil) const {
    const proof::AccurateRipDiscId id = proof::AccurateRipDiscIdOf(layout());
    std::string record;
    record += static_cast<char>(3);
    putLe32(record, id.id1);
    putLe32(record, id.id2);
    putLe32(record, id.cddbId);
    for (int t = 1; t <= 3; ++t) {
      record += static_cast<char>(12);
      putLe32(record, accurateRipV2(trackAudio(t), t == 1, t == 3) ^ (t == spoil ? 0x10u : 0u));
      putLe32(record, 0);
    }
    server.putFile(proof::AccurateRipPath(id), record);
  }
  // The disc's CUETools entry, confidence 5, track `spoil`'s CRC wrong.
  void putCtdb(client::testing::AccurateRipTestServer& server, int spoil) const {
    const std::string audio = trackAudio(1) + trackAudio(2) + trackAudio(3);
    const uint64_t samples = audio.size() / 4;
    const std::vector<uint64_t> starts = {0, trackAudio(1).size() / 4, (trackAudio(1).size() + trackAudio(2).size()) / 4};
    const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(audio.data()), audio.size());
    std::string crcs;
    for (size_t t = 0; t < 3; ++t) {
      uint32_t crc = proof::CtdbShiftedCrcs(bytes, 0, samples, proof::CtdbTrackSpan(starts, t, samples))[proof::kCtdbMaxShift];
      if (int(t) + 1 == spoil) crc ^= 0x10u;
      char text[16];
      std::snprintf(text, sizeof text, "%s%08x", t == 0 ? "" : " ", crc);
      crcs += text;
    }
    server.putFile("/lookup2.php?version=3&ctdb=1&fuzzy=1&toc=" + client::CtdbToc(layout()),
                   "<ctdb><entry id=\"7\" crc32=\"0\" confidence=\"5\" trackcrcs=\"" + crcs + "\"/></ctdb>");
  }

 private slots:
  void init() { home_ = std::make_unique<ScratchHome>(); }
  void cleanup() {
    program_.reset();
    home_.reset();
  }

  // AccurateRip knows the disc but not track 2 as ripped: track 2 alone is
  // read again, securely, and the log row says why; the files are the
  // disc's; the command line's verified rip of the same disc writes the
  // same log.
  void aVerifiedBatchReReadsOnlyWhatNoDatabaseConfirms() {
    client::testing::AccurateRipTestServer server;
    putAccurateRip(server, 2);
    start("[accuraterip]\nserver=" + loopback(server) +
          "\n[cd]\ngrab mode=4\nerror retry=7\ndrive speed=24\nerror action=1\n");
    rip();
    const std::string log = readFile(file("ripmarrow.log"));
    QVERIFY2(log.find("Mode: verified\n") != std::string::npos, log.c_str());
    QVERIFY2(log.find("Setting verified mode: AccurateRip knows the disc, CTDB does not\n") != std::string::npos,
             log.c_str());
    QCOMPARE(count(log, "  Verified mode: re-read: not confirmed by AccurateRip or CTDB\n"), size_t(1));
    const size_t second = log.find("Track 2\n");
    QVERIFY(second != std::string::npos);
    QVERIFY(log.find("re-read:", second) < log.find("Track 3\n"));
    QCOMPARE(server.requests().size(), size_t(1));  // asked once, before the first track
    for (int t = 1; t <= 3; ++t) QVERIFY(holdsTrack("Track0" + std::to_string(t) + ".wav", t));
    QVERIFY(!std::filesystem::exists(file("Track02 (2).wav")));
    QCOMPARE(int(enginePreset()), int(BURST));  // back to burst after the re-read
    QCOMPARE(program_->prompter.messages.size(), size_t(1));  // track 2 is still not what the database holds
    QVERIFY(program_->prompter.messages.back().find("Track 2 not accurate") != std::string::npos);

    const std::string cli = home_->path() + "/cli";
    QProcess ripmarrow;
    ripmarrow.setProcessChannelMode(QProcess::MergedChannels);
    ripmarrow.start(RIPMARROW_CLI_PATH, {"--drive", "1", "rip", "--format", "wav", "--mode", "verified", "--retries", "7",
                                         "--speed", "24", "--on-error", "silence", "--titles", "none",
                                         "--accuraterip-server", QString::fromStdString(loopback(server)), "--out",
                                         QString::fromStdString(cli)});
    QVERIFY(ripmarrow.waitForFinished(60000));
    const std::string said = ripmarrow.readAll().toStdString();
    const std::vector<std::string> batch = comparableLines(log);
    const std::vector<std::string> command = comparableLines(readFile(cli + "/ripmarrow.log"));
    for (size_t i = 0; i < std::max(batch.size(), command.size()); ++i) {
      const std::string ours = i < batch.size() ? batch[i] : "(none)";
      const std::string theirs = i < command.size() ? command[i] : "(none)";
      QVERIFY2(ours == theirs, ("line " + std::to_string(i + 1) + ": batch \"" + ours + "\", ripmarrow \"" + theirs +
                                "\"\n" + said).c_str());
    }
  }

  // Neither database knows the disc: every track is ripped in secure mode
  // from the start, none again. A grab mode out of range is the default
  // (synch), never a preset past paranoid.
  void anUnknownDiscIsSecureFromTheStartAndABadGrabModeIsSynch() {
    client::testing::AccurateRipTestServer empty;
    start("[accuraterip]\nserver=" + loopback(empty) + "\n[cd]\ngrab mode=4\n");
    rip();
    const std::string log = readFile(file("ripmarrow.log"));
    QVERIFY2(log.find("Setting verified mode: neither database knows the disc: secure from the start\n") !=
                 std::string::npos,
             log.c_str());
    QCOMPARE(count(log, "re-read:"), size_t(0));
    QCOMPARE(int(enginePreset()), int(SECURE));
    QVERIFY(holdsTrack("Track02.wav", 2));

    program_->settings.writeInt("cd", "grab mode", 5);
    program_->prompter.answerYes = true;
    rip();
    QCOMPARE(int(enginePreset()), int(SYNCH));
    QVERIFY(readFile(file("ripmarrow (2).log")).find("verified") == std::string::npos);
  }

  // A server that never answers the first look-up: the window goes on, its
  // caption saying why, and a stop ends the batch within a second or so,
  // with nothing ripped.
  void aStopWhileTheDatabasesAreAskedFirstEndsTheBatchAtOnce() {
    client::testing::AccurateRipTestServer silent;
    silent.setBehaviour(client::testing::AccurateRipTestServer::Behaviour::kNeverAnswer);
    start("[accuraterip]\nserver=" + loopback(silent) + "\n[cd]\ngrab mode=4\n");
    window().RipCD1Click();
    QTRY_VERIFY_WITH_TIMEOUT(pb()->format() == "Checking AccurateRip...", 5000);
    QVERIFY(window().controller().ripping());
    QElapsedTimer clock;
    clock.start();
    window().StopRippingClick();
    QTRY_VERIFY_WITH_TIMEOUT(!window().controller().ripping(), 5000);
    QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(!std::filesystem::exists(file("Track01.wav")));
    QVERIFY(!std::filesystem::exists(file("ripmarrow.log")));
  }

  // CTDB's verdicts: every track accurate is said in the window's line and
  // the summary; a track the database holds otherwise is told in a box;
  // with CTDB alone knowing the disc, the verified batch re-reads that
  // track only.
  void theCtdbVerdictsReachTheSummaryAndTheVerifiedBatch() {
    client::testing::AccurateRipTestServer ctdb;
    putCtdb(ctdb, 0);
    start("[ctdb]\nserver=http://" + loopback(ctdb) + "\n[cd]\ngrab mode=0\n");
    rip();
    QVERIFY2(pb()->format().contains("accurate (CTDB), confidence 5"), qPrintable(pb()->format()));
    QVERIFY2(pb()->toolTip().contains("Track 3: accurate (CTDB), confidence 5."), qPrintable(pb()->toolTip()));
    QCOMPARE(program_->prompter.messages.size(), size_t(0));
    QVERIFY(readFile(file("ripmarrow.log")).find("  CTDB: accurate (CTDB), confidence 5\n") != std::string::npos);

    putCtdb(ctdb, 2);
    program_->prompter.answerYes = true;
    rip();
    QCOMPARE(program_->prompter.messages.size(), size_t(1));
    const QString told = QString::fromStdString(program_->prompter.messages.back());
    QVERIFY2(told.contains("Track 2: not accurate (CTDB).") && told.contains("Track 1: accurate (CTDB), confidence 5."),
             qPrintable(told));

    program_->settings.writeInt("cd", "grab mode", 4);
    rip();
    const std::string log = readFile(file("ripmarrow (3).log"));
    QVERIFY2(log.find("Setting verified mode: CTDB knows the disc, AccurateRip does not\n") != std::string::npos,
             log.c_str());
    QCOMPARE(count(log, "re-read:"), size_t(1));
    QVERIFY(log.find("re-read:", log.find("Track 2\n")) < log.find("Track 3\n"));
    QVERIFY(holdsTrack("Track02.wav", 2));
  }
};

int main(int argc, char** argv) { return quavern_testing::runQuavernTest<VerifiedBatchTest>(argc, argv); }

#include "verified_batch_test.moc"
