// The track titles of one disc, picked out of CDDB entry text: the lines
// "TTITLEn=text" give the title of track n+1 (n of one or two digits, 0 to
// 98). A title that the entry splits over several lines of the same number
// is joined, up to 254 bytes. Other lines are ignored, and so are lines whose
// number is missing, not decimal or beyond 98.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>

namespace engine::cddb {

inline constexpr int kMaxTrackTitles = 99;
inline constexpr size_t kTrackTitleBytes = 254;
inline constexpr size_t kTitleLineCapacity = 254;  // entry lines read, 252 bytes each

class TrackTitles {
 public:
  // Called after every line with the number of the last title line seen
  // (0 before any) and that title, for the engine's log.
  using LineObserver = std::function<void(int index, const std::string& title)>;

  void clear();
  // Adds the titles of an entry text to those held.
  void addEntry(std::string_view entryText, const LineObserver& observer = {});
  // Title of track index+1; "" for an index out of range or without a title.
  const std::string& title(int index) const;

 private:
  std::array<std::string, kMaxTrackTitles> titles_;
};

// A title made fit for a file name: the nine characters * ? | : " / \ < >
// that file systems (or the front end's users' ones) refuse are removed.
// Everything else stays; choosing the extension is the caller's part.
std::string CleanFileTitle(std::string_view title);

}  // namespace engine::cddb
