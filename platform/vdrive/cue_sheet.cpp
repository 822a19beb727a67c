#include "platform/vdrive/cue_sheet.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "platform/vdrive/image_error.h"

namespace platform::vdrive {

namespace {

std::string upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

class Parser {
 public:
  explicit Parser(const std::string& name) { sheet_.name = name; }

  CueSheet run(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // UTF-8 byte-order mark
    size_t pos = 0;
    while (pos <= text.size()) {
      ++line_;
      size_t end = text.find('\n', pos);
      if (end == std::string_view::npos) end = text.size();
      std::string_view raw = text.substr(pos, end - pos);
      if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
      parseLine(raw);
      pos = end + 1;
    }
    finishTrack();
    if (sheet_.tracks.empty()) fail("the sheet has no TRACK");
    return std::move(sheet_);
  }

 private:
  [[noreturn]] void fail(const std::string& what) const {
    throw ImageError(sheet_.name + ":" + std::to_string(line_) + ": " + what);
  }

  std::vector<std::string> tokenize(std::string_view raw) const {
    std::vector<std::string> tokens;
    size_t i = 0;
    while (i < raw.size()) {
      if (std::isspace(static_cast<unsigned char>(raw[i]))) {
        ++i;
      } else if (raw[i] == '"') {
        size_t close = raw.find('"', i + 1);
        if (close == std::string_view::npos) fail("unterminated quoted text");
        tokens.emplace_back(raw.substr(i + 1, close - i - 1));
        i = close + 1;
      } else {
        size_t j = i;
        while (j < raw.size() && !std::isspace(static_cast<unsigned char>(raw[j]))) ++j;
        tokens.emplace_back(raw.substr(i, j - i));
        i = j;
      }
    }
    return tokens;
  }

  int number(const std::string& text, int low, int high, const char* what) const {
    int value = -1;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || ptr != text.data() + text.size() || value < low || value > high)
      fail(std::string(what) + " '" + text + "' is not a number from " + std::to_string(low) + " to " +
           std::to_string(high));
    return value;
  }

  int32_t time(const std::string& text) const {
    auto frames = parseFrameTime(text);
    if (!frames || *frames > kLastMsfLba) fail("'" + text + "' is not a time mm:ss:ff on a disc");
    return *frames;
  }

  void expectArgs(const std::vector<std::string>& t, size_t count) const {
    if (t.size() != count + 1) fail(upper(t[0]) + " takes " + std::to_string(count) + " argument(s)");
  }

  CueTrack& currentTrack(const std::string& command) {
    if (!haveTrack_) fail(command + " outside a TRACK");
    return track_;
  }

  void finishTrack() {
    if (!haveTrack_) return;
    if (std::none_of(track_.indexes.begin(), track_.indexes.end(), [](const CueIndex& i) { return i.number == 1; })) {
      line_ = track_.line;
      fail("TRACK " + std::to_string(track_.number) + " has no INDEX 01");
    }
    sheet_.tracks.push_back(std::move(track_));
    track_ = CueTrack{};
    haveTrack_ = false;
  }

  void parseLine(std::string_view raw) {
    std::vector<std::string> t = tokenize(raw);
    if (t.empty()) return;
    std::string command = upper(t[0]);
    if (command == "REM") {
      if (t.size() >= 3 && upper(t[1]) == "SESSION") {
        int session = number(t[2], 1, 99, "session");
        if (session != session_ && session != session_ + 1) fail("REM SESSION " + t[2] + " out of order");
        if (haveTrack_ && session != session_) finishTrack();
        session_ = session;
      }
      return;  // other remarks (GENRE, DATE, DISCID, COMMENT, LEAD-OUT …) carry nothing a drive shows
    }
    if (command == "FILE") {
      if (t.size() != 3) fail("FILE takes a name and a type");
      CueFile file{t[1], CueFile::Type::Binary, line_};
      std::string type = upper(t[2]);
      if (type == "BINARY") file.type = CueFile::Type::Binary;
      else if (type == "MOTOROLA") file.type = CueFile::Type::Motorola;
      else if (type == "WAVE") file.type = CueFile::Type::Wave;
      else fail("FILE type " + t[2] + " is not supported (BINARY, MOTOROLA or WAVE)");
      if (file.name.empty()) fail("FILE has an empty name");
      sheet_.files.push_back(std::move(file));
      return;
    }
    if (command == "TRACK") {
      expectArgs(t, 2);
      if (sheet_.files.empty()) fail("TRACK before any FILE");
      int n = number(t[1], 1, 99, "track number");
      int previous = haveTrack_ ? track_.number : (sheet_.tracks.empty() ? 0 : sheet_.tracks.back().number);
      if (previous != 0 && n != previous + 1)
        fail("TRACK " + t[1] + " out of order (after track " + std::to_string(previous) + ")");
      finishTrack();
      std::string mode = upper(t[2]);
      TrackMode m;
      if (mode == "AUDIO") m = TrackMode::Audio;
      else if (mode == "MODE1/2352") m = TrackMode::Mode1Raw;
      else if (mode == "MODE1/2048") m = TrackMode::Mode1Cooked;
      else if (mode == "MODE2/2352") m = TrackMode::Mode2Raw;
      else if (mode == "MODE2/2336") m = TrackMode::Mode2Cooked;
      else fail("track mode " + t[2] + " is not supported");
      haveTrack_ = true;
      track_.number = n;
      track_.mode = m;
      track_.session = session_;
      track_.line = line_;
      return;
    }
    if (command == "INDEX") {
      CueTrack& track = currentTrack(command);
      expectArgs(t, 2);
      int n = number(t[1], 0, 99, "index number");
      int32_t frame = time(t[2]);
      if (track.indexes.empty() ? n > 1 : n != track.indexes.back().number + 1)
        fail("INDEX " + t[1] + " out of order");
      if (track.postgapFrames > 0) fail("INDEX after POSTGAP");
      CueIndex index{n, sheet_.files.size() - 1, frame, line_};
      if (!track.indexes.empty() && index.file == track.indexes.back().file && frame < track.indexes.back().frame)
        fail("INDEX " + t[1] + " lies before the previous index");
      const CueTrack* previous = sheet_.tracks.empty() ? nullptr : &sheet_.tracks.back();
      if (track.indexes.empty() && previous && previous->indexes.back().file == index.file &&
          frame < previous->indexes.back().frame)
        fail("INDEX " + t[1] + " lies before the previous track's last index");
      track.indexes.push_back(index);
      return;
    }
    if (command == "PREGAP" || command == "POSTGAP") {
      CueTrack& track = currentTrack(command);
      expectArgs(t, 1);
      int32_t frames = time(t[1]);
      if (command == "PREGAP") {
        if (!track.indexes.empty()) fail("PREGAP after INDEX");
        track.pregapFrames = frames;
      } else {
        if (track.indexes.empty()) fail("POSTGAP before INDEX");
        track.postgapFrames = frames;
      }
      return;
    }
    if (command == "FLAGS") {
      CueTrack& track = currentTrack(command);
      for (size_t i = 1; i < t.size(); ++i) {
        std::string flag = upper(t[i]);
        if (flag == "PRE") track.preEmphasis = true;
        else if (flag == "DCP") track.copyPermitted = true;
        else if (flag == "4CH") track.fourChannel = true;
        else if (flag == "SCMS" || flag == "DATA") continue;
        else fail("unknown flag " + t[i]);
      }
      return;
    }
    if (command == "ISRC") {
      CueTrack& track = currentTrack(command);
      expectArgs(t, 1);
      if (t[1].size() != 12 || !std::all_of(t[1].begin(), t[1].end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)); }))
        fail("ISRC '" + t[1] + "' is not 12 letters and digits");
      track.isrc = upper(t[1]);
      return;
    }
    if (command == "CATALOG") {
      expectArgs(t, 1);
      if (t[1].size() != 13 || !std::all_of(t[1].begin(), t[1].end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
        fail("CATALOG '" + t[1] + "' is not 13 digits");
      sheet_.catalog = t[1];
      return;
    }
    if (command == "TITLE" || command == "PERFORMER" || command == "SONGWRITER") {
      expectArgs(t, 1);
      std::string& target = haveTrack_ ? (command == "TITLE"       ? track_.title
                                          : command == "PERFORMER" ? track_.performer
                                                                   : track_.songwriter)
                                       : (command == "TITLE"       ? sheet_.title
                                          : command == "PERFORMER" ? sheet_.performer
                                                                   : sheet_.songwriter);
      target = t[1];
      return;
    }
    static const char* const kIgnored[] = {"COMPOSER", "ARRANGER", "MESSAGE", "CDTEXTFILE",
                                           "DISC_ID", "GENRE", "UPC_EAN", "TOC_INFO1", "TOC_INFO2", "SIZE_INFO"};
    for (const char* ignored : kIgnored)
      if (command == ignored) return;
    fail("unknown command '" + t[0].substr(0, 40) + "'");
  }

  CueSheet sheet_;
  CueTrack track_;  // the track being read, valid while haveTrack_
  bool haveTrack_ = false;
  int session_ = 1;
  int line_ = 0;
};

}  // namespace

CueSheet parseCueSheet(std::string_view text, const std::string& name) { return Parser(name).run(text); }

}  // namespace platform::vdrive
