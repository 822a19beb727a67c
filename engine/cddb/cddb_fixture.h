// Tests of the CDDB client and the title store: a fresh $RIPMARROW_HOME and
// drive table (from the device layer's fixture), options and key ring as at
// process start, and helpers to look at cdplayer.ini.
#pragma once

#include <fstream>
#include <sstream>
#include <string>

#include "engine/cddb/cddb_options.h"
#include "engine/cddb/cdplayer_ini.h"
#include "engine/cddb/disc_key.h"
#include "engine/device/device_fixture.h"

namespace engine::cddb::testing {

class CddbTest : public device::testing::DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    ResetCddbOptions();
    DiscKeyCacheReset();
  }
  void TearDown() override {
    ResetCddbOptions();
    DeviceTest::TearDown();
  }

  std::string IniPath() const { return home_ + "/" + kCdPlayerIniFile; }
  std::string IniText() const {
    std::ifstream in(IniPath(), std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
  }
  void WriteIni(const std::string& text) const { std::ofstream(IniPath(), std::ios::binary) << text; }
};

}  // namespace engine::cddb::testing
