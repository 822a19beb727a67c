// libtrackmill2.so: the in-process server's four entry points, its classes
// and their registration, and the library's string resources.
#include "components/trackmill2.h"
#include "engine/com/audio_cd_ripper.h"
#include "engine/mp3settings/lame_mp3_encoder.h"

namespace {

const com::ServerClass kClasses[] = {
    com::serverClass<engine::AudioCDRipper2>({CLSID_AudioCDRipper2, "AudioCDRipper2 Class",
                                              "Trackmill2.AudioCDRipper2.1", "Trackmill2.AudioCDRipper2", "Both"}),
    com::serverClass<engine::AudioCDRipperLameMP3Encoder2>(
        {CLSID_AudioCDRipperLameMP3Encoder2, "AudioCDRipperLameMP3Encoder2 Class",
         "Trackmill2.AudioCDRipperLameMP3Encoder2.1", "Trackmill2.AudioCDRipperLameMP3Encoder2", "Apartment"}),
};

const com::InterfaceRegistration kInterfaces[] = {{IID_IAudioCDRipperReport, "IAudioCDRipperReport"}};
const com::TypeLibRegistration kTypeLib{LIBID_TRACKMILL2Lib, "1.0", "Trackmill2 1.0 Type Library", kInterfaces};

}  // namespace

// String resources, kept in their own section of the library as
// "<id>\t<text>\n" lines, where tools find them without loading it.
extern "C" __attribute__((used, section(".rm_strings"), visibility("hidden")))
const char trackmill2StringResources[] = "100\tTrackmill2\n";

RM_COM_SERVER_EXPORTS(kClasses, &kTypeLib)
