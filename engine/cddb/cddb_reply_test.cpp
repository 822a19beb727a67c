#include "engine/cddb/cddb_reply.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/cddb/cddb_options.h"
#include "engine/cddb/cddb_request.h"
#include "engine/cddb/cddb_text.h"
#include "engine/cddb/line_reader.h"
#include "platform/text/utf.h"

namespace engine::cddb {
namespace {

CddbMatch Zero() {
  CddbMatch m{};
  return m;
}

TEST(CddbReply, ExactMatchWithAndWithoutHttpHeaders) {
  const std::string body = "200 rock 940a0b0b Some Artist / Some Album\r\n";
  for (const std::string& reply : {body, "HTTP/1.0 200 OK\r\nServer: x\r\n\r\n" + body}) {
    CddbMatch items[5] = {};
    ASSERT_EQ(ParseQueryReply(reply, items, 5), 1);
    EXPECT_STREQ(items[0].category, "rock");
    EXPECT_STREQ(items[0].discId, "940a0b0b");
    EXPECT_STREQ(items[0].artist, "Some Artist");
    EXPECT_STREQ(items[0].title, "Some Album");
    EXPECT_EQ(items[0].exact, 1);
  }
  // "HTTP" without a blank line after it: parsed from the start, so no status.
  CddbMatch items[1] = {};
  EXPECT_EQ(ParseQueryReply("HTTP/1.0 200 OK\r\n" + body, items, 1), 0);
}

TEST(CddbReply, InexactListStopsAtCapacityAndSkipsBadLines) {
  std::string reply = "211 Found inexact matches, list follows (until terminating `.')\r\n";
  reply += "misc 00000001 A1 / T1\r\nnonsense line\r\n";
  for (int i = 2; i <= 7; ++i) reply += "rock 0000000" + std::to_string(i) + " A" + std::to_string(i) + " / T\r\n";
  reply += ".\r\n";
  CddbMatch items[5] = {};
  ASSERT_EQ(ParseQueryReply(reply, items, 5), 5);
  EXPECT_STREQ(items[0].discId, "00000001");
  EXPECT_STREQ(items[1].discId, "00000002");  // the bad line used no item
  EXPECT_STREQ(items[4].artist, "A5");
  for (const CddbMatch& m : items) EXPECT_EQ(m.exact, 0);

  // The "." line ends the list; 100 lines are the most read.
  CddbMatch few[5] = {};
  EXPECT_EQ(ParseQueryReply("211 x\r\nrock 1 A / B\r\n.\r\nrock 2 C / D\r\n", few, 5), 1);
  std::string longList = "211 x\r\n";
  for (int i = 0; i < 100; ++i) longList += "bad\r\n";
  longList += "rock 2 C / D\r\n";
  EXPECT_EQ(ParseQueryReply(longList, few, 5), 0);
}

TEST(CddbReply, MatchLinesAreReadWithCapacity81) {
  const std::string title(100, 't');
  CddbMatch items[1] = {};
  ASSERT_EQ(ParseQueryReply("200 rock 12345678 Artist / " + title + "\r\n", items, 1), 1);
  // 79 bytes of line: "200 rock 12345678 Artist / " is 27, so 52 of the title remain.
  EXPECT_EQ(std::string(items[0].title), title.substr(0, 52));
}

TEST(CddbReply, MalformedMatchLinesAreRejected) {
  CddbMatch m = Zero();
  EXPECT_FALSE(ParseMatchLine("rock 1234abcd Artist without slash", m));
  EXPECT_FALSE(ParseMatchLine("abcdefghijkl 1234abcd A / T", m));  // 12-character category
  EXPECT_TRUE(ParseMatchLine("abcdefghijk 1234abcd A / T", m));    // 11 is the most
  EXPECT_FALSE(ParseMatchLine("rock xyz A / T", m));               // not hexadecimal
  EXPECT_FALSE(ParseMatchLine("rock 123456789 A / T", m));         // nine digits
  EXPECT_FALSE(ParseMatchLine("rock 12345678", m));
  EXPECT_FALSE(ParseMatchLine(" 12345678 A / T", m));              // no category
  EXPECT_FALSE(ParseMatchLine("rock", m));
  EXPECT_FALSE(ParseMatchLine("", m));
  EXPECT_FALSE(ParseMatchLine("rock 12 " + std::string(81, 'a') + " / T", m));
  EXPECT_STREQ(m.category, "abcdefghijk");  // rejected lines changed nothing
  EXPECT_TRUE(ParseMatchLine("rock  ab   / Title only", m));
  EXPECT_STREQ(m.artist, "");
  EXPECT_STREQ(m.title, "Title only");
}

TEST(CddbReply, NoMatchEmptyAndCodelessRepliesGiveNone) {
  CddbMatch items[2] = {};
  EXPECT_EQ(ParseQueryReply("202 No match for disc ID 0b012a02.\r\n", items, 2), 0);
  EXPECT_EQ(ParseQueryReply("", items, 2), 0);
  EXPECT_EQ(ParseQueryReply("Hello there\r\n", items, 2), 0);
  EXPECT_EQ(ParseQueryReply("20", items, 2), 0);
  EXPECT_EQ(ParseQueryReply("200 rock 940a0b0b Cut off", items, 2), 0);  // no line end
  EXPECT_EQ(ParseQueryReply("200\r\n", items, 2), 0);
  EXPECT_EQ(ReplyStatus("2x0 a"), 0);
}

TEST(CddbReply, ReadReplyKeepsTheEntryThroughTheDotLine) {
  const std::string entry = "# xmcd\r\nDISCID=0b012a02\r\nDTITLE=A / B\r\nTTITLE0=One\r\n.\r\n";
  EXPECT_EQ(ReadReplyEntry("HTTP/1.0 200 OK\r\n\r\n210 rock 0b012a02 follows\r\n" + entry), entry);
  EXPECT_EQ(ReadReplyEntry("210 rock 0b012a02 follows\r\n" + entry), entry);
  EXPECT_FALSE(ReadReplyEntry("401 rock 0b012a02 No such CD entry in database.\r\n"));
  EXPECT_FALSE(ReadReplyEntry("210 no line end"));
  EXPECT_FALSE(ReadReplyEntry(""));
}

TEST(LineReader, CutsLongLinesAndEndsAtATailWithoutCrLf) {
  LineReader reader("abcdef\r\nxy\r\ntail");
  EXPECT_EQ(reader.next(5), "abc");  // capacity 5 keeps 3
  EXPECT_EQ(reader.next(5), "xy");
  EXPECT_FALSE(reader.atEnd());
  EXPECT_EQ(reader.next(5), "");
  EXPECT_TRUE(reader.atEnd());
  EXPECT_EQ(reader.next(5), "");
  // A cut never splits a character.
  LineReader utf8("\xC3\xA9\xC3\xA9\r\n");
  EXPECT_EQ(utf8.next(5), "\xC3\xA9");
}

TEST(CddbText, LatinOneArrivesAsUtf8AndUtf8StaysAsItIs) {
  EXPECT_EQ(DecodeCddbText("Bj\xF6rk"), "Bj\xC3\xB6rk");
  EXPECT_EQ(DecodeCddbText("Bj\xC3\xB6rk"), "Bj\xC3\xB6rk");
  EXPECT_TRUE(platform::text::isValidUtf8(DecodeCddbText("\xFF\xFE\xC0\x80\xED\xA0\x80")));
  char field[4];
  CopyToField("a\xE2\x82\xAC", field, sizeof field);  // the euro sign would not fit whole
  EXPECT_STREQ(field, "a");
}

TEST(CddbRequest, ExactBytesOfTheQueryReadAndHttpRequest) {
  device::DiscIdRecord disc;
  disc.values[0] = 0x0B012A02;
  disc.values[1] = 2;
  disc.values[2] = 150;
  disc.values[3] = 13500;
  disc.values[4] = 298;
  EXPECT_EQ(QueryBody(disc, PlusForAtAndBlank("joe@example.org"), PlusForAtAndBlank("Ripmarrow 0.1")),
            "cmd=cddb+query+0b012a02+2+150+13500+298&hello=joe+example.org+Ripmarrow+0.1&proto=6");
  // The rule reaches the hello piece as a whole, first characters included.
  EXPECT_EQ(ReadBody("rock", "0b012a02", "@joe", " x"), "cmd=cddb+read+rock+0b012a02&hello=+joe++x&proto=6");
  EXPECT_EQ(ReadBody("ro&ck=1", "ab", "u", "a"), "cmd=cddb+read+ro%26ck%3D1+ab&hello=u+a&proto=6");
  EXPECT_EQ(HttpRequest("host.example", "/~cddb/cddb.cgi", "cmd=x"),
            "POST http://host.example/~cddb/cddb.cgi HTTP/1.0\r\n"
            "Content-Type: application/x-www-form-urlencoded\r\n"
            "User-Agent: Sampleyard 1.06\r\n"
            "Content-Length: 7\r\n\r\ncmd=x\r\n");
}

TEST(CddbOptions, TextIsCutAndTheHelloRuleAppliedWhenStored) {
  ResetCddbOptions();
  CddbSetOption(CddbOption::kUserEMail, "me at@home", 0);
  CddbSetOption(CddbOption::kAgent, std::string(70, 'a').c_str(), 0);
  CddbSetOption(CddbOption::kCgiScript, nullptr, 0);
  CddbSetOption(CddbOption::kHttpPort, "ignored", 8080);
  const CddbOptions o = CurrentCddbOptions();
  EXPECT_EQ(o.userEMail, "me+at+home");
  EXPECT_EQ(o.agent.size(), 59u);
  EXPECT_EQ(o.cgiScript, "");
  EXPECT_EQ(o.httpPort, 8080);
  EXPECT_EQ(o.timeoutMs, 7000);
  ResetCddbOptions();
  EXPECT_EQ(CurrentCddbOptions().cgiScript, "/~cddb/cddb.cgi");
}

}  // namespace
}  // namespace engine::cddb
