// Random members of the engine with random arguments, through IDispatch, in
// any order: the engine answers every call without crashing or leaking
// (run under the sanitizers), and dispatch errors are only those of a
// malformed call. Seeded, so a failure repeats.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "tests/engine_client.h"

namespace {

using tests::EngineClient;

class EngineDispatchFuzzTest : public tests::EngineHomeTest {};

VARIANT randomArgument(std::mt19937& rng) {
  VARIANT v;
  VariantInit(&v);
  static const LONG numbers[] = {0, 1, -1, 2, 3, 4, 5, 7, 8, 63, 64, 65, 254, 255, 256, 600001, -32768, 32767,
                                 0x7FFFFFFF, static_cast<LONG>(0x80000000)};
  switch (rng() % 7) {
    case 0:
      v.vt = VT_I4;
      v.lVal = numbers[rng() % std::size(numbers)];
      break;
    case 1:
      v.vt = VT_I4;
      v.lVal = static_cast<LONG>(rng());
      break;
    case 2:
      v.vt = VT_I2;
      v.iVal = static_cast<SHORT>(rng());
      break;
    case 3:
      v.vt = VT_BOOL;
      v.boolVal = rng() % 2 ? VARIANT_TRUE : VARIANT_FALSE;
      break;
    case 4: {
      v.vt = VT_BSTR;
      const int kind = static_cast<int>(rng() % 3);
      if (kind == 0) {
        v.bstrVal = nullptr;
      } else {
        const std::u16string text(kind == 1 ? 0 : 5000, u'x');
        v.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
      }
      break;
    }
    case 5:
      v.vt = VT_DISPATCH;
      v.pdispVal = nullptr;
      break;
    default:
      break;  // VT_EMPTY
  }
  return v;
}

TEST_F(EngineDispatchFuzzTest, RandomCallsInAnyOrder) {
  const char* names[] = {
      "DriverOpen", "DriverClose", "Eject", "Refresh", "IsAvailableFormatOGG", "IsAvailableFormatMP3",
      "SetFormatMP3", "SetFormatMP3Ex", "SetFormatWMA", "SetFormatOGG", "SetFormatMP2", "RipTrackToWav",
      "RipTrackToMP3", "RipTrackToWMA", "RipTrackToOGG", "RipTrackToMP2", "StopRip", "PlayTrack", "PauseTrack",
      "SeekTrack", "StopPlay", "GetCDDBInfo", "driveNum", "driveCount", "driveLetter", "driveName",
      "driveReadType", "driveSpeed", "driveSpinUpTime", "driveLockCDTrayDuringRip", "cdType", "cdID",
      "ripModePreset", "ripOnErrorAction", "ripOnErrorRetries", "ripUseExternalASPI", "cddbTimeOut",
      "cddbServerAddress", "cddbAgentName", "cddbServerHTTPPort", "cddbUserEMail", "cddbCGIScript",
      "cddbInfoArtist", "cddbInfoAlbum", "cddbInfoGenre", "cddbInfoTitle", "trackNum", "trackCount",
      "trackDuration", "trackSamples", "trackFormatString", "GetAudioPlayer2Interface", "GetAudioFile2Interface",
      "RipTrackToAudioFile2Format", "_OnEvent", "BeginCDDBInfo", "CancelCDDBInfo"};
  // These wait for the drive (hundreds of milliseconds each): called rarely.
  const std::string slow[] = {"DriverOpen", "Refresh", "ripModePreset", "ripUseExternalASPI"};
  std::mt19937 rng(20261207);
  EngineClient client;
  client.open();  // most calls then meet drives; DriverClose and DriverOpen come at random too
  // The look-ups go to a loopback port nothing listens on, never to a public
  // server: set again after every DriverOpen, which puts the defaults back.
  const auto keepLookUpsLocal = [&client] {
    BSTR loopback = SysAllocString(u"127.0.0.1");
    client.engine()->put_cddbServerAddress(loopback);
    SysFreeString(loopback);
    client.engine()->put_cddbServerHTTPPort(1);
  };
  keepLookUpsLocal();
  int calls = 0;
  while (calls < 3000) {
    const std::string name = names[rng() % std::size(names)];
    if (std::find(std::begin(slow), std::end(slow), name) != std::end(slow) && rng() % 10 != 0) continue;
    ++calls;
    const DISPID id = client.dispid(name.c_str());
    ASSERT_NE(id, DISPID_UNKNOWN) << name;
    std::vector<VARIANT> args;
    const int count = static_cast<int>(rng() % 8);
    for (int i = 0; i < count; ++i) args.push_back(randomArgument(rng));
    VARIANT result;
    VariantInit(&result);
    HRESULT hr;
    if (rng() % 3 == 0 && !args.empty()) {
      DISPID named = DISPID_PROPERTYPUT;
      DISPPARAMS params{args.data(), &named, 1, 1};
      hr = client.dispatch()->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr);
    } else {
      DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
      hr = client.dispatch()->Invoke(id, IID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params, &result,
                                     nullptr, nullptr);
    }
    EXPECT_TRUE(hr == S_OK || hr == DISP_E_BADPARAMCOUNT || hr == DISP_E_TYPEMISMATCH || hr == DISP_E_OVERFLOW ||
                hr == DISP_E_MEMBERNOTFOUND || hr == E_INVALIDARG || hr == DISP_E_PARAMNOTFOUND)
        << name << " 0x" << std::hex << hr;
    if (result.vt == VT_UNKNOWN || result.vt == VT_DISPATCH || result.vt == VT_BSTR) VariantClear(&result);
    for (VARIANT& v : args) VariantClear(&v);
    if (name == "DriverOpen") keepLookUpsLocal();
  }
  client.close();
}

}  // namespace
