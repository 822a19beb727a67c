// What the file converter does: the checks of files added to its list, the
// folder scan, and the conversion run, one row after another, through two
// AudioFile2 objects of the codec component (one reads the source, one
// writes the result) with the source's tags copied by AudioInformation2.
//
// The run is a small state machine: startRun() chooses the output format
// once, then each step() does one unit of work (starts the next row, or
// moves one second of audio from reader to writer), so the window stays
// responsive between steps and Stop takes effect at the next block. Tests
// drive it without widgets through ConversionView. GUI thread only.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "components/tonemeter2.h"
#include "components/wavesmith2.h"
#include "client/replay_gain.h"
#include "frontend/conversion_lane.h"

namespace quavern {

class Prompter;
class SettingsStore;

// What the run needs of the converter window.
class ConversionView {
 public:
  virtual ~ConversionView() = default;
  virtual int fileRowCount() const = 0;
  virtual std::string rowPath(int row) const = 0;
  virtual std::string rowFileName(int row) const = 0;
  virtual void setRowStatus(int row, const std::string& status) = 0;
  // The row becomes the selected row and the list gets the focus.
  virtual void showFileRow(int row) = 0;
  virtual void setProgress(int percent) = 0;
  // A run starts (items disabled, "Stop" enabled) or ends.
  virtual void setConverting(bool converting) = 0;
};

namespace texts {
inline constexpr const char* kHasBeenRemovedWhileAdding = " has been removed!";
inline constexpr const char* kInvalidAudioFile = " is an invalid audio file!";
inline constexpr const char* kHasBeenRemoved = " has been removed.";
inline constexpr const char* kFileHasExisted = "File has existed. Overwrite?";
inline constexpr const char* kWriteError = "Write Error!";
inline constexpr const char* kOntoItself =
    " would be converted onto itself; it was left as it is. Choose another output folder or format.";
inline constexpr const char* kCannotRead = " could not be read as audio; it was skipped.";
inline constexpr const char* kStatusUnconvertedFromFolder = "unconverted";
inline constexpr const char* kConverterUnavailable =
    "The converter cannot read or write audio files: %s could not be loaded. Reinstall Ripmarrow to convert files.";
}  // namespace texts

// h:mm:ss as three "%.2d" fields: 01:02:05.
std::string conversionLengthText(LONG durationMs);
// The output file name: `name` with `extension` in place of the part from
// its last "." on, or appended.
std::string withExtension(const std::string& name, const std::string& extension);
// True for the extensions the converter reads (compared in lower case).
bool isConvertibleExtension(const std::string& fileName);

// One file accepted into the list.
struct AddedFile {
  std::string name;    // without folder
  std::string path;    // the full path
  std::string length;  // conversionLengthText
};

class FileConversion {
 public:
  enum Format { kMp3 = 0, kWav = 1, kWma = 2, kOgg = 3, kFlac = 4 };

  // None is owned; all outlive this object.
  FileConversion(SettingsStore& settings, Prompter& prompter, ConversionView& view);
  ~FileConversion();
  FileConversion(const FileConversion&) = delete;
  FileConversion& operator=(const FileConversion&) = delete;

  // False when the codec or tag component cannot be created.
  bool available() const;
  // What is missing, in words ("the codec component (Wavesmith2)"); "" when
  // nothing is.
  std::string missingComponents() const;

  // Checks one file for the list: a message and nothing when it is gone
  // or holds no audio (a reader that failed is replaced).
  std::optional<AddedFile> probe(const std::string& path);
  // Every convertible file of `folder` (of its sub-folders too, at every
  // level, when `subfolders`), by name, each probed; `pump` runs between
  // entries so that the window stays responsive.
  // Links to folders are not followed. stopScan() (from `pump`, the Stop
  // command or the window's close) ends the scan at the next entry.
  void scanFolder(const std::string& folder, bool subfolders, const std::function<void(const AddedFile&)>& add,
                  const std::function<void()>& pump);
  void stopScan();

  // Starts a run in `format`: false (with the format's message) when the
  // settings ask for a combination that cannot be written.
  bool startRun(int format);
  // One unit of the run; false once the run has ended.
  bool step();
  // Stop and the window's close: the run ends at the next block or row.
  void stop() { converting_ = false; }
  bool converting() const { return converting_; }
  bool running() const { return phase_ != Phase::kIdle; }

  // The output folder of the run (ends in "/") and the last result.
  const std::string& outputFolder() const { return outputFolder_; }
  const std::string& outputPath() const { return outputPath_; }

 private:
  enum class Phase { kIdle, kNextRow, kPumping };

  bool chooseFormat(int format);
  void startRow();
  // The checks and questions before a row (false: the row is passed over),
  // for one row at a time and for the lanes alike.
  bool prepareRow();
  bool stepLanes();  // conversion_lane.cpp
  void pumpBlock();
  void finishRow();
  void failRow();
  void endRun();
  void newReader();
  void copyTags();
  void tagReplayGain();

  SettingsStore& settings_;
  Prompter& prompter_;
  ConversionView& view_;

  com::ComPtr<IAudioFile2> reader_;
  com::ComPtr<IAudioFile2> writer_;
  com::ComPtr<IAudioFile2LameEnc> mp3_;
  com::ComPtr<IAudioInformation2> information_;

  // The folder scan: how deep it is, and whether it was asked to stop.
  int depth_ = 0;
  bool scanStopped_ = false;
  Phase phase_ = Phase::kIdle;
  bool converting_ = false;
  int row_ = 0;
  std::string extension_;
  std::string outputFolder_;
  std::string sourcePath_;
  std::string outputPath_;
  // The current row's pump.
  int64_t doneFrames_ = 0;
  int64_t lengthFrames_ = 0;
  LONG blockElements_ = 0;
  LONG frameSize_ = 1;
  // [convert] "replaygain" as the run read it, and the current row's meter.
  bool replayGain_ = false;
  std::optional<client::LoudnessMeter> meter_;
  // Several files at once (empty: one at a time on this thread).
  std::vector<std::unique_ptr<ConversionLane>> lanes_;
  LaneFormat laneFormat_;
};

}  // namespace quavern
