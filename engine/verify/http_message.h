// The text of an HTTP/1.0 GET and the reading of the answer's head: pure
// functions over bytes, for the GET client.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace engine::verify {

// "GET <path> HTTP/1.0", Host, User-Agent and Connection: close, CR LF ends.
std::string HttpGetRequest(std::string_view host, std::string_view path);

struct HttpHead {
  int status = 0;                     // 100..599
  size_t headBytes = 0;               // status line and headers, blank line included
  std::optional<size_t> contentLength;
};

// The head at the start of `answer` once it is complete (its blank line
// received). Nothing while it is incomplete; `bad` is set when what is there
// cannot be an HTTP answer (no "HTTP/1.x NNN" status line, or a
// Content-Length that is not a number).
std::optional<HttpHead> ReadHttpHead(std::string_view answer, bool& bad);

}  // namespace engine::verify
