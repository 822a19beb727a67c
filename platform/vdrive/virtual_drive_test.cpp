#include "platform/vdrive/virtual_drive.h"

#include <gtest/gtest.h>

#include <fstream>
#include <future>
#include <iterator>
#include <set>
#include <thread>

#include "platform/vdrive/cue_image.h"
#include "platform/vdrive/disc_description.h"
#include "platform/vdrive/test_support.h"
#include "vdrive/demo_disc.h"

namespace platform::vdrive {
namespace {

using scsi::Direction;
using testing::exec;
using testing::Exchange;

constexpr const char* kExtra =
    "track kind=tone length=200f\ntrack kind=noise length=100f\nsession\ntrack kind=data length=50f\n";

std::shared_ptr<const Disc> extraDisc() { return std::make_shared<const Disc>(generateDisc(kExtra, "extra")); }

// A drive past its power-on unit attention, on a manual clock.
struct Rig {
  explicit Rig(std::shared_ptr<const Disc> disc, DriveModel model = DriveModel{})
      : clock(std::make_shared<ManualClock>()), drive(std::move(disc), std::move(model), clock) {
    exec(drive, {0x00, 0, 0, 0, 0, 0});
  }
  std::shared_ptr<ManualClock> clock;
  VirtualDrive drive;
};

void expectSense(const Exchange& x, uint8_t key, uint8_t asc, uint8_t ascq = 0) {
  ASSERT_TRUE(x.result.completed);
  ASSERT_EQ(x.result.status, scsi::kStatusCheckCondition);
  EXPECT_EQ(scsi::senseKey(x.result), key);
  EXPECT_EQ(scsi::senseAsc(x.result), asc);
  EXPECT_EQ(scsi::senseAscq(x.result), ascq);
}

void expectGood(const Exchange& x) {
  ASSERT_TRUE(x.result.completed);
  EXPECT_EQ(x.result.status, scsi::kStatusGood) << std::hex << int(scsi::senseKey(x.result)) << "/"
                                                 << int(scsi::senseAsc(x.result));
}

std::vector<uint8_t> readCdCdb(Lba lba, uint32_t count, uint8_t flags = 0xF8, uint8_t type = 0) {
  return {0xBE, static_cast<uint8_t>(type << 2), static_cast<uint8_t>(lba >> 24), static_cast<uint8_t>(lba >> 16),
          static_cast<uint8_t>(lba >> 8), static_cast<uint8_t>(lba), static_cast<uint8_t>(count >> 16),
          static_cast<uint8_t>(count >> 8), static_cast<uint8_t>(count), flags, 0, 0};
}

std::vector<uint8_t> image(const Disc& disc, Lba lba, uint32_t count) {
  std::vector<uint8_t> out;
  std::array<uint8_t, kSectorBytes> s{};
  for (uint32_t i = 0; i < count; ++i) {
    EXPECT_TRUE(disc.readSector(lba + static_cast<Lba>(i), s));
    out.insert(out.end(), s.begin(), s.end());
  }
  return out;
}

uint32_t be32(const std::vector<uint8_t>& d, size_t at) {
  return static_cast<uint32_t>(d[at]) << 24 | d[at + 1] << 16 | d[at + 2] << 8 | d[at + 3];
}

TEST(VirtualDrive, PowerOnAttentionThenReady) {
  VirtualDrive drive(extraDisc(), DriveModel{}, std::make_shared<ManualClock>());
  expectGood(exec(drive, {0x12, 0, 0, 0, 36, 0}, 36));  // INQUIRY leaves the attention pending
  expectSense(exec(drive, {0x00, 0, 0, 0, 0, 0}), 0x06, 0x29);
  expectGood(exec(drive, {0x00, 0, 0, 0, 0, 0}));
  // The engine's padded forms of TEST UNIT READY.
  expectGood(exec(drive, {0x00, 0, 0, 0, 0, 0x10, 0, 0, 0, 0, 0, 0}));
  expectGood(exec(drive, {0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0x10}));
  // The attention comes before the drive looks at the opcode.
  VirtualDrive fresh(extraDisc(), DriveModel{}, std::make_shared<ManualClock>());
  expectSense(exec(fresh, {0xA5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), 0x06, 0x29);
  expectSense(exec(fresh, {0xA5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), 0x05, 0x20);
}

TEST(VirtualDrive, InquiryAndBadCdbs) {
  Rig rig(extraDisc());
  Exchange x = exec(rig.drive, {0x12, 0, 0, 0, 100, 0}, 100);
  expectGood(x);
  ASSERT_EQ(x.data.size(), 96u);
  EXPECT_EQ(x.data[0], 0x05);
  EXPECT_EQ(std::string(x.data.begin() + 8, x.data.begin() + 16), "RIPMARRW");
  EXPECT_EQ(exec(rig.drive, {0x12, 0, 0, 0, 5, 0}, 100).data.size(), 5u);  // allocation length
  expectSense(exec(rig.drive, {0x12, 0, 0, 0, 100, 0}, 36), 0x0B, 0x4B);  // more than the buffer holds
  expectSense(exec(rig.drive, {0x12, 1, 0x80, 0, 100, 0}, 100), 0x05, 0x24);  // no VPD pages
  expectSense(exec(rig.drive, {0xA5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), 0x05, 0x20);
  expectSense(exec(rig.drive, {0x43, 0, 0, 0}, 100), 0x05, 0x24);           // too short
  expectSense(exec(rig.drive, {0x00, 0, 0, 0, 0, 0x04}), 0x05, 0x24);       // NACA
  expectSense(exec(rig.drive, {}), 0x05, 0x24);
  // REQUEST SENSE gives back the last error once.
  Exchange s = exec(rig.drive, {0x03, 0, 0, 0, 18, 0}, 18);
  expectGood(s);
  EXPECT_EQ(s.data[2], 0x05);
  EXPECT_EQ(s.data[12], 0x24);
  EXPECT_EQ(exec(rig.drive, {0x03, 0, 0, 0, 18, 0}, 18).data[2], 0x00);
}

TEST(VirtualDrive, ReadTocInLbaAndMsfWithLeadOutAndTruncation) {
  Rig rig(extraDisc());
  Exchange x = exec(rig.drive, {0x43, 0, 0, 0, 0, 0, 0, 0x03, 0x24, 0}, 804);
  expectGood(x);
  ASSERT_EQ(x.data.size(), 4u + 4 * 8);
  EXPECT_EQ(x.data[0] << 8 | x.data[1], 34);
  EXPECT_EQ(x.data[2], 1);
  EXPECT_EQ(x.data[3], 3);
  EXPECT_EQ(x.data[5], 0x10);  // ADR 1, audio
  EXPECT_EQ(be32(x.data, 8 + 8), 200u);
  EXPECT_EQ(x.data[4 + 16 + 1], 0x14);  // data track
  EXPECT_EQ(be32(x.data, 4 + 16 + 4), 300u + 11400);
  EXPECT_EQ(x.data[4 + 24 + 2], 0xAA);
  EXPECT_EQ(be32(x.data, 4 + 24 + 4), 300u + 11400 + 50);

  Exchange msf = exec(rig.drive, {0x43, 0x02, 0, 0, 0, 0, 0, 0x03, 0x24, 0}, 804);
  EXPECT_EQ(std::vector<uint8_t>(msf.data.begin() + 16, msf.data.begin() + 20), (std::vector<uint8_t>{0, 0, 4, 50}));

  Exchange cut = exec(rig.drive, {0x43, 0, 0, 0, 0, 0, 0, 0, 12, 0}, 804);
  EXPECT_EQ(cut.data.size(), 12u);
  EXPECT_EQ(cut.data[1], 34);  // the header still gives the whole length

  Exchange from2 = exec(rig.drive, {0x43, 0, 0, 0, 0, 0, 2, 0x03, 0x24, 0}, 804);
  EXPECT_EQ(from2.data.size(), 4u + 3 * 8);
  Exchange leadOut = exec(rig.drive, {0x43, 0, 0, 0, 0, 0, 0xAA, 0x03, 0x24, 0}, 804);
  EXPECT_EQ(leadOut.data.size(), 12u);
  expectSense(exec(rig.drive, {0x43, 0, 0, 0, 0, 0, 4, 0x03, 0x24, 0}, 804), 0x05, 0x24);

  Exchange sessions = exec(rig.drive, {0x43, 0, 1, 0, 0, 0, 0, 0, 12, 0}, 12);
  expectGood(sessions);
  EXPECT_EQ(sessions.data[3], 2);
  EXPECT_EQ(sessions.data[6], 3);
  EXPECT_EQ(be32(sessions.data, 8), 300u + 11400);
  expectSense(exec(rig.drive, {0x43, 0, 3, 0, 0, 0, 0, 0x03, 0x24, 0}, 804), 0x05, 0x24);  // no PMA on a pressed disc
}

TEST(VirtualDrive, ReadTrackInformation) {
  Rig rig(extraDisc());
  auto info = [&](uint8_t type, uint32_t value, size_t bytes = 28) {
    return exec(rig.drive, {0x52, type, static_cast<uint8_t>(value >> 24), static_cast<uint8_t>(value >> 16),
                            static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value), 0, 0, 28, 0xF0},
                bytes);
  };
  Exchange t2 = info(1, 2);
  expectGood(t2);
  ASSERT_EQ(t2.data.size(), 28u);
  EXPECT_EQ(t2.data[2], 2);
  EXPECT_EQ(t2.data[3], 1);
  EXPECT_EQ(t2.data[5] & 0x0F, 0);
  EXPECT_EQ(be32(t2.data, 8), 200u);
  EXPECT_EQ(be32(t2.data, 24), 100u);  // to its session's lead-out
  Exchange data = info(2, 2);
  EXPECT_EQ(data.data[2], 3);
  EXPECT_EQ(data.data[3], 2);
  EXPECT_EQ(data.data[5] & 0x0F, 4);
  EXPECT_EQ(data.data[6] & 0x0F, 1);
  EXPECT_EQ(info(0, 250).data[2], 2);
  expectSense(info(1, 4), 0x05, 0x24);
  expectSense(info(1, 0), 0x05, 0x24);
  expectSense(info(0, 400), 0x05, 0x21);  // between the sessions
  expectSense(info(0, 20000), 0x05, 0x21);
  expectSense(info(3, 1), 0x05, 0x24);

  Rig nti(extraDisc(), *driveModelByName("no-track-info"));
  expectSense(exec(nti.drive, {0x52, 1, 0, 0, 0, 1, 0, 0, 28, 0}, 28), 0x05, 0x20);
  DriveModel silent = *driveModelByName("no-track-info");
  silent.refusal = DriveModel::Refusal::SilentSuccess;
  Rig quiet(extraDisc(), silent);
  Exchange q = exec(quiet.drive, {0x52, 1, 0, 0, 0, 1, 0, 0, 28, 0}, 28);
  expectGood(q);
  EXPECT_TRUE(q.data.empty());
}

TEST(VirtualDrive, EveryAudioSectorOfTheDemoDiscThroughReadCd) {
  const std::string folder = RIPMARROW_DEMO_DIR;
  auto disc = std::make_shared<const Disc>(loadCueImage(folder + "/demo.cue"));
  std::ifstream bin(folder + "/demo.bin", std::ios::binary);
  std::vector<uint8_t> file((std::istreambuf_iterator<char>(bin)), std::istreambuf_iterator<char>());
  Rig rig(disc);
  std::vector<uint8_t> read;
  const Lba end = disc->leadOut();
  for (Lba lba = 0; lba < end; lba += 26) {
    uint32_t n = static_cast<uint32_t>(std::min<Lba>(26, end - lba));
    Exchange x = exec(rig.drive, readCdCdb(lba, n, 0xF0), 26 * kSectorBytes);
    ASSERT_EQ(x.result.status, scsi::kStatusGood) << lba;
    read.insert(read.end(), x.data.begin(), x.data.end());
  }
  ASSERT_EQ(read.size(), file.size());
  EXPECT_TRUE(read == file);
}

TEST(VirtualDrive, ReadCdChecksItsFields) {
  auto disc = extraDisc();
  Rig rig(disc);
  Exchange x = exec(rig.drive, readCdCdb(10, 3, 0x10, 1), 3 * kSectorBytes);
  expectGood(x);
  EXPECT_EQ(x.data, image(*disc, 10, 3));
  expectGood(exec(rig.drive, readCdCdb(10, 0), 0));
  Exchange nothing = exec(rig.drive, readCdCdb(10, 4, 0x00), 0);  // flags selecting no field: no data, no buffer needed
  expectGood(nothing);
  EXPECT_EQ(nothing.result.transferredBytes, 0u);
  Exchange past = exec(rig.drive, readCdCdb(299, 2), 2 * kSectorBytes);
  expectSense(past, 0x05, 0x21);  // the first session's lead-out
  expectSense(exec(rig.drive, readCdCdb(11750, 1), kSectorBytes), 0x05, 0x21);
  expectSense(exec(rig.drive, readCdCdb(-1, 1), kSectorBytes), 0x05, 0x21);
  expectSense(exec(rig.drive, readCdCdb(10, 1, 0x10, 2), kSectorBytes), 0x05, 0x64);   // audio is not mode 1
  expectSense(exec(rig.drive, readCdCdb(11700, 1, 0x10, 1), kSectorBytes), 0x05, 0x64);  // data is not CD-DA
  expectSense(exec(rig.drive, readCdCdb(10, 1, 0x10, 7), kSectorBytes), 0x05, 0x24);
  // A buffer too small is refused before anything is written to it.
  std::vector<uint8_t> small(kSectorBytes, 0x55);
  Exchange tight = exec(rig.drive, readCdCdb(10, 2), 0, Direction::In, 0, small);
  expectSense(tight, 0x0B, 0x4B);
  Exchange data = exec(rig.drive, readCdCdb(11700, 2, 0x10, 2), 2 * 2048);
  expectGood(data);
  auto raw = image(*disc, 11700, 1);
  EXPECT_TRUE(std::equal(data.data.begin(), data.data.begin() + 2048, raw.begin() + 16));
  Exchange whole = exec(rig.drive, readCdCdb(11700, 1, 0xF8, 0), kSectorBytes);
  EXPECT_EQ(whole.data, raw);
}

TEST(VirtualDrive, Read10AfterModeSelectOfRawBlocks) {
  auto disc = extraDisc();
  Rig rig(disc);
  const std::vector<uint8_t> read10 = {0x28, 0, 0, 0, 0, 20, 0, 0, 2, 0};
  expectSense(exec(rig.drive, read10, 2 * kSectorBytes), 0x05, 0x64);  // 2048-byte blocks do not hold audio
  const std::vector<uint8_t> list = {0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0x09, 0x30};
  expectGood(exec(rig.drive, {0x15, 0, 0, 0, 12, 0}, 0, Direction::None, 0, list));
  Exchange x = exec(rig.drive, read10, 2 * kSectorBytes);
  expectGood(x);
  EXPECT_EQ(x.data, image(*disc, 20, 2));
  Exchange r6 = exec(rig.drive, {0x08, 0, 0, 20, 1, 0}, kSectorBytes);
  EXPECT_EQ(r6.data, image(*disc, 20, 1));
  Exchange sense = exec(rig.drive, {0x1A, 0, 0x01, 0, 64, 0}, 64);
  expectGood(sense);
  EXPECT_EQ(sense.data[3], 8);
  EXPECT_EQ(sense.data[4 + 7], 0x30);

  std::vector<uint8_t> bad = list;
  bad[11] = 0x31;
  expectSense(exec(rig.drive, {0x15, 0, 0, 0, 12, 0}, 0, Direction::Out, 0, bad), 0x05, 0x26);
  expectSense(exec(rig.drive, {0x15, 0, 0, 0, 2, 0}, 0, Direction::Out, 0, list), 0x05, 0x1A);
  expectSense(exec(rig.drive, {0x15, 0, 0, 0, 12, 0}, 0, Direction::Out, 0, {0, 0, 0, 8}), 0x0B, 0x4B);
  std::vector<uint8_t> vendorPage = {0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0x09, 0x30, 0x23, 6, 0, 0, 0, 0, 0, 0x80};
  expectSense(exec(rig.drive, {0x15, 0x10, 0, 0, 20, 0}, 0, Direction::Out, 0, vendorPage), 0x05, 0x26);

  // A bus reset brings back 2048-byte blocks, after an attention and some polls.
  rig.drive.busReset(2);
  expectSense(exec(rig.drive, read10, 2 * kSectorBytes), 0x06, 0x29);
  expectSense(exec(rig.drive, {0, 0, 0, 0, 0, 0}), 0x02, 0x04, 0x01);
  expectSense(exec(rig.drive, {0, 0, 0, 0, 0, 0}), 0x02, 0x04, 0x01);
  expectGood(exec(rig.drive, {0, 0, 0, 0, 0, 0}));
  expectSense(exec(rig.drive, read10, 2 * kSectorBytes), 0x05, 0x64);
}

TEST(VirtualDrive, DriveModelsDecideTheReads) {
  auto disc = extraDisc();
  const std::vector<uint8_t> d4 = {0xD4, 0, 0, 0, 0, 30, 0, 0, 2, 0};
  const std::vector<uint8_t> d8 = {0xD8, 0, 0, 0, 0, 30, 0, 0, 0, 2, 0, 0};
  Rig generic(disc);
  EXPECT_EQ(exec(generic.drive, d4, 2 * kSectorBytes).data, image(*disc, 30, 2));
  EXPECT_EQ(exec(generic.drive, d8, 2 * kSectorBytes).data, image(*disc, 30, 2));
  expectSense(exec(generic.drive, {0xD8, 0, 0, 0, 0x2D, 0xB4, 0, 0, 0, 1, 0, 0}, kSectorBytes), 0x05, 0x64);

  Rig onlyD8(disc, *driveModelByName("d8-only"));
  expectSense(exec(onlyD8.drive, readCdCdb(30, 2), 2 * kSectorBytes), 0x05, 0x20);
  expectSense(exec(onlyD8.drive, d4, 2 * kSectorBytes), 0x05, 0x20);
  EXPECT_EQ(exec(onlyD8.drive, d8, 2 * kSectorBytes).data, image(*disc, 30, 2));
  expectGood(exec(onlyD8.drive, {0x4B, 0, 0, 0, 0, 0, 0, 0, 0, 0}));  // an old drive pauses anything

  Rig onlyD4(disc, *driveModelByName("d4-only"));
  expectSense(exec(onlyD4.drive, d8, 2 * kSectorBytes), 0x05, 0x20);
  EXPECT_EQ(exec(onlyD4.drive, d4, 2 * kSectorBytes).data, image(*disc, 30, 2));

  // A silent refusal: GOOD status, no data, the caller's 0xAA pattern left in place.
  DriveModel silent = *driveModelByName("d8-only");
  silent.refusal = DriveModel::Refusal::SilentSuccess;
  Rig quiet(disc, silent);
  std::vector<uint8_t> buffer(2 * kSectorBytes, 0xAA);
  Exchange x = exec(quiet.drive, readCdCdb(30, 2), 0, Direction::In, 0, buffer);
  expectGood(x);
  EXPECT_EQ(x.result.transferredBytes, 0u);

  Rig atapi(disc, *driveModelByName("atapi"));
  const std::vector<uint8_t> list6 = {0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0x09, 0x30};
  expectSense(exec(atapi.drive, {0x15, 0, 0, 0, 12, 0}, 0, Direction::Out, 0, list6), 0x05, 0x20);
  const std::vector<uint8_t> list10 = {0, 0, 0, 0, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0x09, 0x30};
  expectGood(exec(atapi.drive, {0x55, 0x10, 0, 0, 0, 0, 0, 0, 16, 0}, 0, Direction::Out, 0, list10));
  EXPECT_EQ(exec(atapi.drive, {0x28, 0, 0, 0, 0, 30, 0, 0, 1, 0}, kSectorBytes).data, image(*disc, 30, 1));
}

TEST(VirtualDrive, TrayLockEjectLoadAndNoMedium) {
  Rig rig(extraDisc());
  expectGood(exec(rig.drive, {0x1E, 0, 0, 0, 1, 0}));
  expectSense(exec(rig.drive, {0x1B, 1, 0, 0, 2, 0}), 0x05, 0x53, 0x02);
  EXPECT_FALSE(rig.drive.trayOpen());
  expectGood(exec(rig.drive, {0x1E, 0, 0, 0, 0, 0xF0}));
  expectGood(exec(rig.drive, {0x1B, 1, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0xF0}));
  EXPECT_TRUE(rig.drive.trayOpen());
  expectSense(exec(rig.drive, {0, 0, 0, 0, 0, 0}), 0x02, 0x3A, 0x02);
  expectSense(exec(rig.drive, {0x43, 0, 0, 0, 0, 0, 0, 0x03, 0x24, 0}, 804), 0x02, 0x3A, 0x02);
  expectGood(exec(rig.drive, {0x1B, 0, 0, 0, 3, 0}));
  expectSense(exec(rig.drive, {0, 0, 0, 0, 0, 0}), 0x06, 0x28);
  expectGood(exec(rig.drive, {0, 0, 0, 0, 0, 0}));
  expectSense(exec(rig.drive, {0x1E, 0, 0, 0, 4, 0}), 0x05, 0x24);

  expectGood(exec(rig.drive, {0x1E, 0, 0, 0, 1, 0}));
  EXPECT_FALSE(rig.drive.pressEject());
  expectGood(exec(rig.drive, {0x1E, 0, 0, 0, 0, 0}));
  EXPECT_TRUE(rig.drive.pressEject());
  expectSense(exec(rig.drive, {0, 0, 0, 0, 0, 0}), 0x02, 0x3A, 0x02);

  auto demo = VirtualDrive::withImage(std::string(RIPMARROW_DEMO_DIR) + "/demo.cue");
  EXPECT_EQ(demo->disc()->tracks().size(), 4u);
  EXPECT_EQ(VirtualDrive::withGeneratedDisc("track kind=tone length=10f\n")->disc()->leadOut(), 10);

  Rig empty(nullptr);
  expectSense(exec(empty.drive, {0, 0, 0, 0, 0, 0}), 0x02, 0x3A, 0x01);
  expectGood(exec(empty.drive, {0x12, 0, 0, 0, 36, 0}, 36));
  empty.drive.insertDisc(extraDisc(), 1);
  expectSense(exec(empty.drive, {0, 0, 0, 0, 0, 0}), 0x06, 0x28);
  expectSense(exec(empty.drive, {0, 0, 0, 0, 0, 0}), 0x02, 0x04, 0x01);
  expectGood(exec(empty.drive, {0, 0, 0, 0, 0, 0}));
}

TEST(VirtualDrive, PauseNeedsAPlayAndSpeedIsAccepted) {
  Rig rig(extraDisc());
  const std::vector<uint8_t> pause = {0x4B, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  expectSense(exec(rig.drive, pause), 0x05, 0x2C);
  expectGood(exec(rig.drive, {0x45, 0, 0, 0, 0, 10, 0, 0, 50, 0}));
  expectGood(exec(rig.drive, pause));
  expectGood(exec(rig.drive, {0x4B, 0, 0, 0, 0, 0, 0, 0, 1, 0}));
  expectSense(exec(rig.drive, {0x45, 0, 0, 0, 0x2D, 0xB4, 0, 0, 5, 0}), 0x05, 0x64);  // a data track
  expectGood(exec(rig.drive, {0xBB, 0, 0x15, 0x1D, 0x15, 0x1D, 0, 0, 0, 0, 0, 0}));
  expectGood(exec(rig.drive, {0xBB, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0}));
  expectSense(exec(rig.drive, {0xBB, 0x04, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0}), 0x05, 0x24);
}

TEST(VirtualDrive, FullTocSubChannelCatalogAndIsrc) {
  auto disc = std::make_shared<const Disc>(generateDisc(
      "disc catalog=0724384960650\ntrack kind=tone length=200f\ntrack kind=tone length=100f pregap=30f "
      "isrc=GBAYE0000351\nsession\ntrack kind=data length=50f\n",
      "sub"));
  Rig rig(disc);
  Exchange full = exec(rig.drive, {0x43, 0x02, 2, 0, 0, 0, 0, 0x03, 0x24, 0}, 804);
  expectGood(full);
  EXPECT_EQ(full.data[3], 2);  // sessions
  ASSERT_EQ((full.data.size() - 4) % 11, 0u);
  std::vector<std::pair<int, int>> points;  // (session, point)
  for (size_t at = 4; at < full.data.size(); at += 11) points.emplace_back(full.data[at], full.data[at + 3]);
  EXPECT_EQ(points, (std::vector<std::pair<int, int>>{{1, 0xA0}, {1, 0xA1}, {1, 0xA2}, {1, 1}, {1, 2}, {1, 0xB0},
                                                       {2, 0xA0}, {2, 0xA1}, {2, 0xA2}, {2, 3}}));
  // Session 1's lead-out at LBA 330: MSF 00:06:30.
  EXPECT_EQ(std::vector<uint8_t>(full.data.begin() + 4 + 2 * 11 + 8, full.data.begin() + 4 + 2 * 11 + 11),
            (std::vector<uint8_t>{0, 6, 30}));

  Exchange mcn = exec(rig.drive, {0x42, 0, 0x40, 2, 0, 0, 0, 0, 24, 0}, 24);
  expectGood(mcn);
  EXPECT_EQ(mcn.data[8], 0x80);
  EXPECT_EQ(std::string(mcn.data.begin() + 9, mcn.data.begin() + 22), "0724384960650");
  Exchange isrc = exec(rig.drive, {0x42, 0, 0x40, 3, 0, 0, 2, 0, 24, 0}, 24);
  EXPECT_EQ(std::string(isrc.data.begin() + 9, isrc.data.begin() + 21), "GBAYE0000351");
  EXPECT_EQ(exec(rig.drive, {0x42, 0, 0x40, 3, 0, 0, 1, 0, 24, 0}, 24).data[8], 0);
  expectSense(exec(rig.drive, {0x42, 0, 0x40, 3, 0, 0, 9, 0, 24, 0}, 24), 0x05, 0x24);

  // Formatted Q: in track 2's pregap the index is 0 and the time counts down.
  Exchange q = exec(rig.drive, {0xBE, 0, 0, 0, 0, 210, 0, 0, 1, 0x10, 2, 0}, kSectorBytes + 16);
  expectGood(q);
  ASSERT_EQ(q.data.size(), kSectorBytes + 16);
  const uint8_t* sub = q.data.data() + kSectorBytes;
  EXPECT_EQ(sub[0], 0x01);
  EXPECT_EQ(sub[1], 0x02);
  EXPECT_EQ(sub[2], 0x00);
  EXPECT_EQ(sub[5], 0x20);  // 20 frames before index 01, in BCD
  EXPECT_EQ(std::vector<uint8_t>(q.data.begin(), q.data.begin() + kSectorBytes), image(*disc, 210, 1));
  Exchange raw = exec(rig.drive, {0xBE, 0, 0, 0, 0, 240, 0, 0, 1, 0, 1, 0}, 96);
  ASSERT_EQ(raw.data.size(), 96u);
  EXPECT_EQ(raw.data[0] & 0x80, 0);  // P is clear inside the track
  EXPECT_EQ(raw.data[7] & 0x40, 0x40);  // the Q byte 0x01 ends in a one bit
  expectSense(exec(rig.drive, {0xBE, 0, 0, 0, 0, 240, 0, 0, 1, 0, 3, 0}, 96), 0x05, 0x24);
}

}  // namespace
}  // namespace platform::vdrive
