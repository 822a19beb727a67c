#include "ripmarrow/info_command.h"
#include "ripmarrow/engine_errors.h"
#include "client/engine_session.h"
#include "client/terminal_text.h"
#include "client/drive_access.h"

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "components/trackmill2.h"
#include "proof/accuraterip_id.h"
#include "client/drive_offsets.h"
#include "client/rip_report.h"
#include "platform/text/utf.h"

namespace ripmarrow {
namespace {

const char* discTypeName(CDDiskTypeConstants type) {
  switch (type) {
    case REDBOOK: return "REDBOOK (audio CD)";
    case YELLOWBOOK: return "YELLOWBOOK (data CD)";
    case ORANGEBOOK: return "ORANGEBOOK (multisession)";
    case GREENBOOK: return "GREENBOOK";
    case BLUEBOOK: return "BLUEBOOK (audio and data)";
    default: return "UNRECOGNIZED";
  }
}

// Collects the engine's Error events.
class ErrorSink final : public com::EventSink<ErrorSink, DIID__IAudioCDRipper2Events> {
 public:
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    if (id == DISPID_AudioCDRipper2_Error && params != nullptr && params->cArgs == 1) {
      errors.push_back(params->rgvarg[0].lVal);
    }
    return S_OK;
  }
  std::vector<LONG> errors;
};

std::string duration(LONG ms) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%ld:%02ld.%03ld", static_cast<long>(ms / 60000),
                static_cast<long>(ms / 1000 % 60), static_cast<long>(ms % 1000));
  return buffer;
}

}  // namespace

int InfoCommand::main(const Options& options) {
  return client::runInApartment([&] { return run(options, std::cout, std::cerr); });
}

int InfoCommand::run(const Options& options, std::ostream& out, std::ostream& err) {
  auto sink = com::make<ErrorSink>();
  client::EngineSession session(sink->identity(), err);
  if (!session) return 1;
  const com::ComPtr<IAudioCDRipper2>& engine = session.engine();
  LONG driveCount = 0;
  engine->get_driveCount(&driveCount);
  out << "Drives: " << driveCount << "\n";
  for (LONG i = 1; i <= driveCount; ++i) {
    engine->put_driveNum(i);
    BSTR letter = nullptr;
    BSTR name = nullptr;
    engine->get_driveLetter(&letter);
    engine->get_driveName(&name);
    // The drive's identity is the drive's own text (INQUIRY).
    out << "  " << i << ". " << com::TakeUtf8(letter) << "  " << client::TerminalText(com::TakeUtf8(name)) << "\n";
  }
  // Drives the user may not open are not listed: say which and what to do.
  out << client::driveAccessAdvice();

  int status = 0;
  // A --drive that names no drive shows the first one.
  const LONG chosen = client::chooseDrive(engine.get(), options.driveNum,
                                  options.driveNum == 0 ? options.preferredLetter : 0, false);
  if (chosen > 0) {
    engine->put_driveNum(chosen);
    out << "Disc in drive " << chosen << ":\n";
    const size_t errorsBefore = sink->errors.size();
    engine->Refresh();
    CDDiskTypeConstants type = UNRECOGNIZED;
    LONG id = 0;
    LONG tracks = 0;
    engine->get_cdType(&type);
    engine->get_cdID(&id);
    engine->get_trackCount(&tracks);
    {
      // The drive's C2 error pointers, and what drives.ini makes of them.
      BSTR name = nullptr;
      engine->get_driveName(&name);
      const std::string drive = com::TakeUtf8(name);
      if (const auto c2 = client::RipReport(engine.get()).driveC2()) {
        out << "  C2 error pointers: " << (*c2 ? "yes" : "no") << " (drives.ini c2: "
            << client::DriveOffsets::c2ModeName(client::DriveOffsets::c2ModeOf(drive)) << ")\n";
      }
    }
    if (sink->errors.size() > errorsBefore) {
      out << "  no readable disc\n";
    } else {
      char idText[16];
      std::snprintf(idText, sizeof idText, "%08lx", static_cast<unsigned long>(static_cast<uint32_t>(id)));
      out << "  Type:  " << discTypeName(type) << "\n";
      out << "  CDDB ID: " << idText << "\n";
      const client::RipReport report(engine.get());
      const auto id1 = report.accurateRipId1();
      const auto id2 = report.accurateRipId2();
      if (id1 && id2) {
        out << "  AccurateRip ID: "
            << proof::AccurateRipIdentity({static_cast<uint32_t>(tracks), *id1, *id2, static_cast<uint32_t>(id)})
            << "\n";
      }
      if (const std::string mb = report.musicBrainzDiscId(); !mb.empty()) out << "  MusicBrainz ID: " << mb << "\n";
      out << "  Tracks: " << tracks << "\n";
      for (LONG t = 1; t <= tracks; ++t) {
        engine->put_trackNum(t);
        LONG ms = 0;
        engine->get_trackDuration(&ms);
        out << "  " << (t < 10 ? " " : "") << t << "  " << duration(ms) << "\n";
      }
    }
  }
  session.close();
  for (LONG code : sink->errors) {
    err << "engine error: " << errorName(code) << " (" << code << ")\n";
    status = 1;
  }
  return status;
}

}  // namespace ripmarrow
