// libwavesmith2.so: the codec component's COM server (AudioFile2 and
// AudioFile2LameEnc), exporting the four Dll* entry points only.
#include "components/wavesmith2.h"
#include "outside/wavesmith2/audio_file2.h"
#include "outside/wavesmith2/audio_file2_lame_enc.h"

namespace {

const com::ServerClass kClasses[] = {
    com::serverClass<wavesmith::AudioFile2>(
        {CLSID_AudioFile2, "AudioFile2 Class", "Wavesmith2.AudioFile2.1", "Wavesmith2.AudioFile2", "Both"}),
    com::serverClass<wavesmith::AudioFile2LameEnc>({CLSID_AudioFile2LameEnc, "AudioFile2LameEnc Class",
                                                    "Wavesmith2.AudioFile2LameEnc.1", "Wavesmith2.AudioFile2LameEnc",
                                                    "Both"}),
};
const com::TypeLibRegistration kTypeLib{LIBID_Wavesmith2Lib, "1.0", "Wavesmith2Lib 1.0 Type Library"};

}  // namespace

RM_COM_SERVER_EXPORTS(kClasses, &kTypeLib)
