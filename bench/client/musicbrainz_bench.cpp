// A MusicBrainz look-up of a 20-track disc whose id three releases share:
// the answer read, ranked and turned into titles; and the whole look-up
// (request, answer, reading) against a loopback server, with the pacing off.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <vector>

#include "client/disc_titles.h"
#include "client/musicbrainz_lookup.h"
#include "client/testing/musicbrainz_answers.h"
#include "client/testing/musicbrainz_test_server.h"

namespace {

proof::DiscLayout Layout() {
  proof::DiscLayout layout;
  for (uint8_t t = 0; t < 20; ++t) layout.tracks.push_back({uint8_t(t + 1), uint32_t(t) * 15000u, false});
  layout.leadOutLba = 20 * 15000;
  return layout;
}

std::string Answer(const client::MusicBrainzDisc& disc) {
  std::vector<std::string> releases;
  for (const char* id : {"aaaa", "bbbb", "cccc"}) {
    client::testing::ReleaseSpec r;
    r.id = id;
    r.discIds = {disc.discId};
    r.trackMs = disc.trackMs;
    releases.push_back(client::testing::ReleaseJson(r));
  }
  return client::testing::ExactAnswer(disc.discId, releases);
}

void BM_ReadAndRankAnswer(benchmark::State& state) {
  const client::MusicBrainzDisc disc = *client::MusicBrainzDiscOf(Layout());
  const std::string json = Answer(disc);
  for (auto _ : state) {
    std::string error;
    const auto answer = client::ParseMusicBrainzAnswer(json, error);
    const auto ranked = client::RankMusicBrainzReleases(*answer, disc.discId, disc.trackMs, "");
    benchmark::DoNotOptimize(client::TitlesOfMusicBrainz(*answer, ranked[0], 20, disc.discId));
  }
  state.counters["answer_bytes"] = double(json.size());
}
BENCHMARK(BM_ReadAndRankAnswer)->Unit(benchmark::kMicrosecond);

void BM_WholeLookUpOnLoopback(benchmark::State& state) {
  const client::MusicBrainzDisc disc = *client::MusicBrainzDiscOf(Layout());
  client::testing::MusicBrainzTestServer server;
  client::testing::MusicBrainzTestServer::Answer answer;
  answer.body = Answer(disc);
  server.add("/ws/2/discid/" + disc.discId, answer);
  client::RequestPacer unpaced(std::chrono::milliseconds(0), "");
  client::MusicBrainzOptions options;
  options.pacer = &unpaced;
  for (auto _ : state) {
    const auto lookup = client::LookUpMusicBrainz(server.address(), disc, options);
    if (lookup.status != client::MusicBrainzStatus::kFound) state.SkipWithError("no answer");
    auto titles = client::TitlesOfMusicBrainz(lookup.answer, lookup.candidates[0], 20, disc.discId);
    benchmark::DoNotOptimize(titles);
  }
}
BENCHMARK(BM_WholeLookUpOnLoopback)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
