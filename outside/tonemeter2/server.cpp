// libtonemeter2.so: the player and tag components' COM server (AudioPlayer2
// and AudioInformation2), exporting the four Dll* entry points only.
#include "components/tonemeter2.h"
#include "outside/tonemeter2/audio_information2.h"
#include "outside/tonemeter2/audio_player2.h"

namespace {

const com::ServerClass kClasses[] = {
    com::serverClass<tonemeter::AudioPlayer2>(
        {CLSID_AudioPlayer2, "AudioPlayer2 Class", "Tonemeter2.AudioPlayer2.1", "Tonemeter2.AudioPlayer2", "Both"}),
    com::serverClass<tonemeter::AudioInformation2>({CLSID_AudioInformation2, "AudioInformation2 Class",
                                                    "Tonemeter2.AudioInformation2.1", "Tonemeter2.AudioInformation2",
                                                    "Both"}),
};
const com::TypeLibRegistration kTypeLib{LIBID_Tonemeter2Lib, "1.0", "Tonemeter2Lib 1.0 Type Library"};

}  // namespace

RM_COM_SERVER_EXPORTS(kClasses, &kTypeLib)
