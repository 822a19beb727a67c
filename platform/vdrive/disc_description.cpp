#include "platform/vdrive/disc_description.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

#include "platform/vdrive/audio_synth.h"
#include "platform/vdrive/cue_image.h"
#include "platform/vdrive/image_error.h"

namespace platform::vdrive {

namespace {

// Every sample of both channels at one value: audio in which no position
// can be told from another.
class ConstantSamples final : public SectorSource {
 public:
  ConstantSamples(int16_t value, uint64_t bytes) : value_(static_cast<uint16_t>(value)), bytes_(bytes) {}
  bool read(uint64_t offsetBytes, std::span<uint8_t> out) const override {
    for (size_t i = 0; i < out.size(); ++i) {
      const uint64_t at = offsetBytes + i;
      out[i] = at >= bytes_ ? 0 : static_cast<uint8_t>(at % 2 == 0 ? value_ : value_ >> 8);
    }
    return true;
  }
  uint64_t sizeBytes() const override { return bytes_; }

 private:
  uint16_t value_;
  uint64_t bytes_;
};


// Pseudo-random user data for generated data tracks.
class DataPattern final : public SectorSource {
 public:
  DataPattern(uint64_t seed, uint64_t size) : seed_(seed), size_(size) {}
  bool read(uint64_t offsetBytes, std::span<uint8_t> out) const override {
    for (size_t i = 0; i < out.size(); ++i) {
      uint64_t at = offsetBytes + i;
      uint64_t x = (seed_ ^ (at / 8)) * 0x9E3779B97F4A7C15ull;
      x ^= x >> 29;
      out[i] = at < size_ ? static_cast<uint8_t>(x >> (8 * (at % 8))) : 0;
    }
    return true;
  }
  uint64_t sizeBytes() const override { return size_; }

 private:
  uint64_t seed_;
  uint64_t size_;
};

class DescriptionReader {
 public:
  explicit DescriptionReader(const std::string& name) : name_(name) {}

  Disc run(std::string_view text) {
    size_t pos = 0;
    while (pos <= text.size()) {
      ++line_;
      size_t end = text.find('\n', pos);
      if (end == std::string_view::npos) end = text.size();
      statement(text.substr(pos, end - pos));
      pos = end + 1;
    }
    if (tracks_.empty()) fail("the description has no track");
    closeSession();
    try {
      return Disc(std::move(tracks_), std::move(sessions_), std::move(extents_), text_);
    } catch (const ImageError& e) {
      throw ImageError(name_ + ": " + e.what());
    }
  }

 private:
  using Fields = std::map<std::string, std::string>;

  [[noreturn]] void fail(const std::string& what) const {
    throw ImageError(name_ + ":" + std::to_string(line_) + ": " + what);
  }

  Fields fields(std::string_view rest) const {
    Fields out;
    size_t i = 0;
    while (i < rest.size()) {
      if (std::isspace(static_cast<unsigned char>(rest[i]))) { ++i; continue; }
      size_t eq = rest.find('=', i);
      if (eq == std::string_view::npos) fail("expected key=value");
      std::string key(rest.substr(i, eq - i));
      if (key.empty() || key.find_first_of(" \t\"") != std::string::npos) fail("expected key=value");
      i = eq + 1;
      std::string value;
      if (i < rest.size() && rest[i] == '"') {
        size_t close = rest.find('"', i + 1);
        if (close == std::string_view::npos) fail("unterminated quoted text");
        value = rest.substr(i + 1, close - i - 1);
        i = close + 1;
      } else {
        size_t j = i;
        while (j < rest.size() && !std::isspace(static_cast<unsigned char>(rest[j]))) ++j;
        value = rest.substr(i, j - i);
        i = j;
      }
      if (!out.emplace(key, value).second) fail("'" + key + "' given twice");
    }
    return out;
  }

  std::string take(Fields& f, const std::string& key, const std::string& fallback = "") const {
    auto it = f.find(key);
    if (it == f.end()) return fallback;
    std::string v = it->second;
    f.erase(it);
    return v;
  }

  int64_t integer(const std::string& text, int64_t low, int64_t high, const std::string& what) const {
    int64_t v = 0;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc() || ptr != text.data() + text.size() || v < low || v > high)
      fail(what + " '" + text + "' is not a number from " + std::to_string(low) + " to " + std::to_string(high));
    return v;
  }

  int32_t frames(const std::string& text, const std::string& what) const {
    if (!text.empty() && text.back() == 's')
      return static_cast<int32_t>(integer(text.substr(0, text.size() - 1), 0, 6000, what) * kFramesPerSecond);
    if (!text.empty() && text.back() == 'f')
      return static_cast<int32_t>(integer(text.substr(0, text.size() - 1), 0, kLastMsfLba, what));
    auto f = parseFrameTime(text);
    if (!f || *f > kLastMsfLba) fail(what + " '" + text + "' is not a length (mm:ss:ff, 20s or 300f)");
    return *f;
  }

  bool flag(const std::string& text) const {
    if (text == "yes" || text == "1" || text == "true") return true;
    if (text.empty() || text == "no" || text == "0" || text == "false") return false;
    fail("'" + text + "' is not yes or no");
  }

  std::vector<int> progression(const std::string& text) const {
    static const char* const kDegrees[7] = {"i", "ii", "iii", "iv", "v", "vi", "vii"};
    std::vector<int> out;
    std::stringstream in(text);
    std::string part;
    while (std::getline(in, part, '-')) {
      std::string lower = part;
      for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      auto it = std::find_if(std::begin(kDegrees), std::end(kDegrees), [&](const char* d) { return lower == d; });
      if (it == std::end(kDegrees)) fail("'" + part + "' is not a scale degree (I … VII)");
      out.push_back(static_cast<int>(it - std::begin(kDegrees)));
    }
    if (out.empty() || out.size() > 64) fail("a progression needs 1 to 64 chords");
    return out;
  }

  int key(const std::string& text) const {
    static const char* const kNames[12] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
    for (int i = 0; i < 12; ++i)
      if (text == kNames[i]) return i;
    fail("'" + text + "' is not a key (C, C#, D, … B)");
  }

  void statement(std::string_view raw) {
    bool quoted = false;
    for (size_t i = 0; i < raw.size(); ++i) {
      if (raw[i] == '"') quoted = !quoted;
      if (raw[i] == '#' && !quoted) {
        raw = raw.substr(0, i);  // a comment runs to the end of the line
        break;
      }
    }
    while (!raw.empty() && std::isspace(static_cast<unsigned char>(raw.front()))) raw.remove_prefix(1);
    if (raw.empty()) return;
    size_t space = raw.find_first_of(" \t\r");
    std::string word(raw.substr(0, space));
    Fields f = fields(space == std::string_view::npos ? std::string_view{} : raw.substr(space));
    if (word == "disc") {
      if (!tracks_.empty()) fail("'disc' must come before the tracks");
      text_.title = take(f, "title");
      text_.performer = take(f, "artist");
      text_.songwriter = take(f, "songwriter");
      text_.catalog = take(f, "catalog");
      if (!text_.catalog.empty() && (text_.catalog.size() != 13 || text_.catalog.find_first_not_of("0123456789") != std::string::npos))
        fail("catalog '" + text_.catalog + "' is not 13 digits");
      seed_ = static_cast<uint64_t>(integer(take(f, "seed", "1"), 0, INT64_MAX, "seed"));
    } else if (word == "session") {
      if (tracks_.empty() || sessionFirstTrack_ > tracks_.back().number) fail("'session' needs tracks before it");
      closeSession();
      cursor_ += kSessionGapFrames;
      sessionFirstTrack_ = tracks_.back().number + 1;
      pendingSessionPregap_ = true;
    } else if (word == "track") {
      track(f);
    } else {
      fail("unknown statement '" + word.substr(0, 40) + "'");
    }
    if (!f.empty()) fail("unknown key '" + f.begin()->first + "'");
  }

  void track(Fields& f) {
    if (tracks_.size() >= 99) fail("a disc holds at most 99 tracks");
    Track t;
    t.number = static_cast<int>(tracks_.size()) + 1;
    t.session = static_cast<int>(sessions_.size()) + 1;
    std::string kind = take(f, "kind", "music");
    int32_t length = frames(take(f, "length", "30s"), "length");
    if (length < 1) fail("a track needs at least one frame");
    int32_t pregap = frames(take(f, "pregap", "0f"), "pregap");
    if (pendingSessionPregap_) pregap = std::max(pregap, kFirstPregapFrames);
    pendingSessionPregap_ = false;
    t.title = take(f, "title");
    t.performer = take(f, "performer");
    t.songwriter = take(f, "songwriter");
    t.isrc = take(f, "isrc");
    if (!t.isrc.empty() && (t.isrc.size() != 12 || !std::all_of(t.isrc.begin(), t.isrc.end(), [](char c) {
                              return std::isdigit(static_cast<unsigned char>(c)) || std::isupper(static_cast<unsigned char>(c));
                            })))
      fail("isrc '" + t.isrc + "' is not 12 capital letters and digits");
    t.preEmphasis = flag(take(f, "preemphasis"));
    t.copyPermitted = flag(take(f, "copy"));
    uint64_t seed = seed_ * 1000003 + static_cast<uint64_t>(integer(take(f, "seed", std::to_string(t.number)), 0, INT64_MAX, "seed"));

    std::shared_ptr<const SectorSource> source;
    const uint32_t samples = static_cast<uint32_t>(length) * kSamplesPerFrame;
    SynthSettings synth;
    synth.seed = seed;
    synth.lengthSamples = samples;
    if (kind == "music") {
      synth.kind = SynthSettings::Kind::Music;
      synth.keySemitones = key(take(f, "key", "C"));
      synth.progression = progression(take(f, "progression", "I-V-vi-IV"));
      synth.tempoBpm = static_cast<double>(integer(take(f, "tempo", "96"), 30, 300, "tempo"));
      synth.voicing = static_cast<int>(integer(take(f, "voicing", "0"), 0, 3, "voicing"));
      source = std::make_shared<AudioSynth>(synth);
    } else if (kind == "tone") {
      synth.kind = SynthSettings::Kind::Tone;
      synth.toneHz = static_cast<double>(integer(take(f, "freq", "440"), 1, 22050, "freq"));
      source = std::make_shared<AudioSynth>(synth);
    } else if (kind == "noise") {
      synth.kind = SynthSettings::Kind::Noise;
      source = std::make_shared<AudioSynth>(synth);
    } else if (kind == "data") {
      t.mode = TrackMode::Mode1Cooked;
      source = std::make_shared<DataPattern>(seed, uint64_t{2048} * static_cast<uint32_t>(length));
    } else if (kind == "level") {
      const auto value = static_cast<int16_t>(integer(take(f, "value", "1000"), -32768, 32767, "value"));
      source = std::make_shared<ConstantSamples>(value, uint64_t{samples} * 4);
    } else if (kind != "silence") {
      fail("unknown kind '" + kind + "' (music, tone, noise, level, silence, data)");
    }
    if (cursor_ + static_cast<int64_t>(pregap) + length > kLastMsfLba) fail("the disc is longer than 89:59:74");
    t.pregapStart = cursor_;
    if (pregap > 0) extents_.push_back(Extent{cursor_, pregap, t.mode, nullptr, 0});
    cursor_ += pregap;
    t.start = cursor_;
    t.indexStarts = {t.start};
    extents_.push_back(Extent{cursor_, length, t.mode, source, 0});
    cursor_ += length;
    t.end = cursor_;
    tracks_.push_back(std::move(t));
  }

  void closeSession() {
    Session s;
    s.number = static_cast<int>(sessions_.size()) + 1;
    s.firstTrack = sessionFirstTrack_;
    s.lastTrack = tracks_.back().number;
    s.leadOut = cursor_;
    sessions_.push_back(s);
  }

  std::string name_;
  int line_ = 0;
  uint64_t seed_ = 1;
  DiscText text_;
  std::vector<Track> tracks_;
  std::vector<Session> sessions_;
  std::vector<Extent> extents_;
  Lba cursor_ = 0;
  int sessionFirstTrack_ = 1;
  bool pendingSessionPregap_ = false;
};

std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ImageError("cannot open '" + path + "'");
  std::ostringstream text;
  text << in.rdbuf();
  if (text.str().size() > 1 << 20) throw ImageError("'" + path + "' is too large for a disc description");
  return text.str();
}

std::string baseName(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

Disc generateDisc(std::string_view description, const std::string& name) {
  return DescriptionReader(name).run(description);
}

Disc loadDescription(const std::string& path) { return generateDisc(readText(path), baseName(path)); }

Disc loadImage(const std::string& path) {
  bool cue = path.size() >= 4 && (path.compare(path.size() - 4, 4, ".cue") == 0 || path.compare(path.size() - 4, 4, ".CUE") == 0);
  return cue ? loadCueImage(path) : loadDescription(path);
}

}  // namespace platform::vdrive
