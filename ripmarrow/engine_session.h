// What every command of the client does around its own work: strings across
// the COM boundary, the virtual drive for --vdrive, the engine's activation,
// and the apartment the engine's events arrive in.
#pragma once

#include <functional>
#include <ostream>
#include <string>

#include "components/trackmill2.h"
#include "platform/com/com.h"
#include "platform/com/com_ptr.h"

namespace ripmarrow {

// The UTF-8 text of a BSTR the caller received; frees it.
std::string takeText(BSTR value);
// A new BSTR the callee will own.
BSTR makeBstr(const std::string& utf8);

// Puts `image` (the demo disc when empty) into the client's virtual drive and
// sets `preferredLetter` to it. False, with the reason on stderr, when it
// cannot.
bool useVirtualDrive(std::string image, char& preferredLetter);

// Runs `work` on this thread as a COM apartment, then lets the components go.
int runInApartment(const std::function<int()>& work);

// The e-mail address every CDDB request carries (public servers ask for the
// user's own): `given` (--email) when not empty, else [cddb] "email" of the
// desktop program's quavern.ini in $RIPMARROW_HOME, else the login name at
// the host name.
std::string cddbUserEMail(const std::string& given);
// Puts that address on the engine (after DriverOpen, which sets defaults).
void putCddbUserEMail(IAudioCDRipper2* engine, const std::string& given);

// The engine through the registry; empty, with the reason on `err`, when it
// is not registered.
com::ComPtr<IAudioCDRipper2> createEngine(std::ostream& err);

}  // namespace ripmarrow
