// A temporary RIPMARROW_HOME for a test that drives the engine in-process:
// it is also the current folder (the engine's log is written there) and the
// only place drives are taken from (no real drives, no vdrives.ini of the
// user's), with COM initialised on the test's thread. Everything is undone
// in reverse order when it goes, so the engine is released before it.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>

#include "platform/com/objbase.h"
#include "platform/deviceio/drive_table.h"

namespace testing_support {

class ScratchHome {
 public:
  explicit ScratchHome(const std::string& prefix) {
    std::string pattern = "/tmp/" + prefix + ".XXXXXX";
    path_ = mkdtemp(pattern.data());
    setenv("RIPMARROW_HOME", path_.c_str(), 1);
    oldCwd_ = std::filesystem::current_path();
    std::filesystem::current_path(path_);
    platform::deviceio::DriveTable::Options options;
    options.deviceDirectory = path_;
    options.configurationPath = path_ + "/vdrives.ini";
    platform::deviceio::DriveTable::instance().configure(options);
    CoInitialize(nullptr);
  }
  ~ScratchHome() {
    CoUninitialize();
    platform::deviceio::DriveTable::instance().configure({});
    std::filesystem::current_path(oldCwd_);
    std::filesystem::remove_all(path_);
  }
  ScratchHome(const ScratchHome&) = delete;
  ScratchHome& operator=(const ScratchHome&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::filesystem::path oldCwd_;
};

}  // namespace testing_support
