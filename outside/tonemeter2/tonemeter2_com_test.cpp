// The player and tag server as their callers see them: registered into a
// temporary home, activated by CLSID through the registry, events heard by
// a sink in the test thread's apartment. The player plays into the silent
// sink (RIPMARROW_AUDIO=silent), which consumes at real-time pace, so the
// audio queued here is short.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <pthread.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "components/tonemeter2.h"
#include "outside/wavesmith2/audio_file.h"
#include "outside/wavesmith2/test_signals.h"

namespace {

using com::ComPtr;

const std::string kServer = TONEMETER2_SERVER_PATH;
constexpr DWORD kGuardMs = 20000;  // a hang guard only; nothing waits this long when all is well

HRESULT callExport(const char* name) {
  void* lib = dlopen(kServer.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (lib == nullptr) return E_FAIL;
  auto fn = reinterpret_cast<HRESULT (*)()>(dlsym(lib, name));
  HRESULT hr = fn != nullptr ? fn() : E_FAIL;
  dlclose(lib);
  return hr;
}

struct Bstr {
  explicit Bstr(const std::string& s) {
    std::u16string w(s.begin(), s.end());
    b = SysAllocStringLen(w.data(), static_cast<UINT>(w.size()));
  }
  ~Bstr() { SysFreeString(b); }
  BSTR b;
};

std::string text(BSTR b) {
  std::string s(b, b + SysStringLen(b));
  SysFreeString(b);
  return s;
}

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

struct Event {
  DISPID id;
  std::vector<LONG> args;
  pthread_t thread;
};

// Records every player event with its arguments and the thread it ran on.
class RecordingSink final : public com::EventSink<RecordingSink, DIID_IAudioPlayer2Events> {
 public:
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    Event e{id, {}, pthread_self()};
    for (UINT i = params->cArgs; i-- > 0;) e.args.push_back(params->rgvarg[i].lVal);  // last first
    events.push_back(e);
    return S_OK;
  }
  bool has(DISPID id) const {
    return std::any_of(events.begin(), events.end(), [&](const Event& e) { return e.id == id; });
  }
  std::vector<Event> events;  // the test thread's
};

SAFEARRAY* silence(ULONG elements) { return SafeArrayCreateVector(VT_I2, 0, elements); }

class Tonemeter2 : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tonemeter2-com-XXXXXX";
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

  // A player as the engine sets one up, with `sink` advised.
  ComPtr<IAudioPlayer2> newPlayer(RecordingSink* sink, DWORD* cookie) {
    ComPtr<IAudioPlayer2> p;
    EXPECT_EQ(CoCreateInstance(CLSID_AudioPlayer2, nullptr, CLSCTX_ALL, IID_IAudioPlayer2, p.putVoid()), S_OK);
    ComPtr<IConnectionPointContainer> cpc;
    EXPECT_EQ(p.as(&cpc), S_OK);
    ComPtr<IConnectionPoint> cp;
    EXPECT_EQ(cpc->FindConnectionPoint(DIID_IAudioPlayer2Events, cp.put()), S_OK);
    EXPECT_EQ(cp->Advise(sink->identity(), cookie), S_OK);
    EXPECT_NE(*cookie, 0u);
    EXPECT_EQ(p->SetFormat(44100, 2), S_OK);
    LONG inEffect = 0;
    EXPECT_EQ(p->SetBufferTime(300, &inEffect), S_OK);
    EXPECT_EQ(inEffect, 300);
    return p;
  }

  // Pumps this thread's calls until the sink has heard `id`.
  static void pumpUntil(RecordingSink* sink, DISPID id) {
    struct Ctx {
      RecordingSink* sink;
      DISPID id;
    } ctx{sink, id};
    ASSERT_EQ(CoWaitUntil([](void* c) -> BOOL {
                auto* x = static_cast<Ctx*>(c);
                return x->sink->has(x->id) ? TRUE : FALSE;
              }, &ctx, kGuardMs),
              S_OK);
  }

  std::string home;
  wavesmith::test::ScratchDir dir;
};

TEST_F(Tonemeter2, PlayerEventsReachTheAdvisingApartmentInOrder) {
  RecordingSink* sink = com::make<RecordingSink>().detach();
  DWORD cookie = 0;
  ComPtr<IAudioPlayer2> p = newPlayer(sink, &cookie);
  ASSERT_EQ(p->Play(), S_OK);
  AudioPlayer2State state{};
  ASSERT_EQ(p->GetState(&state), S_OK);
  EXPECT_GE(state.status, 0);
  EXPECT_EQ(state.playing, 1);
  EXPECT_EQ(state.bufferTimeMs, 300);
  constexpr LONG kFrames = 8820;  // 0.2 s
  SAFEARRAY* a = silence(2 * kFrames);
  ASSERT_EQ(p->WriteSamples(a), S_OK);
  SafeArrayDestroy(a);
  // Nothing reaches the sink until this thread pumps.
  EXPECT_TRUE(sink->events.empty());

  pumpUntil(sink, kPlayerEventEnd);
  const pthread_t self = pthread_self();
  LONG last = -1;
  for (const Event& e : sink->events) {
    EXPECT_TRUE(pthread_equal(e.thread, self));
    if (e.id == kPlayerEventPosition) {
      ASSERT_EQ(e.args.size(), 3u);
      EXPECT_GT(e.args[0], last);
      last = e.args[0];
    }
  }
  EXPECT_TRUE(sink->has(kPlayerEventMoreWanted));  // less than a second was queued
  EXPECT_EQ(sink->events.back().id, kPlayerEventEnd);
  EXPECT_EQ(last, kFrames);  // the end comes after everything queued was played

  ASSERT_EQ(p->GetState(&state), S_OK);
  EXPECT_EQ(state.samplesQueued, 0);
  EXPECT_EQ(state.samplesPlayed, kFrames);
  sink->Release();
}

TEST_F(Tonemeter2, FlushDropsTheQueueAndUnadviseStopsTheEvents) {
  RecordingSink* sink = com::make<RecordingSink>().detach();
  DWORD cookie = 0;
  ComPtr<IAudioPlayer2> p = newPlayer(sink, &cookie);
  SAFEARRAY* second = silence(88200);  // one second, as the engine queues it
  ASSERT_EQ(p->WriteSamples(second), S_OK);
  ASSERT_EQ(p->WriteSamples(second), S_OK);
  ASSERT_EQ(p->Play(), S_OK);
  pumpUntil(sink, kPlayerEventPosition);
  ASSERT_EQ(p->Flush(), S_OK);
  LONG queued = -1;
  ASSERT_EQ(p->get_samplesQueued(&queued), S_OK);
  EXPECT_EQ(queued, 0);

  // After the flush the count starts again from the audio queued since.
  sink->events.clear();
  SAFEARRAY* tenth = silence(8820);
  ASSERT_EQ(p->WriteSamples(tenth), S_OK);
  pumpUntil(sink, kPlayerEventEnd);
  LONG last = -1;
  for (const Event& e : sink->events) {
    if (e.id == kPlayerEventPosition) last = e.args[0];
  }
  EXPECT_EQ(last, 4410);

  // Unadvised, the sink hears nothing more, even of events already on their way.
  ComPtr<IConnectionPointContainer> cpc;
  ASSERT_EQ(p.as(&cpc), S_OK);
  ComPtr<IConnectionPoint> cp;
  ASSERT_EQ(cpc->FindConnectionPoint(DIID_IAudioPlayer2Events, cp.put()), S_OK);
  ASSERT_EQ(p->WriteSamples(tenth), S_OK);
  ASSERT_EQ(cp->Unadvise(cookie), S_OK);
  EXPECT_EQ(cp->Unadvise(cookie), CONNECT_E_NOCONNECTION);
  sink->events.clear();
  ASSERT_EQ(p->Stop(), S_OK);
  CoPumpCalls(0);
  EXPECT_TRUE(sink->events.empty());
  SafeArrayDestroy(second);
  SafeArrayDestroy(tenth);
  sink->Release();
}

TEST_F(Tonemeter2, ReleasingAPlayerWhoseEventsWaitOnTheClientDoesNotHang) {
  RecordingSink* sink = com::make<RecordingSink>().detach();
  DWORD cookie = 0;
  ComPtr<IAudioPlayer2> p = newPlayer(sink, &cookie);
  SAFEARRAY* a = silence(8820);
  ASSERT_EQ(p->WriteSamples(a), S_OK);
  SafeArrayDestroy(a);
  ASSERT_EQ(p->Play(), S_OK);
  // The relay is now (or soon) waiting for this thread, which does not pump
  // before it stops and releases the player.
  ASSERT_EQ(p->Stop(), S_OK);
  p.reset();
  CoPumpCalls(0);
  // Whatever was on its way when the player went was dropped at the gate.
  EXPECT_TRUE(sink->events.empty());
  sink->Release();
}

TEST_F(Tonemeter2, GetStateAndTheOtherMembersAnswerThroughIDispatch) {
  RecordingSink* sink = com::make<RecordingSink>().detach();
  DWORD cookie = 0;
  ComPtr<IAudioPlayer2> p = newPlayer(sink, &cookie);
  ComPtr<IDispatch> d;
  ASSERT_EQ(p.as(&d), S_OK);
  for (const char16_t* name : {u"GetState", u"OutputName"}) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = 0;
    ASSERT_EQ(d->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VARIANT r;
    VariantInit(&r);
    ASSERT_EQ(d->Invoke(id, IID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &none, &r, nullptr, nullptr), S_OK);
    if (r.vt == VT_I4) {
      EXPECT_GE(r.lVal, 0);
    }
    if (r.vt == VT_BSTR) {
      EXPECT_EQ(text(r.bstrVal), "silent");
    }
    EXPECT_TRUE(r.vt == VT_I4 || r.vt == VT_BSTR);
  }
  sink->Release();
}

TEST_F(Tonemeter2, GetStateFillsTheWholeRecordThroughAProxy) {
  RecordingSink* sink = com::make<RecordingSink>().detach();
  DWORD cookie = 0;
  ComPtr<IAudioPlayer2> p = newPlayer(sink, &cookie);
  IStream* stream = nullptr;
  ASSERT_EQ(CoMarshalInterThreadInterfaceInStream(IID_IAudioPlayer2, p.get(), &stream), S_OK);
  AudioPlayer2State state{-7, -7, -7, -7, -7, -7, -7};
  HRESULT hr = E_FAIL;
  com::ComThread worker([&] {
    ComPtr<IAudioPlayer2> proxy;
    if (FAILED(CoGetInterfaceAndReleaseStream(stream, IID_IAudioPlayer2, proxy.putVoid()))) return;
    hr = proxy->GetState(&state);
  });
  ASSERT_EQ(worker.join(kGuardMs), S_OK);  // runs the proxy's call here meanwhile
  ASSERT_EQ(hr, S_OK);
  EXPECT_GE(state.status, 0);
  EXPECT_EQ(state.playing, 0);
  EXPECT_EQ(state.bufferTimeMs, 300);
  EXPECT_EQ(state.sampleRateHz, 44100);
  EXPECT_EQ(state.channels, 2);
  sink->Release();
}

class Tags : public Tonemeter2 {
 protected:
  void SetUp() override {
    Tonemeter2::SetUp();
    ASSERT_EQ(CoCreateInstance(CLSID_AudioInformation2, nullptr, CLSCTX_ALL, IID_IAudioInformation2, info.putVoid()),
              S_OK);
    ASSERT_EQ(info.as(&disp), S_OK);
    ASSERT_EQ(info->put_infoOption(VARIANT_TRUE), S_OK);
  }
  std::string mp3(const std::string& name) {
    wavesmith::AudioFile f;
    f.setFormatMP3(44100, 128, 2);
    const std::string path = dir.file(name);
    EXPECT_EQ(f.createOutputFile(path), 0);
    const auto pcm = wavesmith::test::tone(44100, 2, 0.3, 440);
    f.writeSamples(pcm.data(), pcm.size());
    f.closeFile();
    return path;
  }
  DISPID idOf(const char16_t* name) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = DISPID_UNKNOWN;
    EXPECT_EQ(disp->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
    return id;
  }
  void putByName(const char16_t* name, const std::string& value) {
    Bstr b(value);
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = b.b;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&v, &named, 1, 1};
    ASSERT_EQ(disp->Invoke(idOf(name), IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr), S_OK);
  }
  std::string getByName(const char16_t* name) {
    VARIANT r;
    VariantInit(&r);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXPECT_EQ(disp->Invoke(idOf(name), IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &r, nullptr, nullptr), S_OK);
    EXPECT_EQ(r.vt, VT_BSTR);
    return r.vt == VT_BSTR ? text(r.bstrVal) : std::string();
  }

  ComPtr<IAudioInformation2> info;
  ComPtr<IDispatch> disp;
};

TEST_F(Tags, TextFieldsByNameAndNumbersByVtableAreWrittenAndReadBack) {
  const std::string a = mp3("a.mp3");
  putByName(u"infoTitle", "Title One");
  putByName(u"infoArtist", "Some Artist");
  putByName(u"infoAlbum", "An Album");
  putByName(u"infoComments", "ripped");
  ASSERT_EQ(info->put_infoGenre(17), S_OK);  // Rock
  ASSERT_EQ(info->put_infoYear(1999), S_OK);
  ASSERT_EQ(info->put_infoTrack(7), S_OK);
  ASSERT_EQ(info->WriteInfo(Bstr(a).b), S_OK);

  ComPtr<IAudioInformation2> other;
  ASSERT_EQ(CoCreateInstance(CLSID_AudioInformation2, nullptr, CLSCTX_ALL, IID_IAudioInformation2, other.putVoid()),
            S_OK);
  ASSERT_EQ(other->ReadInfo(Bstr(a).b), S_OK);
  disp.reset();
  ASSERT_EQ(other.as(&disp), S_OK);
  EXPECT_EQ(getByName(u"infoTitle"), "Title One");
  EXPECT_EQ(getByName(u"infoArtist"), "Some Artist");
  EXPECT_EQ(getByName(u"infoAlbum"), "An Album");
  EXPECT_EQ(getByName(u"infoComments"), "ripped");
  EXPECT_EQ(getByName(u"infoGenreS"), "Rock");
  SHORT genre = -1, track = 0;
  LONG year = 0;
  other->get_infoGenre(&genre);
  other->get_infoYear(&year);
  other->get_infoTrack(&track);
  EXPECT_EQ(genre, 17);
  EXPECT_EQ(year, 1999);
  EXPECT_EQ(track, 7);

  // The next file: only the title and the genre (by name) change; the rest
  // carries over, as the rip of a whole album relies on.
  const std::string b = mp3("b.mp3");
  putByName(u"infoTitle", "Title Two");
  putByName(u"infoGenreS", "Jazz");
  ASSERT_EQ(other->put_infoTrack(8), S_OK);
  ASSERT_EQ(other->WriteInfo(Bstr(b).b), S_OK);
  ASSERT_EQ(info->ReadInfo(Bstr(b).b), S_OK);
  disp.reset();
  ASSERT_EQ(info.as(&disp), S_OK);
  EXPECT_EQ(getByName(u"infoTitle"), "Title Two");
  EXPECT_EQ(getByName(u"infoArtist"), "Some Artist");
  info->get_infoGenre(&genre);
  EXPECT_EQ(genre, 8);  // Jazz
}

TEST_F(Tags, FailuresAnswerErrorsAndLeaveFilesAndFieldsAlone) {
  putByName(u"infoTitle", "Kept");
  const std::string notes = dir.file("notes.mp3");
  std::ofstream(notes) << "shopping list, not audio";
  const std::string before = slurp(notes);
  EXPECT_TRUE(FAILED(info->WriteInfo(Bstr(notes).b)));
  EXPECT_EQ(slurp(notes), before);
  EXPECT_TRUE(FAILED(info->ReadInfo(Bstr(notes).b)));
  EXPECT_TRUE(FAILED(info->ReadInfo(Bstr(dir.file("missing.ogg")).b)));
  EXPECT_EQ(getByName(u"infoTitle"), "Kept");
  BSTR why = nullptr;
  ASSERT_EQ(info->get_LastError(&why), S_OK);
  EXPECT_FALSE(text(why).empty());
  EXPECT_EQ(info->put_infoGenre(148), E_INVALIDARG);
  EXPECT_EQ(info->put_infoGenre(-2), E_INVALIDARG);
}

// A genre the user typed has no index: the window puts -1 with the name, in
// either order, and the tag write goes through with that name.
TEST_F(Tags, AGenreOutsideTheListIsWrittenByItsName) {
  const std::string a = mp3("a.mp3");
  putByName(u"infoGenreS", "Chiptune");
  ASSERT_EQ(info->put_infoGenre(-1), S_OK);
  ASSERT_EQ(info->WriteInfo(Bstr(a).b), S_OK);
  ASSERT_EQ(info->put_infoGenre(-1), S_OK);
  putByName(u"infoGenreS", "Vaporwave");
  const std::string b = mp3("b.mp3");
  ASSERT_EQ(info->WriteInfo(Bstr(b).b), S_OK);

  SHORT genre = 0;
  ASSERT_EQ(info->ReadInfo(Bstr(a).b), S_OK);
  EXPECT_EQ(getByName(u"infoGenreS"), "Chiptune");
  info->get_infoGenre(&genre);
  EXPECT_EQ(genre, -1);
  ASSERT_EQ(info->ReadInfo(Bstr(b).b), S_OK);
  EXPECT_EQ(getByName(u"infoGenreS"), "Vaporwave");
}

// The members added after the specified slots, by interface table and by
// name, through a file and back; the specified dispatch ids stay.
TEST_F(Tags, TrackTotalAndDiscIdsTravelThroughAFile) {
  EXPECT_EQ(idOf(u"infoTrack"), 0x1a);
  EXPECT_EQ(idOf(u"infoTrackTotal"), 0x1b);
  EXPECT_EQ(idOf(u"infoMusicBrainzDiscId"), 0x1c);
  EXPECT_EQ(idOf(u"infoCddbId"), 0x1d);
  const std::string a = mp3("a.mp3");
  ASSERT_EQ(info->put_infoTrack(3), S_OK);
  ASSERT_EQ(info->put_infoTrackTotal(11), S_OK);
  ASSERT_EQ(info->put_infoMusicBrainzDiscId(Bstr(std::string("lwHl8fGzJyLXQR33ug60E8jhf4k-")).b), S_OK);
  putByName(u"infoCddbId", "9a0b1c0b");
  ASSERT_EQ(info->WriteInfo(Bstr(a).b), S_OK);

  ComPtr<IAudioInformation2> other;
  ASSERT_EQ(CoCreateInstance(CLSID_AudioInformation2, nullptr, CLSCTX_ALL, IID_IAudioInformation2, other.putVoid()),
            S_OK);
  ASSERT_EQ(other->ReadInfo(Bstr(a).b), S_OK);
  SHORT track = 0, total = 0;
  other->get_infoTrack(&track);
  other->get_infoTrackTotal(&total);
  EXPECT_EQ(track, 3);
  EXPECT_EQ(total, 11);
  BSTR id = nullptr;
  ASSERT_EQ(other->get_infoMusicBrainzDiscId(&id), S_OK);
  EXPECT_EQ(text(id), "lwHl8fGzJyLXQR33ug60E8jhf4k-");
  ASSERT_EQ(other->get_infoCddbId(&id), S_OK);
  EXPECT_EQ(text(id), "9a0b1c0b");
}

}  // namespace
