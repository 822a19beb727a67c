#include "client/engine_session.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <iostream>

#include <vector>

#include "client/terminal_text.h"
#include "platform/deviceio/vdrive_config.h"
#include "platform/profile/profile_file.h"

namespace client {

int runInApartment(const std::function<int()>& work) {
  CoInitialize(nullptr);
  const int status = work();
  CoFreeUnusedLibraries();
  CoUninitialize();
  return status;
}

com::ComPtr<IAudioCDRipper2> createEngine(std::ostream& err) {
  com::ComPtr<IAudioCDRipper2> engine;
  if (FAILED(CoCreateInstance(CLSID_AudioCDRipper2, nullptr, CLSCTX_INPROC_SERVER, IID_IAudioCDRipper2,
                              engine.putVoid()))) {
    err << "The engine is not registered (run 'ripmarrow register' first).\n";
    return {};
  }
  return engine;
}

std::string VirtualDriveProblemsText() {
  const std::string path = platform::deviceio::VdriveConfig::defaultPath();
  const std::vector<std::string> problems = platform::deviceio::VdriveConfig::problems(path);
  if (problems.empty()) return {};
  std::string text = "The virtual drives' file " + TerminalText(path) + " has faults; the drives they touch are left out:";
  for (const std::string& problem : problems) text += "\n" + TerminalText(problem);
  return text;
}

namespace {

// A fault of vdrives.ini would otherwise only leave its drive out, silently.
bool virtualDrivesSound(std::ostream& err) {
  const std::string problems = VirtualDriveProblemsText();
  if (!problems.empty()) err << problems << "\n";
  return problems.empty();
}

}  // namespace

EngineSession::EngineSession(IUnknown* sink, std::ostream& err)
    : engine_(virtualDrivesSound(err) ? createEngine(err) : com::ComPtr<IAudioCDRipper2>()) {
  if (!engine_) return;
  com::ComPtr<IConnectionPointContainer> container;
  if (SUCCEEDED(engine_.as(&container)) &&
      SUCCEEDED(container->FindConnectionPoint(DIID__IAudioCDRipper2Events, point_.put()))) {
    point_->Advise(sink, &cookie_);
  }
  engine_->DriverOpen();
  open_ = true;
}

void EngineSession::close(DWORD pumpMs) {
  if (!open_) return;
  open_ = false;
  engine_->DriverClose();
  if (pumpMs > 0) CoPumpCalls(pumpMs);
  if (point_ && cookie_ != 0) point_->Unadvise(cookie_);
}

LONG chooseDrive(IAudioCDRipper2* engine, long driveNum, char preferredLetter, bool refuseUnknown) {
  LONG driveCount = 0;
  engine->get_driveCount(&driveCount);
  if (driveNum >= 1 && driveNum <= driveCount) return static_cast<LONG>(driveNum);
  if (driveNum != 0 && refuseUnknown) return 0;
  for (LONG i = 1; i <= driveCount && preferredLetter != 0; ++i) {
    engine->put_driveNum(i);
    BSTR letter = nullptr;
    engine->get_driveLetter(&letter);
    const std::string letterText = com::TakeUtf8(letter);
    if (!letterText.empty() && letterText[0] == preferredLetter) return i;
  }
  return driveCount > 0 ? 1 : 0;
}

std::string cddbUserEMail(const std::string& given) {
  if (!given.empty()) return given;
  const std::string stored = platform::ProfileFile("quavern.ini").readString("cddb", "email", "");
  if (!stored.empty()) return stored;
  const char* user = std::getenv("USER");
  std::string name = user != nullptr && *user != '\0' ? user : "user";
  char host[256] = {};
  if (gethostname(host, sizeof host - 1) != 0 || host[0] == '\0') return name + "@localhost";
  return name + "@" + host;
}

void putCddbUserEMail(IAudioCDRipper2* engine, const std::string& given) {
  BSTR address = com::NewBstr(cddbUserEMail(given));
  engine->put_cddbUserEMail(address);
  SysFreeString(address);
}

void putCddbServer(IAudioCDRipper2* engine, const std::string& host, long port, long timeOutMs) {
  if (!host.empty()) {
    BSTR name = com::NewBstr(host);
    engine->put_cddbServerAddress(name);
    SysFreeString(name);
  }
  if (port > 0) engine->put_cddbServerHTTPPort(port);
  if (timeOutMs > 0) engine->put_cddbTimeOut(timeOutMs);
}

}  // namespace client
