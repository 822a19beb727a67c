#include "engine/verify/http_message.h"

#include <algorithm>
#include <cctype>


namespace engine::verify {
namespace {

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// Decimal digits only, at most 15 of them (no overflow, and far beyond any cap).
std::optional<size_t> Decimal(std::string_view s) {
  if (s.empty() || s.size() > 15) return std::nullopt;
  size_t value = 0;
  for (const char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + size_t(c - '0');
  }
  return value;
}

}  // namespace

std::string HttpGetRequest(std::string_view host, std::string_view path) {
  std::string request = "GET ";
  request.append(path);
  request += " HTTP/1.0\r\nHost: ";
  request.append(host);
  request += "\r\nUser-Agent: Ripmarrow\r\nConnection: close\r\n\r\n";
  return request;
}

std::optional<HttpHead> ReadHttpHead(std::string_view answer, bool& bad) {
  bad = false;
  // The status line can be judged as soon as its first 12 bytes are here.
  constexpr std::string_view kVersion = "HTTP/1.";
  const size_t judged = std::min(answer.size(), size_t(12));
  for (size_t i = 0; i < judged; ++i) {
    const char c = answer[i];
    const bool ok = i < 7    ? c == kVersion[i]
                    : i == 7 ? (c >= '0' && c <= '9')
                    : i == 8 ? c == ' '
                    : i < 12 ? (c >= '0' && c <= '9')
                             : true;
    if (!ok) {
      bad = true;
      return std::nullopt;
    }
  }
  const size_t end = answer.find("\r\n\r\n");
  if (end == std::string_view::npos) return std::nullopt;

  HttpHead head;
  head.headBytes = end + 4;
  head.status = (answer[9] - '0') * 100 + (answer[10] - '0') * 10 + (answer[11] - '0');
  if (head.status < 100 || head.status > 599) {
    bad = true;
    return std::nullopt;
  }
  size_t at = answer.find("\r\n") + 2;
  while (at < end) {
    const size_t lineEnd = answer.find("\r\n", at);
    const std::string_view line = answer.substr(at, lineEnd - at);
    at = lineEnd + 2;
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos || !EqualsNoCase(Trim(line.substr(0, colon)), "Content-Length")) continue;
    head.contentLength = Decimal(Trim(line.substr(colon + 1)));
    if (!head.contentLength) {
      bad = true;
      return std::nullopt;
    }
  }
  return head;
}

}  // namespace engine::verify
