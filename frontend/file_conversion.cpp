#include "frontend/file_conversion.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "frontend/format_settings.h"
#include "frontend/rip_batch.h"
#include "frontend/seams.h"
#include "frontend/settings/settings_store.h"
#include "platform/text/utf.h"

#include "client/replay_gain_tags.h"
#include "platform/com/bstr_text.h"

namespace quavern {

namespace fs = std::filesystem;

namespace {


template <class Get>
LONG longOf(IAudioFile2* file, Get get) {
  LONG value = 0;
  (file->*get)(&value);
  return value;
}

bool isOpen(IAudioFile2* file) {
  VARIANT_BOOL open = VARIANT_FALSE;
  file->get_isOpen(&open);
  return open != VARIANT_FALSE;
}

void closeIfOpen(IAudioFile2* file) {
  if (file != nullptr && isOpen(file)) file->CloseFile();
}

// The same file, whether named alike or through links.
bool sameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  if (fs::exists(b, ec) && fs::equivalent(a, b, ec)) return true;
  return fs::weakly_canonical(a, ec) == fs::weakly_canonical(b, ec);
}

}  // namespace

std::string conversionLengthText(LONG durationMs) {
  const long d = std::max<long>(durationMs, 0);
  const long h = d / 3600000;
  const long m = (d / 1000 - h * 3600) / 60;
  const long s = (d / 1000) % 60;
  char text[40];
  std::snprintf(text, sizeof text, "%.2ld:%.2ld:%.2ld", h, m, s);
  return text;
}

std::string withExtension(const std::string& name, const std::string& extension) {
  const size_t dot = name.rfind('.');
  return (dot == std::string::npos ? name : name.substr(0, dot)) + extension;
}

bool isConvertibleExtension(const std::string& fileName) {
  const size_t dot = fileName.rfind('.');
  if (dot == std::string::npos) return false;
  // What the format box offers, it reads.
  const auto format = client::FormatOfExtension(fileName.substr(dot));
  for (int box = 0; box < 5; ++box) {
    if (format == formatAtBoxIndex(box)) return true;
  }
  return false;
}

FileConversion::FileConversion(SettingsStore& settings, Prompter& prompter, ConversionView& view)
    : settings_(settings), prompter_(prompter), view_(view) {
  newReader();
  if (SUCCEEDED(CoCreateInstance(CLSID_AudioFile2, nullptr, CLSCTX_INPROC_SERVER, IID_IAudioFile2,
                                 writer_.putVoid()))) {
    writer_->put_codecOption(VARIANT_TRUE);
  }
  if (SUCCEEDED(CoCreateInstance(CLSID_AudioFile2LameEnc, nullptr, CLSCTX_INPROC_SERVER, IID_IAudioFile2LameEnc,
                                 mp3_.putVoid()))) {
    mp3_->put_WritingVBRHeader(TRUE);  // as the rip batch's settings object
  }
  if (SUCCEEDED(CoCreateInstance(CLSID_AudioInformation2, nullptr, CLSCTX_INPROC_SERVER, IID_IAudioInformation2,
                                 information_.putVoid()))) {
    information_->put_infoOption(VARIANT_TRUE);
  }
}

FileConversion::~FileConversion() {
  closeIfOpen(reader_.get());
  closeIfOpen(writer_.get());
}

bool FileConversion::available() const { return reader_ && writer_ && mp3_ && information_; }

std::string FileConversion::missingComponents() const {
  std::string missing;
  if (!reader_ || !writer_ || !mp3_) missing = "the codec component (Wavesmith2)";
  if (!information_) missing += std::string(missing.empty() ? "" : " and ") + "the tag component (Tonemeter2)";
  return missing;
}

void FileConversion::newReader() {
  closeIfOpen(reader_.get());
  reader_.reset();
  if (SUCCEEDED(CoCreateInstance(CLSID_AudioFile2, nullptr, CLSCTX_INPROC_SERVER, IID_IAudioFile2,
                                 reader_.putVoid()))) {
    reader_->put_codecOption(VARIANT_TRUE);
  }
}

// Adding ---------------------------------------------------------------------

std::optional<AddedFile> FileConversion::probe(const std::string& path) {
  std::error_code ec;
  if (!fs::exists(path, ec)) {
    prompter_.inform(nullptr, path + texts::kHasBeenRemovedWhileAdding);
    return std::nullopt;
  }
  if (!reader_) return std::nullopt;
  if (FAILED(reader_->OpenRead(com::Bstr(path).get(), 0, 1))) {
    prompter_.inform(nullptr, path + texts::kInvalidAudioFile);
    reader_->CloseFile();
    newReader();  // a broken file leaves nothing behind for the next
    return std::nullopt;
  }
  if (longOf(reader_.get(), &IAudioFile2::get_lengthSamples) == 0) {
    prompter_.inform(nullptr, path + texts::kInvalidAudioFile);
    reader_->CloseFile();
    return std::nullopt;
  }
  AddedFile file{fs::path(path).filename().string(), path,
                 conversionLengthText(longOf(reader_.get(), &IAudioFile2::get_durationMs))};
  reader_->CloseFile();
  return file;
}

void FileConversion::scanFolder(const std::string& folder, bool subfolders,
                                const std::function<void(const AddedFile&)>& add, const std::function<void()>& pump) {
  if (depth_++ == 0) scanStopped_ = false;
  struct Leave {
    int& depth;
    ~Leave() { --depth; }
  } leave{depth_};
  pump();
  pump();
  if (scanStopped_) return;
  std::string base = folder;
  if (base.empty() || base.back() != '/') base += '/';
  std::vector<fs::directory_entry> entries;
  std::error_code ec;
  for (fs::directory_iterator it(base, ec), end; !ec && it != end; it.increment(ec)) entries.push_back(*it);
  std::sort(entries.begin(), entries.end(),
            [](const fs::directory_entry& a, const fs::directory_entry& b) { return a.path() < b.path(); });
  for (const fs::directory_entry& entry : entries) {
    const std::string name = entry.path().filename().string();
    if (name.empty() || name.front() == '.') continue;
    if (scanStopped_) return;
    std::error_code typeError;
    if (entry.is_directory(typeError)) {
      // A link to a folder is not followed: a link to its own folder, or to
      // one above, would list the same files again and again without end.
      if (subfolders && !entry.is_symlink(typeError)) scanFolder(base + name, true, add, pump);
      continue;
    }
    if (!isConvertibleExtension(name)) continue;
    if (std::optional<AddedFile> file = probe(base + name)) {
      add(*file);
      pump();
      pump();
    }
  }
}

void FileConversion::stopScan() { scanStopped_ = true; }

// The run ---------------------------------------------------------------------

bool FileConversion::startRun(int format) {
  if (phase_ != Phase::kIdle || !available()) return false;
  view_.setProgress(0);
  converting_ = true;
  view_.setConverting(true);

  outputFolder_ = settings_.readText("convert", "output directory", defaults::musicFolder());
  std::error_code ec;
  if (!outputFolder_.empty()) fs::create_directories(outputFolder_, ec);
  if (outputFolder_.empty() || outputFolder_.back() != '/') outputFolder_ += '/';

  if (!chooseFormat(format)) {
    converting_ = false;
    view_.setConverting(false);
    return false;
  }
  row_ = 0;
  phase_ = Phase::kNextRow;
  replayGain_ = readConvertReplayGain(settings_);
  // Several files at once: each on a lane of its own (conversion_lane.h).
  lanes_.clear();
  if (const int lanes = readFilesAtOnce(settings_); lanes > 1) {
    laneFormat_ = readLaneFormat(settings_, format);
    for (int i = 0; i < lanes; ++i) lanes_.push_back(std::make_unique<ConversionLane>());
  }
  return true;
}

bool FileConversion::chooseFormat(int format) {
  IAudioFile2* writer = writer_.get();
  switch (format) {
    case kWav:
      writer->SetFormatPCM(44100, 2, 16);
      break;
    case kWma:
      handWmaToCodec(writer, readWmaProfile(settings_));
      break;
    case kOgg:
      if (!handOggToCodec(writer, readOggSettings(settings_))) {
        prompter_.inform(nullptr, texts::kOggNotSupported);
        return false;
      }
      break;
    case kFlac:
      writer->SetFormatFLAC(readFlacCompressionLevel(settings_));
      break;
    default:
      format = kMp3;
      if (!handMp3ToCodec(writer, mp3_.get(), readMp3Settings(settings_))) {
        prompter_.inform(nullptr, texts::kMp3NotSupported);
        return false;
      }
      break;
  }
  extension_ = client::FormatInfo(formatAtBoxIndex(format)).extension;
  return true;
}

bool FileConversion::step() {
  switch (phase_) {
    case Phase::kIdle:
      return false;
    case Phase::kNextRow:
      if (!lanes_.empty()) return stepLanes();
      view_.setProgress(0);
      if (!converting_ || row_ >= view_.fileRowCount()) {
        endRun();
        return false;
      }
      startRow();
      return true;
    case Phase::kPumping:
      if (!converting_) {
        // Stopped: what was written so far is closed, tagged and kept.
        finishRow();
        endRun();
        return false;
      }
      pumpBlock();
      return true;
  }
  return false;
}

bool FileConversion::prepareRow() {
  const int row = row_;
  view_.showFileRow(row);
  sourcePath_ = view_.rowPath(row);
  std::error_code ec;
  if (!fs::exists(sourcePath_, ec)) {
    prompter_.inform(nullptr, sourcePath_ + texts::kHasBeenRemoved);
    return false;
  }
  outputPath_ = outputFolder_ + withExtension(view_.rowFileName(row), extension_);
  if (sameFile(sourcePath_, outputPath_)) {
    // Creating the result would destroy the source it is read from.
    prompter_.inform(nullptr, sourcePath_ + texts::kOntoItself);
    return false;
  }
  if (fs::exists(fs::symlink_status(outputPath_, ec))) {
    if (!prompter_.askYesNo(nullptr, texts::kFileHasExisted)) return false;
    fs::permissions(outputPath_, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add, ec);
  }
  return true;
}

void FileConversion::startRow() {
  const int row = row_;
  if (!prepareRow()) {
    ++row_;
    return;
  }
  view_.setRowStatus(row, texts::kStatusConverting);

  closeIfOpen(reader_.get());
  if (FAILED(reader_->OpenRead(com::Bstr(sourcePath_).get(), 0, 1)) || longOf(reader_.get(), &IAudioFile2::get_lengthSamples) <= 0) {
    // Gone bad since it was added: this row fails, the run goes on.
    prompter_.inform(nullptr, sourcePath_ + texts::kCannotRead);
    newReader();
    failRow();
    return;
  }
  closeIfOpen(writer_.get());
  if (FAILED(writer_->CreateOutputFile(com::Bstr(outputPath_).get(), 0)) ||
      longOf(writer_.get(), &IAudioFile2::get_FileStatus) != 0) {
    prompter_.inform(nullptr, texts::kWriteError);
    reader_->CloseFile();
    failRow();
    return;
  }
  const LONG rate = longOf(reader_.get(), &IAudioFile2::get_sampleRate);
  const LONG channels = longOf(reader_.get(), &IAudioFile2::get_channelCount);
  writer_->SetInputFormat(rate, channels);
  blockElements_ = std::max<LONG>(rate * channels, 1);  // one second of audio
  frameSize_ = std::max<LONG>(longOf(reader_.get(), &IAudioFile2::get_frameSize), 1);
  lengthFrames_ = longOf(reader_.get(), &IAudioFile2::get_lengthSamples);
  doneFrames_ = 0;
  meter_.reset();
  if (replayGain_) meter_.emplace(static_cast<unsigned>(channels), static_cast<unsigned long>(rate));
  phase_ = Phase::kPumping;
}

void FileConversion::pumpBlock() {
  SAFEARRAY* block = nullptr;
  if (FAILED(reader_->ReadSamples(blockElements_, &block))) {
    if (block != nullptr) SafeArrayDestroy(block);
    prompter_.inform(nullptr, sourcePath_ + texts::kCannotRead);
    failRow();
    return;
  }
  LONG upper = -1;
  if (block != nullptr) SafeArrayGetUBound(block, 1, &upper);
  if (block == nullptr || upper < 0) {
    if (block != nullptr) SafeArrayDestroy(block);
    view_.setProgress(100);
    finishRow();
    return;
  }
  if (meter_) client::AddSamples(*meter_, block);
  const HRESULT written = writer_->WriteSamples(block);
  SafeArrayDestroy(block);
  if (FAILED(written)) {
    prompter_.inform(nullptr, texts::kWriteError);
    failRow();
    return;
  }
  doneFrames_ = std::min<int64_t>(doneFrames_ + (upper + 1) / frameSize_, lengthFrames_);
  view_.setProgress(lengthFrames_ > 0 ? static_cast<int>(doneFrames_ * 100 / lengthFrames_) : 100);
}

void FileConversion::finishRow() {
  closeIfOpen(reader_.get());
  const bool closed = !isOpen(writer_.get()) || SUCCEEDED(writer_->CloseFile());
  if (!closed || longOf(writer_.get(), &IAudioFile2::get_FileStatus) != 0) {
    prompter_.inform(nullptr, texts::kWriteError);
    failRow();
    return;
  }
  copyTags();
  tagReplayGain();
  view_.setProgress(100);
  view_.setRowStatus(row_, texts::kStatusFinish);
  ++row_;
  phase_ = Phase::kNextRow;
}

void FileConversion::failRow() {
  closeIfOpen(reader_.get());
  closeIfOpen(writer_.get());
  view_.setRowStatus(row_, texts::kStatusFailed);
  ++row_;
  phase_ = Phase::kNextRow;
}

void FileConversion::copyTags() {
  // Only what the source holds: a source whose tags cannot be read would
  // otherwise pass on the previous file's.
  if (FAILED(information_->ReadInfo(com::Bstr(sourcePath_).get()))) return;
  information_->WriteInfo(com::Bstr(outputPath_).get());
}

// The track gain of what was written (the album of a set of files is not
// known to the converter).
void FileConversion::tagReplayGain() {
  const auto gain = meter_ ? client::TrackGain(*meter_) : std::nullopt;
  meter_.reset();
  if (gain) client::WriteReplayGainTags(information_.get(), outputPath_, *gain, std::nullopt);
}

void FileConversion::endRun() {
  phase_ = Phase::kIdle;
  converting_ = false;
  view_.setProgress(0);
  view_.setConverting(false);
}

}  // namespace quavern
