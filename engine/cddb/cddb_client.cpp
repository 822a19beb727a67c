#include "engine/cddb/cddb_client.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/cddb/cddb_exchange.h"
#include "engine/cddb/cddb_options.h"
#include "engine/cddb/cddb_reply.h"
#include "engine/cddb/cddb_request.h"
#include "engine/cddb/cddb_text.h"
#include "engine/cddb/cdplayer_ini.h"
#include "engine/cddb/disc_key.h"
#include "engine/device/device_types.h"
#include "engine/device/toc.h"

namespace engine::cddb {
namespace {

void QueryOnline(const device::DiscIdRecord& disc, uint32_t key, CddbMatchList& list) {
  const CddbOptions options = CurrentCddbOptions();
  const std::string reply = DecodeCddbText(
      CddbExchange(options.cgiScript, QueryBody(disc, options.userEMail, options.agent), kQueryReplyBytes));
  list.count = ParseQueryReply(reply, list.items, list.count);
  for (int32_t i = 0; i < list.count; ++i) {
    // The parser left 1 to 8 hexadecimal digits, NUL-terminated.
    const auto id = static_cast<uint32_t>(std::strtoul(list.items[i].discId, nullptr, 16));
    DiscKeyCacheRecord(key, id, uint32_t(disc.values[1]));
  }
}

void QueryOffline(uint32_t key, CddbMatchList& list) {
  char keyText[12];
  std::snprintf(keyText, sizeof keyText, "%X", key);
  if (key == 0 || CdPlayerIniTrackCount(keyText) == 0) {
    list.count = 0;
    return;
  }
  CddbMatch& item = list.items[0];
  CopyToField(kCdPlayerIniCategory, item.category, sizeof item.category);
  CopyToField(keyText, item.discId, sizeof item.discId);
  item.exact = 1;
  list.count = 1;
}

}  // namespace

bool CddbReadDisc(int32_t drive, CddbDisc& out) {
  if (device::ComputeDiscIdChecked(drive, out.disc) != device::kResultOk) return false;
  out.key = CdPlayerKey(drive);
  return true;
}

namespace {

// The list's checks, shared by both forms: false when the query ends here.
bool ListReady(CddbMatchList* list, int32_t timeoutMs, int32_t& result) {
  result = kCddbFail;
  if (list == nullptr) return false;
  if (list->items == nullptr) {
    list->count = 0;
    return false;
  }
  SetCddbTimeout(timeoutMs);
  result = kCddbOk;
  if (list->count <= 0) {
    list->count = 0;
    return false;
  }
  return true;
}

void QueryKnownDisc(const CddbDisc& disc, CddbMatchList& list, int32_t online) {
  DiscKeyCacheRecord(disc.key, uint32_t(disc.disc.values[0]), uint32_t(disc.disc.values[1]));
  if (online) {
    QueryOnline(disc.disc, disc.key, list);
  } else {
    QueryOffline(disc.key, list);
  }
}

}  // namespace

int32_t CddbQuery(int32_t drive, CddbMatchList* list, int32_t online, int32_t timeoutMs) {
  int32_t result = kCddbFail;
  if (!ListReady(list, timeoutMs, result)) return result;
  CddbDisc disc;
  if (!CddbReadDisc(drive, disc)) {
    list->count = 0;
    return kCddbOk;
  }
  QueryKnownDisc(disc, *list, online);
  return kCddbOk;
}

int32_t CddbQueryDisc(const CddbDisc& disc, CddbMatchList* list, int32_t online, int32_t timeoutMs) {
  int32_t result = kCddbFail;
  if (!ListReady(list, timeoutMs, result)) return result;
  QueryKnownDisc(disc, *list, online);
  return kCddbOk;
}

int32_t CddbRead(CddbMatch* match, char* text, int32_t size) {
  if (match == nullptr || text == nullptr || size <= 0) return kCddbFail;
  const std::string_view category(match->category, strnlen(match->category, sizeof match->category));
  if (category == kCdPlayerIniCategory) return CdPlayerIniRead(match, text, size);

  const CddbOptions options = CurrentCddbOptions();
  const std::string_view discId(match->discId, strnlen(match->discId, sizeof match->discId));
  const std::string reply = DecodeCddbText(CddbExchange(
      options.cgiScript, ReadBody(category, discId, options.userEMail, options.agent), size_t(size)));
  const std::optional<std::string_view> entry = ReadReplyEntry(reply);
  if (!entry) return kCddbFail;

  // The raw reply always fits; its UTF-8 form may be longer. Then the text
  // ends after its last whole line that fits, as a reply cut by the server
  // would.
  std::string_view fitted = *entry;
  if (fitted.size() >= size_t(size)) {
    fitted = fitted.substr(0, size_t(size) - 1);
    const size_t lastLineEnd = fitted.rfind("\r\n");
    fitted = lastLineEnd == std::string_view::npos ? std::string_view() : fitted.substr(0, lastLineEnd + 2);
  }
  std::memcpy(text, fitted.data(), fitted.size());
  text[fitted.size()] = '\0';
  if (options.writeBack != 0 && !fitted.empty()) CdPlayerIniWrite(*match, fitted);
  return kCddbOk;
}

}  // namespace engine::cddb
