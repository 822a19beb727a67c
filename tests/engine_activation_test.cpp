// Trackmill2 as a client sees it: registered into a temporary
// RIPMARROW_HOME, activated from the registry, driven through its vtable and
// through IDispatch by name, with the outside components replaced by
// recording doubles and virtual drives configured in vdrives.ini.
#include <dlfcn.h>
#include <elf.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "components/trackmill2.h"
#include "components/wavesmith2.h"
#include "platform/com/bstr_text.h"
#include "platform/registry/registry.h"
#include "tests/doubles/call_log.h"
#include "tests/engine_client.h"

namespace {

using tests::EngineClient;
using tests::readFile;

class EngineActivationTest : public tests::EngineHomeTest {};

TEST_F(EngineActivationTest, RegistrationWritesTheIdentityTable) {
  platform::RegistryStore store;
  const std::string clsid = "HKEY_CLASSES_ROOT\\CLSID\\{5A1981F1-BA41-4EE3-8B4D-436A3D4CFB95}";
  EXPECT_EQ(store.getString(clsid, ""), "AudioCDRipper2 Class");
  EXPECT_EQ(store.getString(clsid + "\\ProgID", ""), "Trackmill2.AudioCDRipper2.1");
  EXPECT_EQ(store.getString(clsid + "\\VersionIndependentProgID", ""), "Trackmill2.AudioCDRipper2");
  EXPECT_EQ(store.getString(clsid + "\\InprocServer32", "ThreadingModel"), "Both");
  EXPECT_EQ(store.getString(clsid + "\\TypeLib", ""), "{D37D2313-AA44-409B-9F1D-31F09B620A8D}");
  EXPECT_TRUE(store.keyExists(clsid + "\\Programmable"));
  EXPECT_EQ(store.getString("HKEY_CLASSES_ROOT\\Trackmill2.AudioCDRipper2\\CurVer", ""),
            "Trackmill2.AudioCDRipper2.1");
  const std::string lame = "HKEY_CLASSES_ROOT\\CLSID\\{5F1E758B-E036-4A5E-A45A-90CCA22F9192}";
  EXPECT_EQ(store.getString(lame + "\\InprocServer32", "ThreadingModel"), "Apartment");
  EXPECT_EQ(store.getString(lame + "\\ProgID", ""), "Trackmill2.AudioCDRipperLameMP3Encoder2.1");

  CLSID byProgId{};
  ASSERT_EQ(CLSIDFromProgID(u"Trackmill2.AudioCDRipper2", &byProgId), S_OK);
  EXPECT_TRUE(byProgId == CLSID_AudioCDRipper2);
}

TEST_F(EngineActivationTest, LibraryExportsOnlyTheServerEntriesAndCarriesItsName) {
  // Exported dynamic symbols, read from the file's dynamic symbol table.
  std::ifstream in(RIPMARROW_TRACKMILL2_PATH, std::ios::binary);
  const std::string image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GT(image.size(), sizeof(Elf64_Ehdr));
  const auto* header = reinterpret_cast<const Elf64_Ehdr*>(image.data());
  const auto* sections = reinterpret_cast<const Elf64_Shdr*>(image.data() + header->e_shoff);
  const char* names = image.data() + sections[header->e_shstrndx].sh_offset;
  std::vector<std::string> exported;
  std::string resources;
  for (int i = 0; i < header->e_shnum; ++i) {
    const Elf64_Shdr& s = sections[i];
    if (std::string(names + s.sh_name) == ".rm_strings") resources.assign(image.data() + s.sh_offset, s.sh_size);
    if (s.sh_type != SHT_DYNSYM) continue;
    const char* strings = image.data() + sections[s.sh_link].sh_offset;
    const auto* symbols = reinterpret_cast<const Elf64_Sym*>(image.data() + s.sh_offset);
    for (size_t k = 0; k < s.sh_size / sizeof(Elf64_Sym); ++k) {
      if (symbols[k].st_shndx != SHN_UNDEF && ELF64_ST_BIND(symbols[k].st_info) != STB_LOCAL &&
          symbols[k].st_name != 0) {
        exported.emplace_back(strings + symbols[k].st_name);
      }
    }
  }
  std::sort(exported.begin(), exported.end());
  EXPECT_EQ(exported, (std::vector<std::string>{"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer",
                                                "DllUnregisterServer"}));
  EXPECT_NE(resources.find("100\tTrackmill2\n"), std::string::npos);
}

TEST_F(EngineActivationTest, DriverOpenCreatesTheComponentsAndDriverCloseReleasesThem) {
  doubles::registerDoubles();
  doubles::clearCalls();
  {
    EngineClient client;
    client.open();
    EXPECT_EQ(client.getLong("driveCount"), 3);
    EXPECT_TRUE(client.errors().empty());
    const std::vector<std::string> afterOpen = doubles::recordedCalls();
    const std::vector<std::string> expected = {
        "AudioPlayer2.Create",         "AudioPlayer2.FindConnectionPoint", "AudioFile2.Create",
        "AudioFile2LameEnc.Create",    "AudioFile2LameEnc.EncoderQuality=8",
        "AudioFile2.SetLameEncoder(AudioFile2LameEnc)"};
    EXPECT_EQ(afterOpen, expected);

    // The engine hands out its own objects.
    com::ComPtr<IUnknown> file;
    ASSERT_EQ(client.engine()->GetAudioFile2Interface(file.put()), S_OK);
    com::ComPtr<IAudioFile2> asFile;
    EXPECT_EQ(file.as(&asFile), S_OK);
    file.reset();
    asFile.reset();

    doubles::clearCalls();
    client.close();
    const std::vector<std::string> afterClose = doubles::recordedCalls();
    // The player's sink is unadvised before the objects go.
    EXPECT_EQ(afterClose, (std::vector<std::string>{"AudioPlayer2.FindConnectionPoint", "AudioPlayer2.Release",
                                                    "AudioFile2.Release", "AudioFile2LameEnc.Release"}));
  }
}

TEST_F(EngineActivationTest, MissingComponentsAreLoggedAndRecorded) {
  setLog("Normal");
  {
    EngineClient client;
    client.open();
    EXPECT_TRUE(client.errors().empty());
    // An encoded rip is refused when the codec is missing; the WAV rip is not.
    client.call("RipTrackToMP3", {com::variantBstr(nullptr)});
    EXPECT_EQ(client.errors(), std::vector<LONG>{FORMAT_NOT_SUPPORT});
    client.close();
  }
  const std::string log = readFile(home_ + "/audioripper.log");
  EXPECT_NE(log.find("AudioFile create instance error!\r\nSet internal check media timer\r\n"), std::string::npos);
}

TEST_F(EngineActivationTest, EveryMemberIsReachableByName) {
  EngineClient client;
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
      "RipTrackToAudioFile2Format", "_OnEvent", "driveSpeedMax", "RipRangeToAudioFile2Format", "BeginCDDBInfo",
      "CancelCDDBInfo"};
  const DISPID ids[] = {0x1,  0x2,  0x3,  0x4,  0xa,  0xb,  0xc,  0xd,  0xe,  0xf,  0x10, 0x14, 0x15, 0x16,
                        0x17, 0x18, 0x19, 0x1e, 0x1f, 0x20, 0x21, 0x28, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37,
                        0x38, 0x39, 0x3c, 0x3d, 0x46, 0x47, 0x48, 0x49, 0x50, 0x51, 0x52, 0x53, 0x54, 0x55,
                        0x56, 0x57, 0x58, 0x59, 0x5a, 0x5b, 0x5c, 0x5d, 0x5e, 0x64, 0x65, 0x66, 0x6e, 0x6f,
                        0x70, 0x71, 0x72};
  static_assert(std::size(names) == std::size(ids));
  for (size_t i = 0; i < std::size(names); ++i) EXPECT_EQ(client.dispid(names[i]), ids[i]) << names[i];
}

// The rip report is a second dual interface of the same object: reached
// through QueryInterface, its members by name and dispid on its own
// IDispatch, its QueryInterface back to the object's identity, and its
// entry with the type library.
TEST_F(EngineActivationTest, TheRipReportIsAnInterfaceOfTheSameObject) {
  platform::RegistryStore store;
  const std::string key = "HKEY_CLASSES_ROOT\\Interface\\{4E95E8F6-6B37-496F-8F9D-95173533B4D8}";
  EXPECT_EQ(store.getString(key, ""), "IAudioCDRipperReport");
  EXPECT_EQ(store.getString(key + "\\TypeLib", ""), "{D37D2313-AA44-409B-9F1D-31F09B620A8D}");

  EngineClient client;
  com::ComPtr<IAudioCDRipperReport> report;
  ASSERT_EQ(client.engine()->QueryInterface(IID_IAudioCDRipperReport, report.putVoid()), S_OK);
  com::ComPtr<IUnknown> viaReport, viaEngine;
  ASSERT_EQ(report->QueryInterface(IID_IUnknown, viaReport.putVoid()), S_OK);
  ASSERT_EQ(client.engine()->QueryInterface(IID_IUnknown, viaEngine.putVoid()), S_OK);
  EXPECT_EQ(viaReport.get(), viaEngine.get());

  const char16_t* names[] = {u"framesRead", u"framesReread", u"framesConfirmed", u"framesUnconfirmed",
                             u"retries",    u"blocksGivenUp"};
  for (size_t i = 0; i < std::size(names); ++i) {
    LPOLESTR name = const_cast<LPOLESTR>(names[i]);
    DISPID id = 0;
    ASSERT_EQ(report->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
    EXPECT_EQ(id, static_cast<DISPID>(i + 1));
    DISPPARAMS none{};
    VARIANT value;
    VariantInit(&value);
    ASSERT_EQ(report->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &value, nullptr, nullptr), S_OK);
    EXPECT_EQ(value.vt, VT_I4);
    EXPECT_EQ(value.lVal, 0);  // no rip yet
  }
}

TEST_F(EngineActivationTest, DiscThroughDispatchWithEventsOnTheClientThread) {
  EngineClient client;
  client.open();
  client.put("driveNum", com::variantI4(2));
  client.call("Refresh");
  EXPECT_TRUE(client.errors().empty());
  EXPECT_EQ(client.getLong("trackCount"), 2);  // the data track is left out
  EXPECT_EQ(client.getLong("cdType"), BLUEBOOK);
  client.put("ripModePreset", com::variantI4(5));
  client.call("Eject");
  EXPECT_EQ(client.errors(), (std::vector<LONG>{INVALID_PARAM, OPERATION_FAILED}));
  EXPECT_TRUE(client.eventsOnThisThread());
  client.close();
}

// Titles from another source, stored through the report, are what the
// engine's own cdplayer.ini look-up finds for the disc: keyed as it keys
// the disc (here a CD-Extra, whose data track does not count).
TEST_F(EngineActivationTest, TitlesStoredThroughTheReportAreFoundInCdPlayerIni) {
  EngineClient client;
  com::ComPtr<IAudioCDRipperReport> report;
  ASSERT_EQ(client.engine()->QueryInterface(IID_IAudioCDRipperReport, report.putVoid()), S_OK);
  LPOLESTR name = const_cast<LPOLESTR>(u"StoreDiscTitles");
  DISPID id = 0;
  ASSERT_EQ(report->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
  EXPECT_EQ(id, 0x26);

  const com::Bstr artist("Artist"), album("Album"), titles("One\nTwo\n");
  VARIANT_BOOL stored = VARIANT_TRUE;
  ASSERT_EQ(report->StoreDiscTitles(artist.get(), album.get(), titles.get(), &stored), S_OK);
  EXPECT_EQ(stored, VARIANT_FALSE);  // no disc read yet
  EXPECT_FALSE(std::filesystem::exists(home_ + "/cdplayer.ini"));

  client.open();
  client.put("driveNum", com::variantI4(2));
  client.call("Refresh");
  ASSERT_EQ(client.getLong("trackCount"), 2);
  ASSERT_EQ(report->StoreDiscTitles(artist.get(), album.get(), titles.get(), &stored), S_OK);
  EXPECT_EQ(stored, VARIANT_TRUE);
  VARIANT_BOOL found = VARIANT_FALSE;
  ASSERT_EQ(client.engine()->GetCDDBInfo(CDPLAYERINI, &found), S_OK);
  ASSERT_EQ(found, VARIANT_TRUE);
  const auto text = [&](HRESULT (STDMETHODCALLTYPE IAudioCDRipper2::*get)(BSTR*)) {
    BSTR value = nullptr;
    (client.engine()->*get)(&value);
    return com::TakeUtf8(value);
  };
  EXPECT_EQ(text(&IAudioCDRipper2::get_cddbInfoArtist), "Artist");
  EXPECT_EQ(text(&IAudioCDRipper2::get_cddbInfoAlbum), "Album");
  client.engine()->put_trackNum(2);
  EXPECT_EQ(text(&IAudioCDRipper2::get_cddbInfoTitle), "Two");
  client.close();
}

TEST_F(EngineActivationTest, CommandLineClientShowsTheDemoDisc) {
  std::filesystem::remove(home_ + "/vdrives.ini");  // the client sets up its own drive
  const std::string out = home_ + "/out.txt";
  // The fixture registered the engine alone, so the client runs without the
  // outside components (no audio output is opened).
  const std::string command = std::string("cd '") + home_ + "' && RIPMARROW_DEVICE_DIR='" + home_ + "' '" +
                              RIPMARROW_CLI_PATH + "' --vdrive info > '" + out + "' 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << readFile(out);
  const std::string text = readFile(out);
  EXPECT_NE(text.find("V:\\"), std::string::npos) << text;
  EXPECT_NE(text.find("Type:  REDBOOK"), std::string::npos) << text;
  EXPECT_NE(text.find("CDDB ID: 22007804"), std::string::npos) << text;
  EXPECT_NE(text.find("   4  0:24.000"), std::string::npos) << text;
}

}  // namespace
