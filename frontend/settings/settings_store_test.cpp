// quavern.ini as the windows see it: readers' defaults, values written and
// read back as text, case-insensitive names, other lines kept, and files
// that are missing, unreadable or garbled.
#include "frontend/settings/settings_store.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class SettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/rm_quavern_settings.XXXXXX";
    home_ = mkdtemp(pattern);
    setenv("RIPMARROW_HOME", home_.c_str(), 1);
  }
  void TearDown() override {
    std::filesystem::remove_all(home_);
    unsetenv("RIPMARROW_HOME");
  }
  void writeIni(const std::string& text) { std::ofstream(home_ + "/quavern.ini", std::ios::binary) << text; }

  std::string home_;
};

TEST_F(SettingsStoreTest, AFreshHomeGivesEveryReaderItsDefault) {
  quavern::SettingsStore store;
  EXPECT_EQ(store.path(), home_ + "/quavern.ini");
  EXPECT_EQ(store.readText("cddb", "port", "80"), "80");
  EXPECT_EQ(store.readInt("cddb", "time out", 15000), 15000);
  EXPECT_EQ(store.readInt("cddb", "time out", 10000), 10000);
  EXPECT_TRUE(store.readBool("basic", "enable sub dir", true));
  EXPECT_FALSE(store.readBool("ogg", "enable quality", false));
  EXPECT_FALSE(std::filesystem::exists(home_ + "/quavern.ini"));  // reading creates nothing
}

TEST_F(SettingsStoreTest, WrittenValuesAreTextAndReadBackInAnyCase) {
  quavern::SettingsStore store;
  ASSERT_TRUE(store.writeText("basic", "output directory", "/home/u/Music/Rips"));
  ASSERT_TRUE(store.writeInt("basic", "format", 3));
  ASSERT_TRUE(store.writeBool("basic", "enable sub dir", false));
  ASSERT_TRUE(store.writeBool("ogg", "enable quality", true));
  EXPECT_EQ(readAll(home_ + "/quavern.ini"),
            "[basic]\noutput directory=/home/u/Music/Rips\nformat=3\nenable sub dir=0\n[ogg]\nenable quality=1\n");
  // A second store (another window) sees them at once, whatever the case.
  const quavern::SettingsStore other;
  EXPECT_EQ(other.readText("BASIC", "Output Directory", ""), "/home/u/Music/Rips");
  EXPECT_EQ(other.readInt("Basic", "FORMAT", 0), 3);
  EXPECT_EQ(other.readText("basic", "format", ""), "3");
  EXPECT_FALSE(other.readBool("basic", "enable sub dir", true));
  EXPECT_TRUE(other.readBool("OGG", "enable quality", false));
}

TEST_F(SettingsStoreTest, AWriteKeepsOtherLinesAndChangesOnlyItsKey) {
  writeIni("; kept\n[CD]\nGrab Mode=2\nunknown=x\n\n[mp3]\nbitrate=12\n");
  quavern::SettingsStore store;
  ASSERT_TRUE(store.writeInt("cd", "grab mode", 3));
  EXPECT_EQ(readAll(home_ + "/quavern.ini"), "; kept\n[CD]\nGrab Mode=3\nunknown=x\n\n[mp3]\nbitrate=12\n");
  EXPECT_EQ(store.readInt("cd", "grab mode", 1), 3);
  EXPECT_TRUE(store.readBool("mp3", "bitrate", false));  // any non-zero integer is true
}

TEST_F(SettingsStoreTest, ValuesThatAreNotNumbersGiveTheDefault) {
  writeIni("[cd]\ndrive speed=fast\nerror retry=  7 \ncd rom=-2\n[cddb]\nport=eighty\ntime out=99999999999\n");
  const quavern::SettingsStore store;
  EXPECT_EQ(store.readInt("cd", "drive speed", 32), 32);
  EXPECT_EQ(store.readInt("cd", "error retry", 5), 7);
  EXPECT_EQ(store.readInt("cd", "cd rom", 0), -2);  // out of range: the reader clamps
  EXPECT_EQ(store.readText("cddb", "port", "80"), "eighty");
  EXPECT_EQ(store.readInt("cddb", "time out", 15000), 2147483647);
  EXPECT_FALSE(store.readBool("cd", "drive speed", false));
}

TEST_F(SettingsStoreTest, GarbledFilesGiveDefaultsAndStayWritable) {
  std::string junk;
  for (int i = 0; i < 70000; ++i) junk.push_back(static_cast<char>((i * 7919 + 13) % 256));
  junk += "\n[basic]\nformat=2\n" + std::string(1 << 20, 'x') + "\n";
  writeIni(junk);
  quavern::SettingsStore store;
  EXPECT_EQ(store.readInt("cddb", "time out", 15000), 15000);
  EXPECT_EQ(store.readText("cddb", "cddb server", "gnudb.gnudb.org"), "gnudb.gnudb.org");
  ASSERT_TRUE(store.writeText("cddb", "port", "8880"));
  EXPECT_EQ(store.readText("cddb", "port", "80"), "8880");
  EXPECT_EQ(readAll(home_ + "/quavern.ini").substr(0, 1000), junk.substr(0, 1000));  // the rest is kept
}

TEST_F(SettingsStoreTest, AnUnreadableFileGivesDefaultsAndRefusesWrites) {
  // A folder in the file's place cannot be read, not even by root.
  std::filesystem::create_directory(home_ + "/quavern.ini");
  quavern::SettingsStore store;
  EXPECT_EQ(store.readInt("basic", "format", 0), 0);
  EXPECT_EQ(store.readText("basic", "output directory", "/x"), "/x");
  EXPECT_FALSE(store.writeInt("basic", "format", 1));
}

}  // namespace
