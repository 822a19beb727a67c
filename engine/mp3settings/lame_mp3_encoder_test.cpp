#include "engine/mp3settings/lame_mp3_encoder.h"

#include <gtest/gtest.h>

namespace engine {
namespace {

class LameMp3EncoderTest : public ::testing::Test {
 protected:
  com::ComPtr<AudioCDRipperLameMP3Encoder2> obj_ = com::make<AudioCDRipperLameMP3Encoder2>();
};

TEST_F(LameMp3EncoderTest, PropertiesKeepTheirWidthsAndTheInverseFlagsReadBackOne) {
  obj_->put_Bitrate(static_cast<RipBitrateConstants>(0x10080));  // cut to 16 bits
  RipBitrateConstants br{};
  obj_->get_Bitrate(&br);
  EXPECT_EQ(br, 128);
  obj_->put_VbrCodingMethod(static_cast<Mp3Method>(0xFFFF));  // sign-extended on the way back
  Mp3Method m{};
  obj_->get_VbrCodingMethod(&m);
  EXPECT_EQ(m, VBR_NONE);
  obj_->put_Frequency(static_cast<RipFrequencyConstants>(1234567));  // 32 bits: kept whole
  RipFrequencyConstants f{};
  obj_->get_Frequency(&f);
  EXPECT_EQ(f, 1234567);

  VARIANT_BOOL b = 0;
  obj_->put_WritingVBRHeader(VARIANT_TRUE);
  obj_->get_WritingVBRHeader(&b);
  EXPECT_EQ(b, VARIANT_TRUE);  // stored as given
  obj_->put_BitReservoir(VARIANT_TRUE);
  obj_->get_BitReservoir(&b);
  EXPECT_EQ(b, 1);
  EXPECT_EQ(obj_->record().reservoir_off, 0);
  obj_->put_ShortBlocks(0);
  obj_->get_ShortBlocks(&b);
  EXPECT_EQ(b, 0);
  EXPECT_EQ(obj_->record().short_blocks_off, 1);
}

TEST_F(LameMp3EncoderTest, PresetsAltPresetsAndCommandLinesReachTheRecord) {
  RipBitrateConstants vbr{};
  obj_->get_VbrBitrate(&vbr);
  EXPECT_EQ(vbr, 192);  // a new object
  obj_->SetParamsFromPreset(0);
  obj_->get_VbrBitrate(&vbr);
  EXPECT_EQ(vbr, 128);  // reset
  obj_->put_ErrorProtection(1);
  obj_->SetParamsFromAltPreset(2);
  Mp3Method m{};
  obj_->get_VbrCodingMethod(&m);
  EXPECT_EQ(m, VBR_OLD);
  EXPECT_EQ(obj_->record().lowpass_hz, 19000);
  EXPECT_EQ(obj_->record().error_protection, 1);

  BSTR line = SysAllocString(u"-b 192 -m j");
  obj_->SetParamsFromCommandLine(line);
  SysFreeString(line);
  Mp3TypeStereoContants st{};
  obj_->get_TypeStereo(&st);
  EXPECT_EQ(st, JOINTSTEREO);
  EXPECT_EQ(obj_->record().bitrate_kbps, 192);
  EXPECT_EQ(obj_->record().error_protection, 0);
  obj_->SetParamsFromCommandLine(nullptr);  // nothing changes
  EXPECT_EQ(obj_->record().bitrate_kbps, 192);
}

TEST_F(LameMp3EncoderTest, MembersAnswerByNameThroughIDispatch) {
  IDispatch* d = obj_.get();
  OLECHAR name[] = u"SetParamsFromPreset";
  LPOLESTR names[] = {name};
  DISPID id = 0;
  ASSERT_EQ(d->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
  EXPECT_EQ(id, 2);
  VARIANT arg;
  VariantInit(&arg);
  arg.vt = VT_I2;
  arg.iVal = 9;
  DISPPARAMS params{&arg, nullptr, 1, 0};
  ASSERT_EQ(d->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(obj_->record().vbr_quality, 2);
}

}  // namespace
}  // namespace engine
