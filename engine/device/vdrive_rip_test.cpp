// The device layer against virtual drives, through both transports: the
// pass-through emulation in-process and the ASPI library loaded at run time.
// The drives are listed in vdrives.ini, which both transports read.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <array>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/device/cd_text.h"
#include "engine/device/device_fixture.h"
#include "engine/device/drive_commands.h"
#include "engine/device/drive_list.h"
#include "engine/device/reads.h"
#include "engine/device/toc.h"
#include "engine/device/toc_parser.h"
#include "platform/aspi/wnaspi32.h"
#include "platform/deviceio/drive_table.h"
#include "platform/vdrive/disc_description.h"

namespace engine::device::testing {
namespace {

constexpr uint32_t kBlockFrames = 26;

const char kDisc[] =
    "disc title=\"Rip\" artist=\"Tester\" seed=11\n"
    "track kind=music length=230f title=\"One\" key=D progression=I-vi-IV-V tempo=92\n"
    "track kind=noise length=170f\n";
constexpr uint32_t kDiscFrames = 400;

enum class Via { Emulation, Library };

class VirtualDrives : public DeviceTest, public ::testing::WithParamInterface<Via> {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    setenv("RIPMARROW_DEVICE_DIR", home_.c_str(), 1);
    std::ofstream(home_ + "/rip.disc") << kDisc;
    disc_ = std::make_shared<platform::vdrive::Disc>(
        platform::vdrive::loadDescription(home_ + "/rip.disc"));
  }
  // Writes vdrives.ini and loads the transport chosen by the test's parameter.
  void Start(const std::string& ini) {
    std::ofstream(home_ + "/vdrives.ini") << ini;
    platform::deviceio::DriveTable::instance().rescan();
    useExternalAspi_ = GetParam() == Via::Library;
    SetAspiLibraryPath(RM_WNASPI32_PATH);
    ASSERT_EQ(LoadTransport(useExternalAspi_), 1) << LastDeviceError();
    ASSERT_EQ(TransportIsEmulation(), !useExternalAspi_);
  }
  std::vector<uint8_t> Reference(uint32_t first, uint32_t end) const {
    std::vector<uint8_t> out(size_t{end - first} * kFrameBytes);
    for (uint32_t lba = first; lba < end; ++lba) {
      std::span<uint8_t, 2352> sector(out.data() + size_t{lba - first} * kFrameBytes, 2352);
      EXPECT_TRUE(disc_->readSector(static_cast<int32_t>(lba), sector));
    }
    return out;
  }
  // Frames [first, end) in 26-frame blocks.
  std::vector<uint8_t> Rip(int32_t handle, uint32_t first, uint32_t end, uint32_t blockFrames = kBlockFrames) {
    std::vector<uint8_t> out;
    auto b = AllocateTrackBuffer(blockFrames);
    for (uint32_t pos = first; pos < end;) {
      b->startFrame = pos;
      b->frameCount = std::min(blockFrames, kDiscFrames - pos);
      const int32_t r = ReadCDAudioLBA(handle, *b);
      if (r != kResultOk || b->startFrame != pos || b->frameCount == 0) {
        ADD_FAILURE() << "block at " << pos << ": result " << r << ", error " << LastDeviceError()
                      << " status " << int(LastCommandStatus()) << " start " << b->startFrame
                      << " frames " << b->frameCount;
        break;
      }
      const uint32_t take = std::min(b->frameCount, end - pos);
      out.insert(out.end(), b->data() + b->dataOffset,
                 b->data() + b->dataOffset + size_t{take} * kFrameBytes);
      pos += take;
    }
    return out;
  }
  // Opens a handle and lets the drive report its power-on unit attention,
  // as the engine's readiness check does before any read.
  int32_t OpenAt(uint8_t target, uint8_t readType, uint8_t n = 1, uint8_t j = 3) {
    const int32_t h = Open(1, readType, n, j, target);
    SendTestUnitReady(h);
    return h;
  }

  std::shared_ptr<platform::vdrive::Disc> disc_;
};

std::string Drive(char letter, int target, const std::string& extra) {
  return std::string("[") + letter + "]\nimage=rip.disc\naddress=1:0:" + std::to_string(target) +
         ":0\n" + extra + "\n";
}

TEST_P(VirtualDrives, EveryAcceptedReadTypeRipsTheDiscExactly) {
  struct ModelCase {
    const char* model;
    std::set<int> accepted;  // read types 1..8 that read audio
  };
  const std::vector<ModelCase> models = {
      // The generic model refuses mode page 23h, so the second READ(10) setup fails.
      {"generic", {1, 2, 3, 4, 5, 6, 7}},
      {"d8-only", {5}},
      {"d4-only", {6, 7}},
      {"atapi", {1, 2}},
  };
  std::string ini;
  for (size_t i = 0; i < models.size(); ++i) {
    ini += Drive(char('E' + i), int(i), std::string("model=") + models[i].model);
  }
  Start(ini);
  DriveList list;
  BuildDriveList(list);
  ASSERT_EQ(list.count, models.size());
  const auto whole = Reference(0, kDiscFrames);
  for (size_t i = 0; i < models.size(); ++i) {
    SCOPED_TRACE(models[i].model);
    std::set<int> accepted;
    for (uint8_t type = 0; type <= 8; ++type) {
      SCOPED_TRACE(int(type));
      const int32_t h = OpenAt(uint8_t(i), type);
      ASSERT_NE(h, 0);
      auto probe = AllocateTrackBuffer(1);
      probe->frameCount = 1;
      if (ReadCDAudioLBA(h, *probe) == kResultOk) {
        if (type != CDRT_ANY) accepted.insert(type);
        EXPECT_EQ(Rip(h, 0, kDiscFrames), whole);
        EXPECT_EQ(Rip(h, 100, kDiscFrames, 6), Reference(100, kDiscFrames));
      } else {
        EXPECT_NE(type, CDRT_ANY);  // every model reads somehow
      }
      EXPECT_EQ(CloseDevice(h), 1);
    }
    EXPECT_EQ(accepted, models[i].accepted);
  }
}

TEST_P(VirtualDrives, TocAndClassOfTheDisc) {
  Start(Drive('E', 0, "") + Drive('F', 1, "model=no-track-info"));
  const int32_t h = OpenAt(0, CDRT_ANY);
  uint8_t toc[kTocBufferBytes] = {};
  ASSERT_EQ(ReadToc(h, toc), kResultOk);
  const auto tracks = AudioTracksFromToc(toc);
  ASSERT_EQ(tracks.size(), 2u);
  EXPECT_EQ(tracks[0].lengthFrames, 230u);
  EXPECT_EQ(tracks[1].lengthFrames, 170u);
  EXPECT_EQ(ClassifyDisc(h, 2), 1);
  const int32_t other = OpenAt(1, CDRT_ANY);
  EXPECT_EQ(ClassifyDisc(other, 2), 3);  // READ TRACK INFORMATION refused
  EXPECT_EQ(SendTestUnitReady(h), kResultOk);
  EXPECT_EQ(SendSetSpeed(h, 44885), kResultOk);
  EXPECT_EQ(SendPreventAllow(h, 1), kResultOk);
  EXPECT_EQ(SendPreventAllow(h, 0), kResultOk);
}

TEST_P(VirtualDrives, CdTextOfTheDiscThroughReadTocFormat5) {
  Start(Drive('E', 0, ""));
  const int32_t h = OpenAt(0, CDRT_ANY);
  const CdText text = ParseCdText(ReadCdTextAnswer(h));
  EXPECT_TRUE(text.notes.empty());
  ASSERT_EQ(text.entries.size(), 2u);
  EXPECT_EQ(text.entries.at(0).title, "Rip");
  EXPECT_EQ(text.entries.at(0).performer, "Tester");
  EXPECT_EQ(text.entries.at(1).title, "One");
  EXPECT_TRUE(ReadCdTextAnswer(-5).empty());
}

TEST_P(VirtualDrives, RejectedCommandFailsWithItsStatus) {
  Start(Drive('E', 0, "model=d8-only"));
  const int32_t h = OpenAt(0, CDRT_ATAPI2);
  auto b = AllocateTrackBuffer(1);
  b->frameCount = 1;
  ClearDeviceErrors();
  EXPECT_EQ(ReadCDAudioLBA(h, *b), kResultFail);
  EXPECT_EQ(LastDeviceError(), DEVERR_COMMAND_FAILED);
  EXPECT_EQ(LastCommandStatus(), SS_ERR);
}

TEST_P(VirtualDrives, DetectionSkipsCommandsAnsweredWithoutData) {
  // A drive that answers what it does not know with GOOD and no data: only
  // the test read's pattern shows that READ CD delivered nothing.
  Start(Drive('E', 0, "model=d8-only\nrefuse=silent"));
  const int32_t h = OpenAt(0, CDRT_ANY);
  auto b = AllocateTrackBuffer(4);
  b->frameCount = 4;
  b->startFrame = 50;
  ASSERT_EQ(ReadCDAudioLBA(h, *b), kResultOk);
  EXPECT_EQ(FindOpenHandle(h)->readType, CDRT_READ_D8);
  EXPECT_EQ(std::vector<uint8_t>(b->data(), b->data() + b->validBytes), Reference(50, 54));
}

INSTANTIATE_TEST_SUITE_P(Transports, VirtualDrives, ::testing::Values(Via::Emulation, Via::Library),
                         [](const ::testing::TestParamInfo<Via>& param) {
                           return param.param == Via::Emulation ? "Emulation" : "Library";
                         });

using LibraryTransport = VirtualDrives;

TEST_P(LibraryTransport, CommandStillPendingAfterTheWaitFailsWithStatusZero) {
  // One command early on never completes; the others answer (the first may
  // report the power-on unit attention).
  Start(Drive('E', 0, "hang-after=1"));
  const int32_t h = Open(1, CDRT_ATAPI2);
  ASSERT_NE(h, 0);
  bool timedOut = false;
  for (int i = 0; i < 4 && !timedOut; ++i) {
    ClearDeviceErrors();
    timedOut = SendSetSpeed(h, 44885) == kResultFail && LastCommandStatus() == 0 &&
               LastDeviceError() == DEVERR_COMMAND_FAILED;
  }
  EXPECT_TRUE(timedOut);
  // The request that outlived the wait was given up; the drive answers again.
  EXPECT_EQ(SendSetSpeed(h, 44885), kResultOk);
}

INSTANTIATE_TEST_SUITE_P(Transports, LibraryTransport, ::testing::Values(Via::Library),
                         [](const auto&) { return std::string("Library"); });

}  // namespace
}  // namespace engine::device::testing
