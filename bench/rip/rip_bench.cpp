// One rip of a 5-minute generated track from a virtual drive that answers at
// once, timed from the RipTrackTo call to its RipProgress(100), with the
// process's peak resident memory during the rip. One rip per process, so the
// peak belongs to that rip alone. run.sh drives it and prints the table.
//   rip_bench wav|mp3 <driveSpeed> [<drive x> [burst|synch|secure|paranoid [<jitter %> [<minutes> [c2]]]]]
//       prints "seconds frames peak_rss_kib base_rss_kib pcm_bytes errors frames_read unconfirmed"
//       The drive reads the disc's CUE/BIN image; <drive x> is its timing
//       model's speed (0, the default: it answers at once and is read unpaced);
//       <minutes> the track's length (default 5; 79 is a full disc in one track); c2: the
//       drive gives exact C2 error pointers (SECURE and PARANOID read with them).
//   rip_bench image <folder>         writes the same disc as <folder>/bench.cue + .bin
//   rip_bench ctdb <folder>          writes <folder>/lookup2.php: a CUETools database answer that
//       knows the disc's one track (confidence 5), for a loopback server
//   rip_bench sums                   the checksums a rip takes (copy CRCs, AccurateRip) of the same
//       track's audio, fed in the blocks a rip hands on: prints "seconds" (best of 5)
#include <dlfcn.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <vector>

#include "engine/com/audio_cd_ripper.h"
#include "engine/rip/pcm_buffer.h"
#include "platform/deviceio/drive_table.h"
#include "platform/vdrive/disc_description.h"
#include "platform/vdrive/image_writer.h"
#include "platform/vdrive/virtual_drive.h"
#include "proof/ctdb_crc.h"
#include "proof/track_checksums.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kDisc =
    "disc seed=3 title=\"Bench\"\n"
    "track kind=music length=5:00:00\n";

// The bench disc with its one track `minutes` long.
std::string discOf(int minutes) {
  if (minutes == 5) return kDisc;
  return "disc seed=3 title=\"Bench\"\ntrack kind=music length=" + std::to_string(minutes) + ":00:00\n";
}

class Sink final : public com::EventSink<Sink, DIID__IAudioCDRipper2Events> {
 public:
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    if (id == DISPID_AudioCDRipper2_Error) ++errors;
    if (id == DISPID_AudioCDRipper2_RipProgress && params != nullptr && params->cArgs > 0 &&
        params->rgvarg[params->cArgs - 1].lVal == 100) {
      finishedAt = Clock::now();
      finished = true;
    }
    return S_OK;
  }
  bool finished = false;
  int errors = 0;
  Clock::time_point finishedAt;
};

// A /proc/self/status field in KiB.
long statusKib(const char* field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const std::string key = std::string(field) + ":";
  while (std::getline(in, line)) {
    if (line.rfind(key, 0) == 0) return std::strtol(line.c_str() + key.size(), nullptr, 10);
  }
  return -1;
}

int rip(bool mp3, int speed, int driveX, RipModePresetConstants mode, int jitterRate, int minutes, bool c2) {
  char pattern[] = "/tmp/rm_rip_bench.XXXXXX";
  const std::string home = mkdtemp(pattern);
  setenv("RIPMARROW_HOME", home.c_str(), 1);
  platform::deviceio::DriveTable::Options options;
  options.deviceDirectory = home;
  options.configurationPath = home + "/vdrives.ini";
  platform::deviceio::DriveTable::instance().configure(options);
  CoInitialize(nullptr);
  if (void* lib = dlopen(RIPMARROW_WAVESMITH2_PATH, RTLD_NOW | RTLD_LOCAL)) {
    if (auto reg = reinterpret_cast<HRESULT (*)()>(dlsym(lib, "DllRegisterServer"))) reg();
    dlclose(lib);
  }
  // The image, as cd-paranoia reads it: sectors copied, not synthesised.
  platform::vdrive::writeCueImage(platform::vdrive::generateDisc(discOf(minutes), "bench"), home, "bench");
  auto disc = std::make_shared<platform::vdrive::Disc>(platform::vdrive::loadImage(home + "/bench.cue"));
  auto drive = std::make_shared<platform::vdrive::VirtualDrive>(disc);
  drive->setAddress({1, 0, 0, 0});
  platform::vdrive::TimingModel timing;
  timing.speedX = driveX;
  drive->setTiming(timing);
  if (jitterRate > 0 || c2) {
    platform::vdrive::FaultPlan faults;
    faults.seed = 17;
    faults.jitterMaxSamples = jitterRate > 0 ? 588 : 0;
    faults.jitterRatePercent = jitterRate;
    if (c2) faults.c2 = platform::vdrive::C2Report::Exact;
    drive->setFaults(faults);
  }
  platform::deviceio::registerDrive('E', drive);

  auto engine = com::make<engine::AudioCDRipper2>();
  auto sink = com::make<Sink>();
  com::ComPtr<IConnectionPoint> point;
  DWORD cookie = 0;
  engine->FindConnectionPoint(DIID__IAudioCDRipper2Events, point.put());
  point->Advise(sink->identity(), &cookie);
  engine->DriverOpen();
  engine->Refresh();
  engine->put_ripModePreset(mode);
  if (mode == BURST) engine->put_driveSpinUpTime(0);
  engine->put_driveSpeed(speed);
  engine->put_trackNum(1);
  const auto& track = disc->tracks()[0];
  const long frames = static_cast<long>(track.end - track.start);

  const std::string file = home + (mp3 ? "/bench.mp3" : "/bench.wav");
  const std::u16string wide(file.begin(), file.end());
  BSTR name = SysAllocString(wide.c_str());
  const long baseKib = statusKib("VmRSS");
  { std::ofstream("/proc/self/clear_refs") << "5"; }  // the peak starts again from here
  const auto began = Clock::now();
  mp3 ? engine->RipTrackToMP3(name) : engine->RipTrackToWav(name);
  while (!sink->finished) CoPumpCalls(1);
  const long peakKib = statusKib("VmHWM");
  SysFreeString(name);
  const double seconds = std::chrono::duration<double>(sink->finishedAt - began).count();
  com::ComPtr<IAudioCDRipperReport> report;
  LONG framesRead = 0, unconfirmed = 0;
  if (SUCCEEDED(engine->QueryInterface(IID_IAudioCDRipperReport, report.putVoid()))) {
    report->get_framesRead(&framesRead);
    report->get_framesUnconfirmed(&unconfirmed);
  }
  std::printf("%.3f %ld %ld %ld %ld %d %ld %ld\n", seconds, frames, peakKib, baseKib,
              static_cast<long>(std::min<size_t>(size_t(frames) * 2352 + 235200, engine::PcmBuffer::kMaxRingBytes)), sink->errors, static_cast<long>(framesRead),
              static_cast<long>(unconfirmed));

  engine->DriverClose();
  point->Unadvise(cookie);
  point.reset();
  engine.reset();
  CoUninitialize();
  std::filesystem::remove_all(home);
  return sink->errors == 0 ? 0 : 1;
}

// What the checksums cost a rip, alone: the track's audio in memory, fed in
// the rip's blocks of 26 frames.
int sums() {
  const platform::vdrive::Disc disc = platform::vdrive::generateDisc(kDisc, "bench");
  const auto& track = disc.tracks()[0];
  std::vector<uint8_t> audio(static_cast<size_t>(track.end - track.start) * 2352);
  for (platform::vdrive::Lba lba = track.start; lba < track.end; ++lba) {
    disc.readSector(lba, std::span<uint8_t, 2352>(audio.data() + size_t(lba - track.start) * 2352, 2352));
  }
  double best = 1e9;
  uint32_t keep = 0;
  for (int round = 0; round < 5; ++round) {
    const auto began = Clock::now();
    proof::TrackChecksums sums(audio.size() / 4, proof::TrackPlace{true, true});
    for (size_t at = 0; at < audio.size(); at += 26 * 2352) {
      sums.add(std::span<const uint8_t>(audio.data() + at, std::min<size_t>(26 * 2352, audio.size() - at)));
    }
    keep ^= sums.values().accurateRipV2;
    best = std::min(best, std::chrono::duration<double>(Clock::now() - began).count());
  }
  std::printf("%.4f\n", best);
  return keep == 0xFFFFFFFFu ? 1 : 0;  // keeps the work from being optimised away
}

// A CUETools database answer for the bench disc: one entry holding its
// one track's CRC.
int ctdbAnswer(const std::string& folder) {
  const platform::vdrive::Disc disc = platform::vdrive::generateDisc(kDisc, "bench");
  const auto& track = disc.tracks()[0];
  std::vector<uint8_t> audio(static_cast<size_t>(track.end - track.start) * 2352);
  for (platform::vdrive::Lba lba = track.start; lba < track.end; ++lba) {
    disc.readSector(lba, std::span<uint8_t, 2352>(audio.data() + size_t(lba - track.start) * 2352, 2352));
  }
  const uint64_t samples = audio.size() / 4;
  const std::vector<uint64_t> starts = {0};
  const uint32_t crc =
      proof::CtdbShiftedCrcs(audio, 0, samples, proof::CtdbTrackSpan(starts, 0, samples))[proof::kCtdbMaxShift];
  char xml[256];
  std::snprintf(xml, sizeof xml,
                "<ctdb xmlns=\"http://db.cuetools.net/ns/mmd-1.0#\"><entry id=\"1\" crc32=\"%08x\" confidence=\"5\" "
                "npar=\"8\" stride=\"5880\" trackcrcs=\"%08x\"/></ctdb>\n",
                crc, crc);
  std::ofstream(folder + "/lookup2.php") << xml;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (argc == 2 && mode == "sums") return sums();
  if (argc == 3 && mode == "ctdb") return ctdbAnswer(argv[2]);
  if (argc == 3 && mode == "image") {
    platform::vdrive::writeCueImage(platform::vdrive::generateDisc(kDisc, "bench"), argv[2], "bench");
    return 0;
  }
  if (argc >= 3 && argc <= 8 && (mode == "wav" || mode == "mp3")) {
    const std::string preset = argc > 4 ? argv[4] : "burst";
    const RipModePresetConstants ripMode = preset == "synch"    ? SYNCH
                                           : preset == "secure"   ? SECURE
                                           : preset == "paranoid" ? PARANOID
                                                                  : BURST;
    return rip(mode == "mp3", std::atoi(argv[2]), argc > 3 ? std::atoi(argv[3]) : 0, ripMode,
               argc > 5 ? std::atoi(argv[5]) : 0, argc > 6 ? std::max(1, std::atoi(argv[6])) : 5,
               argc > 7 && std::string(argv[7]) == "c2");
  }
  std::fprintf(stderr,
               "usage: rip_bench wav|mp3 <driveSpeed> [<drive x> [burst|synch|secure|paranoid [<jitter %%> [<minutes> [c2]]]]] | "
               "rip_bench image <folder>\n");
  return 2;
}
