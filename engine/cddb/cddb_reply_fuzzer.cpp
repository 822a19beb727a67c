// Feeds arbitrary replies to the reply parsers and the title reader; they
// must stay inside their input and their records.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/cddb/cddb_reply.h"
#include "engine/cddb/cddb_text.h"
#include "engine/cddb/track_titles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view raw(reinterpret_cast<const char*>(data), size);
  const std::string reply = engine::cddb::DecodeCddbText(raw);
  engine::cddb::CddbMatch items[5] = {};
  engine::cddb::ParseQueryReply(reply, items, 5);
  engine::cddb::ParseQueryReply(raw, items, 1);
  if (const auto entry = engine::cddb::ReadReplyEntry(reply)) {
    engine::cddb::TrackTitles titles;
    titles.addEntry(*entry);
  }
  return 0;
}
