// The dispatch table of an MP3 settings interface. The engine's settings
// object and the codec's have the same members under the same names and
// dispatch ids (their own interfaces and property types), so one list
// serves both: each instantiation is the table of its interface I.
#pragma once

#include "platform/com/dispatch_table.h"

namespace lame {

template <class I>
const com::DispatchTable& settingsDispatchTable(const IID& iid) {
#define RM_PROP(Name, id) com::propget<&I::get_##Name>(#Name, id), com::propput<&I::put_##Name>(#Name, id)
  static const com::DispatchTable table(iid, {
      com::method<&I::SetParamsFromCommandLine>("SetParamsFromCommandLine", 0x1),
      com::method<&I::SetParamsFromPreset>("SetParamsFromPreset", 0x2),
      com::method<&I::SetParamsFromAltPreset>("SetParamsFromAltPreset", 0x3),
      RM_PROP(VbrBitrate, 0x4),
      RM_PROP(VbrQuality, 0x5),
      RM_PROP(VbrCodingMethod, 0x6),
      RM_PROP(AbrBitrate, 0x7),
      RM_PROP(TypeStereo, 0x8),
      RM_PROP(EncoderQuality, 0x9),
      RM_PROP(WritingVBRHeader, 0xa),
      RM_PROP(BitReservoir, 0xb),
      RM_PROP(BlockTypeControl, 0xc),
      RM_PROP(ShortBlocks, 0xd),
      RM_PROP(Emphasis, 0xe),
      RM_PROP(StrictISOCompliance, 0xf),
      RM_PROP(StrictlyEnforceMinBitrate, 0x10),
      RM_PROP(ATHControlMode, 0x11),
      RM_PROP(LowPassFrequency, 0x12),
      RM_PROP(HighPassFrequency, 0x13),
      RM_PROP(LowPassWidth, 0x14),
      RM_PROP(HighPassWidth, 0x15),
      RM_PROP(ErrorProtection, 0x16),
      RM_PROP(Frequency, 0x17),
      RM_PROP(Channels, 0x18),
      RM_PROP(Bitrate, 0x19),
  });
#undef RM_PROP
  return table;
}

}  // namespace lame
