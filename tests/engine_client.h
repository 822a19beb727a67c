// What the engine's integration tests share: a temporary RIPMARROW_HOME with
// the engine registered and three virtual drives in vdrives.ini (an audio
// disc, a mixed-mode disc and a CD-Extra disc, as drives 1 to 3), and a
// client that drives the engine through IDispatch by name and records its
// events.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "components/trackmill2.h"

namespace tests {

std::string readFile(const std::string& path);

class EngineHomeTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  void setLog(const char* level);

  std::string home_;
  std::string oldCwd_;
};

class EngineClient {
 public:
  EngineClient();  // activates the engine from the registry
  ~EngineClient();
  EngineClient(const EngineClient&) = delete;
  EngineClient& operator=(const EngineClient&) = delete;

  IAudioCDRipper2* engine() const { return engine_.get(); }
  IDispatch* dispatch() const { return engine_.get(); }
  void open() { engine_->DriverOpen(); }
  void close() { engine_->DriverClose(); }

  DISPID dispid(const char* name) const;
  HRESULT call(const char* name, std::vector<VARIANT> args = {}, VARIANT* result = nullptr);
  HRESULT put(const char* name, VARIANT value);
  LONG getLong(const char* name);

  std::vector<LONG> errors() const;
  bool eventsOnThisThread() const;

 private:
  class Sink;
  com::ComPtr<IAudioCDRipper2> engine_;
  com::ComPtr<Sink> sink_;
  com::ComPtr<IConnectionPoint> point_;
  DWORD cookie_ = 0;
};

}  // namespace tests
