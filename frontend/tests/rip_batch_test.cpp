// The rip batch and the ID3 tag editor on the real engine, codec and tag
// components, through COM activation from a scratch home, with virtual
// drives of small generated discs and a quavern.ini the test writes: files
// equal to the disc (WAV) or decoding to each track's length (MP3, OGG,
// WMA) with every tag read back by TagLib; ticks read at each step; file
// names and the overwrite question; stops; refused formats; failed tracks
// and their summary; the tag editor's rules; screenshots. The batch's proof:
// its rip log against checksums the test computes from the image, the
// summary's AccurateRip outcome from a loopback server, and an offset drive
// with its offset kept in drives.ini.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>

#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <taglib/tpropertymap.h>
#include <zlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "proof/accuraterip_id.h"
#include "client/testing/accuraterip_test_server.h"
#include "frontend/tests/quavern_test_support.h"
#include "frontend/tfm_id3.h"
#include "outside/wavesmith2/test_signals.h"
#include "platform/vdrive/disc_description.h"
#include "client/drive_offsets.h"
#include "client/rip_log.h"
#include "client/replay_gain.h"

using namespace quavern_testing;

namespace {

// Three short tracks of different sounds; the test's drive reads at once.
constexpr char kThreeTracks[] =
    "disc seed=4\n"
    "track kind=music length=2s key=D progression=I-vi-IV-V tempo=92\n"
    "track kind=noise length=2s\n"
    "track kind=tone length=2s freq=440\n";

struct Tags {
  std::string title, artist, album, genre, comment;
  unsigned year = 0, track = 0;
};
Tags tagsOf(const std::string& path) {
  TagLib::FileRef file(path.c_str());
  Tags t;
  if (file.isNull() || file.tag() == nullptr) return t;
  const TagLib::Tag* tag = file.tag();
  t.title = tag->title().to8Bit(true);
  t.artist = tag->artist().to8Bit(true);
  t.album = tag->album().to8Bit(true);
  t.genre = tag->genre().to8Bit(true);
  t.comment = tag->comment().to8Bit(true);
  t.year = tag->year();
  t.track = tag->track();
  return t;
}

// The checksums of a track's audio, computed here from their definitions:
// CRC-32 of the bytes; AccurateRip v1 = sum of i x w, v2 = sum of the high
// and low halves of i x w, over the samples w = L | R << 16 counted from 1,
// skipping the disc's first 5 x 588 - 1 and last 5 x 588 samples.
struct ImageSums {
  uint32_t crc = 0, v1 = 0, v2 = 0;
};
ImageSums sumsOf(const std::string& audio, bool firstTrack, bool lastTrack) {
  ImageSums sums;
  const auto* bytes = reinterpret_cast<const Bytef*>(audio.data());
  sums.crc = static_cast<uint32_t>(crc32(0, bytes, static_cast<uInt>(audio.size())));
  const uint64_t samples = audio.size() / 4;
  const uint64_t from = firstTrack ? 5 * 588 : 1;
  const uint64_t to = lastTrack ? samples - 5 * 588 : samples;
  for (uint64_t i = from; i <= to; ++i) {
    const auto* b = reinterpret_cast<const uint8_t*>(audio.data()) + (i - 1) * 4;
    const uint32_t w = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    const uint64_t product = i * w;
    sums.v1 += static_cast<uint32_t>(product);
    sums.v2 += static_cast<uint32_t>(product >> 32) + static_cast<uint32_t>(product);
  }
  return sums;
}

void putLe32(std::string& bytes, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) bytes += static_cast<char>((value >> shift) & 0xff);
}

}  // namespace

class RipBatchTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<ScratchHome> home_;
  std::unique_ptr<ProgramUnderTest> program_;
  std::string out_;
  std::string server_ = "none";  // [accuraterip] "server": no look-up unless a test sets one

  // A drive with `disc`, settings for a quick rip (burst mode, no spin-up)
  // plus `ini`, and the program started on them.
  void start(const std::string& disc, const std::string& ini = "", const std::string& drive = "") {
    home_->write("test.disc", disc);
    home_->write("vdrives.ini", "[E]\nimage=test.disc\n" + drive);
    out_ = home_->path() + "/out";
    home_->write("quavern.ini", "[accuraterip]\nserver=" + server_ + "\n[basic]\noutput directory=" + out_ +
                                    "\nformat=1\n[cd]\ngrab mode=0\n" + ini);
    QVERIFY(quavern::ensureComponentsRegistered(std::cerr));
    program_ = std::make_unique<ProgramUnderTest>(*application());
    program_->show();
  }
  quavern::Tfm_main& window() const { return program_->window(); }
  QTableWidget* lv() const { return program_->find<QTableWidget>("lv"); }
  QProgressBar* pb() const { return program_->find<QProgressBar>("pb"); }
  QString status(int row) const { return lv()->item(row, 4)->text(); }
  QStringList statuses() const {
    QStringList all;
    for (int r = 0; r < lv()->rowCount(); ++r) all << status(r);
    return all;
  }
  void tickOnly(std::initializer_list<int> rows) {
    for (int r = 0; r < lv()->rowCount(); ++r) lv()->item(r, 0)->setCheckState(Qt::Unchecked);
    for (int r : rows) lv()->item(r, 0)->setCheckState(Qt::Checked);
  }
  void setFormat(int index) { program_->find<QComboBox>("cb_format")->setCurrentIndex(index); }
  bool ripping() const { return window().controller().ripping(); }
  void rip() {
    window().RipCD1Click();
    QTRY_VERIFY_WITH_TIMEOUT(!ripping(), 30000);
  }
  std::string file(const std::string& name) const { return out_ + "/" + name; }
  bool enabled(const char* action) const { return program_->find<QAction>(action)->isEnabled(); }
  // The audio of disc track `number` as the disc holds it.
  std::string discAudio(const std::string& description, int number) const {
    const platform::vdrive::Disc disc = platform::vdrive::generateDisc(description, "test.disc");
    const platform::vdrive::Track* track = disc.track(number);
    std::string audio;
    std::array<uint8_t, platform::vdrive::kSectorBytes> sector{};
    for (auto lba = track->start; lba < track->end; ++lba) {
      if (!disc.readSector(lba, sector)) return {};
      audio.append(reinterpret_cast<const char*>(sector.data()), sector.size());
    }
    return audio;
  }
  // The checksums of every track of `description`, from the image.
  std::vector<ImageSums> imageSums(const std::string& description, int tracks) const {
    std::vector<ImageSums> all;
    for (int n = 1; n <= tracks; ++n) all.push_back(sumsOf(discAudio(description, n), n == 1, n == tracks));
    return all;
  }
  // The disc's AccurateRip record as the database would hold it: the v2
  // CRCs of `sums` (a track's CRC spoiled where `spoil` says) with
  // `confidence`, at the disc's path on `server`.
  void putRecord(client::testing::AccurateRipTestServer& server, const std::string& description,
                 const std::vector<ImageSums>& sums, uint8_t confidence, int spoil = 0) const {
    const platform::vdrive::Disc disc = platform::vdrive::generateDisc(description, "test.disc");
    proof::DiscLayout layout;
    for (const platform::vdrive::Track& track : disc.tracks())
      layout.tracks.push_back({static_cast<uint8_t>(track.number), static_cast<uint32_t>(track.start), false});
    layout.leadOutLba = static_cast<uint32_t>(disc.leadOut());
    const proof::AccurateRipDiscId id = proof::AccurateRipDiscIdOf(layout);
    std::string record;
    record += static_cast<char>(sums.size());
    putLe32(record, id.id1);
    putLe32(record, id.id2);
    putLe32(record, id.cddbId);
    for (size_t t = 0; t < sums.size(); ++t) {
      record += static_cast<char>(confidence);
      putLe32(record, sums[t].v2 ^ (int(t) + 1 == spoil ? 0x10u : 0u));
      putLe32(record, 0);
    }
    server.putFile(proof::AccurateRipPath(id), record);
  }
  QString lastMessage() const {
    return program_->prompter.messages.empty() ? QString() : QString::fromStdString(program_->prompter.messages.back());
  }
  // The summary of a batch: the verification's outcome and the log's path.
  QString summary(const std::string& outcome, const std::string& log) const {
    return QString::fromStdString(outcome + "\nRip log: " + file(log));
  }
  std::string loopback(const client::testing::AccurateRipTestServer& server) const {
    return "127.0.0.1:" + std::to_string(server.port());
  }
  std::optional<client::RipLog> readLog(const std::string& name) const {
    std::string error;
    auto log = client::ParseRipLog(readFile(file(name)), error);
    if (!log) qWarning("%s: %s", name.c_str(), error.c_str());
    return log;
  }
  // `ripmarrow verify` of the output folder against `log`, without asking
  // AccurateRip: its exit status, and what it said in `said`.
  int verify(const std::string& log, std::string& said) const {
    QProcess ripmarrow;
    ripmarrow.setProcessChannelMode(QProcess::MergedChannels);
    ripmarrow.start(RIPMARROW_CLI_PATH, {"verify", QString::fromStdString(out_), "--log", QString::fromStdString(log),
                                         "--accuraterip-server", "none"});
    if (!ripmarrow.waitForFinished(60000)) return -1;
    said = ripmarrow.readAll().toStdString();
    return ripmarrow.exitStatus() == QProcess::NormalExit ? ripmarrow.exitCode() : -1;
  }

 private slots:
  void init() { home_ = std::make_unique<ScratchHome>(); }
  void cleanup() {
    program_.reset();
    home_.reset();
  }

  void aWavBatchEqualsTheDiscByteForByte() {
    start(kThreeTracks);
    window().RipCD1Click();
    QVERIFY(ripping());
    QCOMPARE(status(0), QString("Converting"));
    QVERIFY(pb()->isTextVisible());
    QVERIFY(enabled("Stop1") && enabled("StopConverting1"));
    for (const char* off : {"FreeDB1", "Refresh1", "RipCD1", "Convert1", "Play1", "Play2", "SelectAll1", "Option1"})
      QVERIFY2(!enabled(off), off);
    QVERIFY(!program_->find<QComboBox>("cb_format")->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(!ripping(), 30000);
    QCOMPARE(statuses(), QStringList({"Finish", "Finish", "Finish"}));
    for (int n = 1; n <= 3; ++n) {
      const std::string wav = readFile(file("Track0" + std::to_string(n) + ".wav"));
      const std::string audio = discAudio(kThreeTracks, n);
      QVERIFY(!audio.empty());
      QVERIFY2(wav.size() >= 46 + audio.size(), qPrintable(QString::number(wav.size())));
      QVERIFY2(wav.compare(46, audio.size(), audio) == 0, qPrintable(QString("track %1 differs").arg(n)));
      const Tags tags = tagsOf(file("Track0" + std::to_string(n) + ".wav"));
      QCOMPARE(tags.track, unsigned(n));
      QCOMPARE(tags.title, "Track0" + std::to_string(n));
    }
    // The normal end: idle menus, the outcome as the caption, the folder opened once.
    QCOMPARE(pb()->format(), QString("3 tracks ripped \u00b7 AccurateRip not asked \u00b7 log"));
    QVERIFY(enabled("RipCD1") && !enabled("Stop1") && program_->find<QComboBox>("cb_format")->isEnabled());
    QCOMPARE(program_->opener.opened, std::vector<std::string>{out_});
    QCOMPARE(program_->prompter.messages, std::vector<std::string>{});
    QCOMPARE(lv()->selectedItems().first()->row(), 2);  // the selection followed the rip
  }

  void encodedBatchesDecodeToTheTrackLengthWithTheirTags_data() {
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("extension");
    QTest::newRow("MP3") << 0 << ".mp3";
    QTest::newRow("WMA") << 2 << ".wma";
    QTest::newRow("OGG") << 3 << ".ogg";
    QTest::newRow("FLAC") << 4 << ".flac";
  }
  void encodedBatchesDecodeToTheTrackLengthWithTheirTags() {
    QFETCH(int, format);
    QFETCH(QString, extension);
    start(kThreeTracks);
    setFormat(format);
    quavern::CurrentTags& tags = window().currentTags();
    tags.artist = "Lamp Makers";
    tags.album = "Night Shift";
    tags.year = "2024";
    tags.comment = "from the desktop";
    tags.genreName = "Jazz";
    tags.genreIndex = 8;
    rip();
    QCOMPARE(statuses(), QStringList({"Finish", "Finish", "Finish"}));
    QCOMPARE(program_->prompter.messages, std::vector<std::string>{});
    for (int n = 1; n <= 3; ++n) {
      const std::string path = file("Track0" + std::to_string(n) + extension.toStdString());
      const wavesmith::test::Decoded decoded = wavesmith::test::decodeAll(path);
      // The track's length, give or take the codec's last frame of padding.
      QVERIFY2(decoded.length_frames >= 2 * 44100 && decoded.length_frames < 2 * 44100 + 2048,
               qPrintable(QString::number(decoded.length_frames)));
      if (format == 4) {  // lossless: the disc's audio exactly
        const std::string audio = discAudio(kThreeTracks, n);
        QCOMPARE(decoded.samples.size() * 2, audio.size());
        QVERIFY(std::memcmp(decoded.samples.data(), audio.data(), audio.size()) == 0);
      }
      const Tags t = tagsOf(path);
      QCOMPARE(t.title, "Track0" + std::to_string(n));
      QCOMPARE(t.artist, std::string("Lamp Makers"));
      QCOMPARE(t.album, std::string("Night Shift"));
      QCOMPARE(t.year, 2024u);
      QCOMPARE(t.genre, std::string("Jazz"));
      QCOMPARE(t.comment, std::string("from the desktop"));
      QCOMPARE(t.track, unsigned(n));
    }
  }

  void onlyTickedRowsAreRippedAndTicksAreReadAtEachStep() {
    // Five tracks; the rips of the second batch are slow enough to tick
    // rows while track 3 is ripped.
    start("disc seed=5\ntrack kind=tone length=2s\ntrack kind=tone length=2s\n"
          "track kind=tone length=4s\ntrack kind=tone length=2s\ntrack kind=tone length=2s\n",
          "drive speed=32\n");
    tickOnly({2, 4});
    rip();
    QCOMPARE(statuses(), QStringList({"Unconverted", "Unconverted", "Finish", "Unconverted", "Finish"}));
    QVERIFY(!QFile::exists(QString::fromStdString(file("Track01.wav"))));
    QCOMPARE(tagsOf(file("Track03.wav")).track, 3u);
    QCOMPARE(tagsOf(file("Track05.wav")).track, 5u);
    QVERIFY(std::filesystem::last_write_time(file("Track03.wav")) <= std::filesystem::last_write_time(file("Track05.wav")));

    std::filesystem::remove_all(out_);
    program_->settings.writeInt("cd", "drive speed", 2);  // 4 s of audio in 2 s
    window().Refresh1Click();
    tickOnly({2, 4});
    window().RipCD1Click();
    QCOMPARE(status(2), QString("Converting"));
    lv()->item(3, 0)->setCheckState(Qt::Checked);    // added during the batch
    lv()->item(4, 0)->setCheckState(Qt::Unchecked);  // removed during the batch
    QTRY_VERIFY_WITH_TIMEOUT(!ripping(), 30000);
    QCOMPARE(statuses(), QStringList({"Unconverted", "Unconverted", "Finish", "Finish", "Unconverted"}));
    QVERIFY(QFile::exists(QString::fromStdString(file("Track04.wav"))));
    QVERIFY(!QFile::exists(QString::fromStdString(file("Track05.wav"))));
  }

  void fileNamesComeFromTitlesAndAnExistingFileIsAskedFor() {
    start(kThreeTracks);
    setFormat(0);
    lv()->item(0, 0)->setText("Mr. Blue");
    lv()->item(1, 0)->setText("A:B?C");
    lv()->item(2, 0)->setText("Mr. Blue.mp3");  // "Mr. Blue.mp3" again: the title's own extension goes
    program_->prompter.answerYes = false;
    rip();
    QCOMPARE(program_->prompter.questions, std::vector<std::string>{"File has exists. Overwrite?"});
    QCOMPARE(statuses(), QStringList({"Finish", "Finish", "Finish"}));
    QCOMPARE(tagsOf(file("Mr. Blue.mp3")).track, 1u);  // No: the file stays as it was
    QCOMPARE(tagsOf(file("Mr. Blue.mp3")).title, std::string("Mr. Blue"));
    QCOMPARE(tagsOf(file("ABC.mp3")).title, std::string("A:B?C"));
    QVERIFY(program_->opener.opened.empty());  // the batch ended at a refused overwrite

    // Yes replaces it, read-only or not.
    std::filesystem::permissions(file("Mr. Blue.mp3"), std::filesystem::perms::owner_read);
    program_->prompter.answerYes = true;
    tickOnly({2});
    rip();
    QCOMPARE(program_->prompter.questions.size(), size_t(2));
    QCOMPARE(tagsOf(file("Mr. Blue.mp3")).track, 3u);
    QCOMPARE(tagsOf(file("Mr. Blue.mp3")).title, std::string("Mr. Blue.mp3"));
    QCOMPARE(program_->prompter.messages, std::vector<std::string>{});
    QCOMPARE(program_->opener.opened.size(), size_t(1));

    // No to the only ticked track: the batch ends, the folder stays shut.
    program_->prompter.answerYes = false;
    tickOnly({0});
    window().RipCD1Click();
    QVERIFY(!ripping());
    QCOMPARE(status(0), QString("Finish"));
    QCOMPARE(program_->opener.opened.size(), size_t(1));
    QVERIFY(enabled("RipCD1") && !enabled("Stop1"));
  }

  void aStopEndsTheBatchWhenTheTracksFileIsClosed() {
    // 4 s tracks read at 2x: two seconds a track (the drive's timing model
    // paces it; the engine's speed setting alone does not on an unpaced drive).
    start("disc seed=6\ntrack kind=noise length=4s\ntrack kind=noise length=4s\ntrack kind=noise length=4s\n",
          "drive speed=2\n", "speed=2\n");
    window().RipCD1Click();
    QTRY_VERIFY_WITH_TIMEOUT(pb()->value() > 0, 10000);
    window().StopRippingClick();
    QVERIFY(ripping());  // until the track's file is closed
    QCOMPARE(pb()->format(), QString("Stopping..."));
    QTRY_VERIFY_WITH_TIMEOUT(!ripping(), 10000);
    QCOMPARE(statuses(), QStringList({"Finish", "Unconverted", "Unconverted"}));
    QCOMPARE(program_->opener.opened, std::vector<std::string>{out_});
    QCOMPARE(program_->prompter.messages, std::vector<std::string>{});
    // The stopped file is a whole WAV file: its sizes match what it holds
    // (the tags follow the audio in a chunk of their own).
    const std::string wav = readFile(file("Track01.wav"));
    QVERIFY(wav.size() > 46);
    auto le32 = [&](size_t at) {
      return uint32_t(uint8_t(wav[at])) | uint32_t(uint8_t(wav[at + 1])) << 8 | uint32_t(uint8_t(wav[at + 2])) << 16 |
             uint32_t(uint8_t(wav[at + 3])) << 24;
    };
    QCOMPARE(size_t(le32(4)), wav.size() - 8);
    QVERIFY(le32(42) > 0 && le32(42) % 2352 == 0 && 46 + size_t(le32(42)) <= wav.size());
    QCOMPARE(tagsOf(file("Track01.wav")).track, 1u);
    // A batch started at once finds the drive free.
    program_->settings.writeInt("cd", "drive speed", 32);
    tickOnly({1});
    rip();
    QCOMPARE(status(1), QString("Finish"));
    QCOMPARE(program_->prompter.messages, std::vector<std::string>{});
  }

  void aStopDuringTheEnginesStartUpTakesEffect() {
    start("disc seed=6\ntrack kind=noise length=20s\ntrack kind=noise length=4s\n", "drive speed=1\n");
    window().RipCD1Click();
    window().StopRippingClick();  // before the rip thread reads anything
    QTRY_VERIFY_WITH_TIMEOUT(!ripping(), 10000);
    QCOMPARE(statuses(), QStringList({"Finish", "Unconverted"}));
    QCOMPARE(program_->prompter.messages, std::vector<std::string>{});
    program_->settings.writeInt("cd", "drive speed", 32);
    tickOnly({1});
    rip();
    QCOMPARE(status(1), QString("Finish"));
    QCOMPARE(program_->prompter.messages, std::vector<std::string>{});
  }

  void mp3VbrSettingsReachTheEncoderAndRefusedFormatsRipNothing() {
    start("disc seed=7\ntrack kind=music length=3s\n", "[mp3]\nenable vbr=1\nvbr quality=2\nvbr bitrate=14\n");
    setFormat(0);
    rip();
    QVERIFY(readFile(file("Track01.mp3")).find("Xing") != std::string::npos);  // a VBR header
    program_->settings.writeInt("mp3", "enable vbr", 0);
    std::filesystem::remove_all(out_);
    rip();
    const std::string cbr = readFile(file("Track01.mp3"));
    QVERIFY(cbr.find("Xing") == std::string::npos);
    QVERIFY(cbr.find("Info") != std::string::npos);  // a constant bit rate's header

    std::filesystem::remove_all(out_);
    program_->opener.opened.clear();
    program_->settings.writeInt("mp3", "frequency", 0);  // 8000 Hz
    program_->settings.writeInt("mp3", "bitrate", 16);   // 320 kbit/s
    window().RipCD1Click();
    QCOMPARE(program_->prompter.messages.back(),
             std::string("This MP3 format not supported, please try another frequency or bitrate."));
    setFormat(3);
    program_->settings.writeInt("ogg", "frequency", 0);
    program_->settings.writeInt("ogg", "bitrate", 16);
    program_->settings.writeInt("ogg", "min bitrate", 16);
    program_->settings.writeInt("ogg", "max bitrate", 16);
    window().RipCD1Click();
    QCOMPARE(program_->prompter.messages.back(),
             std::string("This OGG format not supported, please try another frequency or bitrate."));
    QCOMPARE(program_->prompter.messages.size(), size_t(2));
    QVERIFY(!ripping());
    QCOMPARE(status(0), QString("Finish"));  // from the first batches, untouched
    QVERIFY(!std::filesystem::exists(file("Track01.mp3")) && !std::filesystem::exists(file("Track01.ogg")));
    QVERIFY(program_->opener.opened.empty());
    QVERIFY(enabled("RipCD1") && !enabled("Stop1"));
  }

  void aTrackThatFailsShowsFailedAndTheBatchGoesOn() {
    // Track 2 (frames 150 … 299) has an unreadable sector; Stop on errors.
    start(kThreeTracks, "error action=0\nerror retry=1\n", "unreadable=200\n");
    rip();
    QCOMPARE(statuses(), QStringList({"Finish", "Failed", "Finish"}));
    QCOMPARE(program_->prompter.messages.size(), size_t(1));
    const std::string& summary = program_->prompter.messages.front();
    QVERIFY2(summary.find("Track02") != std::string::npos, summary.c_str());
    QVERIFY2(summary.find("could not be read") != std::string::npos, summary.c_str());
    QCOMPARE(program_->opener.opened, std::vector<std::string>{out_});
  }

  // The disc leaves during the first track's rip: that track and those
  // after it fail (unreadable, or refused as a changed disc), each ends,
  // and the window returns to idle with one summary.
  void aDiscTakenOutFailsTheTracksAndTheBatchEnds() {
    start("disc seed=9\ntrack kind=noise length=6s\ntrack kind=noise length=2s\ntrack kind=noise length=2s\n",
          "drive speed=2\nerror action=0\nerror retry=1\n", "remove=at:1500ms\nspeed=64\n");  // a drive with a timing model is paced
    QCOMPARE(lv()->rowCount(), 3);
    rip();
    QCOMPARE(statuses(), QStringList({"Failed", "Failed", "Failed"}));
    QCOMPARE(program_->prompter.messages.size(), size_t(1));
    QVERIFY(program_->prompter.messages.front().find("3 tracks could not be ripped") != std::string::npos);
    QVERIFY(enabled("RipCD1") && !enabled("Stop1") && !pb()->isTextVisible());
  }

  // [cd] "rip on insert" and "eject when done": the engine's disc change
  // (raised here as the engine raises it) rips the disc with nobody asked
  // (an existing file gets " (2)", no box, no folder opened), and the disc
  // is ejected at the end.
  void aDiscInsertedIsRippedUnattendedAndEjected() {
    start(kThreeTracks, "rip on insert=1\neject when done=1\n");
    std::filesystem::create_directories(out_);
    std::ofstream(file("Track01.wav")) << "kept";
    window().AudioCDRipperMediaChange();
    QVERIFY(ripping());
    QTRY_VERIFY_WITH_TIMEOUT(!ripping(), 30000);
    QCOMPARE(statuses(), QStringList({"Finish", "Finish", "Finish"}));
    QCOMPARE(readFile(file("Track01.wav")), std::string("kept"));
    const std::string wav = readFile(file("Track01 (2).wav"));
    const std::string audio = discAudio(kThreeTracks, 1);
    QVERIFY(wav.size() >= 46 + audio.size() && wav.compare(46, audio.size(), audio) == 0);
    QVERIFY(program_->prompter.questions.empty());
    QCOMPARE(program_->prompter.messages, std::vector<std::string>{});
    QVERIFY(program_->opener.opened.empty());
    QTRY_COMPARE_WITH_TIMEOUT(lv()->rowCount(), 0, 10000);  // ejected: the engine finds the tray open
  }

  void anOutputFolderThatCannotBeCreatedFailsEveryTrackWithOneMessage() {
    start(kThreeTracks);
    home_->write("plain-file", "not a folder");
    program_->settings.writeText("basic", "output directory", home_->path() + "/plain-file/rips");
    rip();
    QCOMPARE(statuses(), QStringList({"Failed", "Failed", "Failed"}));
    QCOMPARE(program_->prompter.messages.size(), size_t(1));
    QVERIFY(program_->prompter.messages.front().find("output folder") != std::string::npos);
    QVERIFY(program_->opener.opened.empty());
    QVERIFY(enabled("RipCD1") && !enabled("Stop1") && !pb()->isTextVisible());
    // MP3 the same way: the codec refuses the file.
    setFormat(0);
    rip();
    QCOMPARE(statuses(), QStringList({"Failed", "Failed", "Failed"}));
    QCOMPARE(program_->prompter.messages.size(), size_t(2));
  }

  void theTagEditorsRules() {
    start(kThreeTracks);
    auto* id3 = window().findChild<quavern::Tfm_id3*>("Tfm_id3");
    auto* year = id3->findChild<QLineEdit*>("edt_year");
    auto* genre = id3->findChild<QComboBox*>("cb_genre");
    QCOMPARE(genre->count(), 148);
    QCOMPARE(genre->itemText(17), QString("Rock"));
    // Typed "Rock" has no index; the year takes four digits only.
    lv()->selectRow(1);
    QTimer::singleShot(0, id3, [&] {
      QTest::keyClicks(year, "2a0b245");
      genre->lineEdit()->clear();
      QTest::keyClicks(genre->lineEdit(), "Rock");
      id3->findChild<QLineEdit*>("edt_title")->setText("");
      id3->findChild<QLineEdit*>("edt_artist")->setText("New Artist");
      id3->btn_okClick();
    });
    window().ID3Tag1Click();
    quavern::CurrentTags& tags = window().currentTags();
    QCOMPARE(tags.year, std::string("2024"));
    QCOMPARE(tags.genreName, std::string("Rock"));
    QCOMPARE(tags.genreIndex, -1);
    QCOMPARE(lv()->item(1, 0)->text(), QString("Track02"));  // an empty title keeps the row's
    for (int r = 0; r < 3; ++r) QCOMPARE(lv()->item(r, 1)->text(), QString("New Artist"));
    // Chosen from the list: index 17; a title goes to the handed-over row.
    QTimer::singleShot(0, id3, [&] {
      genre->setCurrentIndex(17);
      id3->findChild<QLineEdit*>("edt_title")->setText("Second");
      id3->btn_okClick();
    });
    window().ID3Tag1Click();
    QCOMPARE(tags.genreIndex, 17);
    QCOMPARE(tags.genreName, std::string("Rock"));
    QCOMPARE(lv()->item(1, 0)->text(), QString("Second"));
    // Cancel changes nothing.
    QTimer::singleShot(0, id3, [&] {
      id3->findChild<QLineEdit*>("edt_album")->setText("Lost");
      id3->btn_cancelClick();
    });
    window().ID3Tag1Click();
    QVERIFY(tags.album != "Lost");
  }

  void aTypedGenreAndEmptyFieldsAfterResetReachTheFiles() {
    start(kThreeTracks);
    auto* id3 = window().findChild<quavern::Tfm_id3*>("Tfm_id3");
    auto* genre = id3->findChild<QComboBox*>("cb_genre");
    lv()->selectRow(0);
    QTimer::singleShot(0, id3, [&] {
      id3->btn_resetClick();
      QTest::keyClicks(genre->lineEdit(), "Chiptune");
      id3->btn_okClick();
    });
    window().ID3Tag1Click();
    QCOMPARE(window().currentTags().genreIndex, -1);
    QCOMPARE(window().currentTags().album, std::string());
    rip();
    QCOMPARE(program_->prompter.messages, std::vector<std::string>{});
    QCOMPARE(statuses(), QStringList({"Finish", "Finish", "Finish"}));
    for (int n = 1; n <= 3; ++n) {
      const Tags t = tagsOf(file("Track0" + std::to_string(n) + ".wav"));
      QCOMPARE(t.genre, std::string("Chiptune"));
      QCOMPARE(t.title, "Track0" + std::to_string(n));  // the row's title
      QCOMPARE(t.track, unsigned(n));
      QCOMPARE(t.album, std::string());  // skipped: nothing set before
      QCOMPARE(t.artist, std::string());
      QCOMPARE(t.year, 0u);
      QCOMPARE(t.comment, std::string());
    }
  }

  // Every batch leaves its log in the output folder with the rip report's
  // numbers, which are the image's checksums, for WAV and an encoded format
  // alike; a second batch adds a log beside the first.
  void eachBatchWritesItsLogWithTheReportsChecksums() {
    start(kThreeTracks);
    rip();
    QCOMPARE(statuses(), QStringList({"Finish", "Finish", "Finish"}));
    QCOMPARE(program_->prompter.messages, std::vector<std::string>{});  // no server, no failure: nothing to tell
    QCOMPARE(window().ripBatch().logPath(), file("ripmarrow.log"));
    const std::vector<ImageSums> sums = imageSums(kThreeTracks, 3);
    const auto wavLog = readLog("ripmarrow.log");
    QVERIFY(wavLog);
    QCOMPARE(wavLog->drive, window().engine().getText(&IAudioCDRipper2::get_driveName));
    QCOMPARE(wavLog->readOffset, 0L);
    QCOMPARE(wavLog->mode, std::string("burst"));
    QCOMPARE(wavLog->layout.tracks.size(), size_t(3));
    QVERIFY(!wavLog->accurateRipIdentity.empty());
    QCOMPARE(wavLog->tracks.size(), size_t(3));
    for (size_t t = 0; t < 3; ++t) {
      const client::RipLogTrack& track = wavLog->tracks[t];
      QCOMPARE(track.number, long(t + 1));
      QCOMPARE(track.file, "Track0" + std::to_string(t + 1) + ".wav");
      QVERIFY(track.ripped);
      QCOMPARE(track.copyCrc, sums[t].crc);
      QCOMPARE(track.accurateRipV1, sums[t].v1);
      QCOMPARE(track.accurateRipV2, sums[t].v2);
    }
    // The last track's numbers as the report still holds them.
    com::ComPtr<IAudioCDRipperReport> report;
    QVERIFY(SUCCEEDED(window().engine().engine()->QueryInterface(IID_IAudioCDRipperReport, report.putVoid())));
    LONG crc = 0, skipZero = 0, v1 = 0, v2 = 0, retries = 0, unconfirmed = 0;
    report->get_trackCopyCRC(&crc);
    report->get_trackCopyCRCSkipZero(&skipZero);
    report->get_trackAccurateRipV1(&v1);
    report->get_trackAccurateRipV2(&v2);
    report->get_retries(&retries);
    report->get_framesUnconfirmed(&unconfirmed);
    const client::RipLogTrack& last = wavLog->tracks.back();
    QCOMPARE(last.copyCrc, uint32_t(crc));
    QCOMPARE(last.copyCrcSkipZero, uint32_t(skipZero));
    QCOMPARE(last.accurateRipV1, uint32_t(v1));
    QCOMPARE(last.accurateRipV2, uint32_t(v2));
    QCOMPARE(last.retries, long(retries));
    QCOMPARE(last.unconfirmedFrames, long(unconfirmed));

    // The command line's verify reads the log and finds the files as it says.
    std::string said;
    QCOMPARE(verify(file("ripmarrow.log"), said), 0);
    std::string wav = readFile(file("Track02.wav"));
    wav[46 + 1000] ^= 0x01;
    std::ofstream(file("Track02.wav"), std::ios::binary | std::ios::trunc) << wav;
    QCOMPARE(verify(file("ripmarrow.log"), said), 1);

    const std::string firstLog = readFile(file("ripmarrow.log"));
    setFormat(0);  // MP3: the log holds the checksums of the disc's audio, not of the MP3
    rip();
    QCOMPARE(window().ripBatch().logPath(), file("ripmarrow (2).log"));
    QCOMPARE(readFile(file("ripmarrow.log")), firstLog);
    const auto mp3Log = readLog("ripmarrow (2).log");
    QVERIFY(mp3Log);
    QCOMPARE(mp3Log->tracks.size(), size_t(3));
    for (size_t t = 0; t < 3; ++t) {
      QCOMPARE(mp3Log->tracks[t].file, "Track0" + std::to_string(t + 1) + ".mp3");
      QCOMPARE(mp3Log->tracks[t].copyCrc, sums[t].crc);
      QCOMPARE(mp3Log->tracks[t].accurateRipV2, sums[t].v2);
    }
  }

  // The window never freezes for a batch: neither "Rip CD" (which sets the
  // rip mode: the drive settles on the rip thread) nor anything after it
  // keeps the event loop from a short timer for a second.
  void theWindowAnswersThroughoutABatch() {
    start(kThreeTracks, "grab mode=2\n");
    QElapsedTimer sinceTick;
    qint64 worstMs = 0;
    QTimer tick;
    tick.setInterval(5);
    QObject::connect(&tick, &QTimer::timeout, [&] {
      worstMs = std::max(worstMs, sinceTick.restart());
    });
    tick.start();
    sinceTick.start();
    window().RipCD1Click();
    worstMs = std::max(worstMs, sinceTick.restart());
    QTRY_VERIFY_WITH_TIMEOUT(!ripping(), 30000);
    QCOMPARE(statuses(), QStringList({"Finish", "Finish", "Finish"}));
    QVERIFY2(worstMs < 1000, qPrintable(QString::number(worstMs)));
  }

  // The desktop program and the command line keep one proof: a batch and
  // `ripmarrow rip` of the same disc with the same choices write the same
  // log, but for the lines that name the program, the date and the files.
  void aBatchAndTheCommandLineWriteTheSameLog() {
    start(kThreeTracks, "error retry=7\ndrive speed=24\nerror action=1\n");
    rip();
    QCOMPARE(window().ripBatch().logPath(), file("ripmarrow.log"));
    const std::string cli = home_->path() + "/cli";
    QProcess ripmarrow;
    ripmarrow.setProcessChannelMode(QProcess::MergedChannels);
    ripmarrow.start(RIPMARROW_CLI_PATH, {"--drive", "1", "rip", "--format", "wav", "--mode", "burst", "--retries", "7",
                                         "--speed", "24", "--on-error", "silence", "--titles", "local",
                                         "--accuraterip-server", "none", "--out", QString::fromStdString(cli)});
    QVERIFY(ripmarrow.waitForFinished(60000));
    const std::string said = ripmarrow.readAll().toStdString();
    QVERIFY2(said.find("failed") == std::string::npos, said.c_str());
    QCOMPARE(ripmarrow.exitCode(), 0);
    auto lines = [](const std::string& text) {
      std::vector<std::string> kept;
      std::istringstream in(text);
      for (std::string line; std::getline(in, line);) {
        if (line.rfind("Program: ", 0) != 0 && line.rfind("Date: ", 0) != 0 && line.rfind("  File: ", 0) != 0)
          kept.push_back(line);
      }
      return kept;
    };
    const std::vector<std::string> batch = lines(readFile(file("ripmarrow.log")));
    const std::vector<std::string> command = lines(readFile(cli + "/ripmarrow.log"));
    for (size_t i = 0; i < std::max(batch.size(), command.size()); ++i) {
      const std::string ours = i < batch.size() ? batch[i] : "(none)";
      const std::string theirs = i < command.size() ? command[i] : "(none)";
      QVERIFY2(ours == theirs, ("line " + std::to_string(i + 1) + ": batch \"" + ours + "\", ripmarrow \"" + theirs +
                                "\"").c_str());
    }
    QVERIFY(std::find(batch.begin(), batch.end(), "Setting on error: silence") != batch.end());
  }

  // A CD-Extra disc: the batch's log holds the data session, as the command
  // line's does, so the last audio track is checked over its own audio.
  void aCdExtraBatchLogChecksTheLastAudioTrackOverItsOwnAudio() {
    start("disc seed=9\ntrack kind=music length=6s\ntrack kind=noise length=3s\nsession\n"
          "track kind=data length=8s\n");
    rip();
    const auto log = readLog("ripmarrow.log");
    QVERIFY(log);
    QVERIFY(log->layout.cdExtra());
    QCOMPARE(log->layout.audioTrackFrames(1), uint32_t(3 * 75));
    QCOMPARE(log->tracks.size(), size_t(2));
    std::string said;
    QCOMPARE(verify(file("ripmarrow.log"), said), 0);
    QVERIFY2(said.find("DIFFERS") == std::string::npos, said.c_str());
  }

  // The summary says what AccurateRip answered: every track accurate, one
  // not, the disc unknown, a server that never answers (the window goes on
  // meanwhile, its caption saying why) and one that is not there.
  void theSummaryNamesTheAccurateRipOutcome() {
    client::testing::AccurateRipTestServer server;
    server_ = loopback(server);
    const std::vector<ImageSums> sums = imageSums(kThreeTracks, 3);
    putRecord(server, kThreeTracks, sums, 12);
    start(kThreeTracks);
    program_->prompter.answerYes = true;  // each batch overwrites the last one's files
    rip();
    // All well: the window says it, no box.
    QCOMPARE(program_->prompter.messages.size(), size_t(0));
    QCOMPARE(pb()->toolTip(),
             summary("All 3 tracks accurately ripped (AccurateRip, confidence 12).", "ripmarrow.log"));
    QCOMPARE(server.requests().size(), size_t(1));  // one look-up for the batch
    const auto log = readLog("ripmarrow.log");
    QVERIFY(log && log->allAccurate());
    QCOMPARE(log->tracks[1].verdict.confidence, 12u);

    putRecord(server, kThreeTracks, sums, 7, 2);
    rip();
    QCOMPARE(lastMessage(),
             summary("Track 2 not accurate (AccurateRip, best confidence 7).\n"
             "2 of 3 tracks accurately ripped (AccurateRip, confidence 7).", "ripmarrow (2).log"));
    QVERIFY(!readLog("ripmarrow (2).log")->allAccurate());

    tickOnly({1});
    client::testing::AccurateRipTestServer empty;
    program_->settings.writeText("accuraterip", "server", loopback(empty));
    rip();
    QCOMPARE(pb()->toolTip(),
             summary("Disc not in the AccurateRip database.", "ripmarrow (3).log"));

    {
      client::testing::AccurateRipTestServer silent;
      silent.setBehaviour(client::testing::AccurateRipTestServer::Behaviour::kNeverAnswer);
      program_->settings.writeText("accuraterip", "server", loopback(silent));
      QElapsedTimer clock;
      clock.start();
      window().RipCD1Click();
      QTRY_VERIFY_WITH_TIMEOUT(pb()->format() == "Checking AccurateRip...", 10000);
      QVERIFY(ripping() && pb()->isTextVisible() && !enabled("RipCD1"));
      QDir().mkpath(QUAVERN_SCREENSHOT_DIR);
      QVERIFY(window().grab().save(QUAVERN_SCREENSHOT_DIR "/main_window_checking_accuraterip.png"));
      QTRY_VERIFY_WITH_TIMEOUT(!ripping(), 10000);
      QVERIFY2(clock.elapsed() < 6000, qPrintable(QString::number(clock.elapsed())));
      QCOMPARE(pb()->toolTip(),
             summary("AccurateRip could not be reached.", "ripmarrow (4).log"));
      QVERIFY(pb()->format().startsWith("1 track ripped") && enabled("RipCD1"));
    }
    const uint16_t closedPort = [] {
      client::testing::AccurateRipTestServer gone;
      return gone.port();
    }();
    program_->settings.writeText("accuraterip", "server", "127.0.0.1:" + std::to_string(closedPort));
    rip();
    QCOMPARE(pb()->toolTip(),
             summary("AccurateRip could not be reached.", "ripmarrow (5).log"));
    QCOMPARE(readLog("ripmarrow (5).log")->tracks.size(), size_t(1));
    program_->settings.writeText("accuraterip", "server", "127.0.0.1:port");  // not a server: no answer, and why
    rip();
    QCOMPARE(pb()->toolTip(), summary("AccurateRip could not be reached.", "ripmarrow (6).log"));
    QCOMPARE(readLog("ripmarrow (6).log")->accurateRipLookup,
             std::string("no answer (the server \"127.0.0.1:port\" is not HOST or HOST:PORT)"));
    QCOMPARE(program_->prompter.messages.size(), size_t(1));  // the batch with a track not accurate

    // A batch that ends at a refused overwrite of its last row: its log is
    // written, nothing is told, and the caption keeps the percentage.
    std::filesystem::remove(file("Track01.wav"));
    program_->prompter.answerYes = false;
    tickOnly({0, 1});
    program_->settings.writeText("accuraterip", "server", loopback(server));
    rip();
    QCOMPARE(program_->prompter.messages.size(), size_t(1));
    QCOMPARE(readLog("ripmarrow (7).log")->tracks.size(), size_t(1));
    QVERIFY(readLog("ripmarrow (7).log")->allAccurate());
    QVERIFY(pb()->isTextVisible());
    QCOMPARE(pb()->format(), QString("%p%"));

    // The first summary as the program's message box shows it.
    QMessageBox box(QMessageBox::Information, QApplication::applicationDisplayName(),
                    QString::fromStdString(program_->prompter.messages.front()),
                    QMessageBox::Ok, &window());
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QDir().mkpath(QUAVERN_SCREENSHOT_DIR);
    QVERIFY(box.grab().save(QUAVERN_SCREENSHOT_DIR "/rip_batch_summary.png"));
  }

  // The window closes while AccurateRip keeps the batch waiting: it closes
  // within the look-up's time-out, the log is written and nothing is told.
  void closingWhileAccurateRipIsAskedStillWritesTheLog() {
    client::testing::AccurateRipTestServer silent;
    silent.setBehaviour(client::testing::AccurateRipTestServer::Behaviour::kNeverAnswer);
    server_ = loopback(silent);
    start(kThreeTracks);
    window().RipCD1Click();
    QTRY_VERIFY_WITH_TIMEOUT(pb()->format() == "Checking AccurateRip...", 10000);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(window().close());
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(!ripping());
    QCOMPARE(window().ripBatch().logPath(), file("ripmarrow.log"));
    const auto log = readLog("ripmarrow.log");
    QVERIFY(log && log->tracks.size() == 3 && !log->allAccurate());
    // Given up at the close, not waited for until the look-up's time-out.
    QCOMPARE(log->accurateRipLookup, std::string("no answer (given up)"));
    QCOMPARE(program_->prompter.messages, std::vector<std::string>{});
    program_.reset();  // nothing left running to call into the closed window
  }

  // A drive of +667 samples, its offset kept in drives.ini under the
  // engine's name for it: the rip lands where the image has the audio
  // (the disc's last 667 samples, beyond what the drive reads, are zero)
  // and AccurateRip agrees; without the kept offset it does not.
  void anOffsetDriveWithItsKeptOffsetRipsExactly() {
    client::testing::AccurateRipTestServer server;
    server_ = loopback(server);
    putRecord(server, kThreeTracks, imageSums(kThreeTracks, 3), 20);
    start(kThreeTracks, "", "read-offset=+667\n");
    program_->prompter.answerYes = true;  // the second batch overwrites the first's files
    rip();
    QVERIFY2(program_->prompter.messages.back().find("Track 2 not accurate (AccurateRip,") != std::string::npos,
             program_->prompter.messages.back().c_str());
    const std::string uncorrected = readFile(file("Track02.wav"));
    QVERIFY(uncorrected.compare(46, discAudio(kThreeTracks, 2).size(), discAudio(kThreeTracks, 2)) != 0);

    const std::string drive = window().engine().getText(&IAudioCDRipper2::get_driveName);
    QVERIFY2(drive.find("+29B") != std::string::npos, drive.c_str());
    QVERIFY(client::DriveOffsets::setOffset(drive, 667));
    rip();
    QCOMPARE(pb()->toolTip(),
             summary("All 3 tracks accurately ripped (AccurateRip, confidence 20).", "ripmarrow (2).log"));
    for (int n = 1; n <= 3; ++n) {
      std::string audio = discAudio(kThreeTracks, n);
      if (n == 3) std::fill(audio.end() - 667 * 4, audio.end(), '\0');
      const std::string wav = readFile(file("Track0" + std::to_string(n) + ".wav"));
      QVERIFY2(wav.size() >= 46 + audio.size() && wav.compare(46, audio.size(), audio) == 0,
               qPrintable(QString("track %1 differs").arg(n)));
    }
    QCOMPARE(readLog("ripmarrow (2).log")->readOffset, 667L);
    QCOMPARE(readLog("ripmarrow.log")->readOffset, 0L);

    // The offset is read for each batch: once forgotten, the engine rips
    // without it again instead of keeping the last one put.
    std::filesystem::remove(home_->path() + "/drives.ini");
    rip();
    QCOMPARE(readLog("ripmarrow (3).log")->readOffset, 0L);
    QVERIFY(readFile(file("Track02.wav")) == uncorrected);
  }

  // ReplayGain, on by default: each file carries its track's gain and peak
  // and the album's, as a meter fed with the disc's own audio gives them;
  // off in the settings, the files carry none.
  void replayGainTagsAreWrittenWhenTheBatchEnds() {
    start(kThreeTracks);
    window().RipCD1Click();
    QTRY_VERIFY_WITH_TIMEOUT(!ripping(), 30000);
    QCOMPARE(statuses(), QStringList({"Finish", "Finish", "Finish"}));
    std::vector<std::unique_ptr<client::LoudnessMeter>> meters;
    std::vector<const client::LoudnessMeter*> album;
    for (int n = 1; n <= 3; ++n) {
      const std::string audio = discAudio(kThreeTracks, n);
      meters.push_back(std::make_unique<client::LoudnessMeter>());
      meters.back()->addBytes(reinterpret_cast<const uint8_t*>(audio.data()), audio.size());
      album.push_back(meters.back().get());
    }
    const auto albumGain = client::AlbumGain(album);
    QVERIFY(albumGain.has_value());
    for (int n = 1; n <= 3; ++n) {
      const std::string path = file("Track0" + std::to_string(n) + ".wav");
      TagLib::FileRef ref(path.c_str());
      QVERIFY(!ref.isNull());
      const TagLib::PropertyMap p = ref.file()->properties();
      const auto text = [&](const char* key) {
        return p.contains(key) ? p[key].front().to8Bit(true) : std::string("(none)");
      };
      const auto gain = client::TrackGain(*meters[static_cast<size_t>(n - 1)]);
      QVERIFY(gain.has_value());
      QCOMPARE(text("REPLAYGAIN_TRACK_GAIN"), client::GainText(gain->gainDb));
      QCOMPARE(text("REPLAYGAIN_TRACK_PEAK"), client::PeakText(gain->peak));
      QCOMPARE(text("REPLAYGAIN_ALBUM_GAIN"), client::GainText(albumGain->gainDb));
      QCOMPARE(text("REPLAYGAIN_ALBUM_PEAK"), client::PeakText(albumGain->peak));
      QCOMPARE(tagsOf(path).track, unsigned(n));  // the batch's own tags stay
    }
    QCOMPARE(program_->prompter.messages, std::vector<std::string>{});

    // Off: the next batch, over the same tracks, writes none.
    program_->settings.writeBool("replaygain", "enabled", false);
    for (int n = 1; n <= 3; ++n) std::filesystem::remove(file("Track0" + std::to_string(n) + ".wav"));
    window().RipCD1Click();
    QTRY_VERIFY_WITH_TIMEOUT(!ripping(), 30000);
    for (int n = 1; n <= 3; ++n) {
      TagLib::FileRef ref(file("Track0" + std::to_string(n) + ".wav").c_str());
      QVERIFY(!ref.isNull());
      QVERIFY(!ref.file()->properties().contains("REPLAYGAIN_TRACK_GAIN"));
    }
  }

  void screenshots() {
    start("disc seed=8\ntrack kind=music length=6s title=\"Morning\"\ntrack kind=music length=4s\n"
          "track kind=music length=4s\n",
          "drive speed=2\n");
    window().RipCD1Click();
    QTRY_VERIFY_WITH_TIMEOUT(pb()->value() >= 30, 10000);
    QDir().mkpath(QUAVERN_SCREENSHOT_DIR);
    QVERIFY(window().grab().save(QUAVERN_SCREENSHOT_DIR "/main_window_ripping.png"));
    window().StopRippingClick();
    QTRY_VERIFY_WITH_TIMEOUT(!ripping(), 10000);
    auto* id3 = window().findChild<quavern::Tfm_id3*>("Tfm_id3");
    window().currentTags().year = "2024";
    window().currentTags().comment = "ripped with Ripmarrow";
    lv()->selectRow(0);
    QTimer::singleShot(100, id3, [&] {
      QTest::qWait(50);
      QVERIFY(id3->grab().save(QUAVERN_SCREENSHOT_DIR "/id3_editor.png"));
      id3->btn_cancelClick();
    });
    window().ID3Tag1Click();
  }
};

int main(int argc, char** argv) { return quavern_testing::runQuavernTest<RipBatchTest>(argc, argv); }

#include "rip_batch_test.moc"
