#include "platform/deviceio/device_access.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/sys/sys.h"

namespace platform::deviceio {
namespace {

// "sr0" or "sg12": the prefix and a number.
bool numbered(const std::string& name, const char* prefix) {
  if (name.size() < 3 || name.size() > 6 || name.compare(0, 2, prefix) != 0) return false;
  return std::all_of(name.begin() + 2, name.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

// An sg device of /dev is a CD drive when sysfs says its SCSI type is 5
// (TYPE_ROM); elsewhere (tests' folders) every sg device counts.
bool cdGenericDevice(const std::string& folder, const std::string& name) {
  if (std::filesystem::path(folder).lexically_normal() != "/dev") return true;
  std::ifstream type("/sys/class/scsi_generic/" + name + "/device/type");
  int kind = -1;
  return static_cast<bool>(type >> kind) && kind == 5;
}

std::string groupOf(const std::string& path) {
  struct stat st{};
  if (::stat(path.c_str(), &st) != 0) return {};
  struct group entry{};
  struct group* found = nullptr;
  char buffer[4096];
  if (getgrgid_r(st.st_gid, &entry, buffer, sizeof buffer, &found) != 0 || found == nullptr) return {};
  return found->gr_name;
}

}  // namespace

std::vector<RefusedDevice> refusedCdDevices(const std::string& folder) {
  std::string devices = folder;
  if (devices.empty()) {
    const char* variable = std::getenv("RIPMARROW_DEVICE_DIR");
    devices = variable != nullptr && *variable != '\0' ? variable : "/dev";
  }
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& item : std::filesystem::directory_iterator(devices, error)) {
    const std::string name = item.path().filename().string();
    if (numbered(name, "sr") || (numbered(name, "sg") && cdGenericDevice(devices, name))) names.push_back(name);
  }
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return a.compare(0, 2, b, 0, 2) != 0 ? a.compare(0, 2, b, 0, 2) > 0  // sr before sg
                                         : std::stoul(a.substr(2)) < std::stoul(b.substr(2));
  });
  std::vector<RefusedDevice> refused;
  for (const std::string& name : names) {
    const std::string path = (std::filesystem::path(devices) / name).string();
    const int fd = sys::open(path.c_str(), O_RDONLY | O_NONBLOCK);
    if (fd >= 0) {
      sys::close(fd);
      continue;
    }
    const int why = errno;
    if (why == EACCES || why == EPERM) refused.push_back({path, why, groupOf(path)});
  }
  return refused;
}

}  // namespace platform::deviceio
