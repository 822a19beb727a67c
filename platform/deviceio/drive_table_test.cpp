#include "platform/deviceio/drive_table.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "platform/deviceio/fake_target.h"
#include "platform/deviceio/win_device.h"
#include "tests/support/fifo_watchdog.h"

namespace platform::deviceio {
namespace {

using testing::FakeTarget;

class DriveLetterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/deviceio_test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder = pattern;
    std::filesystem::create_directory(folder / "dev");
    for (const char* name : {"sr1", "sr0", "sr10", "sda", "srx"}) std::ofstream(folder / "dev" / name).put('\0');
  }
  void TearDown() override { std::filesystem::remove_all(folder); }

  DriveTable::Options options() {
    DriveTable::Options result;
    result.deviceDirectory = (folder / "dev").string();
    result.configurationPath = (folder / "vdrives.ini").string();
    result.factory = [this](const VdriveConfig::Keys& keys, std::string& error) -> std::shared_ptr<scsi::Target> {
      seenKeys.push_back(keys);
      const auto image = keys.find("image");
      if (image == keys.end() || image->second == "missing.cue") {
        error = "no image";
        return nullptr;
      }
      return std::make_shared<FakeTarget>();
    };
    return result;
  }

  void writeConfiguration(const std::string& text) { std::ofstream(folder / "vdrives.ini") << text; }

  std::filesystem::path folder;
  std::vector<VdriveConfig::Keys> seenKeys;
};

TEST_F(DriveLetterTest, VirtualDrivesFirstThenSrDevicesAtFreeLetters) {
  writeConfiguration("; drives\n[G]\nImage = demo.cue\nModel=plain\n[e]\nimage=other.cue\n[H]\nimage=missing.cue\n");
  DriveTable::instance().configure(options());
  const auto registered = std::make_shared<FakeTarget>();
  ASSERT_TRUE(registerDrive('E', registered));  // ahead of the file's [E]

  EXPECT_EQ(DriveTable::instance().letters(), "CDEFG");
  EXPECT_EQ(DriveTable::instance().find('C')->devicePath, (folder / "dev" / "sr0").string());
  EXPECT_EQ(DriveTable::instance().find('D')->devicePath, (folder / "dev" / "sr1").string());
  EXPECT_EQ(DriveTable::instance().find('F')->devicePath, (folder / "dev" / "sr10").string());
  EXPECT_NE(DriveTable::instance().find('G')->target, nullptr);
  ASSERT_EQ(seenKeys.size(), 3u);
  EXPECT_EQ(seenKeys[0].at("image"), "other.cue");  // keys reach the factory in lower case
  EXPECT_EQ(seenKeys[1].at("model"), "plain");
  ASSERT_EQ(DriveTable::instance().configurationErrors().size(), 1u);
  EXPECT_EQ(DriveTable::instance().configurationErrors()[0], "drive H: no image");

  EXPECT_EQ(GetDriveTypeA("E:\\"), DRIVE_CDROM);
  EXPECT_EQ(GetDriveTypeA("g:"), DRIVE_CDROM);
  EXPECT_EQ(GetDriveTypeA("C:/"), DRIVE_CDROM);
  for (const char* root : {"H:\\", "A:\\", "E:\\x", "E", "", "\\\\.\\E:"}) EXPECT_EQ(GetDriveTypeA(root), DRIVE_NO_ROOT_DIR) << root;
  EXPECT_EQ(GetDriveTypeA(nullptr), DRIVE_NO_ROOT_DIR);

  // Dropping the registration gives E back to the file's drive.
  ASSERT_TRUE(registerDrive('E', nullptr));
  EXPECT_EQ(DriveTable::instance().letters(), "CDEFG");
  ASSERT_NE(DriveTable::instance().find('E')->target, nullptr);
  EXPECT_NE(DriveTable::instance().find('E')->target, registered);
  EXPECT_FALSE(registerDrive('B', std::make_shared<FakeTarget>()));
}

TEST_F(DriveLetterTest, SrDevicesStopAtZ) {
  DriveTable::Options opts = options();
  DriveTable table(opts);
  for (char letter = 'C'; letter <= 'Y'; ++letter) table.registerDrive(letter, std::make_shared<FakeTarget>());
  EXPECT_EQ(table.find('Z')->devicePath, (folder / "dev" / "sr0").string());
  EXPECT_EQ(table.letters().size(), 24u);
}

TEST_F(DriveLetterTest, EveryFaultOfTheFileNamesItsLineAndKey) {
  std::ofstream(folder / "one.disc") << "disc\ntrack kind=silence length=1s\n";
  writeConfiguration("[E]\nimage=one.disc\nspeed=fast\n[F]\nimage=gone.cue\n\nREAD-OFFSET = 9999\n[G]\ncolour=red\n"
                     "[H]\nimage=one.disc\n");
  EXPECT_EQ(VdriveConfig::problems((folder / "vdrives.ini").string()),
            (std::vector<std::string>{
                "vdrives.ini:3: drive E: virtual drive setting 'speed': 'fast' is not a number from 0 to 64",
                "vdrives.ini:7: drive F: virtual drive setting 'read-offset': '9999' is not a number from -2000 to 2000",
                "vdrives.ini:5: drive F: virtual drive setting 'image': no such file " + (folder / "gone.cue").string(),
                "vdrives.ini:9: drive G: virtual drive setting 'colour': unknown key"}));
  // The drive table, which builds the drives, names the same lines.
  DriveTable table([&] {
    DriveTable::Options real = options();
    real.factory = nullptr;
    return real;
  }());
  EXPECT_EQ(table.letters(), "CDEH");  // sr0, sr1, sr10 and the sound [H]
  const auto errors = table.configurationErrors();
  ASSERT_FALSE(errors.empty());
  EXPECT_EQ(errors.front(), "vdrives.ini:3: drive E: virtual drive setting 'speed': 'fast' is not a number from 0 to 64");

  // A FIFO in the file's place is named, not waited on.
  std::filesystem::remove(folder / "vdrives.ini");
  ASSERT_EQ(mkfifo((folder / "vdrives.ini").c_str(), 0600), 0);
  const testing_support::FifoWatchdog watchdog((folder / "vdrives.ini").string());
  EXPECT_EQ(VdriveConfig::problems((folder / "vdrives.ini").string()),
            std::vector<std::string>{(folder / "vdrives.ini").string() + ": not a regular file; passed over"});
}

TEST(VdriveConfigTest, MalformedLinesAreNamedAndSkipped) {
  std::vector<std::string> errors;
  const VdriveConfig config = VdriveConfig::parse(
      "image=orphan.cue\n[E]\nimage=\"a b.cue\"\nimage=second.cue\ngarbage\n[AB]\nimage=x\n[e]\nimage=y\n[B]\n",
      "vdrives.ini", errors);
  ASSERT_EQ(config.drives().size(), 1u);
  EXPECT_EQ(config.drives().at('E').at("image"), "a b.cue");
  EXPECT_EQ(errors, (std::vector<std::string>{"vdrives.ini:5: expected key=value",
                                              "vdrives.ini:6: [AB] is not a drive letter from C to Z",
                                              "vdrives.ini:8: drive E is configured twice; the first section counts",
                                              "vdrives.ini:10: [B] is not a drive letter from C to Z"}));
}

TEST(VdriveConfigTest, DrivesWithoutAnAddressTakeTheNextFreeOneAndAGivenAddressCountsOnce) {
  std::vector<std::string> errors;
  const VdriveConfig config = VdriveConfig::parse(
      "[E]\nimage=a.cue\n[F]\nimage=b.cue\naddress=0:0:0:0\n[G]\nimage=c.cue\naddress = 0: 0:0 :0\n"
      "[H]\nimage=d.cue\n[I]\naddress=1:2:3:4\n[J]\naddress=junk\n",
      "vdrives.ini", errors);
  ASSERT_EQ(errors, (std::vector<std::string>{
                        "vdrives.ini:8: address 0:0:0:0 is drive F's already; drive G is left out"}));
  EXPECT_EQ(config.drives().count('G'), 0u);
  EXPECT_EQ(config.drives().at('E').at("address"), "0:0:1:0");
  EXPECT_EQ(config.drives().at('F').at("address"), "0:0:0:0");
  EXPECT_EQ(config.drives().at('H').at("address"), "0:0:2:0");
  EXPECT_EQ(config.drives().at('I').at("address"), "1:2:3:4");
  EXPECT_EQ(config.drives().at('J').at("address"), "junk");  // the drive factory names this one
}

}  // namespace
}  // namespace platform::deviceio
