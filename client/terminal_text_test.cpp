#include "client/terminal_text.h"

#include <gtest/gtest.h>

namespace {

TEST(TerminalText, ControlCharactersAreReplaced) {
  // A title a hostile server sends: the bell, a colour, a window title, a C1 CSI.
  EXPECT_EQ(client::TerminalText("Ring\a \x1b[31mred\x1b]0;owned\x07 \u009b2J end\x7f"),
            "Ring? ?[31mred?]0;owned? ?2J end?");
  EXPECT_EQ(client::TerminalText("two\nlines\ttab\r"), "two?lines?tab?");
  // A lone C1 byte is not UTF-8: it becomes U+FFFD, never the byte itself.
  EXPECT_EQ(client::TerminalText("a\x9b" "b"), "a\uFFFDb");
  // Everything printable stays.
  EXPECT_EQ(client::TerminalText("Caf\u00e9 \u00a0 Mr. Blue \u05e9\u05dc\u05d5\u05dd"), "Caf\u00e9 \u00a0 Mr. Blue \u05e9\u05dc\u05d5\u05dd");
}

}  // namespace
