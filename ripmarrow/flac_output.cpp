#include "ripmarrow/flac_output.h"

#include "components/wavesmith2.h"
#include "platform/com/com_ptr.h"

namespace ripmarrow {

std::string setFlacFormat(IAudioCDRipper2* engine, long level) {
  com::ComPtr<IUnknown> object;
  if (FAILED(engine->GetAudioFile2Interface(object.put())) || !object) return "the engine has no codec component";
  com::ComPtr<IAudioFile2> codec;
  if (FAILED(object.as(&codec)) || !codec) return "the codec component offers no AudioFile2";
  if (FAILED(codec->SetFormatFLAC(level))) return "the codec component refused FLAC at level " + std::to_string(level);
  return {};
}

}  // namespace ripmarrow
