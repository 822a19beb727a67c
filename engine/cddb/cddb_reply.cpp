#include "engine/cddb/cddb_reply.h"

#include <cctype>

#include "engine/cddb/cddb_text.h"
#include "engine/cddb/line_reader.h"
#include "engine/device/device_log.h"

namespace engine::cddb {
namespace {

bool IsHex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

size_t SkipBlanks(std::string_view line, size_t at) {
  while (at < line.size() && line[at] == ' ') ++at;
  return at;
}

}  // namespace

std::string_view ReplyBody(std::string_view reply) {
  if (reply.substr(0, 4) != "HTTP") return reply;
  const size_t blank = reply.find("\r\n\r\n");
  return blank == std::string_view::npos ? reply : reply.substr(blank + 4);
}

int ReplyStatus(std::string_view body) {
  if (body.size() < 3) return 0;
  int status = 0;
  for (size_t i = 0; i < 3; ++i) {
    if (body[i] < '0' || body[i] > '9') return 0;
    status = status * 10 + (body[i] - '0');
  }
  return status;
}

bool ParseMatchLine(std::string_view line, CddbMatch& match) {
  // Category: 1 to 11 characters, then a blank.
  const size_t categoryEnd = line.find(' ');
  if (categoryEnd == std::string_view::npos || categoryEnd == 0 || categoryEnd > 11) return false;
  const std::string_view category = line.substr(0, categoryEnd);

  // Disc identifier: 1 to 8 hexadecimal digits, then a blank.
  size_t at = SkipBlanks(line, categoryEnd);
  const size_t idStart = at;
  while (at < line.size() && at - idStart < 8 && IsHex(line[at])) ++at;
  if (at == idStart || at >= line.size() || line[at] != ' ') return false;
  const std::string_view discId = line.substr(idStart, at - idStart);

  // Artist: up to 80 bytes before the "/", one trailing blank dropped.
  at = SkipBlanks(line, at);
  const size_t slash = line.find('/', at);
  const size_t artistEnd = slash == std::string_view::npos ? line.size() : slash;
  if (artistEnd - at > 80 || slash == std::string_view::npos) return false;
  std::string_view artist = line.substr(at, artistEnd - at);
  if (!artist.empty() && artist.back() == ' ') artist.remove_suffix(1);

  // Title: the rest, up to 79 bytes, one trailing CR or LF dropped.
  at = SkipBlanks(line, slash + 1);
  std::string_view title = CutUtf8(line.substr(at), 79);
  if (!title.empty() && (title.back() == '\r' || title.back() == '\n')) title.remove_suffix(1);

  CopyToField(category, match.category, sizeof match.category);
  CopyToField(discId, match.discId, sizeof match.discId);
  CopyToField(artist, match.artist, sizeof match.artist);
  CopyToField(title, match.title, sizeof match.title);
  device::DeviceLog("Reply from FreeDB: Artist ");
  device::DeviceLog(match.artist);
  device::DeviceLog("Reply from FreeDB: Title");
  device::DeviceLog(match.title);
  return true;
}

int32_t ParseQueryReply(std::string_view reply, CddbMatch* items, int32_t capacity) {
  if (items == nullptr || capacity <= 0) return 0;
  LineReader reader(ReplyBody(reply));
  const std::string_view statusLine = reader.next(kStatusLineCapacity);
  switch (ReplyStatus(statusLine)) {
    case 200:
      if (statusLine.size() < 4 || !ParseMatchLine(statusLine.substr(4), items[0])) return 0;
      items[0].exact = 1;
      return 1;
    case 211: {
      int32_t count = 0;
      for (int i = 0; i < kMaxInexactLines && count < capacity && !reader.atEnd(); ++i) {
        const std::string_view line = reader.next(kStatusLineCapacity);
        if (line == ".") break;
        if (ParseMatchLine(line, items[count])) items[count++].exact = 0;
      }
      return count;
    }
    default:
      return 0;
  }
}

std::optional<std::string_view> ReadReplyEntry(std::string_view reply) {
  const std::string_view body = ReplyBody(reply);
  if (body.substr(0, 3) != "210") return std::nullopt;
  const size_t lineEnd = body.find('\n');
  if (lineEnd == std::string_view::npos) return std::nullopt;
  return body.substr(lineEnd + 1);
}

}  // namespace engine::cddb
