#include "engine/com/audio_cd_ripper.h"

#include <gtest/gtest.h>

TEST(AudioCDRipper2, Placeholder) {}
