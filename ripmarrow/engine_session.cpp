#include "ripmarrow/engine_session.h"

#include <iostream>
#include <string_view>

#include "platform/text/utf.h"
#include "ripmarrow/virtual_drive_setup.h"

namespace ripmarrow {

std::string takeText(BSTR value) {
  std::string result = value != nullptr ? platform::text::utf16ToUtf8(std::u16string_view(value, SysStringLen(value)))
                                        : std::string();
  SysFreeString(value);
  return result;
}

BSTR makeBstr(const std::string& utf8) {
  const std::u16string wide = platform::text::utf8ToUtf16(utf8);
  return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

bool useVirtualDrive(std::string image, char& preferredLetter) {
  if (image.empty()) image = VirtualDriveSetup::demoImage();
  std::string error;
  if (!VirtualDriveSetup::putImage(image, VirtualDriveSetup::kDefaultLetter, error)) {
    std::cerr << error << "\n";
    return false;
  }
  preferredLetter = VirtualDriveSetup::kDefaultLetter;
  return true;
}

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

}  // namespace ripmarrow
