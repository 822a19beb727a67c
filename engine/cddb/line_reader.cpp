#include "engine/cddb/line_reader.h"

#include "engine/cddb/cddb_text.h"

namespace engine::cddb {

std::string_view LineReader::next(size_t capacity) {
  const std::string_view rest = text_.substr(cursor_);
  const size_t end = rest.find("\r\n");
  if (end == std::string_view::npos) {
    cursor_ = text_.size();
    return {};
  }
  cursor_ += end + 2;
  return CutUtf8(rest.substr(0, end), capacity >= 2 ? capacity - 2 : 0);
}

}  // namespace engine::cddb
