// The engine library as a client loads it: activated from the registry, a
// rip run to its end, and CoFreeUnusedLibraries called from the handler of
// the rip's last RipProgress(100) and again once the client has let go of
// the engine. The rip thread is still on its way out of the library when
// that event's handler runs and when the object's final release comes; the
// library must stay loaded while any thread of the engine runs and unload
// once none does.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>

#include "components/trackmill2.h"
#include "tests/support/rip_event_sink.h"
#include "tests/support/scratch_home.h"

namespace {

bool libraryLoaded() {
  void* probe = dlopen(RIPMARROW_TRACKMILL2_PATH, RTLD_NOW | RTLD_NOLOAD);
  if (probe != nullptr) dlclose(probe);
  return probe != nullptr;
}

// The process's threads, as the kernel lists them: a joined thread is gone.
size_t threadCount() {
  return static_cast<size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                                           std::filesystem::directory_iterator()));
}

int repeats() {
  const char* text = std::getenv("RIPMARROW_THREAD_REPEATS");
  const int n = text != nullptr ? std::atoi(text) : 0;
  return n > 0 ? n : 2;
}

class LibraryUnloadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    scratch_.emplace("rm_rip_unload_test");
    const std::string home = scratch_->path();
    setenv("RIPMARROW_DEVICE_DIR", home.c_str(), 1);  // the library's own drive table reads these
    std::ofstream(home + "/short.disc") << "disc seed=7\ntrack kind=noise length=2s\n";
    std::ofstream(home + "/vdrives.ini") << "[E]\nimage=short.disc\naddress=0:0:0:0\n";
    void* library = dlopen(RIPMARROW_TRACKMILL2_PATH, RTLD_NOW);
    ASSERT_NE(library, nullptr);
    auto registerServer = reinterpret_cast<HRESULT (*)()>(dlsym(library, "DllRegisterServer"));
    ASSERT_NE(registerServer, nullptr);
    ASSERT_EQ(registerServer(), S_OK);
    dlclose(library);
    ASSERT_FALSE(libraryLoaded());
  }
  void TearDown() override {
    CoFreeUnusedLibraries();
    scratch_.reset();
    unsetenv("RIPMARROW_DEVICE_DIR");
  }

  // One rip of track 1, stopped at its first progress when asked. From the
  // handler of its RipProgress(100) the library is asked to unload (it must
  // not: the client still holds the engine) and, when `letGoInHandler`, the
  // client closes the driver and lets go of the engine right there, so the
  // final release is the rip thread's own pointer's. Answers whether the
  // library was still loaded in the handler.
  bool ripAndLetGo(bool stop, bool letGoInHandler) {
    com::ComPtr<IAudioCDRipper2> engine;
    EXPECT_EQ(CoCreateInstance(CLSID_AudioCDRipper2, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IAudioCDRipper2, engine.putVoid()),
              S_OK);
    if (!engine) return false;
    auto sink = com::make<::testing_support::RipEventSink>();
    com::ComPtr<IConnectionPointContainer> container;
    com::ComPtr<IConnectionPoint> point;
    DWORD cookie = 0;
    EXPECT_EQ(engine.as(&container), S_OK);
    EXPECT_EQ(container->FindConnectionPoint(DIID__IAudioCDRipper2Events, point.put()), S_OK);
    EXPECT_EQ(point->Advise(sink->identity(), &cookie), S_OK);
    container.reset();
    engine->DriverOpen();
    engine->Refresh();
    engine->put_driveSpinUpTime(0);

    bool loadedInHandler = false;
    auto letGo = [&] {
      engine->DriverClose();
      point->Unadvise(cookie);
      point.reset();
      engine.reset();
    };
    sink->onProgress = [&](LONG percent) {
      if (stop && percent < 100) engine->StopRip();
      if (percent != 100) return;
      CoFreeUnusedLibraries();
      loadedInHandler = libraryLoaded();
      if (letGoInHandler) letGo();
    };
    BSTR file = SysAllocString(u"unload.wav");
    engine->RipTrackToWav(file);
    SysFreeString(file);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!sink->finished() && std::chrono::steady_clock::now() < deadline) CoPumpCalls(1);
    EXPECT_TRUE(sink->finished());
    if (!letGoInHandler && engine) letGo();
    return loadedInHandler;
  }
  // Pumps (the rip thread's last release is a call posted to this thread)
  // and asks the library to unload, over and over, racing the engine's
  // threads on their way out. Answers whether it unloaded; `threadsThen`
  // is how many threads the process had at that moment.
  static bool unloads(size_t* threadsThen) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
      CoPumpCalls(0);
      CoFreeUnusedLibraries();
      if (!libraryLoaded()) {
        *threadsThen = threadCount();
        return true;
      }
    }
    return false;
  }

  std::optional<::testing_support::ScratchHome> scratch_;
};

TEST_F(LibraryUnloadTest, TheLibraryStaysWhileARipThreadRunsAndUnloadsOnceTheEngineIsGone) {
  for (int round = 0; round < repeats(); ++round) {
    for (const bool stop : {false, true}) {
      for (const bool letGoInHandler : {true, false}) {
        SCOPED_TRACE(testing::Message()
                     << "round " << round << (stop ? ", stopped rip" : ", whole rip")
                     << (letGoInHandler ? ", let go in the handler" : ", let go after"));
        EXPECT_TRUE(ripAndLetGo(stop, letGoInHandler));
        size_t threadsAtUnload = 0;
        EXPECT_TRUE(unloads(&threadsAtUnload));
        // No thread of the engine outlives its library: none was still on
        // its way out when the library went (threads the process starts for
        // good on first use, a sanitizer's among them, count alike in both).
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        EXPECT_EQ(threadsAtUnload, threadCount());
      }
    }
  }
}

}  // namespace
