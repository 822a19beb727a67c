// Several drives at once in the desktop program, on the real engine and
// real worker processes (the built ripmarrow) over virtual drives: discs
// inserted in every drive are ripped at once into exact files, each disc in
// its own folder with its log; a drive that hangs fails only its own disc;
// the Drives column starts and stops the other drives' rips, and closing
// the window stops every worker within seconds, leaving only whole files
// and logs that say the rip was stopped; a worker's MP3 is the window's
// stream, frame for frame, at the window's encoder settings. A screenshot of the window with
// its drives ripping.
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <signal.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <map>

#include "frontend/drive_station.h"
#include "frontend/rip_batch.h"
#include "frontend/tests/quavern_test_support.h"
#include "platform/vdrive/disc_description.h"

#include <taglib/mpegfile.h>
#include <taglib/mpegheader.h>
#include <taglib/vorbisfile.h>

using namespace quavern_testing;
namespace fs = std::filesystem;

namespace {

// Disc n: noise of its own seed, then a tone, so that each file tells
// which disc it came from.
std::string discText(int n, const std::string& noise = "2s", const std::string& tone = "1s") {
  return "disc seed=" + std::to_string(200 + n) + "\ntrack kind=noise length=" + noise +
         "\ntrack kind=tone length=" + tone + " freq=" + std::to_string(300 + 20 * n) + "\n";
}

std::string trackAudio(const std::string& description, int number) {
  const platform::vdrive::Disc disc = platform::vdrive::generateDisc(description, "disc");
  const platform::vdrive::Track* track = disc.track(number);
  std::string audio;
  std::array<uint8_t, platform::vdrive::kSectorBytes> sector{};
  for (auto lba = track->start; lba < track->end; ++lba) {
    disc.readSector(lba, sector);
    audio.append(reinterpret_cast<const char*>(sector.data()), sector.size());
  }
  return audio;
}

// The audio of a WAV file of the engine's: its data chunk, which follows a
// 46-byte header (tags come after it).
std::string wavAudio(const std::string& path) {
  const std::string file = readFile(path);
  if (file.size() < 46) return {};
  uint32_t size = 0;
  for (int i = 3; i >= 0; --i) size = size << 8 | static_cast<uint8_t>(file[42 + i]);
  return file.substr(46, size);
}

// The MPEG stream of an MP3 file: its bytes between the ID3v2 tag at the
// start and the ID3v1 tag at the end (the tags name the files differently).
std::string mpegFrames(const std::string& path) {
  const std::string file = readFile(path);
  size_t begin = 0;
  if (file.size() >= 10 && file.compare(0, 3, "ID3") == 0) {
    begin = 10;
    for (int i = 6; i < 10; ++i) begin += static_cast<size_t>(file[i] & 0x7f) << (7 * (9 - i));
  }
  size_t end = file.size();
  if (end >= begin + 128 && file.compare(end - 128, 3, "TAG") == 0) end -= 128;
  return begin < end ? file.substr(begin, end - begin) : std::string();
}

// The bit rate of the first audio frame (after LAME's Info or Xing frame).
int mpegBitrate(const std::string& path) {
  TagLib::MPEG::File file(path.c_str());
  if (!file.isValid()) return -1;
  return TagLib::MPEG::Header(&file, file.nextFrameOffset(file.firstFrameOffset() + 1), false).bitrate();
}

}  // namespace

class DriveStationTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<ScratchHome> home_;
  std::unique_ptr<ProgramUnderTest> program_;
  std::map<int, std::string> discs_;
  std::string out_;

  // Drives E, F, G… with their vdrives.ini keys (the first is the window's),
  // settings for quick unattended WAV rips plus `ini`, and the program.
  void start(const std::vector<std::string>& drives, const std::string& ini, int format = 1) {
    std::string vdrives;
    for (size_t i = 0; i < drives.size(); ++i) vdrives += "[" + std::string(1, char('E' + i)) + "]\n" + drives[i];
    home_->write("vdrives.ini", vdrives);
    out_ = home_->path() + "/out";
    home_->write("quavern.ini", "[accuraterip]\nserver=none\n[ctdb]\nserver=none\n[replaygain]\nenabled=0\n"
                                "[cddb]\ncd source=2\n[basic]\noutput directory=" + out_ +
                                    "\nformat=" + std::to_string(format) + "\n[cd]\ngrab mode=0\ncd rom=0\n" + ini);
    QVERIFY(quavern::ensureComponentsRegistered(std::cerr));
    program_ = std::make_unique<ProgramUnderTest>(*application());
    program_->show();
  }
  void writeDisc(int n, const std::string& description) {
    home_->write("disc" + std::to_string(n) + ".txt", description);
    discs_[n] = description;
  }
  quavern::Tfm_main& window() const { return program_->window(); }
  QString stateText(char letter) const {
    auto* label = window().findChild<QLabel*>(QString("lb_drive_state_%1").arg(letter));
    return label == nullptr ? QString() : label->text();
  }
  QPushButton* button(char letter) const {
    return window().findChild<QPushButton*>(QString("btn_drive_%1").arg(letter));
  }

  // Which disc a worker's folder holds, its two tracks exact; 0 when none.
  int discIn(const fs::path& folder) const {
    const std::string one = wavAudio((folder / "01 Track 01.wav").string());
    const std::string two = wavAudio((folder / "02 Track 02.wav").string());
    for (const auto& [n, description] : discs_) {
      if (one == trackAudio(description, 1) && two == trackAudio(description, 2)) return n;
    }
    return 0;
  }
  // The folders the workers made, each with the disc it holds exactly.
  std::map<std::string, int> workerFolders() const {
    std::map<std::string, int> found;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(out_ + "/Unknown Artist", ec)) {
      found[entry.path().filename().string()] = discIn(entry.path());
      if (!fs::exists(entry.path() / "ripmarrow.log")) found[entry.path().filename().string()] = -1;
    }
    return found;
  }
  // The window's own batch: its files in the output folder itself.
  bool windowFilesAre(int disc) const {
    for (int track = 1; track <= 2; ++track) {
      const std::string audio = trackAudio(discs_.at(disc), track);
      if (wavAudio(out_ + "/Track0" + std::to_string(track) + ".wav") != audio) return false;
    }
    return fs::exists(out_ + "/ripmarrow.log");
  }
  const quavern::DriveState* stateOf(int drive) const { return program_->program->station().state(drive); }

  // One disc in drives E (the window's) and F (a worker's), ripped to MP3
  // (format 0) or OGG (3) with `encoders` as the window's settings: the
  // window's file and the worker's.
  std::pair<std::string, std::string> ripOnBothDrives(const std::string& encoders, int format = 0) {
    writeDisc(1, "disc seed=41\ntrack kind=music length=3s\n");
    start({"image=disc1.txt\n", "image=disc1.txt\n"}, encoders, format);
    [&] { QTRY_VERIFY_WITH_TIMEOUT(button('F') && button('F')->isEnabled(), 30000); }();
    window().RipCD1Click();
    QTest::mouseClick(button('F'), Qt::LeftButton);
    [&] {
      QTRY_VERIFY_WITH_TIMEOUT(stateOf(1) && stateOf(1)->kind == quavern::DriveState::Kind::kDone, 60000);
      QTRY_VERIFY_WITH_TIMEOUT(!window().ripBatch().ripping(), 60000);
    }();
    const std::string extension = format == 3 ? ".ogg" : ".mp3";
    return {out_ + "/Track01" + extension, out_ + "/Unknown Artist/Unknown Album/01 Track 01" + extension};
  }

 private slots:
  void init() { home_ = std::make_unique<ScratchHome>(); discs_.clear(); }
  void cleanup() {
    program_.reset();
    home_.reset();
  }

  // The worker rips as the window would: its settings on the command line.
  void theWorkersCommandLineFollowsTheSettings() {
    home_->write("quavern.ini", "[basic]\noutput directory=/music\nformat=4\n[flac]\ncompression level=8\n"
                                "[cd]\ngrab mode=4\nerror retry=3\ndrive speed=99\nerror action=1\n"
                                "eject when done=1\ntest and copy=1\n[cddb]\ncd source=1\nemail=a@b.example\n"
                                "cddb server=cddb.example.org\nport=8880\ntime out=20000\n"
                                "[replaygain]\nenabled=0\n[accuraterip]\nserver=none\n[ctdb]\nserver=none\n");
    quavern::SettingsStore settings;
    const QStringList a = quavern::workerArguments(settings, 2);
    QCOMPARE(a.mid(0, 3), QStringList({"watch", "--drive", "3"}));
    auto value = [&a](const char* option) {
      const qsizetype at = a.indexOf(option);
      return at < 0 || at + 1 >= a.size() ? QString("(none)") : a[at + 1];
    };
    QCOMPARE(value("--out"), QString("/music"));
    QCOMPARE(value("--format"), QString("flac"));
    QCOMPARE(value("--mode"), QString("verified"));
    QCOMPARE(value("--retries"), QString("3"));
    QCOMPARE(value("--speed"), QString("(none)"));  // 99x is no speed: the drive's own
    QCOMPARE(value("--on-error"), QString("silence"));
    QCOMPARE(value("--titles"), QString("online"));
    QCOMPARE(value("--email"), QString("a@b.example"));
    QCOMPARE(value("--naming"), QString("%A/%D/%N %T"));
    QCOMPARE(value("--accuraterip-server"), QString("none"));
    QVERIFY(a.contains("--eject") && a.contains("--verify") && !a.contains("--replaygain"));
    QCOMPARE(value("--cddb-server"), QString("cddb.example.org:8880"));
    QCOMPARE(value("--cddb-timeout"), QString("20000"));
    // The environment's "none" keeps the workers off the CDDB server too.
    qputenv("RIPMARROW_CDDB_SERVER", "none");
    QCOMPARE(quavern::workerArguments(settings, 2).indexOf("--cddb-server"), qsizetype(-1));
    qunsetenv("RIPMARROW_CDDB_SERVER");
    // The encoders' settings: the window's own file, which the worker reads.
    QCOMPARE(value("--encoder-settings"), QString::fromStdString(settings.path()));
    home_->write("quavern.ini", "[basic]\nformat=1\n");  // WAV: no encoder
    QVERIFY(!quavern::workerArguments(settings, 1).contains("--encoder-settings"));
  }

  // The same disc in the window's drive and in a worker's: the two MP3
  // files are the same stream, frame for frame, at the window's 320 kbit/s
  // CBR and at its VBR setting.
  void aWorkersMp3IsEncodedAsTheWindowsAtConstantBitRate() {
    const auto [window, worker] = ripOnBothDrives("[mp3]\nbitrate=16\nquality=2\n");
    QCOMPARE(mpegBitrate(window), 320);
    QCOMPARE(mpegBitrate(worker), 320);
    QVERIFY(!mpegFrames(window).empty());
    QVERIFY(mpegFrames(worker) == mpegFrames(window));
  }
  // OGG in quality mode: the worker's stream is made at the window's quality
  // (the encoder's nominal bit rate follows it), not at the 128 kbit/s default.
  void aWorkersOggIsEncodedAtTheWindowsQuality() {
    const auto [window, worker] = ripOnBothDrives("[ogg]\nenable quality=1\nquality=900\n", 3);
    TagLib::Ogg::Vorbis::File windowFile(window.c_str()), workerFile(worker.c_str());
    QVERIFY(windowFile.isValid() && workerFile.isValid());
    const int nominal = windowFile.audioProperties()->bitrateNominal();
    QVERIFY2(nominal > 128000, qPrintable(QString::number(nominal)));
    QCOMPARE(workerFile.audioProperties()->bitrateNominal(), nominal);
    QCOMPARE(workerFile.audioProperties()->bitrateMaximum(), windowFile.audioProperties()->bitrateMaximum());
    QCOMPARE(workerFile.audioProperties()->bitrateMinimum(), windowFile.audioProperties()->bitrateMinimum());
  }

  // A value the worker cannot take is named on the drive's card, not
  // replaced by the worker's own default.
  void anEncoderSettingTheWorkerRefusesIsNamedOnItsDrive() {
    writeDisc(1, discText(1));
    start({"image=disc1.txt\n", "image=disc1.txt\n"}, "[mp3]\nbitrate=99\n", 0);
    QTRY_COMPARE_WITH_TIMEOUT(stateText('F'), QString("Not watched"), 30000);
    const QString detail = window().findChild<QLabel*>("lb_drive_detail_F")->text();
    QVERIFY2(detail.contains("[mp3] bitrate=99: not a position in the bit-rate list"), qPrintable(detail));
  }
  void aWorkersMp3IsEncodedAsTheWindowsAtVariableBitRate() {
    const auto [window, worker] = ripOnBothDrives("[mp3]\nenable vbr=1\nvbr quality=1\nvbr bitrate=14\n");
    QVERIFY(readFile(worker).find("Xing") != std::string::npos);  // a VBR header
    QVERIFY(!mpegFrames(window).empty());
    QVERIFY(mpegFrames(worker) == mpegFrames(window));
  }

  // Three drives whose discs are taken out and put in again after the
  // program started (later than the engine's 2.4 s in which the same disc
  // coming back counts as a false alarm): with "rip on insert" the window's drive rips in its
  // batch and the two others in their workers, all at once.
  void discsInsertedInThreeDrivesAreRippedAtOnceIntoExactFiles() {
    for (int n = 1; n <= 3; ++n) writeDisc(n, discText(n));
    const std::string faults = "remove=at:800ms\ninsert=at:4500ms\nspeed=8\n";
    start({"image=disc1.txt\n" + faults, "image=disc2.txt\n" + faults, "image=disc3.txt\n" + faults},
          "rip on insert=1\n");
    auto* drives = window().findChild<QWidget*>("drives");
    QVERIFY(drives != nullptr && drives->isVisible());
    QCOMPARE(drives->accessibleName(), QString("Drives"));
    QTRY_VERIFY_WITH_TIMEOUT(stateOf(1) && stateOf(1)->kind == quavern::DriveState::Kind::kDone &&
                                 stateOf(2) && stateOf(2)->kind == quavern::DriveState::Kind::kDone,
                             60000);
    QTRY_VERIFY_WITH_TIMEOUT(!window().ripBatch().ripping() && windowFilesAre(1), 30000);
    const std::map<std::string, int> folders = workerFolders();
    QCOMPARE(folders.size(), size_t(2));
    std::vector<int> seen;
    for (const auto& [folder, disc] : folders) seen.push_back(disc);
    std::sort(seen.begin(), seen.end());
    QCOMPARE(seen, std::vector<int>({2, 3}));
    QCOMPARE(stateText('F'), QString("Ripped"));
    QVERIFY(program_->prompter.messages.empty() && program_->opener.opened.empty());
  }

  // The third drive hangs in the middle of its disc: that disc fails, its
  // card says so, and the two other drives' files are exact.
  void aDriveThatHangsFailsOnlyItsOwnDisc() {
    writeDisc(1, discText(1));
    writeDisc(2, discText(2));
    writeDisc(3, discText(3, "60s"));
    const std::string faults = "remove=at:800ms\ninsert=at:4500ms\n";
    start({"image=disc1.txt\n" + faults, "image=disc2.txt\n" + faults,
           "image=disc3.txt\n" + faults + "hang-after=120\nhang-count=4\n"},
          "rip on insert=1\nerror retry=1\nerror action=0\n");
    QTRY_VERIFY_WITH_TIMEOUT(stateOf(1) && stateOf(1)->kind == quavern::DriveState::Kind::kDone, 60000);
    QTRY_VERIFY_WITH_TIMEOUT(!window().ripBatch().ripping() && windowFilesAre(1), 30000);
    QTRY_VERIFY_WITH_TIMEOUT(stateOf(2) && stateOf(2)->kind == quavern::DriveState::Kind::kFailed, 90000);
    QCOMPARE(stateText('G'), QString("Failed"));
    // F's folder holds its disc exactly; G's holds what it read before it hung.
    std::vector<int> seen;
    for (const auto& [folder, disc] : workerFolders()) seen.push_back(disc);
    std::sort(seen.begin(), seen.end());
    QCOMPARE(seen, std::vector<int>({0, 2}));
  }

  // A worker killed in the middle of its disc fails only that drive: its
  // half-written file goes, and the other drive's disc comes out exact.
  void aWorkerThatDiesFailsOnlyItsDrive() {
    writeDisc(1, discText(1));
    writeDisc(2, discText(2, "8s"));
    writeDisc(3, discText(3, "3s"));
    start({"image=disc1.txt\n", "image=disc2.txt\nspeed=1\n", "image=disc3.txt\nspeed=2\n"}, "");
    for (char letter : {'F', 'G'}) QTRY_VERIFY_WITH_TIMEOUT(button(letter) && button(letter)->isEnabled(), 30000);
    QTest::mouseClick(button('F'), Qt::LeftButton);
    QTest::mouseClick(button('G'), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(stateOf(1)->percent >= 10, 30000);
    ::kill(static_cast<pid_t>(program_->program->station().workerProcess(1)), SIGKILL);
    QTRY_COMPARE_WITH_TIMEOUT(stateText('F'), QString("Failed"), 10000);
    QVERIFY(window().findChild<QLabel*>("lb_drive_detail_F")->text().contains("worker ended abruptly"));
    QCOMPARE(button('F')->text(), QString("Rip"));  // starts the drive's worker again
    QTRY_VERIFY_WITH_TIMEOUT(stateOf(2)->kind == quavern::DriveState::Kind::kDone, 30000);
    std::vector<int> seen;
    for (const auto& [folder, disc] : workerFolders()) seen.push_back(disc);
    std::sort(seen.begin(), seen.end());
    QCOMPARE(seen, std::vector<int>({-1, 3}));  // F's folder: no file of a half track, no log
    for (const auto& folder : fs::directory_iterator(out_ + "/Unknown Artist")) {
      if (discIn(folder.path()) == 0) QVERIFY(fs::is_empty(folder.path()));
    }
  }

  // With "rip on insert" off the discs wait for a click: the column's Rip
  // buttons start the other drives while the window rips its own; Stop
  // ends one drive's rip with its whole files only; closing the window
  // stops the rest within seconds. The screenshot shows three drives ripping.
  void theDrivesColumnStartsAndStopsRipsAndClosingStopsEveryWorker() {
    writeDisc(1, discText(1, "30s", "2s"));  // the window's: still ripping at the close
    for (int n = 2; n <= 3; ++n) writeDisc(n, discText(n, "6s", "2s"));
    start({"image=disc1.txt\nspeed=1\n", "image=disc2.txt\nspeed=1\n", "image=disc3.txt\nspeed=1\n"}, "");
    for (char letter : {'F', 'G'}) {
      QTRY_VERIFY_WITH_TIMEOUT(button(letter) && button(letter)->isEnabled() && stateText(letter) == "A disc is in",
                               30000);
      QCOMPARE(button(letter)->text(), QString("Rip"));
      QCOMPARE(button(letter)->accessibleName(), QString("Rip the disc in drive %1:").arg(letter));
    }
    // A disc that was in at the start is not ripped by itself.
    QTest::qWait(1500);
    QCOMPARE(stateText('F'), QString("A disc is in"));
    window().RipCD1Click();
    QVERIFY(window().ripBatch().ripping());
    QTest::mouseClick(button('F'), Qt::LeftButton);
    QTest::mouseClick(button('G'), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(stateOf(1)->percent >= 10 && stateOf(2)->percent >= 10 &&
                                 stateOf(1)->kind == quavern::DriveState::Kind::kRipping &&
                                 stateOf(2)->kind == quavern::DriveState::Kind::kRipping,
                             30000);
    QVERIFY(stateText('F').startsWith("Track 1 of 2 \u00b7 "));
    QCOMPARE(button('F')->text(), QString("Stop"));
    QCOMPARE(button('F')->accessibleName(), QString("Stop drive F:"));
    QVERIFY(window().findChild<QLabel*>("lb_drive_state_F")->accessibleName().startsWith("Drive F: Track 1 of 2"));
    QTest::qWait(300);  // the window's own card takes its next progress
    QVERIFY(window().grab().save(QUAVERN_SCREENSHOT_DIR "/main_window_drives.png"));
    std::cerr << "screenshot: " QUAVERN_SCREENSHOT_DIR "/main_window_drives.png\n";

    // Stop on F: its half track goes, the log says stopped, and the drive
    // waits for a click again.
    QTest::mouseClick(button('F'), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(stateText('F') == "A disc is in", 20000);
    QVERIFY(window().findChild<QLabel*>("lb_drive_detail_F")->text().startsWith("Last rip stopped: "));
    QVERIFY(stateOf(2)->kind == quavern::DriveState::Kind::kRipping);

    // Closing: G and the window's batch are under way.
    const auto began = std::chrono::steady_clock::now();
    window().close();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    std::cerr << "closing with two drives ripping took " << seconds << " s\n";
    QVERIFY2(seconds < 6, std::to_string(seconds).c_str());
    int stoppedLogs = 0;
    for (const auto& folder : fs::directory_iterator(out_ + "/Unknown Artist")) {
      for (const auto& file : fs::directory_iterator(folder.path())) {
        const std::string name = file.path().filename().string();
        if (name == "ripmarrow.log") {
          stoppedLogs += readFile(file.path().string()).find("stopped") != std::string::npos ? 1 : 0;
        } else {
          // Whole files only: a track's file is its track exactly.
          QVERIFY2(name.size() > 4 && name.substr(name.size() - 4) == ".wav", name.c_str());
          const int track = name.rfind("01 ", 0) == 0 ? 1 : 2;
          bool whole = false;
          for (const auto& [n, d] : discs_) whole = whole || wavAudio(file.path().string()) == trackAudio(d, track);
          QVERIFY2(whole, file.path().c_str());
        }
      }
    }
    QCOMPARE(stoppedLogs, 2);
  }
};

int main(int argc, char** argv) { return runQuavernTest<DriveStationTest>(argc, argv); }

#include "drive_station_test.moc"
