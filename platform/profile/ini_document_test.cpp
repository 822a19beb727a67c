#include "platform/profile/ini_document.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace platform {
namespace {

using Change = IniDocument::Change;

const char kHandEdited[] =
    "; titles typed by hand\r\n"
    "\r\n"
    "  [ C0C2D ]  \r\n"
    "ARTIST =  Some Band  \r\n"
    "\ttitle\t=\t\"  Quoted Title  \"\r\n"
    "0='single'\r\n"
    "1=\"unmatched\r\n"
    "Artist=second key loses\r\n"
    "not an entry\r\n"
    "\r\n"
    "[c0c2d]\r\n"
    "numtracks=99\r\n"
    "[Other]\r\n"
    "numtracks=3";

TEST(IniDocumentTest, ReadsAHandEditedFileWithTheWindowsRules) {
  const IniDocument doc = IniDocument::parse(kHandEdited);
  EXPECT_EQ(doc.serialize(), kHandEdited);  // untouched, byte for byte
  EXPECT_EQ(doc.value("c0c2d", "artist"), "Some Band");
  EXPECT_EQ(doc.value(" C0C2D ", " TITLE "), "  Quoted Title  ");
  EXPECT_EQ(doc.value("C0C2D", "0"), "single");
  EXPECT_EQ(doc.value("C0C2D", "1"), "\"unmatched");
  EXPECT_EQ(doc.value("C0C2D", "NUMTRACKS"), std::nullopt);  // the first section wins
  EXPECT_EQ(doc.value("OTHER", "numtracks"), "3");
  EXPECT_EQ(doc.sectionNames(), (std::vector<std::string>{"C0C2D", "Other"}));
  EXPECT_EQ(doc.keyNames("c0c2d"), (std::vector<std::string>{"ARTIST", "title", "0", "1"}));
}

TEST(IniDocumentTest, WritesChangeOnlyTheirLineAndKeepTheFilesLineEndings) {
  IniDocument doc = IniDocument::parse(kHandEdited);
  EXPECT_EQ(doc.setValue("c0c2d", "artist", "New Band"), Change::Changed);
  EXPECT_EQ(doc.setValue("c0c2d", "artist", "New Band"), Change::Unchanged);
  EXPECT_EQ(doc.setValue("C0C2D", "order", "0 1 "), Change::Changed);
  EXPECT_EQ(doc.setValue("Other", "2", "x"), Change::Changed);
  EXPECT_EQ(doc.setValue("New", "k", "v"), Change::Changed);
  EXPECT_EQ(doc.serialize(),
            "; titles typed by hand\r\n"
            "\r\n"
            "  [ C0C2D ]  \r\n"
            "ARTIST=New Band\r\n"
            "\ttitle\t=\t\"  Quoted Title  \"\r\n"
            "0='single'\r\n"
            "1=\"unmatched\r\n"
            "Artist=second key loses\r\n"
            "order=0 1 \r\n"  // after the section's last entry, before its other lines
            "not an entry\r\n"
            "\r\n"
            "[c0c2d]\r\n"
            "numtracks=99\r\n"
            "[Other]\r\n"
            "numtracks=3\r\n"
            "2=x\r\n"
            "[New]\r\n"
            "k=v\r\n");
  EXPECT_EQ(IniDocument::parse("[a]\nx=1").setValue("b", "y", "2"), Change::Changed);
}

TEST(IniDocumentTest, LineBreaksInNamesAndValuesNeverSplitTheLine) {
  IniDocument doc = IniDocument::parse("[s]\nk=1\n");
  EXPECT_EQ(doc.setValue("s", "k", "a\r\n[evil]\r\nx=y"), Change::Changed);
  EXPECT_EQ(doc.setValue("s\n[t", "new\nkey", "v\rw"), Change::Changed);
  EXPECT_EQ(doc.serialize(), "[s]\nk=a  [evil]  x=y\n[s [t]\nnew key=v w\n");
  EXPECT_EQ(doc.sectionNames(), (std::vector<std::string>{"s", "s [t"}));

  const std::string before = doc.serialize();
  EXPECT_EQ(doc.setValue("s", "a=b", "v"), Change::Refused);
  EXPECT_EQ(doc.setValue("s]x", "k", "v"), Change::Refused);
  EXPECT_EQ(doc.setValue("s", "[k", "v"), Change::Refused);
  EXPECT_EQ(doc.setValue("s", ";k", "v"), Change::Refused);
  EXPECT_EQ(doc.setValue("s", " \r\n ", "v"), Change::Refused);
  EXPECT_EQ(doc.serialize(), before);
}

TEST(IniDocumentTest, DeletesKeysAndEveryCopyOfASection) {
  IniDocument doc = IniDocument::parse("[a]\nk=1\n; note\nK=2\n[b]\nk=3\n[A]\nk=4\n");
  EXPECT_EQ(doc.removeKey("A", "k"), Change::Changed);
  EXPECT_EQ(doc.serialize(), "[a]\n; note\n[b]\nk=3\n[A]\nk=4\n");
  EXPECT_EQ(doc.removeKey("a", "missing"), Change::Unchanged);
  EXPECT_EQ(doc.removeSection("a"), Change::Changed);
  EXPECT_EQ(doc.serialize(), "[b]\nk=3\n");
  EXPECT_EQ(doc.removeSection("a"), Change::Unchanged);
}

TEST(IniDocumentTest, AMalformedFileReadsAsFarAsItCanAndKeepsTheRest) {
  const std::string text = "orphan=1\n[broken\nk=hidden\n[ok]\nk=seen\n\x01\xff garbage\n";
  IniDocument doc = IniDocument::parse(text);
  EXPECT_EQ(doc.value("broken", "k"), std::nullopt);
  EXPECT_EQ(doc.value("ok", "k"), "seen");
  EXPECT_EQ(doc.setValue("ok", "k", "changed"), Change::Changed);
  EXPECT_EQ(doc.serialize(), "orphan=1\n[broken\nk=hidden\n[ok]\nk=changed\n\x01\xff garbage\n");

  const std::string withBom = "\xEF\xBB\xBF[first]\r\nk=v\r\n";
  IniDocument bom = IniDocument::parse(withBom);
  EXPECT_EQ(bom.value("first", "k"), "v");
  EXPECT_EQ(bom.serialize(), withBom);
}

}  // namespace
}  // namespace platform
