#include "client/ctdb_lookup.h"

#include <pugixml.hpp>

#include <algorithm>
#include <charconv>
#include <cstdlib>

namespace client {
namespace {

bool ParseHex32(std::string_view text, uint32_t& value) {
  if (text.empty() || text.size() > 8) return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
  return ec == std::errc() && end == text.data() + text.size();
}

bool ParseCount(std::string_view text, long& value) {
  if (text.empty() || text.size() > 9) return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && value >= 0;
}

std::string_view LocalName(const char* name) {
  std::string_view n(name);
  const size_t colon = n.rfind(':');
  return colon == std::string_view::npos ? n : n.substr(colon + 1);
}

}  // namespace

std::string DefaultCtdbServer() {
  const char* chosen = std::getenv("RIPMARROW_CTDB_SERVER");
  return chosen != nullptr && chosen[0] != '\0' ? chosen : kDefaultCtdbServer;
}

std::optional<CtdbServer> ParseCtdbServer(std::string_view text, std::string& error) {
  CtdbServer out;
  if (text == "none") {
    out.none = true;
    return out;
  }
  const std::optional<HttpBase> base = ParseHttpBase(text, error);
  if (!base) return std::nullopt;
  out.https = base->https;
  out.server = base->server;
  out.pathPrefix = base->path;
  return out;
}

std::optional<std::vector<CtdbEntry>> ParseCtdbAnswer(std::string_view xml, std::string& error) {
  pugi::xml_document doc;
  // No entity expansion beyond the predefined ones: pugixml never fetches
  // or expands external entities.
  const pugi::xml_parse_result parsed = doc.load_buffer(xml.data(), xml.size(), pugi::parse_default);
  if (!parsed) {
    error = std::string("not XML: ") + parsed.description();
    return std::nullopt;
  }
  const pugi::xml_node root = doc.document_element();
  if (LocalName(root.name()) != "ctdb") {
    error = "not a CUETools database answer";
    return std::nullopt;
  }
  std::vector<CtdbEntry> entries;
  for (const pugi::xml_node node : root.children()) {
    if (node.type() != pugi::node_element || LocalName(node.name()) != "entry") continue;
    CtdbEntry e;
    long id = 0;
    if (!ParseCount(node.attribute("id").value(), id) || !ParseHex32(node.attribute("crc32").value(), e.crc32) ||
        !ParseCount(node.attribute("confidence").value(), e.confidence)) {
      continue;  // an entry that cannot be judged by
    }
    e.id = static_cast<uint32_t>(id);
    (void)ParseCount(node.attribute("npar").value(), e.npar);
    (void)ParseCount(node.attribute("stride").value(), e.stride);
    e.hasParity = node.attribute("hasparity").value();
    e.syndrome = node.attribute("syndrome").value();
    e.toc = node.attribute("toc").value();
    std::string_view crcs = node.attribute("trackcrcs").value();
    bool ok = true;
    while (!crcs.empty() && ok) {
      const size_t space = crcs.find(' ');
      const std::string_view one = crcs.substr(0, space);
      uint32_t crc = 0;
      if (!one.empty()) {
        ok = ParseHex32(one, crc);
        e.trackCrcs.push_back(crc);
      }
      crcs = space == std::string_view::npos ? std::string_view() : crcs.substr(space + 1);
    }
    if (ok) entries.push_back(std::move(e));
  }
  return entries;
}

std::string CtdbToc(const proof::DiscLayout& layout) {
  std::string toc;
  for (const proof::DiscTrack& t : layout.tracks) {
    if (t.data) toc += '-';
    toc += std::to_string(t.startLba) + ":";
  }
  return toc + std::to_string(layout.leadOutLba);
}

CtdbLookup LookUpCtdb(const CtdbServer& server, const proof::DiscLayout& layout, const HttpLimits& limits) {
  CtdbLookup lookup;
  if (server.none || layout.tracks.empty()) return lookup;
  HttpLimits bounded = limits;
  bounded.timeoutMs = std::min(bounded.timeoutMs, kCtdbTimeoutMs);
  const std::string path = server.pathPrefix + "/lookup2.php?version=3&ctdb=1&fuzzy=1&toc=" + CtdbToc(layout);
  HttpGetResult got;
  if (server.https) {
    HttpRequest request;
    request.url = "https://" + server.server.host + ":" + std::to_string(server.server.port) + path;
    got = HttpGetUrl(request, bounded);
  } else {
    got = HttpGet(server.server, path, bounded);
  }
  if (got.status == HttpGetStatus::kNotFound) {
    lookup.status = CtdbStatus::kNotInDatabase;
    return lookup;
  }
  if (got.status != HttpGetStatus::kOk) {
    lookup.status = CtdbStatus::kNoAnswer;
    lookup.why = HttpGetStatusText(got.status);
    return lookup;
  }
  std::string error;
  auto entries = ParseCtdbAnswer(got.body, error);
  if (!entries) {
    lookup.status = CtdbStatus::kNoAnswer;
    lookup.why = error;
    return lookup;
  }
  lookup.status = entries->empty() ? CtdbStatus::kNotInDatabase : CtdbStatus::kFound;
  lookup.entries = std::move(*entries);
  return lookup;
}

long CtdbTrackConfidence(const CtdbLookup& lookup, size_t audioIndex, const std::vector<uint32_t>& crcs) {
  long best = 0;
  for (const CtdbEntry& e : lookup.entries) {
    if (audioIndex >= e.trackCrcs.size()) continue;
    if (std::find(crcs.begin(), crcs.end(), e.trackCrcs[audioIndex]) != crcs.end())
      best = std::max(best, e.confidence);
  }
  return best;
}

std::string CtdbVerdictText(const CtdbLookup& lookup, long confidence) {
  switch (lookup.status) {
    case CtdbStatus::kNotAsked: return "not asked";
    case CtdbStatus::kNoAnswer: return "no answer";
    case CtdbStatus::kNotInDatabase: return "disc not in CTDB";
    case CtdbStatus::kFound: break;
  }
  return confidence > 0 ? "accurate (CTDB), confidence " + std::to_string(confidence) : "not accurate (CTDB)";
}

}  // namespace client
