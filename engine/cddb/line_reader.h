// Reads CDDB reply text line by line. Lines end with CR LF. A line read into
// a buffer of capacity L keeps at most L - 2 bytes (cut on a character
// boundary); the rest of a longer line is skipped. A tail without CR LF reads
// as an empty line and ends the text. The reader never looks outside the text
// it was given.
#pragma once

#include <cstddef>
#include <string_view>

namespace engine::cddb {

class LineReader {
 public:
  explicit LineReader(std::string_view text) : text_(text) {}

  // The next line (a view into the text) and the cursor moved past it.
  std::string_view next(size_t capacity);
  bool atEnd() const { return cursor_ >= text_.size(); }

 private:
  std::string_view text_;
  size_t cursor_ = 0;
};

}  // namespace engine::cddb
