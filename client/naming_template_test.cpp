// Names by template: the codes, the stand-ins for missing values, what a
// file system refuses, and folders two discs never share.
#include "client/naming_template.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>
#include <vector>

namespace client {
namespace {

TEST(NamingTemplate, ExpandsEveryCodeWithItsStandIns) {
  NamingValues v{"Björk", "Guest", "Post", "Army of Me", 1995, 3, 2};
  EXPECT_EQ(ExpandNaming("%A/%D (%Y)/%d-%N %T by %a %%", v), "Björk/Post (1995)/2-03 Army of Me by Guest %");
  const NamingValues none{};
  EXPECT_EQ(ExpandNaming("%A/%D/%d %N %T %Y", none), "Unknown Artist/Unknown Album/1 00 Track 00");
  NamingValues trackOnly;
  trackOnly.trackArtist = "Solo";
  trackOnly.track = 12;
  EXPECT_EQ(ExpandNaming("%A/%N %a", trackOnly), "Solo/12 Solo");
}

TEST(NamingTemplate, ValuesNeverLeaveTheirPart) {
  NamingValues v{"AC/DC", "", "../../etc", "What? \"Now\": <1/2>\t", 0, 1, 1};
  // A value's "/" becomes "-"; refused characters go; "." and ".." parts cannot arise.
  EXPECT_EQ(ExpandNaming("%A/%D/%N %T", v), "AC-DC/..-..-etc/01 What Now 1-2");
  NamingValues dots;
  dots.album = "..";
  EXPECT_EQ(ExpandNaming("%D//x/", dots), "_../x");
  NamingValues longTitle;
  longTitle.title = std::string(300, 'e') + "é";
  EXPECT_LE(ExpandNaming("%T", longTitle).size(), 200u);
}

TEST(NamingTemplate, RefusesBadTemplatesAndSplitsFolderFromFile) {
  EXPECT_EQ(NamingTemplateProblem("%A/%D/%N %T"), "");
  EXPECT_NE(NamingTemplateProblem(""), "");
  EXPECT_NE(NamingTemplateProblem("/abs/%T"), "");
  EXPECT_NE(NamingTemplateProblem("%A/"), "");
  EXPECT_NE(NamingTemplateProblem("%Q"), "");
  EXPECT_NE(NamingTemplateProblem("%T %"), "");
  EXPECT_EQ(NamingFolderPart("%A/%D/%N %T"), "%A/%D");
  EXPECT_EQ(NamingFilePart("%A/%D/%N %T"), "%N %T");
  EXPECT_EQ(NamingFolderPart("%N %T"), "");
}

TEST(NamingTemplate, DiscsOfOneNameGetFoldersOfTheirOwnEvenAtOnce) {
  const std::filesystem::path base = std::filesystem::temp_directory_path() / "rm_naming_template_test";
  std::filesystem::remove_all(base);
  std::vector<std::string> made(4);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < made.size(); ++i)
    threads.emplace_back([&, i] { made[i] = CreateDiscFolder(base.string(), "Artist/Album"); });
  for (std::thread& t : threads) t.join();
  std::sort(made.begin(), made.end());
  EXPECT_EQ(made, (std::vector<std::string>{(base / "Artist/Album").string(), (base / "Artist/Album (2)").string(),
                                            (base / "Artist/Album (3)").string(), (base / "Artist/Album (4)").string()}));
  EXPECT_EQ(CreateDiscFolder(base.string(), ""), base.string());
  std::filesystem::remove_all(base);
}

}  // namespace
}  // namespace client
