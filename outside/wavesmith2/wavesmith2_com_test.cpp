// The codec server as its callers see it: registered into a temporary home,
// activated by CLSID through the registry, driven through its interfaces.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "components/wavesmith2.h"
#include "outside/wavesmith2/test_signals.h"

namespace {

using com::ComPtr;
namespace ts = wavesmith::test;

const std::string kServer = WAVESMITH2_SERVER_PATH;

HRESULT callExport(const char* name) {
  void* lib = dlopen(kServer.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (lib == nullptr) return E_FAIL;
  auto fn = reinterpret_cast<HRESULT (*)()>(dlsym(lib, name));
  HRESULT hr = fn != nullptr ? fn() : E_FAIL;
  dlclose(lib);
  return hr;
}

struct Bstr {
  explicit Bstr(const std::u16string& s) : b(SysAllocStringLen(s.data(), static_cast<UINT>(s.size()))) {}
  explicit Bstr(const std::string& s) : Bstr(std::u16string(s.begin(), s.end())) {}
  ~Bstr() { SysFreeString(b); }
  BSTR b;
};

std::string text(BSTR b) {
  std::string s(b, b + SysStringLen(b));
  SysFreeString(b);
  return s;
}

SAFEARRAY* vectorOf(const std::vector<int16_t>& samples) {
  SAFEARRAY* a = SafeArrayCreateVector(VT_I2, 0, static_cast<ULONG>(samples.size()));
  void* data = nullptr;
  SafeArrayAccessData(a, &data);
  std::copy(samples.begin(), samples.end(), static_cast<int16_t*>(data));
  SafeArrayUnaccessData(a);
  return a;
}

class Wavesmith2 : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/wavesmith2-com-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    home = pattern;
    setenv("RIPMARROW_HOME", home.c_str(), 1);
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    ASSERT_EQ(callExport("DllRegisterServer"), S_OK);
  }
  void TearDown() override {
    CoUninitialize();
    CoFreeUnusedLibraries();
    std::filesystem::remove_all(home);
  }

  ComPtr<IAudioFile2> newFile() {
    ComPtr<IAudioFile2> f;
    EXPECT_EQ(CoCreateInstance(CLSID_AudioFile2, nullptr, CLSCTX_ALL, IID_IAudioFile2, f.putVoid()), S_OK);
    return f;
  }

  // Writes `samples` (in the input layout given) to a new file.
  void write(IAudioFile2* f, const std::string& path, const std::vector<int16_t>& samples, LONG rate, LONG ch,
             bool inputFirst = false) {
    if (inputFirst) {
      ASSERT_EQ(f->SetInputFormat(rate, ch), S_OK);
    }
    ASSERT_EQ(f->CreateOutputFile(Bstr(path).b, 0), S_OK) << path;
    LONG status = -1;
    ASSERT_EQ(f->get_FileStatus(&status), S_OK);
    ASSERT_EQ(status, 0);
    if (!inputFirst) {
      ASSERT_EQ(f->SetInputFormat(rate, ch), S_OK);
    }
    // Whole seconds and a rest, as the engine's pump hands them.
    const size_t chunk = static_cast<size_t>(rate * ch);
    for (size_t at = 0; at < samples.size(); at += chunk) {
      std::vector<int16_t> part(samples.begin() + static_cast<ptrdiff_t>(at),
                                samples.begin() + static_cast<ptrdiff_t>(std::min(samples.size(), at + chunk)));
      SAFEARRAY* a = vectorOf(part);
      ASSERT_EQ(f->WriteSamples(a), S_OK);
      SafeArrayDestroy(a);
    }
    ASSERT_EQ(f->CloseFile(), S_OK);
  }

  struct ReadBack {
    LONG rate = 0, channels = 0, frames = 0, frameSize = 0, durationMs = 0;
    std::vector<int16_t> samples;
  };
  // Reads a file back through a new AudioFile2, as the converter does.
  ReadBack read(const std::string& path) {
    ReadBack r;
    ComPtr<IAudioFile2> f = newFile();
    EXPECT_EQ(f->OpenRead(Bstr(path).b, 0, 1), S_OK) << path;
    VARIANT_BOOL open = VARIANT_FALSE;
    f->get_isOpen(&open);
    EXPECT_EQ(open, VARIANT_TRUE);
    f->get_sampleRate(&r.rate);
    f->get_channelCount(&r.channels);
    f->get_lengthSamples(&r.frames);
    f->get_frameSize(&r.frameSize);
    f->get_durationMs(&r.durationMs);
    for (int guard = 0; guard < 1000; ++guard) {
      SAFEARRAY* block = nullptr;
      EXPECT_EQ(f->ReadSamples(r.channels * r.rate, &block), S_OK);
      if (block == nullptr) break;
      LONG upper = 0;
      SafeArrayGetUBound(block, 1, &upper);
      int16_t* data = nullptr;
      SafeArrayAccessData(block, reinterpret_cast<void**>(&data));
      r.samples.insert(r.samples.end(), data, data + upper + 1);
      SafeArrayUnaccessData(block);
      SafeArrayDestroy(block);
      if (upper == -1) break;  // the end: an empty array
    }
    EXPECT_EQ(f->CloseFile(), S_OK);
    return r;
  }

  // The file holds about `seconds` of the 1 kHz tone in the layout given.
  void expectTone(const std::string& path, LONG rate, LONG channels, double seconds) {
    SCOPED_TRACE(path);
    ReadBack r = read(path);
    EXPECT_EQ(r.rate, rate);
    EXPECT_EQ(r.channels, channels);
    EXPECT_EQ(r.frameSize, channels);
    EXPECT_NEAR(r.frames, seconds * rate, 0.06 * rate);  // encoder padding
    EXPECT_NEAR(r.durationMs, r.frames * 1000.0 / rate, 2.0);
    EXPECT_NEAR(static_cast<double>(r.samples.size()), static_cast<double>(r.frames) * channels, 0.06 * rate * channels);
    EXPECT_NEAR(ts::dominantHz(r.samples, channels, 0, rate), 1000.0, 15.0);
  }

  std::string home;
  ts::ScratchDir dir;
};

TEST_F(Wavesmith2, EveryFormatFamilyEncodesAToneThatReadsBack) {
  const auto cd = ts::tone(44100, 2, 1.5, 1000.0);
  ComPtr<IAudioFile2> f = newFile();
  ASSERT_EQ(f->put_codecOption(VARIANT_TRUE), S_OK);

  ASSERT_EQ(f->SetFormatPCM(44100, 2, 16), S_OK);
  write(f.get(), dir.file("a.wav"), cd, 44100, 2);
  expectTone(dir.file("a.wav"), 44100, 2, 1.5);

  ASSERT_EQ(f->SetFormatMP3(44100, 128, 2), S_OK);
  write(f.get(), dir.file("a.mp3"), cd, 44100, 2);
  expectTone(dir.file("a.mp3"), 44100, 2, 1.5);

  ASSERT_EQ(f->SetFormatMP2(48000, 192, 1), S_OK);  // resampled and mixed down on the way
  write(f.get(), dir.file("a.mp2"), cd, 44100, 2, true);
  expectTone(dir.file("a.mp2"), 48000, 1, 1.5);

  ASSERT_EQ(f->SetFormatOGG(44100, 2, 0, 0, 0, 3), S_OK);
  write(f.get(), dir.file("q.ogg"), cd, 44100, 2);
  expectTone(dir.file("q.ogg"), 44100, 2, 1.5);
  ASSERT_EQ(f->SetFormatOGG(44100, 2, 128, 96, 160, -1), S_OK);
  write(f.get(), dir.file("b.ogg"), cd, 44100, 2);
  expectTone(dir.file("b.ogg"), 44100, 2, 1.5);

  ASSERT_EQ(f->put_codecOption(VARIANT_TRUE), S_OK);
  ASSERT_EQ(f->SetFormatWMA(10), S_OK);
  write(f.get(), dir.file("a.wma"), cd, 44100, 2);
  expectTone(dir.file("a.wma"), 44100, 2, 1.5);
}

TEST_F(Wavesmith2, OneFormatServesSeveralFilesInEitherCallOrder) {
  ComPtr<IAudioFile2> f = newFile();
  ASSERT_EQ(f->SetFormatMP3(22050, 64, 1), S_OK);
  const auto mono = ts::tone(22050, 1, 1.0, 1000.0);
  write(f.get(), dir.file("1.mp3"), mono, 22050, 1, /*inputFirst=*/true);
  write(f.get(), dir.file("2.mp3"), ts::tone(44100, 2, 1.0, 1000.0), 44100, 2, /*inputFirst=*/false);
  expectTone(dir.file("1.mp3"), 22050, 1, 1.0);
  expectTone(dir.file("2.mp3"), 22050, 1, 1.0);
}

TEST_F(Wavesmith2, LameEncoderSettingsReachTheEncoder) {
  ComPtr<IAudioFile2LameEnc> lame;
  ASSERT_EQ(CoCreateInstance(CLSID_AudioFile2LameEnc, nullptr, CLSCTX_ALL, IID_IAudioFile2LameEnc, lame.putVoid()),
            S_OK);
  ComPtr<IAudioFile2> f = newFile();
  const auto cd = ts::tone(44100, 2, 1.5, 1000.0);

  // VBR: the file opens with a VBR header frame.
  ASSERT_EQ(lame->put_VbrCodingMethod(2), S_OK);
  ASSERT_EQ(lame->put_VbrQuality(4), S_OK);
  ASSERT_EQ(lame->put_EncoderQuality(8), S_OK);
  ASSERT_EQ(f->SetLameEncoder(lame.get()), S_OK);
  write(f.get(), dir.file("vbr.mp3"), cd, 44100, 2);
  std::ifstream in(dir.file("vbr.mp3"), std::ios::binary);
  std::string head(std::istreambuf_iterator<char>(in), {});
  head.resize(std::min<size_t>(head.size(), 4096));
  EXPECT_NE(head.find("Xing"), std::string::npos);
  expectTone(dir.file("vbr.mp3"), 44100, 2, 1.5);

  // A preset: "phone" is 8 kHz mono; the codec resamples the CD input.
  ASSERT_EQ(lame->SetParamsFromPreset(1), S_OK);
  LONG hz = 0;
  ASSERT_EQ(lame->get_Frequency(&hz), S_OK);
  EXPECT_EQ(hz, 8000);
  ASSERT_EQ(f->SetLameEncoder(lame.get()), S_OK);
  write(f.get(), dir.file("phone.mp3"), ts::tone(44100, 2, 1.5, 440.0), 44100, 2);
  ReadBack r = read(dir.file("phone.mp3"));
  EXPECT_EQ(r.rate, 8000);
  EXPECT_EQ(r.channels, 1);

  // Reservoir and short blocks read back 1 when on, whatever was put.
  BOOL on = 0;
  lame->put_BitReservoir(-1);
  lame->get_BitReservoir(&on);
  EXPECT_EQ(on, 1);

  // Not a settings object at all.
  EXPECT_EQ(f->SetLameEncoder(f.get()), E_NOINTERFACE);
}

TEST_F(Wavesmith2, RefusalsAndBadFilesGiveErrorsNotFiles) {
  ComPtr<IAudioFile2> f = newFile();
  // No format yet.
  EXPECT_EQ(f->CreateOutputFile(Bstr(dir.file("none.mp3")).b, 0), E_FAIL);
  LONG status = 0;
  f->get_FileStatus(&status);
  EXPECT_NE(status, 0);
  // MP3 at 44.1 kHz has no 8 kbit/s frame: the availability answer and the
  // format choice agree, and nothing is written.
  VARIANT_BOOL ok = VARIANT_TRUE;
  ASSERT_EQ(f->IsAvailableFormatMP3(44100, 8, 2, &ok), S_OK);
  EXPECT_EQ(ok, VARIANT_FALSE);
  ASSERT_EQ(f->IsAvailableFormatMP3(22050, 8, 2, &ok), S_OK);
  EXPECT_EQ(ok, VARIANT_TRUE);
  EXPECT_EQ(f->SetFormatMP3(44100, 8, 2), S_FALSE);
  EXPECT_EQ(f->CreateOutputFile(Bstr(dir.file("bad.mp3")).b, 0), E_FAIL);
  EXPECT_FALSE(std::filesystem::exists(dir.file("bad.mp3")));
  BSTR why = nullptr;
  ASSERT_EQ(f->get_FormatString(&why), S_OK);
  EXPECT_FALSE(text(why).empty());
  // A WMA profile number that does not exist.
  EXPECT_EQ(f->SetFormatWMA(48), S_FALSE);
  ASSERT_EQ(f->IsAvailableFormatWMA(48, &ok), S_OK);
  EXPECT_EQ(ok, VARIANT_FALSE);
  // Lossless is written at the encoder's top rate instead, and says so.
  ASSERT_EQ(f->IsAvailableFormatWMA(47, &ok), S_OK);
  EXPECT_EQ(ok, VARIANT_TRUE);
  EXPECT_EQ(f->SetFormatWMA(47), S_OK);
  ASSERT_EQ(f->get_FormatString(&why), S_OK);
  EXPECT_NE(text(why).find("320 kbit/s"), std::string::npos);
  // An output folder that does not exist.
  ASSERT_EQ(f->SetFormatPCM(44100, 2, 16), S_OK);
  EXPECT_EQ(f->CreateOutputFile(Bstr(dir.file("no/such/dir/x.wav")).b, 0), E_FAIL);
  f->get_FileStatus(&status);
  EXPECT_NE(status, 0);

  // Reading what is not audio, or nothing at all.
  std::ofstream(dir.file("text.mp3")) << "not audio, only words";
  EXPECT_TRUE(FAILED(f->OpenRead(Bstr(dir.file("text.mp3")).b, 0, 1)));
  EXPECT_TRUE(FAILED(f->OpenRead(Bstr(dir.file("missing.wav")).b, 0, 1)));
  SAFEARRAY* block = nullptr;
  EXPECT_EQ(f->ReadSamples(100, &block), E_UNEXPECTED);
  EXPECT_EQ(block, nullptr);
}

// ReadSamples hands out whole frames, at least one, straight as the file
// holds them; the block that meets the end is cut to what was left, and
// then an empty array says the end.
TEST_F(Wavesmith2, ReadSamplesHandsOutWholeFramesAndCutsTheLastBlock) {
  ComPtr<IAudioFile2> f = newFile();
  const auto cd = ts::noise(44100, 2, 0.1);  // 4410 frames
  ASSERT_EQ(f->SetFormatPCM(44100, 2, 16), S_OK);
  write(f.get(), dir.file("n.wav"), cd, 44100, 2);

  ComPtr<IAudioFile2> r = newFile();
  ASSERT_EQ(r->OpenRead(Bstr(dir.file("n.wav")).b, 0, 1), S_OK);
  std::vector<int16_t> all;
  auto next = [&](LONG count) {
    SAFEARRAY* block = nullptr;
    EXPECT_EQ(r->ReadSamples(count, &block), S_OK);
    if (block == nullptr) return LONG{-2};
    LONG upper = -2;
    SafeArrayGetUBound(block, 1, &upper);
    int16_t* data = nullptr;
    SafeArrayAccessData(block, reinterpret_cast<void**>(&data));
    all.insert(all.end(), data, data + upper + 1);
    SafeArrayUnaccessData(block);
    SafeArrayDestroy(block);
    return upper + 1;
  };
  EXPECT_EQ(next(1), 2);          // less than a frame: one frame
  EXPECT_EQ(next(7), 6);          // rounded down to whole frames
  EXPECT_EQ(next(100000), 8812);  // the rest, though more was asked
  EXPECT_EQ(next(100000), 0);     // the end
  EXPECT_EQ(next(2), 0);
  EXPECT_EQ(all, cd);
}

// FLAC, the member added after the specified slots: through the interface
// table and by name, lossless both ways, the specified members unmoved.
TEST_F(Wavesmith2, FlacIsWrittenLosslesslyThroughTheAddedMember) {
  ComPtr<IAudioFile2> f = newFile();
  const auto cd = ts::noise(44100, 2, 2.5);
  ASSERT_EQ(f->SetFormatFLAC(8), S_OK);
  write(f.get(), dir.file("a.flac"), cd, 44100, 2);
  ReadBack r = read(dir.file("a.flac"));
  EXPECT_EQ(r.rate, 44100);
  EXPECT_EQ(r.channels, 2);
  EXPECT_EQ(r.frames, static_cast<LONG>(cd.size() / 2));
  EXPECT_EQ(r.samples, cd);
  EXPECT_EQ(f->SetFormatFLAC(12), S_FALSE);
  EXPECT_EQ(f->CreateOutputFile(Bstr(dir.file("b.flac")).b, 0), E_FAIL);

  ComPtr<IDispatch> d;
  ASSERT_EQ(f.as(&d), S_OK);
  auto idOf = [&](const char16_t* name) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = 0;
    EXPECT_EQ(d->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
    return id;
  };
  EXPECT_EQ(idOf(u"SetFormatFLAC"), 0x2b);
  EXPECT_EQ(idOf(u"codecOption"), 0x2a);
  EXPECT_EQ(idOf(u"SetFormatWMA"), 0x19);
  VARIANT level = com::variantI4(0);
  DISPPARAMS params{&level, nullptr, 1, 0};
  ASSERT_EQ(d->Invoke(0x2b, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr), S_OK);
  BSTR format = nullptr;
  ASSERT_EQ(f->get_FormatString(&format), S_OK);
  EXPECT_EQ(text(format), "FLAC, compression level 0");
  write(f.get(), dir.file("c.flac"), cd, 44100, 2, /*inputFirst=*/true);
  EXPECT_EQ(read(dir.file("c.flac")).samples, cd);
}

TEST_F(Wavesmith2, MembersAreReachableByNameThroughIDispatch) {
  ComPtr<IAudioFile2> f = newFile();
  ComPtr<IDispatch> d;
  ASSERT_EQ(f.as(&d), S_OK);
  auto invoke = [&](const char16_t* name, WORD flags, std::vector<VARIANT> args, VARIANT* result) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = 0;
    HRESULT hr = d->GetIDsOfNames(IID_NULL, names, 1, 0, &id);
    if (FAILED(hr)) return hr;
    std::reverse(args.begin(), args.end());  // IDispatch takes the last argument first
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{args.data(), flags == DISPATCH_PROPERTYPUT ? &named : nullptr, static_cast<UINT>(args.size()),
                      flags == DISPATCH_PROPERTYPUT ? 1u : 0u};
    return d->Invoke(id, IID_NULL, 0, flags, &params, result, nullptr, nullptr);
  };
  VARIANT r;
  VariantInit(&r);
  ASSERT_EQ(invoke(u"SetFormatMP3", DISPATCH_METHOD, {com::variantI4(44100), com::variantI4(128), com::variantI4(2)},
                   nullptr),
            S_OK);
  ASSERT_EQ(invoke(u"FormatString", DISPATCH_PROPERTYGET, {}, &r), S_OK);
  ASSERT_EQ(r.vt, VT_BSTR);
  EXPECT_NE(text(r.bstrVal).find("128"), std::string::npos);
  ASSERT_EQ(invoke(u"codecOption", DISPATCH_PROPERTYPUT, {com::variantBool(true)}, nullptr), S_OK);
  VariantInit(&r);
  ASSERT_EQ(invoke(u"IsAvailableFormatOGG", DISPATCH_METHOD,
                   {com::variantI4(44100), com::variantI4(2), com::variantI4(128), com::variantI4(0),
                    com::variantI4(0)},
                   &r),
            S_OK);
  EXPECT_EQ(r.vt, VT_BOOL);
  EXPECT_EQ(r.boolVal, VARIANT_TRUE);
  EXPECT_EQ(invoke(u"Reserved20", DISPATCH_METHOD, {}, nullptr), E_NOTIMPL);
}

}  // namespace
