// What every client of the engine does around its own work: the engine's
// activation through the registry, its events advised, DriverOpen and
// DriverClose, the choice of drive, the CDDB e-mail address, and the
// apartment the engine's events arrive in. No console output: failures are
// said on the stream the caller hands in.
#pragma once

#include <functional>
#include <ostream>
#include <string>

#include "components/trackmill2.h"
#include "platform/com/com.h"
#include "platform/com/com_ptr.h"
#include "platform/com/bstr_text.h"

namespace client {

// Runs `work` on this thread as a COM apartment, then lets the components go.
int runInApartment(const std::function<int()>& work);

// The e-mail address every CDDB request carries (public servers ask for the
// user's own): `given` (--email) when not empty, else [cddb] "email" of the
// desktop program's quavern.ini in $RIPMARROW_HOME, else the login name at
// the host name.
std::string cddbUserEMail(const std::string& given);
// Puts that address on the engine (after DriverOpen, which sets defaults).
void putCddbUserEMail(IAudioCDRipper2* engine, const std::string& given);
// The CDDB server the engine asks (a bare host name) and its HTTP port, and
// the time-out of a request; "" or 0 each keep the engine's (DriverOpen sets
// its defaults, so this comes after it).
void putCddbServer(IAudioCDRipper2* engine, const std::string& host, long port, long timeOutMs);

// "" when $RIPMARROW_HOME/vdrives.ini is absent or sound; else what is
// wrong with it, one fault a line naming the file, line and key (cleaned of
// control characters), after a sentence saying that its drives are left
// out. ripmarrow says it and refuses to go on (EngineSession); the desktop
// program says it once, at start-up.
std::string VirtualDriveProblemsText();

// The engine through the registry; empty, with the reason on `err`, when it
// is not registered.
com::ComPtr<IAudioCDRipper2> createEngine(std::ostream& err);

// The engine as a command holds it while it works: made through the
// registry, with `sink` advised on its events, and DriverOpen called. close()
// (or the end of the session) calls DriverClose and then unadvises the sink.
class EngineSession {
 public:
  // No engine (false), with the reason on `err`, when it is not registered
  // or vdrives.ini has faults (VirtualDriveProblemsText).
  EngineSession(IUnknown* sink, std::ostream& err);
  ~EngineSession() { close(); }
  EngineSession(const EngineSession&) = delete;
  EngineSession& operator=(const EngineSession&) = delete;

  explicit operator bool() const { return static_cast<bool>(engine_); }
  const com::ComPtr<IAudioCDRipper2>& engine() const { return engine_; }
  // DriverClose, then `pumpMs` of the calls still due on this thread (a rip
  // thread's last ones) before the sink is unadvised. Once only.
  void close(DWORD pumpMs = 0);

 private:
  com::ComPtr<IAudioCDRipper2> engine_;
  com::ComPtr<IConnectionPoint> point_;
  DWORD cookie_ = 0;
  bool open_ = false;
};

// The drive a command works on, from 1: `driveNum` (--drive) when the engine
// has that drive; else the one at `preferredLetter` (--vdrive's, 0 for none),
// else the first. 0 when the engine has no drive, or when `driveNum` is not 0,
// names no drive and `refuseUnknown` is set. Leaves the engine's current
// drive as it happens to be.
LONG chooseDrive(IAudioCDRipper2* engine, long driveNum, char preferredLetter, bool refuseUnknown);

}  // namespace client
