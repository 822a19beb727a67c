#include "platform/text/utf.h"

#include <gtest/gtest.h>

#include <string>

namespace platform::text {
namespace {

const std::string kFffd = "\xEF\xBF\xBD";

TEST(UtfTest, RoundTripsEveryPlane) {
  const std::string text = "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xB5";  // A é € 🎵
  const std::u16string wide = utf8ToUtf16(text);
  EXPECT_EQ(wide, (std::u16string{u'A', u'\u00E9', u'\u20AC', 0xD83C, 0xDFB5}));
  EXPECT_EQ(utf16ToUtf8(wide), text);
  EXPECT_EQ(utf8ToUtf16(std::string("a\0b", 3)).size(), 3u);  // NUL is a character, not an end
}

TEST(UtfTest, InvalidUtf8BecomesReplacementCharacters) {
  // Truncated sequence, lone continuation byte, overlong '/', encoded
  // surrogate, past U+10FFFF, and a sequence cut short by the end.
  EXPECT_EQ(cleanUtf8("a\xE2\x82" "b"), "a" + kFffd + "b");
  EXPECT_EQ(cleanUtf8("\x80"), kFffd);
  EXPECT_EQ(cleanUtf8("\xC0\xAF"), kFffd + kFffd);
  EXPECT_EQ(cleanUtf8("\xED\xA0\x80"), kFffd + kFffd + kFffd);
  EXPECT_EQ(cleanUtf8("\xF4\x90\x80\x80"), kFffd + kFffd + kFffd + kFffd);
  EXPECT_EQ(cleanUtf8("ok\xF0\x9F"), "ok" + kFffd);
  EXPECT_EQ(utf8ToUtf16("\xFF"), std::u16string(1, u'\uFFFD'));
  EXPECT_FALSE(isValidUtf8("\xC0\xAF"));
  EXPECT_TRUE(isValidUtf8("plain \xC3\xA9"));
}

TEST(UtfTest, UnpairedSurrogatesBecomeReplacementCharacters) {
  EXPECT_EQ(utf16ToUtf8(std::u16string{u'x', char16_t(0xD800)}), "x" + kFffd);
  EXPECT_EQ(utf16ToUtf8(std::u16string{char16_t(0xDC00), u'y'}), kFffd + "y");
  EXPECT_EQ(utf16ToUtf8(std::u16string{char16_t(0xDBFF), char16_t(0xD800), char16_t(0xDC00)}),
            kFffd + "\xF0\x90\x80\x80");
}

TEST(UtfTest, Latin1MapsEachByteToItsCodePoint) {
  EXPECT_EQ(latin1ToUtf8("Caf\xE9 \xFF\x80"), "Caf\xC3\xA9 \xC3\xBF\xC2\x80");
}

}  // namespace
}  // namespace platform::text
