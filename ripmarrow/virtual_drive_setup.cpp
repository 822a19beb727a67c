#include "ripmarrow/virtual_drive_setup.h"

#include <filesystem>
#include <iostream>

#include "platform/deviceio/vdrive_config.h"
#include "platform/home/install_layout.h"
#include "platform/profile/profile.h"

namespace ripmarrow {

std::string VirtualDriveSetup::demoImage() { return (platform::home::dataFolder() / "demo" / "demo.cue").string(); }

bool VirtualDriveSetup::putImage(const std::string& imagePath, char letter, std::string& error) {
  std::error_code ec;
  const std::filesystem::path image = std::filesystem::absolute(imagePath, ec);
  if (ec || !std::filesystem::exists(image)) {
    error = "no such image: " + imagePath;
    return false;
  }
  const std::string file = platform::deviceio::VdriveConfig::defaultPath();
  std::filesystem::create_directories(std::filesystem::path(file).parent_path(), ec);
  const std::string section(1, letter);
  if (!WritePrivateProfileStringA(section.c_str(), "image", image.string().c_str(), file.c_str())) {
    error = "cannot write " + file;
    return false;
  }
  // An address of its own, so that it does not hide a drive at the default one.
  WritePrivateProfileStringA(section.c_str(), "address", "0:0:7:0", file.c_str());
  return true;
}

bool VirtualDriveOption::apply(char& preferredLetter) const {
  if (!given) return true;
  std::string error;
  if (!VirtualDriveSetup::putImage(image.empty() ? VirtualDriveSetup::demoImage() : image,
                                   VirtualDriveSetup::kDefaultLetter, error)) {
    std::cerr << error << "\n";
    return false;
  }
  preferredLetter = VirtualDriveSetup::kDefaultLetter;
  return true;
}

}  // namespace ripmarrow
