#include "engine/cddb/track_titles.h"

#include "engine/cddb/cddb_text.h"
#include "engine/cddb/line_reader.h"

namespace engine::cddb {

void TrackTitles::clear() {
  for (std::string& t : titles_) t.clear();
}

void TrackTitles::addEntry(std::string_view entryText, const LineObserver& observer) {
  LineReader reader(entryText);
  int current = 0;
  while (!reader.atEnd()) {
    const std::string_view line = reader.next(kTitleLineCapacity);
    if (line.substr(0, 6) == "TTITLE") {
      size_t at = 6;
      int index = 0;
      while (at < line.size() && at < 9 && line[at] >= '0' && line[at] <= '9') index = index * 10 + (line[at++] - '0');
      // One or two digits and then "=": three digits (track 100 and up) or
      // none are not track lines of ours.
      if (at > 6 && at < 9 && at < line.size() && line[at] == '=' && index < kMaxTrackTitles) {
        current = index;
        std::string& title = titles_[size_t(index)];
        title += line.substr(at + 1);
        title = std::string(CutUtf8(title, kTrackTitleBytes));
      }
    }
    if (observer) observer(current, titles_[size_t(current)]);
  }
}

const std::string& TrackTitles::title(int index) const {
  static const std::string kEmpty;
  return index >= 0 && index < kMaxTrackTitles ? titles_[size_t(index)] : kEmpty;
}

std::string CleanFileTitle(std::string_view title) {
  std::string out;
  for (const char c : title) {
    if (std::string_view("*?|:\"/\\<>").find(c) == std::string_view::npos) out += c;
  }
  return out;
}

}  // namespace engine::cddb
