#include "client/musicbrainz_lookup.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "client/cover_art.h"
#include "client/testing/musicbrainz_answers.h"
#include "client/testing/musicbrainz_test_server.h"

namespace client {
namespace {

using namespace std::chrono;
using Server = testing::MusicBrainzTestServer;
using testing::ReleaseSpec;

Server::Answer Ok(std::string body, std::string type = "application/json") {
  Server::Answer answer;
  answer.body = std::move(body);
  answer.contentType = std::move(type);
  return answer;
}
Server::Answer Status(int status, std::string body) {
  Server::Answer answer = Ok(std::move(body));
  answer.status = status;
  return answer;
}
Server::Answer Redirect(std::string location) {
  Server::Answer answer = Status(307, "");
  answer.location = std::move(location);
  return answer;
}
Server::Answer Held(std::string body, int holdMs, bool drip) {
  Server::Answer answer = Ok(std::move(body));
  answer.holdMs = holdMs;
  answer.drip = drip;
  return answer;
}

// Three tracks of 200 s each.
proof::DiscLayout Layout() {
  proof::DiscLayout layout;
  layout.tracks = {{1, 0, false}, {2, 15000, false}, {3, 30000, false}};
  layout.leadOutLba = 45000;
  return layout;
}

MusicBrainzDisc Disc() { return MusicBrainzDiscOf(Layout()).value(); }

std::string DiscPath() { return "/ws/2/discid/" + Disc().discId; }

ReleaseSpec Ours(const std::string& id) {
  ReleaseSpec r;
  r.id = id;
  r.discIds = {Disc().discId};
  r.trackMs = Disc().trackMs;
  return r;
}

// Each test paces on its own, not with the other test programs.
struct Fixture : ::testing::Test {
  RequestPacer pacer{milliseconds(1000), ""};
  MusicBrainzOptions Options(int timeoutMs = 10000) {
    MusicBrainzOptions options;
    options.timeoutMs = timeoutMs;
    options.pacer = &pacer;
    return options;
  }
};

using MusicBrainzLookupTest = Fixture;

TEST(MusicBrainzDisc, TableOfContentsCountsTheLeadInAndLeavesOutADataSession) {
  const MusicBrainzDisc disc = Disc();
  EXPECT_EQ(disc.toc, "1+3+45150+150+15150+30150");
  EXPECT_EQ(disc.trackMs, (std::vector<uint32_t>{200000, 200000, 200000}));
  EXPECT_EQ(disc.discId.size(), 28u);
  proof::DiscLayout extra = Layout();
  extra.tracks.push_back({4, 45000 + proof::kSessionGapFrames, true});
  extra.leadOutLba = 60000;
  const auto cdExtra = MusicBrainzDiscOf(extra);
  ASSERT_TRUE(cdExtra.has_value());
  EXPECT_EQ(cdExtra->toc, disc.toc);
  EXPECT_EQ(cdExtra->discId, disc.discId);
  EXPECT_EQ(MusicBrainzSubmissionUrl("http://mb", disc), "http://mb/cdtoc/attach?toc=1+3+45150+150+15150+30150");
}

TEST(MusicBrainzDisc, ServerText) {
  EXPECT_EQ(ParseServiceServer("none"), "");
  EXPECT_EQ(ParseServiceServer("musicbrainz.org"), "http://musicbrainz.org:80");
  EXPECT_EQ(ParseServiceServer("https://mb.example/mirror/"), "https://mb.example:443/mirror");
  EXPECT_EQ(ParseServiceServer("http://127.0.0.1:8080"), "http://127.0.0.1:8080");
  for (const char* bad : {"", "ftp://x", "http://", "http://a b", "http://h:0", "http://u@h", "http://h/p?q", "h:x"}) {
    EXPECT_FALSE(ParseServiceServer(bad).has_value()) << bad;
  }
}

TEST_F(MusicBrainzLookupTest, ExactHitSendsTheRequestAsTheServiceAsks) {
  Server server;
  server.add(DiscPath(), Ok(testing::ExactAnswer(Disc().discId, {testing::ReleaseJson(Ours("r1"))})));
  const auto lookup = LookUpMusicBrainz(server.address(), Disc(), Options());
  ASSERT_EQ(lookup.status, MusicBrainzStatus::kFound) << lookup.reason;
  EXPECT_TRUE(lookup.exact);
  ASSERT_EQ(lookup.candidates.size(), 1u);
  EXPECT_TRUE(lookup.candidates[0].discIdMatch);
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].target, DiscPath() + "?toc=1+3+45150+150+15150+30150&cdstubs=no"
                                             "&inc=artist-credits+labels+recordings+release-groups+isrcs&fmt=json");
  EXPECT_EQ(requests[0].userAgent, RipmarrowUserAgent());
  EXPECT_EQ(requests[0].userAgent.find('@'), std::string::npos);
}

// Every request names the program the same way, also those of the
// services that ask for no User-Agent of their own (AccurateRip, CUETools).
TEST_F(MusicBrainzLookupTest, EveryRequestSendsTheOneUserAgent) {
  Server server;
  HttpLimits limits;
  limits.timeoutMs = 2000;
  HttpGet(HttpServer{"127.0.0.1", server.port()}, "/accuraterip", limits);
  HttpRequest request;
  request.url = server.address() + "/ctdb";
  HttpGetUrl(request, limits);
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 2u);
  for (const auto& r : requests) EXPECT_EQ(r.userAgent, RipmarrowUserAgent()) << r.target;
  EXPECT_NE(RipmarrowUserAgent().find(std::string("( ") + kRipmarrowProjectAddress + " )"), std::string::npos);
}

TEST_F(MusicBrainzLookupTest, FuzzyHitIsMatchedByLength) {
  Server server;
  ReleaseSpec r = Ours("r1");
  r.discIds = {"someone-elses-disc-id"};
  server.add(DiscPath(), Ok(testing::FuzzyAnswer({testing::ReleaseJson(r)})));
  const auto lookup = LookUpMusicBrainz(server.address(), Disc(), Options());
  ASSERT_EQ(lookup.status, MusicBrainzStatus::kFound) << lookup.reason;
  EXPECT_FALSE(lookup.exact);
  EXPECT_TRUE(lookup.candidates.at(0).byLength);
}

TEST_F(MusicBrainzLookupTest, UnknownDiscsAndStubsAreNotFound) {
  Server server;
  auto lookup = LookUpMusicBrainz(server.address(), Disc(), Options());  // 404
  EXPECT_EQ(lookup.status, MusicBrainzStatus::kNotFound);
  server.add(DiscPath(), Ok(R"({"id":")" + Disc().discId + R"(","title":"Stub","artist":"X","tracks":[]})"));
  lookup = LookUpMusicBrainz(server.address(), Disc(), Options());
  EXPECT_EQ(lookup.status, MusicBrainzStatus::kNotFound);
}

TEST_F(MusicBrainzLookupTest, BusyServiceIsAskedAgainAfterAPauseAndRequestsAreSpaced) {
  Server server;
  server.add(DiscPath(), Status(503, "busy"));
  server.add(DiscPath(), Ok(testing::ExactAnswer(Disc().discId, {testing::ReleaseJson(Ours("r1"))})));
  auto lookup = LookUpMusicBrainz(server.address(), Disc(), Options());
  EXPECT_EQ(lookup.status, MusicBrainzStatus::kFound) << lookup.reason;
  EXPECT_EQ(lookup.requests, 2);
  lookup = LookUpMusicBrainz(server.address(), Disc(), Options());
  EXPECT_EQ(lookup.status, MusicBrainzStatus::kFound) << lookup.reason;
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 3u);
  for (size_t k = 1; k < requests.size(); ++k) EXPECT_GE(requests[k].at - requests[k - 1].at, milliseconds(990));
}

TEST_F(MusicBrainzLookupTest, BadAnswersEndInAReason) {
  struct Case {
    const char* name;
    Server::Answer answer;
  };
  const std::vector<Case> cases = {
      {"malformed", Ok("{\"releases\": [}")},
      {"truncated", Ok(testing::ExactAnswer("x", {testing::ReleaseJson(Ours("r"))}).substr(0, 200))},
      {"html", Ok("<html>busy</html>", "text/html")},
      {"huge", Ok(std::string(20 * 1024 * 1024, ' '))},
      {"server error", Status(500, "oops")},
  };
  for (const Case& c : cases) {
    Server server;
    server.add(DiscPath(), c.answer);
    const auto lookup = LookUpMusicBrainz(server.address(), Disc(), Options());
    EXPECT_EQ(lookup.status, MusicBrainzStatus::kNoAnswer) << c.name;
    EXPECT_FALSE(lookup.reason.empty()) << c.name;
  }
}

TEST_F(MusicBrainzLookupTest, SlowDripEndsAtTheTimeOutAndRedirectLoopsEnd) {
  Server server;
  server.add(DiscPath(), Held(std::string(100, ' '), 0, true));
  auto started = steady_clock::now();
  auto lookup = LookUpMusicBrainz(server.address(), Disc(), Options(1500));
  EXPECT_EQ(lookup.status, MusicBrainzStatus::kNoAnswer);
  EXPECT_LT(steady_clock::now() - started, milliseconds(4000));

  Server looping;
  looping.add(DiscPath(), Redirect(looping.address() + DiscPath()));
  lookup = LookUpMusicBrainz(looping.address(), Disc(), Options());
  EXPECT_EQ(lookup.status, MusicBrainzStatus::kNoAnswer);
}

TEST_F(MusicBrainzLookupTest, CancelEndsAHeldLookUp) {
  Server server;
  server.add(DiscPath(), Held("{}", 8000, false));
  std::atomic<bool> cancel{false};
  MusicBrainzOptions options = Options();
  options.cancel = &cancel;
  std::thread stopper([&] {
    std::this_thread::sleep_for(milliseconds(300));
    cancel = true;
  });
  const auto started = steady_clock::now();
  const auto lookup = LookUpMusicBrainz(server.address(), Disc(), options);
  stopper.join();
  EXPECT_EQ(lookup.status, MusicBrainzStatus::kNoAnswer);
  EXPECT_LT(steady_clock::now() - started, milliseconds(2500));
}

TEST(CoverArt, FollowsTheRedirectAndAcceptsOnlyImages) {
  Server server;
  const std::string jpeg = std::string("\xFF\xD8\xFF\xE0", 4) + std::string(1000, 'j');
  server.add("/release/1234abcd/front-500", Redirect(server.address() + "/images/1.jpg"));
  server.add("/images/1.jpg", Ok(jpeg, "image/jpeg"));
  server.add("/release/5678abcd/front-500", Ok("<html>not an image</html>", "image/jpeg"));
  server.add("/release/9999abcd/front-500", Ok(std::string(11 * 1024 * 1024, '\xFF')));
  CoverArt art = FetchCoverArt(server.address(), "1234abcd");
  ASSERT_TRUE(art.found) << art.reason;
  EXPECT_EQ(art.extension, "jpg");
  EXPECT_EQ(art.bytes, jpeg);
  art = FetchCoverArt(server.address(), "5678abcd");
  EXPECT_FALSE(art.found);
  EXPECT_EQ(art.reason, "the answer is not a JPEG or PNG image");
  art = FetchCoverArt(server.address(), "9999abcd");
  EXPECT_FALSE(art.found);
  EXPECT_EQ(art.reason, "the image is larger than 10 MB");
  EXPECT_FALSE(FetchCoverArt(server.address(), "../x").found);
  EXPECT_EQ(CoverArtExtension(std::string("\x89PNG\r\n\x1A\n..", 10)), "png");
}

}  // namespace
}  // namespace client
