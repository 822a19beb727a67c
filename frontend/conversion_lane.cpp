#include "frontend/conversion_lane.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "frontend/file_conversion.h"
#include "frontend/seams.h"
#include "frontend/rip_batch.h"
#include "frontend/settings/settings_store.h"
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

template <class I>
com::ComPtr<I> make(REFCLSID clsid, REFIID iid) {
  com::ComPtr<I> object;
  if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, object.putVoid()))) object.reset();
  return object;
}

}  // namespace

int defaultFilesAtOnce() {
  const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  return std::min(cores, kMostFilesAtOnce);
}

int readFilesAtOnce(const SettingsStore& settings) {
  return std::clamp(settings.readInt("convert", "files at once", defaultFilesAtOnce()), 1, kMostFilesAtOnce);
}

bool readConvertReplayGain(const SettingsStore& settings) { return settings.readBool("convert", "replaygain", false); }

LaneFormat readLaneFormat(const SettingsStore& settings, int format) {
  LaneFormat f;
  f.format = format;
  f.mp3 = readMp3Settings(settings);
  f.wmaProfile = readWmaProfile(settings);
  f.ogg = readOggSettings(settings);
  f.flacLevel = readFlacCompressionLevel(settings);
  f.replayGain = readConvertReplayGain(settings);
  return f;
}

ConversionLane::~ConversionLane() {
  stop();
  thread_.join();
}

void ConversionLane::start(int row, std::string source, std::string output, const LaneFormat& format) {
  row_ = row;
  source_ = std::move(source);
  output_ = std::move(output);
  busy_ = true;
  stop_.store(false);
  done_.store(false);
  percent_.store(0);
  thread_ = com::ComThread([this, format] {
    convert(format);
    done_.store(true);
  });
}

ConversionLane::Outcome ConversionLane::collect() {
  thread_.join();
  busy_ = false;
  return outcome_;
}

void ConversionLane::convert(const LaneFormat& format) {
  auto reader = make<IAudioFile2>(CLSID_AudioFile2, IID_IAudioFile2);
  auto writer = make<IAudioFile2>(CLSID_AudioFile2, IID_IAudioFile2);
  auto mp3 = make<IAudioFile2LameEnc>(CLSID_AudioFile2LameEnc, IID_IAudioFile2LameEnc);
  auto information = make<IAudioInformation2>(CLSID_AudioInformation2, IID_IAudioInformation2);
  outcome_ = Outcome::kWriteError;
  if (!reader || !writer || !mp3 || !information) return;
  reader->put_codecOption(VARIANT_TRUE);
  writer->put_codecOption(VARIANT_TRUE);
  mp3->put_WritingVBRHeader(TRUE);
  information->put_infoOption(VARIANT_TRUE);
  // The run checked the combination on the window's thread before it began.
  switch (format.format) {
    case FileConversion::kWav: writer->SetFormatPCM(44100, 2, 16); break;
    case FileConversion::kWma: handWmaToCodec(writer.get(), format.wmaProfile); break;
    case FileConversion::kOgg: handOggToCodec(writer.get(), format.ogg); break;
    case FileConversion::kFlac: writer->SetFormatFLAC(format.flacLevel); break;
    default: handMp3ToCodec(writer.get(), mp3.get(), format.mp3); break;
  }

  if (FAILED(reader->OpenRead(com::Bstr(source_).get(), 0, 1)) ||
      longOf(reader.get(), &IAudioFile2::get_lengthSamples) <= 0) {
    reader->CloseFile();
    outcome_ = Outcome::kCannotRead;
    return;
  }
  if (FAILED(writer->CreateOutputFile(com::Bstr(output_).get(), 0)) ||
      longOf(writer.get(), &IAudioFile2::get_FileStatus) != 0) {
    reader->CloseFile();
    writer->CloseFile();
    return;
  }
  const LONG rate = longOf(reader.get(), &IAudioFile2::get_sampleRate);
  const LONG channels = longOf(reader.get(), &IAudioFile2::get_channelCount);
  writer->SetInputFormat(rate, channels);
  const LONG blockElements = std::max<LONG>(rate * channels, 1);  // one second of audio
  const LONG frameSize = std::max<LONG>(longOf(reader.get(), &IAudioFile2::get_frameSize), 1);
  const int64_t lengthFrames = longOf(reader.get(), &IAudioFile2::get_lengthSamples);
  int64_t doneFrames = 0;
  bool failed = false;
  // The track's loudness from the samples as they pass to the codec.
  std::optional<client::LoudnessMeter> meter;
  if (format.replayGain) meter.emplace(static_cast<unsigned>(channels), static_cast<unsigned long>(rate));
  // Stop ends the file at a block: what was written so far is closed,
  // tagged and kept, as the one-at-a-time run keeps it.
  while (!stop_.load()) {
    SAFEARRAY* block = nullptr;
    if (FAILED(reader->ReadSamples(blockElements, &block))) {
      if (block != nullptr) SafeArrayDestroy(block);
      outcome_ = Outcome::kCannotRead;
      failed = true;
      break;
    }
    LONG upper = -1;
    if (block != nullptr) SafeArrayGetUBound(block, 1, &upper);
    if (block == nullptr || upper < 0) {
      if (block != nullptr) SafeArrayDestroy(block);
      break;
    }
    if (meter) client::AddSamples(*meter, block);
    const HRESULT written = writer->WriteSamples(block);
    SafeArrayDestroy(block);
    if (FAILED(written)) {
      outcome_ = Outcome::kWriteError;
      failed = true;
      break;
    }
    doneFrames = std::min<int64_t>(doneFrames + (upper + 1) / frameSize, lengthFrames);
    percent_.store(lengthFrames > 0 ? static_cast<int>(doneFrames * 100 / lengthFrames) : 100);
  }
  reader->CloseFile();
  const bool closed = SUCCEEDED(writer->CloseFile());
  if (failed) return;
  if (!closed || longOf(writer.get(), &IAudioFile2::get_FileStatus) != 0) {
    outcome_ = Outcome::kWriteError;
    return;
  }
  // Only what the source holds (as the one-at-a-time run).
  if (SUCCEEDED(information->ReadInfo(com::Bstr(source_).get()))) information->WriteInfo(com::Bstr(output_).get());
  if (const auto gain = meter ? client::TrackGain(*meter) : std::nullopt)
    client::WriteReplayGainTags(information.get(), output_, *gain, std::nullopt);
  percent_.store(100);
  outcome_ = Outcome::kFinished;
}

// FileConversion's run over several lanes ------------------------------------

bool FileConversion::stepLanes() {
  bool changed = false;
  for (auto& lane : lanes_) {
    if (!lane->busy() || !lane->done()) continue;
    changed = true;
    switch (lane->collect()) {
      case ConversionLane::Outcome::kFinished: view_.setRowStatus(lane->row(), texts::kStatusFinish); break;
      case ConversionLane::Outcome::kCannotRead:
        prompter_.inform(nullptr, lane->source() + texts::kCannotRead);
        view_.setRowStatus(lane->row(), texts::kStatusFailed);
        break;
      case ConversionLane::Outcome::kWriteError:
        prompter_.inform(nullptr, texts::kWriteError);
        view_.setRowStatus(lane->row(), texts::kStatusFailed);
        break;
    }
  }
  for (auto& lane : lanes_) {
    if (!converting_) {
      if (lane->busy()) lane->stop();  // every running file ends whole
      continue;
    }
    while (!lane->busy() && row_ < view_.fileRowCount()) {
      // Two rows of one name go to one file: the later waits for the
      // earlier's end and is then asked about it, as one at a time.
      const std::string next = outputFolder_ + withExtension(view_.rowFileName(row_), extension_);
      if (std::any_of(lanes_.begin(), lanes_.end(), [&](const auto& l) { return l->busy() && l->output() == next; }))
        break;
      changed = true;
      // The checks and questions of the one-at-a-time run, on this thread.
      if (!prepareRow()) {
        ++row_;
        continue;
      }
      view_.setRowStatus(row_, texts::kStatusConverting);
      lane->start(row_, sourcePath_, outputPath_, laneFormat_);
      ++row_;
    }
  }
  int running = 0;
  int percent = 0;
  for (auto& lane : lanes_) {
    if (!lane->busy()) continue;
    ++running;
    percent += lane->percent();
  }
  if (running == 0 && (!converting_ || row_ >= view_.fileRowCount())) {
    lanes_.clear();
    endRun();
    return false;
  }
  // The bar follows the files being converted, as it follows the one file.
  view_.setProgress(running > 0 ? percent / running : 0);
  if (!changed) std::this_thread::sleep_for(std::chrono::milliseconds(10));  // the lanes work meanwhile
  return true;
}

}  // namespace quavern
