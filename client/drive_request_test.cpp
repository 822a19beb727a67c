#include "client/drive_request.h"

#include <gtest/gtest.h>
#include <stdlib.h>

namespace client {
namespace {

DriveRequest parsed(const std::string& text) {
  DriveRequest request;
  std::string error;
  EXPECT_TRUE(parseDriveRequest(text, request, error)) << text << ": " << error;
  return request;
}

std::string refusal(const std::string& text) {
  DriveRequest request;
  std::string error;
  EXPECT_FALSE(parseDriveRequest(text, request, error)) << text;
  EXPECT_TRUE(request.empty()) << text;
  return error;
}

TEST(DriveRequest, DevicesUrisLettersAndNumbers) {
  unsetenv("RIPMARROW_DEVICE_DIR");
  EXPECT_EQ(parsed("/dev/sr1").devicePath, "/dev/sr1");
  EXPECT_EQ(parsed("cdda://sr0/").devicePath, "/dev/sr0");
  EXPECT_EQ(parsed("CDDA://sr2").devicePath, "/dev/sr2");
  EXPECT_EQ(parsed("cdda:///dev/sr3/").devicePath, "/dev/sr3");
  EXPECT_EQ(parsed("sr4").devicePath, "/dev/sr4");
  EXPECT_EQ(parsed("e").letter, 'E');
  EXPECT_EQ(parsed("V:").letter, 'V');
  EXPECT_EQ(parsed("2").number, 2);
  setenv("RIPMARROW_DEVICE_DIR", "/tmp/devices", 1);
  EXPECT_EQ(parsed("cdda://sr0/").devicePath, "/tmp/devices/sr0");
  unsetenv("RIPMARROW_DEVICE_DIR");
}

TEST(DriveRequest, TextThatNamesNoDriveIsRefusedWithAReason) {
  EXPECT_NE(refusal("").find("no drive"), std::string::npos);
  EXPECT_NE(refusal("0").find("count from 1"), std::string::npos);
  EXPECT_NE(refusal("99999999").find("count from 1"), std::string::npos);
  EXPECT_NE(refusal("A:").find("C to Z"), std::string::npos);
  EXPECT_NE(refusal("cdda://").find("names no drive"), std::string::npos);
  EXPECT_NE(refusal("cdda:///").find("names no drive"), std::string::npos);
  EXPECT_NE(refusal("bogus").find("not a drive"), std::string::npos);
}

}  // namespace
}  // namespace client
