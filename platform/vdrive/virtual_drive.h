// The virtual CD drive: an MMC drive over a disc model, answering CDBs with
// real SCSI status and sense data. Commands a drive model does not know are
// refused as that model would; faults come from a seeded FaultPlan.
//
// Threads: execute() may be called from any thread; commands run one at a time
// under commandMutex_. cancelPending() and the test API may be called from any
// thread as well.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/scsi/scsi_target.h"
#include "platform/vdrive/disc.h"
#include "platform/vdrive/drive_clock.h"
#include "platform/vdrive/drive_model.h"
#include "platform/vdrive/fault_plan.h"

namespace platform::vdrive {

class VirtualDrive final : public scsi::Target {
 public:
  // The drive starts with the disc loaded (none: an empty closed tray). The
  // clock is shared; null means a SystemClock at real speed.
  explicit VirtualDrive(std::shared_ptr<const Disc> disc, DriveModel model = DriveModel{},
                        std::shared_ptr<DriveClock> clock = nullptr);
  ~VirtualDrive() override;

  // A drive holding the disc of a .cue file or a disc description (by path),
  // or of a description given as text. Throw ImageError.
  static std::unique_ptr<VirtualDrive> withImage(const std::string& path, DriveModel model = DriveModel{},
                                                 std::shared_ptr<DriveClock> clock = nullptr);
  static std::unique_ptr<VirtualDrive> withGeneratedDisc(std::string_view description, DriveModel model = DriveModel{},
                                                         std::shared_ptr<DriveClock> clock = nullptr);

  scsi::Result execute(const scsi::Command& command) override;
  void cancelPending() override;
  scsi::Address address() const override;

  // In-process control, as a user or the machine would act on a drive.
  void setAddress(scsi::Address address);
  void setModel(DriveModel model);
  void setFaults(FaultPlan plan);
  void setTiming(TimingModel timing);
  void insertDisc(std::shared_ptr<const Disc> disc, int notReadyPolls = 0);  // tray closes with it
  void removeDisc();                   // taken out by force: the lock does not stop it
  bool pressEject();                   // the eject button: false while the tray is locked
  void busReset(int notReadyPolls = 0);
  // The discs waiting behind the loaded one, as a disc changer holds them:
  // each eject by START STOP UNIT takes the loaded disc away and closes the
  // tray on the next one; after the last, the tray stays open and empty.
  // Never called (the default): an eject opens the tray with the disc on it.
  void setDiscStack(std::vector<std::shared_ptr<const Disc>> next);
  std::shared_ptr<const Disc> disc() const;
  bool trayLocked() const;
  bool trayOpen() const;
  uint64_t commandsExecuted() const;

 private:
  struct Sense {
    uint8_t key = 0, asc = 0, ascq = 0;
    bool hasInfo = false;
    uint32_t info = 0;
  };
  enum class Play : uint8_t { Stopped, Playing, Paused };

  // Guarded by commandMutex_ (every private member below unless noted).
  scsi::Result run(const scsi::Command& c);
  void fireDueEvents();
  bool hangThisCommand();
  bool waitCancellable(uint32_t timeoutMs);  // false: cancelled or timed out

  scsi::Result good(size_t transferred = 0) const;
  scsi::Result check(Sense sense);
  scsi::Result check(uint8_t key, uint8_t asc, uint8_t ascq) { return check(Sense{key, asc, ascq, false, 0}); }
  scsi::Result refuse();  // as the model refuses an unknown command
  scsi::Result invalidField() { return check(0x05, 0x24, 0x00); }
  scsi::Result dataPhaseError() { return check(0x0B, 0x4B, 0x00); }
  // Sends an answer truncated to the allocation length; fails on a buffer too small.
  scsi::Result sendAnswer(const scsi::Command& c, std::span<const uint8_t> answer, uint32_t allocationLength);
  bool mediumReady(scsi::Result& notReady);  // false with the NOT READY answer filled in
  void dropCache();

  // Commands (virtual_drive_commands.cpp).
  scsi::Result inquiry(const scsi::Command& c);
  scsi::Result requestSense(const scsi::Command& c);
  scsi::Result readToc(const scsi::Command& c);
  scsi::Result readTrackInformation(const scsi::Command& c);
  scsi::Result readCapacity(const scsi::Command& c);
  scsi::Result readSubchannel(const scsi::Command& c);
  scsi::Result readFullToc(const scsi::Command& c, uint32_t allocationLength);
  scsi::Result modeSelect(const scsi::Command& c, bool tenByte);
  scsi::Result modeSense(const scsi::Command& c, bool tenByte);
  scsi::Result setCdSpeed(const scsi::Command& c);
  scsi::Result preventAllow(const scsi::Command& c);
  scsi::Result startStop(const scsi::Command& c);
  scsi::Result pauseResume(const scsi::Command& c);
  scsi::Result playAudio(const scsi::Command& c);

  // Reads (virtual_drive_reads.cpp).
  enum class ReadKind : uint8_t { ReadCd, Blocks, VendorD4, VendorD8 };
  struct ReadRequest {
    ReadKind kind = ReadKind::ReadCd;
    Lba lba = 0;
    uint32_t count = 0;
    uint8_t expectedType = 0;  // READ CD
    uint8_t flags = 0x10;      // READ CD
    uint8_t subchannel = 0;    // 0 none, 1 raw P-W, 2 formatted Q, 4 R-W
    bool mainData = true;      // false: D8h sub-code form 3, sub-channel only
  };
  scsi::Result readCd(const scsi::Command& c);
  scsi::Result readBlocks(const scsi::Command& c);
  scsi::Result readVendor(const scsi::Command& c);
  scsi::Result read(const scsi::Command& c, const ReadRequest& r);
  // Bytes one sector yields for the request, 0 with sense filled in when the
  // request cannot read it.
  uint32_t sectorBytes(const ReadRequest& r, TrackMode mode, Sense& refusal) const;
  bool sectorFails(Lba lba);
  void audioStream(Lba lba, int jitterSamples, std::span<uint8_t, kSectorBytes> out) const;
  void formatSector(const ReadRequest& r, Lba lba, TrackMode mode, std::span<const uint8_t, kSectorBytes> raw,
                    std::span<uint8_t> out) const;
  // Scratches (virtual_drive_scratch.cpp): spoils the audio sector `out`
  // holds as READ CD (or another read) formatted it, and fills its C2 field.
  void placeRandomScratches();
  // The next number of a seeded sequence (splitmix64), for every fault
  // that the seed alone places.
  static uint64_t nextRandom(uint64_t& state);
  // `count` audio sectors drawn from `seed`, spread over the audio tracks
  // by their length; sorted, a sector may come twice.
  std::vector<Lba> randomAudioSectors(int count, uint64_t seed) const;
  void applyScratch(const ReadRequest& r, Lba lba, std::span<uint8_t> out);
  void spendReadTime(Lba lba, uint32_t count);
  void spinUp();
  int drawJitter(Lba start);

  mutable std::mutex commandMutex_;
  std::shared_ptr<DriveClock> clock_;  // set at construction, read only
  std::shared_ptr<const Disc> disc_;   // on the tray (also while it is open)
  std::shared_ptr<const Disc> removedDisc_;  // taken out by a Remove event, for the next Insert
  DriveModel model_;
  FaultPlan faults_;
  TimingModel timing_;
  bool trayOpen_ = false;
  bool locked_ = false;
  Play play_ = Play::Stopped;
  uint32_t blockLength_ = 2048;
  uint8_t density_ = 0;
  uint8_t readRetries_ = 7;
  int speedX_ = 0;  // as SET CD SPEED chose; 0: the model's fastest
  int notReadyPolls_ = 0;
  uint8_t pendingUnitAttention_ = 0;  // ASC of the pending unit attention, 0: none
  Sense lastSense_;                   // for REQUEST SENSE after a CHECK CONDITION
  uint64_t commands_ = 0;
  uint64_t startMs_ = 0;
  std::vector<bool> eventFired_;
  std::map<Lba, int> attempts_;       // reads tried per unreadable sector
  std::vector<Lba> randomUnreadable_; // sorted
  std::vector<Lba> randomScratch_;    // sorted
  std::map<Lba, int> scratchReads_;   // reads per scratched sector
  uint64_t scratchRng_ = 0;           // apart from rngState_, so jitter draws stay as they were
  uint64_t rngState_ = 0;
  std::map<Lba, std::vector<uint8_t>> cache_;  // stale cache: sector → bytes served
  std::deque<Lba> cacheOrder_;
  Lba lastReadEnd_ = 0;
  Lba headLba_ = 0;
  bool spunDown_ = true;  // the next medium access pays timing_.spinUpMs
  uint64_t hangsLeft_ = 0;
  std::deque<std::shared_ptr<const Disc>> stack_;  // discs after the loaded one, next first
  bool stacked_ = false;                            // setDiscStack was called: ejects take the disc away

  // Apart from commandMutex_ so that a command that never completes does not
  // block callers that only want the address.
  mutable std::mutex addressMutex_;
  scsi::Address address_;  // guarded by addressMutex_

  std::mutex cancelMutex_;              // guards cancelRequested_
  std::condition_variable cancelCv_;
  bool cancelRequested_ = false;
  std::atomic<bool> waiting_{false};    // a command is blocked in waitCancellable
};

}  // namespace platform::vdrive
