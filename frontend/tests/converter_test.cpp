// The file converter on the real codec and tag components through COM
// activation from a scratch home. Sources are generated here: tones of
// known frequency in WAV, MP3, OGG, WMA and FLAC at 44.1 and 48 kHz, mono
// and stereo, tagged. Each is converted to every format and must decode to
// its length and tone with its tags. The run's state machine is driven
// without widgets (stop during the second of three files, overwrite
// refused, a file onto itself, sources gone bad, outputs that cannot be
// made, refused formats); the window is driven for the list, its checks,
// the folder scan, its menus, the Settings dialog's effect, and screenshots.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>

#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <taglib/tpropertymap.h>

#include <cctype>
#include <cmath>
#include <functional>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "client/replay_gain.h"
#include "frontend/engine_link.h"
#include "frontend/conversion_lane.h"
#include "frontend/file_conversion.h"
#include "frontend/settings/tfm_set.h"
#include "frontend/tests/quavern_test_support.h"
#include "frontend/tfm_converter.h"
#include "outside/wavesmith2/test_signals.h"
#include "platform/text/utf.h"

using namespace quavern_testing;
namespace fs = std::filesystem;

namespace {

std::string joined(const std::vector<std::string>& lines) {
  std::string all;
  for (const std::string& line : lines) all += line + "\n";
  return all;
}

BSTR bstr(const std::string& text) {
  const std::u16string wide = platform::text::utf8ToUtf16(text);
  return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

// A source file: `seconds` of a `hz` tone, written by the codec component
// in the format its extension names, tagged with `title`.
struct Source {
  std::string path;
  int rate = 44100, channels = 2;
  double hz = 440, seconds = 2;
  std::string title;
};

void writeSource(const Source& s) {
  com::ComPtr<IAudioFile2> file;
  QVERIFY(SUCCEEDED(CoCreateInstance(CLSID_AudioFile2, nullptr, CLSCTX_INPROC_SERVER, IID_IAudioFile2, file.putVoid())));
  std::string ext = fs::path(s.path).extension().string();
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (ext == ".wav") file->SetFormatPCM(s.rate, s.channels, 16);
  if (ext == ".mp3") file->SetFormatMP3(s.rate, 128, s.channels);
  if (ext == ".ogg") file->SetFormatOGG(s.rate, s.channels, 128, 0, 0, 400);
  if (ext == ".wma") file->SetFormatWMA(s.channels == 1 ? 16 : (s.rate == 48000 ? 3 : 10));
  if (ext == ".flac") file->SetFormatFLAC(5);
  BSTR name = bstr(s.path);
  QVERIFY(SUCCEEDED(file->CreateOutputFile(name, 0)));
  SysFreeString(name);
  file->SetInputFormat(s.rate, s.channels);
  const std::vector<int16_t> pcm = wavesmith::test::tone(s.rate, s.channels, s.seconds, s.hz);
  SAFEARRAY* array = SafeArrayCreateVector(VT_I2, 0, static_cast<ULONG>(pcm.size()));
  void* data = nullptr;
  SafeArrayAccessData(array, &data);
  std::memcpy(data, pcm.data(), pcm.size() * sizeof(int16_t));
  SafeArrayUnaccessData(array);
  QVERIFY(SUCCEEDED(file->WriteSamples(array)));
  SafeArrayDestroy(array);
  QVERIFY(SUCCEEDED(file->CloseFile()));
  if (s.title.empty()) return;
  com::ComPtr<IAudioInformation2> info;
  QVERIFY(SUCCEEDED(CoCreateInstance(CLSID_AudioInformation2, nullptr, CLSCTX_INPROC_SERVER, IID_IAudioInformation2,
                                     info.putVoid())));
  quavern::putTextByName(info.get(), "infoTitle", s.title);
  quavern::putTextByName(info.get(), "infoArtist", "Tone Makers");
  quavern::putTextByName(info.get(), "infoAlbum", "Sines");
  info->put_infoTrack(7);
  BSTR target = bstr(s.path);
  QVERIFY(SUCCEEDED(info->WriteInfo(target)));
  SysFreeString(target);
}

// A WAV file of silence with the given length, written directly (sparse):
// an hour of audio in no time.
void writeLongWav(const std::string& path, int rate, int seconds) {
  const uint32_t bytes = static_cast<uint32_t>(rate) * 2u * static_cast<uint32_t>(seconds);
  std::ofstream out(path, std::ios::binary);
  auto le32 = [&](uint32_t v) { for (int i = 0; i < 4; ++i) out.put(static_cast<char>(v >> (8 * i))); };
  auto le16 = [&](uint16_t v) { out.put(static_cast<char>(v)); out.put(static_cast<char>(v >> 8)); };
  out.write("RIFF", 4); le32(36 + bytes); out.write("WAVEfmt ", 8); le32(16);
  le16(1); le16(1); le32(static_cast<uint32_t>(rate)); le32(static_cast<uint32_t>(rate) * 2); le16(2); le16(16);
  out.write("data", 4); le32(bytes);
  out.seekp(44 + bytes - 1);
  out.put('\0');
}

struct Tags {
  std::string title, artist, album;
  unsigned track = 0;
  int bitrate = 0;
};
Tags tagsOf(const std::string& path) {
  TagLib::FileRef file(path.c_str());
  Tags t;
  if (file.isNull() || file.tag() == nullptr) return t;
  t.title = file.tag()->title().to8Bit(true);
  t.artist = file.tag()->artist().to8Bit(true);
  t.album = file.tag()->album().to8Bit(true);
  t.track = file.tag()->track();
  if (file.audioProperties() != nullptr) t.bitrate = file.audioProperties()->bitrate();
  return t;
}

// The converter's list without widgets.
class FakeList : public quavern::ConversionView {
 public:
  struct Row {
    std::string path, name, status = "Unconverted";
  };
  int fileRowCount() const override { return static_cast<int>(rows.size()); }
  std::string rowPath(int row) const override { return rows[static_cast<size_t>(row)].path; }
  std::string rowFileName(int row) const override { return rows[static_cast<size_t>(row)].name; }
  void setRowStatus(int row, const std::string& status) override { rows[static_cast<size_t>(row)].status = status; }
  void showFileRow(int row) override { shown = row; }
  void setProgress(int percent) override { progress = percent; }
  void setConverting(bool on) override { converting = on; }
  void add(const std::string& path) { rows.push_back({path, fs::path(path).filename().string()}); }
  std::vector<std::string> statuses() const {
    std::vector<std::string> all;
    for (const Row& r : rows) all.push_back(r.status);
    return all;
  }
  std::vector<Row> rows;
  int shown = -1, progress = -1;
  bool converting = false;
};

class AnsweringFileChooser : public quavern::FileChooser {
 public:
  std::vector<std::string> chooseFiles(QWidget*, const std::string&, const std::string& startFolder,
                                       const std::string& filter) override {
    starts.push_back(startFolder);
    filters.push_back(filter);
    return answer;
  }
  std::vector<std::string> answer, starts, filters;
};

}  // namespace

class ConverterTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<ScratchHome> home_;
  std::unique_ptr<ProgramUnderTest> program_;
  AnsweringFileChooser files_;
  std::string in_, out_;

  void start(const std::string& ini = "") {
    in_ = home_->path() + "/in";
    out_ = home_->path() + "/out";
    fs::create_directories(in_);
    home_->write("quavern.ini", "[convert]\noutput directory=" + out_ + "\nfiles at once=1\n" + ini);
    QVERIFY(quavern::ensureComponentsRegistered(std::cerr));
    program_ = std::make_unique<ProgramUnderTest>(*application());
    program_->seams.files = &files_;  // the windows take the seams when made
    program_->program.reset();
    program_->program = std::make_unique<quavern::QuavernProgram>(*application(), program_->seams);
    program_->show();
  }
  quavern::Tfm_converter* converter() const {
    return program_->window().findChild<quavern::Tfm_converter*>("Tfm_converter");
  }
  QTableWidget* lv() const { return converter()->findChild<QTableWidget*>("lv"); }
  QString cell(int row, int column) const { return lv()->item(row, column)->text(); }
  std::string in(const std::string& name) const { return in_ + "/" + name; }
  std::string out(const std::string& name) const { return out_ + "/" + name; }
  bool enabled(const char* name) const { return converter()->findChild<QAction*>(name)->isEnabled(); }
  // Runs `steps` once the converter is shown modally, then closes it
  // whatever the steps found.
  void whileConverterShown(int delayMs, std::function<void()> steps) {
    QTimer::singleShot(delayMs, converter(), [this, steps] {
      steps();
      converter()->Exit1Click();
    });
    program_->window().Converter1Click();
  }
  // The run to its end without widgets.
  void runToEnd(quavern::FileConversion& run) {
    for (int guard = 0; run.step(); ++guard) QVERIFY(guard < 100000);
  }

 private slots:
  void init() { home_ = std::make_unique<ScratchHome>(); }
  void cleanup() {
    program_.reset();
    home_.reset();
  }

  void everySourceBecomesEveryFormatWithItsLengthToneAndTags_data() {
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("extension");
    QTest::newRow("MP3") << 0 << ".mp3";
    QTest::newRow("WAV") << 1 << ".wav";
    QTest::newRow("WMA") << 2 << ".wma";
    QTest::newRow("OGG") << 3 << ".ogg";
    QTest::newRow("FLAC") << 4 << ".flac";
  }
  void everySourceBecomesEveryFormatWithItsLengthToneAndTags() {
    QFETCH(int, format);
    QFETCH(QString, extension);
    start("[ogg]\nenable quality=1\n");
    const std::vector<Source> sources = {
        {in("wav stereo 44k.wav"), 44100, 2, 440, 2, "WAV source"},
        {in("mp3 mono 48k.mp3"), 48000, 1, 660, 2, "MP3 source"},
        {in("ogg stereo 48k.ogg"), 48000, 2, 550, 2, "OGG source"},
        {in("wma mono 44k.wma"), 44100, 1, 330, 2, "WMA source"},
        {in("flac mono 48k.flac"), 48000, 1, 880, 2, "FLAC source"},
    };
    FakeList list;
    for (const Source& s : sources) {
      writeSource(s);
      list.add(s.path);
    }
    quavern::FileConversion run(program_->settings, program_->prompter, list);
    QVERIFY(run.available());
    QVERIFY(run.startRun(format));
    QVERIFY(list.converting);
    runToEnd(run);
    QVERIFY(!list.converting);
    QCOMPARE(list.progress, 0);
    QVERIFY2(program_->prompter.messages.empty(), joined(program_->prompter.messages).c_str());
    QCOMPARE(list.statuses(), std::vector<std::string>(sources.size(), "Finish"));
    for (const Source& s : sources) {
      const std::string result = out(quavern::withExtension(fs::path(s.path).filename().string(),
                                                            extension.toStdString()));
      const wavesmith::test::Decoded decoded = wavesmith::test::decodeAll(result);
      QVERIFY2(decoded.rate_hz > 0, result.c_str());
      const double seconds = static_cast<double>(decoded.length_frames) / decoded.rate_hz;
      QVERIFY2(std::abs(seconds - s.seconds) < 0.1, qPrintable(QString("%1: %2 s").arg(result.c_str()).arg(seconds)));
      const double hz = wavesmith::test::dominantHz(decoded.samples, decoded.channels, 0, decoded.rate_hz);
      QVERIFY2(std::abs(hz - s.hz) < s.hz * 0.02, qPrintable(QString("%1: %2 Hz").arg(result.c_str()).arg(hz)));
      const Tags tags = tagsOf(result);
      QCOMPARE(tags.title, s.title);
      QCOMPARE(tags.artist, std::string("Tone Makers"));
      QCOMPARE(tags.album, std::string("Sines"));
      QCOMPARE(tags.track, 7u);
    }
  }

  // [convert] "replaygain": each output carries the track gain and peak of
  // its own audio, measured from the samples as they pass (a mono source
  // made stereo measures the same), one file at a time and on lanes; off,
  // none.
  void replayGainTagsTheTrackGainOfEachOutput_data() {
    QTest::addColumn<QString>("filesAtOnce");
    QTest::newRow("one at a time") << "1";
    QTest::newRow("two lanes") << "2";
  }
  void replayGainTagsTheTrackGainOfEachOutput() {
    QFETCH(QString, filesAtOnce);
    start("replaygain=1\n");
    program_->settings.writeInt("convert", "files at once", filesAtOnce.toInt());
    const std::vector<Source> sources = {
        {in("wav stereo 44k.wav"), 44100, 2, 440, 3, "WAV source"},
        {in("flac mono 48k.flac"), 48000, 1, 880, 3, "FLAC source"},
    };
    FakeList list;
    for (const Source& s : sources) {
      writeSource(s);
      list.add(s.path);
    }
    quavern::FileConversion run(program_->settings, program_->prompter, list);
    QVERIFY(run.startRun(1));  // WAV: the output decodes to exactly what was written
    runToEnd(run);
    QCOMPARE(list.statuses(), std::vector<std::string>(sources.size(), "Finish"));
    for (const Source& s : sources) {
      const std::string result = out(quavern::withExtension(fs::path(s.path).filename().string(), ".wav"));
      const wavesmith::test::Decoded decoded = wavesmith::test::decodeAll(result);
      client::LoudnessMeter meter(static_cast<unsigned>(decoded.channels), static_cast<unsigned long>(decoded.rate_hz));
      meter.add(decoded.samples.data(), decoded.samples.size() / static_cast<size_t>(decoded.channels));
      const auto expected = client::TrackGain(meter);
      QVERIFY(expected.has_value());
      TagLib::FileRef ref(result.c_str());
      QVERIFY(!ref.isNull());
      const TagLib::PropertyMap p = ref.file()->properties();
      QVERIFY2(p.contains("REPLAYGAIN_TRACK_GAIN"), result.c_str());
      const double gain = std::stod(p["REPLAYGAIN_TRACK_GAIN"].front().to8Bit(true));
      QVERIFY2(std::abs(gain - expected->gainDb) < 0.1, qPrintable(QString("%1: %2 dB, the output's %3 dB")
                                                                    .arg(result.c_str()).arg(gain).arg(expected->gainDb)));
      QVERIFY(p.contains("REPLAYGAIN_TRACK_PEAK"));
      QVERIFY(!p.contains("REPLAYGAIN_ALBUM_GAIN"));
      QCOMPARE(tagsOf(result).title, s.title);  // the source's tags are copied as before
    }
    // Off: converted again, no gain.
    program_->settings.writeBool("convert", "replaygain", false);
    for (const Source& s : sources) fs::remove(out(quavern::withExtension(fs::path(s.path).filename().string(), ".wav")));
    FakeList again;
    for (const Source& s : sources) again.add(s.path);
    quavern::FileConversion second(program_->settings, program_->prompter, again);
    QVERIFY(second.startRun(1));
    runToEnd(second);
    for (const Source& s : sources) {
      TagLib::FileRef ref(out(quavern::withExtension(fs::path(s.path).filename().string(), ".wav")).c_str());
      QVERIFY(!ref.isNull());
      QVERIFY(!ref.file()->properties().contains("REPLAYGAIN_TRACK_GAIN"));
    }
  }

  // Mend: Stop ends the file being written as a whole, playable file.
  void aStopDuringTheSecondOfThreeFilesEndsItWhole() {
    start();
    FakeList list;
    for (const char* name : {"one.wav", "two.wav", "three.wav"}) {
      writeSource({in(name), 44100, 2, 440, 6, "T"});
      list.add(in(name));
    }
    quavern::FileConversion run(program_->settings, program_->prompter, list);
    QVERIFY(run.startRun(quavern::FileConversion::kWav));
    while (run.step() && !(list.shown == 1 && list.progress >= 30)) {
    }
    QCOMPARE(list.statuses()[0], std::string("Finish"));
    QCOMPARE(list.statuses()[1], std::string("Converting"));
    run.stop();
    runToEnd(run);
    QCOMPARE(list.statuses(), (std::vector<std::string>{"Finish", "Finish", "Unconverted"}));
    QCOMPARE(list.progress, 0);
    QVERIFY(!fs::exists(out("three.wav")));
    // The stopped file's headers hold what it holds.
    const std::string wav = readFile(out("two.wav"));
    auto le32 = [&](size_t at) {
      return uint32_t(uint8_t(wav[at])) | uint32_t(uint8_t(wav[at + 1])) << 8 | uint32_t(uint8_t(wav[at + 2])) << 16 |
             uint32_t(uint8_t(wav[at + 3])) << 24;
    };
    QCOMPARE(size_t(le32(4)) + 8, wav.size());
    const wavesmith::test::Decoded decoded = wavesmith::test::decodeAll(out("two.wav"));
    QVERIFY2(decoded.length_frames >= 44100 && decoded.length_frames < 6 * 44100,
             qPrintable(QString::number(decoded.length_frames)));
    QCOMPARE(tagsOf(out("two.wav")).title, std::string("T"));
    QVERIFY(program_->prompter.messages.empty());
  }

  // Several files at once, each on a lane of its own: MP3 files whole with
  // their tones and tags; then Stop while files run together ends every
  // one of them whole, and the rows not begun stay unconverted.
  void filesAtOnceRunTogetherAndStopEndsEachWhole() {
    start();
    program_->settings.writeText("convert", "files at once", "3");
    FakeList list;
    const char* names[] = {"a.wav", "b.wav", "c.wav", "d.wav", "e.wav"};
    for (int i = 0; i < 5; ++i) {
      writeSource({in(names[i]), 44100, 2, 300.0 + 100 * i, 4, names[i]});
      list.add(in(names[i]));
    }
    {
      quavern::FileConversion run(program_->settings, program_->prompter, list);
      QVERIFY(run.startRun(quavern::FileConversion::kMp3));
      runToEnd(run);
    }
    QCOMPARE(list.statuses(), std::vector<std::string>(5, "Finish"));
    QVERIFY2(program_->prompter.messages.empty(), joined(program_->prompter.messages).c_str());
    for (int i = 0; i < 5; ++i) {
      const std::string result = out(quavern::withExtension(names[i], ".mp3"));
      const wavesmith::test::Decoded decoded = wavesmith::test::decodeAll(result);
      QVERIFY2(decoded.rate_hz > 0, result.c_str());
      QVERIFY(std::abs(static_cast<double>(decoded.length_frames) / decoded.rate_hz - 4) < 0.1);
      const double hz = wavesmith::test::dominantHz(decoded.samples, decoded.channels, 0, decoded.rate_hz);
      QVERIFY2(std::abs(hz - (300.0 + 100 * i)) < 10, qPrintable(QString::number(hz)));
      QCOMPARE(tagsOf(result).title, std::string(names[i]));
    }

    FakeList again;
    for (const char* name : names) again.add(in(name));
    quavern::FileConversion run(program_->settings, program_->prompter, again);
    QVERIFY(run.startRun(quavern::FileConversion::kWav));
    size_t together = 0;
    while (run.step()) {
      const std::vector<std::string> now = again.statuses();
      together = std::max<size_t>(together, std::count(now.begin(), now.end(), "Converting"));
      if (together == 3) break;  // three rows begun together
    }
    QCOMPARE(together, size_t(3));
    run.stop();
    runToEnd(run);
    QCOMPARE(again.statuses(), (std::vector<std::string>{"Finish", "Finish", "Finish", "Unconverted", "Unconverted"}));
    for (int i = 0; i < 3; ++i) {
      // Whole: its headers hold what it holds.
      const std::string wav = readFile(out(names[i]));
      QVERIFY(wav.size() >= 44);
      const uint32_t riff = uint32_t(uint8_t(wav[4])) | uint32_t(uint8_t(wav[5])) << 8 |
                            uint32_t(uint8_t(wav[6])) << 16 | uint32_t(uint8_t(wav[7])) << 24;
      QCOMPARE(size_t(riff) + 8, wav.size());
    }
    QVERIFY(!fs::exists(out("d.wav")));

    // Two sources of one name: the second waits for the first's file and
    // is asked about it, never written at the same time.
    fs::create_directories(in("other"));
    writeSource({in("other/a.wav"), 44100, 2, 900, 4, "other"});
    FakeList same;
    same.add(in("a.wav"));
    same.add(in("other/a.wav"));
    program_->prompter.answerYes = true;
    quavern::FileConversion twice(program_->settings, program_->prompter, same);
    QVERIFY(twice.startRun(quavern::FileConversion::kMp3));
    runToEnd(twice);
    QCOMPARE(same.statuses(), (std::vector<std::string>{"Finish", "Finish"}));
    const wavesmith::test::Decoded decoded = wavesmith::test::decodeAll(out("a.mp3"));
    QVERIFY(std::abs(wavesmith::test::dominantHz(decoded.samples, decoded.channels, 0, decoded.rate_hz) - 900) < 10);
  }

  // The Settings dialog's Converter page sets how many files convert at
  // once, typed as a user types it (a number beyond the field's range reads
  // as its end) and stored by OK; the next conversion runs that many
  // together, and no more.
  void theSettingsDialogSetsHowManyFilesConvertAtOnce() {
    start();
    auto* set = program_->window().findChild<quavern::Tfm_set*>("Tfm_set");
    QTimer::singleShot(0, set, [&] {
      QVERIFY(QTest::qWaitForWindowExposed(set));
      auto* pages = set->findChild<QTabWidget*>("pc");
      pages->setCurrentWidget(set->findChild<QWidget*>("tab_converter"));
      QCOMPARE(pages->tabText(pages->currentIndex()), QString("Converter"));
      auto* field = set->findChild<QLineEdit*>("edt_files_at_once");
      auto* updown = set->findChild<QSpinBox*>("ud_files_at_once");
      QCOMPARE(updown->value(), 1);  // as stored
      field->setFocus();
      field->selectAll();
      QTest::keyClicks(field, "x99");
      QTest::keyClick(field, Qt::Key_Tab);
      QCOMPARE(updown->value(), quavern::kMostFilesAtOnce);
      field->setFocus();
      field->selectAll();
      QTest::keyClicks(field, "2");
      QTest::mouseClick(set->findChild<QCheckBox*>("cb_convert_replaygain"), Qt::LeftButton);
      QDir().mkpath(QUAVERN_SCREENSHOT_DIR);
      QVERIFY(set->grab().save(QUAVERN_SCREENSHOT_DIR "/settings_converter_files_at_once.png"));
      QTest::mouseClick(set->findChild<QPushButton*>("btn_ok"), Qt::LeftButton);
    });
    program_->window().Option1Click();
    QCOMPARE(program_->settings.readInt("convert", "files at once", 0), 2);
    QVERIFY(program_->settings.readBool("convert", "replaygain", false));
    QCOMPARE(quavern::readFilesAtOnce(program_->settings), 2);

    FakeList list;
    const char* names[] = {"a.wav", "b.wav", "c.wav", "d.wav"};
    for (int i = 0; i < 4; ++i) {
      writeSource({in(names[i]), 44100, 2, 300.0 + 100 * i, 3, names[i]});
      list.add(in(names[i]));
    }
    quavern::FileConversion run(program_->settings, program_->prompter, list);
    QVERIFY(run.startRun(quavern::FileConversion::kWav));
    size_t most = 0;
    for (int guard = 0; run.step(); ++guard) {
      QVERIFY(guard < 1000000);
      const std::vector<std::string> now = list.statuses();
      most = std::max<size_t>(most, std::count(now.begin(), now.end(), "Converting"));
    }
    QCOMPARE(most, size_t(2));
    QCOMPARE(list.statuses(), std::vector<std::string>(4, "Finish"));

    // Shown again as stored; Default offers the machine's cores; Cancel keeps the stored 2.
    QTimer::singleShot(0, set, [&] {
      QVERIFY(QTest::qWaitForWindowExposed(set));
      auto* updown = set->findChild<QSpinBox*>("ud_files_at_once");
      QCOMPARE(updown->value(), 2);
      QTest::mouseClick(set->findChild<QPushButton*>("btn_default"), Qt::LeftButton);
      QCOMPARE(updown->value(), quavern::defaultFilesAtOnce());
      QVERIFY(!set->findChild<QCheckBox*>("cb_convert_replaygain")->isChecked());
      set->btn_cancelClick();
    });
    program_->window().Option1Click();
    QCOMPARE(program_->settings.readInt("convert", "files at once", 0), 2);
  }

  // Mends: a file onto itself is refused and kept; a source gone or gone
  // bad after it was added fails its row (no crash) and the run goes on; an
  // output that cannot be created fails its row.
  void rowsThatCannotBeConvertedFailAndTheRunGoesOn() {
    start();
    program_->settings.writeText("convert", "output directory", in_);
    FakeList list;
    for (const char* name : {"self.mp3", "junk.ogg", "cut.wav", "gone.wav", "good.wav", "blocked.wav"}) {
      writeSource({in(name), 44100, 2, 440, 2, ""});
      list.add(in(name));
    }
    const std::string self = readFile(in("self.mp3"));
    std::ofstream(in("junk.ogg"), std::ios::binary) << std::string(5000, 'j');  // replaced by junk
    fs::resize_file(in("cut.wav"), 0);                                            // truncated
    fs::remove(in("gone.wav"));
    fs::create_directories(in("blocked.mp3"));  // a folder where the result goes
    program_->prompter.answerYes = true;
    quavern::FileConversion run(program_->settings, program_->prompter, list);
    QVERIFY(run.startRun(quavern::FileConversion::kMp3));
    runToEnd(run);
    QCOMPARE(list.statuses(), (std::vector<std::string>{"Unconverted", "Failed", "Failed", "Unconverted", "Finish",
                                                        "Failed"}));
    QCOMPARE(readFile(in("self.mp3")), self);  // untouched
    const auto& m = program_->prompter.messages;
    QCOMPARE(m.size(), size_t(5));
    QCOMPARE(m[0], in("self.mp3") + quavern::texts::kOntoItself);
    QCOMPARE(m[1], in("junk.ogg") + quavern::texts::kCannotRead);
    QCOMPARE(m[2], in("cut.wav") + quavern::texts::kCannotRead);
    QCOMPARE(m[3], in("gone.wav") + " has been removed.");
    QCOMPARE(m[4], std::string("Write Error!"));
    QCOMPARE(program_->prompter.questions, std::vector<std::string>{"File has existed. Overwrite?"});  // blocked
    QVERIFY(wavesmith::test::decodeAll(in("good.mp3")).length_frames > 0);
  }

  void refusingToOverwriteKeepsTheRowAndRefusedFormatsConvertNothing() {
    start();
    FakeList list;
    for (const char* name : {"a.wav", "b.wav"}) {
      writeSource({in(name), 44100, 2, 440, 1, ""});
      list.add(in(name));
    }
    fs::create_directories(out_);
    std::ofstream(out("a.ogg")) << "mine";
    program_->prompter.answerYes = false;
    quavern::FileConversion run(program_->settings, program_->prompter, list);
    QVERIFY(run.startRun(quavern::FileConversion::kOgg));
    runToEnd(run);
    QCOMPARE(program_->prompter.questions, std::vector<std::string>{"File has existed. Overwrite?"});
    QCOMPARE(list.statuses(), (std::vector<std::string>{"Unconverted", "Finish"}));
    QCOMPARE(readFile(out("a.ogg")), std::string("mine"));
    // Yes replaces it, read-only or not.
    fs::permissions(out("a.ogg"), fs::perms::owner_read);
    program_->prompter.answerYes = true;
    QVERIFY(run.startRun(quavern::FileConversion::kOgg));
    runToEnd(run);
    QCOMPARE(list.statuses(), (std::vector<std::string>{"Finish", "Finish"}));
    QVERIFY(wavesmith::test::decodeAll(out("a.ogg")).length_frames > 0);
    // OGG bit-rate mode at a combination the encoder refuses; MP3 likewise.
    list.rows[0].status = list.rows[1].status = "Unconverted";
    fs::remove_all(out_);
    program_->settings.writeInt("ogg", "frequency", 0);
    program_->settings.writeInt("ogg", "bitrate", 16);
    program_->settings.writeInt("ogg", "min bitrate", 16);
    program_->settings.writeInt("ogg", "max bitrate", 16);
    QVERIFY(!run.startRun(quavern::FileConversion::kOgg));
    QCOMPARE(program_->prompter.messages.back(),
             std::string("This OGG format not supported, please try another frequency or bitrate."));
    program_->settings.writeInt("mp3", "frequency", 0);
    program_->settings.writeInt("mp3", "bitrate", 16);
    QVERIFY(!run.startRun(quavern::FileConversion::kMp3));
    QCOMPARE(program_->prompter.messages.back(),
             std::string("This MP3 format not supported, please try another frequency or bitrate."));
    QVERIFY(!list.converting && !run.running());
    QCOMPARE(list.statuses(), (std::vector<std::string>{"Unconverted", "Unconverted"}));
    QVERIFY(!fs::exists(out("a.ogg")) && !fs::exists(out("a.mp3")));
  }

  void theListTakesFilesAndFoldersWithTheirChecks() {
    start();
    writeLongWav(in("long.wav"), 8000, 3725);
    writeSource({in("B.MP3"), 44100, 1, 440, 1, ""});
    fs::create_directories(in("sub/deeper"));
    writeSource({in("sub/c.ogg"), 44100, 2, 440, 1, ""});
    writeSource({in("sub/deeper/d.wav"), 44100, 2, 440, 1, ""});
    std::ofstream(in("notes.txt")) << "not audio";
    writeSource({in(".hidden.wav"), 44100, 2, 440, 1, ""});
    std::ofstream(in("broken.wma")) << std::string(3000, 'x');
    program_->folders.answer = in_;
    whileConverterShown(0, [&] {
      quavern::Tfm_converter* c = converter();
      QCOMPARE(lv()->rowCount(), 0);
      QCOMPARE(lv()->horizontalHeaderItem(1)->text(), QString("Path"));
      // Single files: checked one by one.
      files_.answer = {in("long.wav"), in("missing.mp3"), in("broken.wma")};
      c->btn_addClick();
      QCOMPARE(lv()->rowCount(), 1);
      QCOMPARE(cell(0, 0), QString("long.wav"));
      QCOMPARE(cell(0, 2), QString("01:02:05"));
      QCOMPARE(cell(0, 3), QString("Unconverted"));
      QCOMPARE(program_->prompter.messages,
               (std::vector<std::string>{in("missing.mp3") + " has been removed!",
                                         in("broken.wma") + " is an invalid audio file!"}));
      QCOMPARE(program_->settings.readText("convert", "file path", ""), in_);
      QVERIFY(files_.filters.front().find("*.flac") != std::string::npos);
      // A folder without and with its sub-folders.
      c->btn_addpathClick();
      QStringList names;
      for (int r = 1; r < lv()->rowCount(); ++r) names << cell(r, 0) + "|" + cell(r, 2) + "|" + cell(r, 3);
      QCOMPARE(names, QStringList({"B.MP3|00:00:01|unconverted", "long.wav|01:02:05|unconverted"}));
      QCOMPARE(program_->folders.requests.back().caption, std::string("Open Folder"));
      QVERIFY(program_->folders.requests.back().offerSubfolders);
      QCOMPARE(program_->prompter.messages.size(), size_t(3));  // broken.wma again
      lv()->selectRow(0);
      c->btn_removeClick();
      QCOMPARE(lv()->rowCount(), 2);
      program_->prompter.answerYes = true;
      c->btn_clearClick();
      QCOMPARE(lv()->rowCount(), 0);
      QVERIFY(program_->prompter.questions.back().find("Are you sure to remove all the files from filelist?") == 0);
    });
    // Sub-folders: a chooser answering with its box ticked.
    struct Ticked : quavern::FolderChooser {
      std::string folder;
      quavern::FolderChoice chooseFolder(QWidget*, const quavern::FolderRequest&) override { return {folder, true}; }
    } ticked;
    ticked.folder = in_;
    program_->seams.folders = &ticked;
    program_->program.reset();
    program_->program = std::make_unique<quavern::QuavernProgram>(*application(), program_->seams);
    program_->show();
    whileConverterShown(0, [&] {
      converter()->btn_addpathClick();
      QStringList names;
      for (int r = 0; r < lv()->rowCount(); ++r) names << cell(r, 0);
      QCOMPARE(names, QStringList({"B.MP3", "long.wav", "c.ogg", "d.wav"}));
    });
  }

  void theWindowRunsWithWhatTheSettingsDialogStoredAndScreenshots() {
    start();
    for (const char* name : {"Morning Tone.wav", "Evening Tone.wav", "Night Tone.wav"})
      writeSource({in(name), 44100, 2, 440, 8, name});
    // MP3 at 192 kbit/s through the Settings dialog's OK.
    auto* set = program_->window().findChild<quavern::Tfm_set*>("Tfm_set");
    QTimer::singleShot(0, set, [&] {
      set->findChild<QComboBox*>("cb_mp3_bitrate")->setCurrentIndex(13);
      set->btn_okClick();
    });
    program_->window().Option1Click();
    QCOMPARE(program_->settings.readInt("mp3", "bitrate", 0), 13);
    files_.answer = {in("Morning Tone.wav"), in("Evening Tone.wav"), in("Night Tone.wav")};
    bool sawConverting = false;
    whileConverterShown(100, [&] {
      quavern::Tfm_converter* c = converter();
      QCOMPARE(c->findChild<QComboBox*>("cbx_format")->currentText(), QString("MP3"));
      QVERIFY(!enabled("Stop1") && !enabled("Stop2") && enabled("Convert1"));
      c->btn_addClick();
      QDir().mkpath(QUAVERN_SCREENSHOT_DIR);
      QVERIFY(c->grab().save(QUAVERN_SCREENSHOT_DIR "/converter_files.png"));
      c->btn_convertClick();
      QVERIFY(enabled("Stop1") && enabled("Stop2"));
      for (const char* off : {"AddFiles1", "AddPath2", "Remove1", "Clear2", "Convert1", "Convert2"})
        QVERIFY2(!enabled(off), off);
      QVERIFY(!c->findChild<QComboBox*>("cbx_format")->isEnabled());
      // The second file part-way, seen as the bar moves (a poll can miss that
      // moment on a busy machine) and its screenshot taken then.
      QImage converting;
      const QMetaObject::Connection watch =
          QObject::connect(c->findChild<QProgressBar*>("pb"), &QProgressBar::valueChanged, c, [&](int value) {
            if (sawConverting || cell(1, 3) != "Converting" || value < 20) return;
            sawConverting = true;
            converting = c->grab().toImage();
          });
      QTRY_VERIFY_WITH_TIMEOUT(!c->conversion().running(), 60000);
      QObject::disconnect(watch);
      QVERIFY(sawConverting);
      QVERIFY(converting.save(QUAVERN_SCREENSHOT_DIR "/converter_converting.png"));
      QVERIFY(enabled("Convert1") && !enabled("Stop1"));
    });
    QVERIFY(sawConverting);
    QCOMPARE(cell(2, 3), QString("Finish"));
    const Tags tags = tagsOf(out("Night Tone.mp3"));
    QCOMPARE(tags.title, std::string("Night Tone.wav"));
    QVERIFY2(std::abs(tags.bitrate - 192) <= 2, qPrintable(QString::number(tags.bitrate)));
  }
};

int main(int argc, char** argv) { return quavern_testing::runQuavernTest<ConverterTest>(argc, argv); }

#include "converter_test.moc"
