#include "proof/accuraterip_answer.h"

namespace proof {
namespace {

constexpr size_t kRecordHeaderBytes = 13;
constexpr size_t kTrackEntryBytes = 9;

uint32_t Little32(const uint8_t* b) {
  return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

AccurateRipAnswer Refused(AnswerStatus status) {
  AccurateRipAnswer answer;
  answer.status = status;
  return answer;
}

}  // namespace

AccurateRipAnswer ParseAccurateRipAnswer(std::span<const uint8_t> bytes) {
  if (bytes.size() > kMaxAnswerBytes) return Refused(AnswerStatus::kOversized);
  AccurateRipAnswer answer;
  size_t at = 0;
  while (at < bytes.size()) {
    const size_t left = bytes.size() - at;
    if (left < kRecordHeaderBytes) return Refused(AnswerStatus::kTruncated);
    const uint8_t* p = bytes.data() + at;
    const size_t tracks = p[0];
    if (tracks == 0) return Refused(AnswerStatus::kEmptyRecord);
    if (left < kRecordHeaderBytes + tracks * kTrackEntryBytes) return Refused(AnswerStatus::kTruncated);

    AccurateRipRecord record;
    record.disc.audioTracks = uint32_t(tracks);
    record.disc.id1 = Little32(p + 1);
    record.disc.id2 = Little32(p + 5);
    record.disc.cddbId = Little32(p + 9);
    record.tracks.resize(tracks);
    for (size_t t = 0; t < tracks; ++t) {
      const uint8_t* e = p + kRecordHeaderBytes + t * kTrackEntryBytes;
      record.tracks[t] = AccurateRipTrackEntry{e[0], Little32(e + 1), Little32(e + 5)};
    }
    answer.records.push_back(std::move(record));
    at += kRecordHeaderBytes + tracks * kTrackEntryBytes;
  }
  return answer;
}

AccurateRipAnswer ParseAccurateRipAnswer(std::span<const uint8_t> bytes, const AccurateRipDiscId& expected) {
  AccurateRipAnswer answer = ParseAccurateRipAnswer(bytes);
  for (const AccurateRipRecord& record : answer.records) {
    if (!(record.disc == expected)) return Refused(AnswerStatus::kForeignDisc);
  }
  return answer;
}

const char* AnswerStatusText(AnswerStatus status) {
  switch (status) {
    case AnswerStatus::kOk: return "records";
    case AnswerStatus::kTruncated: return "answer cut off inside a record";
    case AnswerStatus::kOversized: return "answer too large";
    case AnswerStatus::kEmptyRecord: return "record without tracks";
    case AnswerStatus::kForeignDisc: return "record for another disc";
  }
  return "unknown";
}

}  // namespace proof
