#include "ripmarrow/play_command.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "components/tonemeter2.h"
#include "components/trackmill2.h"
#include "platform/text/utf.h"
#include "ripmarrow/key_input.h"
#include "client/engine_session.h"

namespace ripmarrow {
namespace {

constexpr LONG kSampleRate = 44100;
constexpr LONG kSkipSamples = 10 * kSampleRate;

// What the engine tells the player: position and levels, the end, errors.
class PlaySink final : public com::EventSink<PlaySink, DIID__IAudioCDRipper2Events> {
 public:
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    auto arg = [&](UINT i) { return params->rgvarg[params->cArgs - 1 - i].lVal; };
    if (id == DISPID_AudioCDRipper2_Timer && params != nullptr && params->cArgs == 3) {
      samples = arg(0);
      left = arg(1);
      right = arg(2);
      fresh = true;
    } else if (id == DISPID_AudioCDRipper2_EndTrackPlay) {
      ended = true;
    } else if (id == DISPID_AudioCDRipper2_MediaChange) {
      discChanged = true;
    } else if (id == DISPID_AudioCDRipper2_Error && params != nullptr && params->cArgs == 1) {
      errors.push_back(arg(0));
    }
    return S_OK;
  }
  LONG samples = 0, left = 0, right = 0;
  bool fresh = false, ended = false, discChanged = false;
  std::vector<LONG> errors;
};

std::string clock(LONG samples) {
  const long seconds = std::max<LONG>(samples, 0) / kSampleRate;
  char text[16];
  std::snprintf(text, sizeof text, "%ld:%02ld", seconds / 60, seconds % 60);
  return text;
}

// A bar of 16 cells for a level of 0 .. 32767.
std::string bar(LONG level) {
  const int cells = static_cast<int>(std::clamp<LONG>(level, 0, 32767) * 16 / 32767);
  return std::string(static_cast<size_t>(cells), '#') + std::string(static_cast<size_t>(16 - cells), ' ');
}

}  // namespace

int PlayCommand::main(const Options& options) {
  return client::runInApartment([&] { return run(options, std::cout, std::cerr); });
}

int PlayCommand::run(const Options& options, std::ostream& out, std::ostream& err) {
  auto sink = com::make<PlaySink>();
  client::EngineSession session(sink->identity(), err);
  if (!session) return 1;
  const com::ComPtr<IAudioCDRipper2>& engine = session.engine();
  // A --drive that names no drive plays from the first one.
  const LONG drive = client::chooseDrive(engine.get(), options.driveNum,
                                 options.driveNum == 0 ? options.preferredLetter : 0, false);
  int status = 1;
  if (drive == 0) {
    err << "No CD drive found.\n";
  } else {
    engine->put_driveNum(drive);
    engine->Refresh();
    LONG tracks = 0;
    engine->get_trackCount(&tracks);
    LONG trackSamples = 0;
    if (options.track >= 1 && options.track <= tracks) {
      engine->put_trackNum(options.track);
      engine->get_trackSamples(&trackSamples);
    }
    const size_t errorsBefore = sink->errors.size();
    engine->PlayTrack(static_cast<SHORT>(std::clamp<long>(options.track, -1, 32767)));
    com::ComPtr<IUnknown> player;
    engine->GetAudioPlayer2Interface(player.put());
    com::ComPtr<IAudioPlayer2> audio;
    std::string output = "?";
    if (player && SUCCEEDED(player.as(&audio))) {
      BSTR name = nullptr;
      audio->get_OutputName(&name);
      if (name != nullptr) output = platform::text::utf16ToUtf8(std::u16string_view(name, SysStringLen(name)));
      SysFreeString(name);
    }
    if (sink->errors.size() > errorsBefore || tracks == 0) {
      err << "Track " << options.track << " cannot be played (the disc has " << tracks << " audio tracks).\n";
    } else {
      out << "Playing track " << options.track << " of " << tracks << " (" << clock(trackSamples) << ") on "
          << output << "\n";
      KeyInput keys;
      if (keys.terminal()) out << "space: pause  <- ->: 10 s back/on  q: stop\n";
      bool paused = false;
      bool stopped = false;
      long shownSecond = -1;
      while (!sink->ended && !stopped && !sink->discChanged) {
        CoPumpCalls(20);
        while (auto key = keys.poll()) {
          if (*key == "q") {
            stopped = true;
          } else if (*key == " " || *key == "p") {
            engine->PauseTrack();
            paused = !paused;
          } else if (*key == "right" || *key == "f" || *key == "left" || *key == "b") {
            const LONG step = (*key == "right" || *key == "f") ? kSkipSamples : -kSkipSamples;
            engine->SeekTrack(std::clamp<LONG>(sink->samples + step, 0, trackSamples));
          } else if (key->rfind("seek ", 0) == 0) {
            engine->SeekTrack(std::clamp<LONG>(std::strtol(key->c_str() + 5, nullptr, 10) * kSampleRate, 0,
                                               trackSamples));
          }
          if (*key == "eof" || stopped) break;
        }
        if (!sink->fresh) continue;
        sink->fresh = false;
        const std::string line = clock(sink->samples) + " / " + clock(trackSamples) + "  L " + bar(sink->left) +
                                 " R " + bar(sink->right) + (paused ? "  paused" : "");
        if (keys.terminal()) {
          out << "\r" << line << std::flush;
        } else if (sink->samples / kSampleRate != shownSecond) {
          shownSecond = sink->samples / kSampleRate;
          out << line << "\n";
        }
      }
      if (keys.terminal()) out << "\n";
      out << (sink->discChanged ? "The disc changed.\n" : stopped ? "Stopped.\n" : "End of track.\n");
      status = sink->discChanged ? 1 : 0;
    }
    engine->StopPlay();
  }
  session.close();
  return status;
}

}  // namespace ripmarrow
