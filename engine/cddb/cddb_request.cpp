#include "engine/cddb/cddb_request.h"

#include <algorithm>
#include <cstdio>

#include "engine/cddb/cddb_options.h"

namespace engine::cddb {
namespace {

std::string Hello(std::string_view userEMail, std::string_view agent) {
  return "&hello=" + std::string(userEMail) + "+" + std::string(agent) + "&proto=6";
}

std::string FormSafe(std::string_view text) {
  std::string out;
  for (const char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (b <= 0x20 || b == 0x7F || c == '&' || c == '=' || c == '+' || c == '%') {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", b);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

std::string QueryBody(const device::DiscIdRecord& disc, std::string_view userEMail, std::string_view agent) {
  const int32_t count = std::clamp(disc.values[1], 0, device::kDiscIdMaxTracks);
  char piece[32];
  std::snprintf(piece, sizeof piece, "cmd=cddb+query+%08x+%d+", static_cast<uint32_t>(disc.values[0]), count);
  std::string body = piece;
  for (int32_t k = 0; k < count; ++k) {
    std::snprintf(piece, sizeof piece, "%d+", disc.values[2 + k]);
    body += piece;
  }
  std::snprintf(piece, sizeof piece, "%d", disc.values[2 + count]);
  body += PlusForAtAndBlank(piece + Hello(userEMail, agent));
  return body;
}

std::string ReadBody(std::string_view category, std::string_view discId, std::string_view userEMail,
                     std::string_view agent) {
  std::string body = "cmd=cddb+read+" + FormSafe(category) + "+" + FormSafe(discId);
  // The hello piece starts with "&", so the rule reaches every "@" and blank in it.
  return body + PlusForAtAndBlank(Hello(userEMail, agent));
}

std::string HttpRequest(std::string_view server, std::string_view cgiScript, std::string_view body) {
  std::string request = "POST http://" + std::string(server) + std::string(cgiScript) +
                        " HTTP/1.0\r\nContent-Type: application/x-www-form-urlencoded\r\n"
                        "User-Agent: Sampleyard 1.06\r\n";
  request += "Content-Length: " + std::to_string(body.size() + 2) + "\r\n\r\n";
  request += body;
  request += "\r\n";
  return request;
}

}  // namespace engine::cddb
