#include "client/testing/musicbrainz_answers.h"

namespace client::testing {
namespace {

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string Join(const std::vector<std::string>& parts) {
  std::string joined;
  for (const std::string& part : parts) joined += (joined.empty() ? "" : ",") + part;
  return joined;
}

std::string Medium(const ReleaseSpec& r, int position, bool ours) {
  std::vector<std::string> tracks;
  const std::vector<uint32_t> lengths = ours ? r.trackMs : std::vector<uint32_t>{200000, 210000};
  for (size_t k = 0; k < lengths.size(); ++k) {
    const std::string n = std::to_string(k + 1);
    tracks.push_back(R"({"id":"t)" + std::to_string(position) + "-" + n + R"(","position":)" + n + R"(,"number":")" +
                     n + R"(","title":"Song )" + n + R"(","length":)" + std::to_string(lengths[k]) +
                     R"(,"artist-credit":[{"name":"Guest )" + n + R"(","joinphrase":" & ","artist":{"id":"g)" + n +
                     R"("}},{"name":")" + r.artist + R"(","joinphrase":"","artist":{"id":"a1"}}],)" +
                     R"("recording":{"id":"rec)" + n + R"(","isrcs":["GBAAA01000)" + n + R"("]}})");
  }
  std::vector<std::string> discs;
  if (ours) {
    for (const std::string& id : r.discIds) discs.push_back(R"({"id":)" + Quoted(id) + "}");
  }
  return R"({"position":)" + std::to_string(position) + R"(,"format":)" + Quoted(r.format) +
         R"(,"title":"","track-count":)" + std::to_string(lengths.size()) + R"(,"discs":[)" + Join(discs) +
         R"(],"tracks":[)" + Join(tracks) + "]}";
}

}  // namespace

std::string ReleaseJson(const ReleaseSpec& r) {
  std::vector<std::string> media;
  for (int m = 1; m <= r.mediumCount; ++m) media.push_back(Medium(r, m, m == r.mediumCount));
  return R"({"id":)" + Quoted(r.id) + R"(,"title":)" + Quoted(r.title) + R"(,"status":)" + Quoted(r.status) +
         R"(,"date":)" + Quoted(r.date) + R"(,"country":)" + Quoted(r.country) + R"(,"barcode":)" +
         Quoted(r.barcode) + R"(,"disambiguation":"club edition","artist-credit":[{"name":)" + Quoted(r.artist) +
         R"(,"joinphrase":"","artist":{"id":"a1","name":)" + Quoted(r.artist) + R"(}}],)" +
         R"("label-info":[{"catalog-number":"CAT 1","label":{"name":"Label One"}},{"catalog-number":"CAT 2","label":{"name":"Label Two"}}],)" +
         R"("release-group":{"id":"rg1","primary-type":"Album"},"cover-art-archive":{"artwork":true,"front":)" +
         (r.coverFront ? "true" : "false") + R"(,"count":1},"media":[)" + Join(media) + "]}";
}

std::string ExactAnswer(const std::string& discId, const std::vector<std::string>& releases) {
  return R"({"id":)" + Quoted(discId) + R"(,"offset-count":3,"offsets":[150,15150,30150],"sectors":45150,"releases":[)" +
         Join(releases) + "]}";
}

std::string FuzzyAnswer(const std::vector<std::string>& releases) {
  return R"({"release-count":)" + std::to_string(releases.size()) + R"(,"release-offset":0,"releases":[)" +
         Join(releases) + "]}";
}

}  // namespace client::testing
