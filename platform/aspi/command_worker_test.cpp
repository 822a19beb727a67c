// The asynchronous completion of request blocks, against a scripted drive.
#include "platform/aspi/command_worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstring>

#include "platform/deviceio/fake_target.h"
#include "platform/deviceio/target_channel.h"
#include "platform/sync/event_c.h"

namespace platform::aspi {
namespace {

using deviceio::testing::FakeTarget;

// A drive whose commands never end until they are cancelled; it says when a
// command has reached it.
class HangingTarget final : public scsi::Target {
 public:
  scsi::Result execute(const scsi::Command&) override {
    rm_event_set(started);
    std::unique_lock lock(mutex_);
    released_.wait(lock, [this] { return cancelled_; });
    cancelled_ = false;
    scsi::Result result;
    result.completed = false;
    return result;
  }
  void cancelPending() override {
    std::lock_guard lock(mutex_);
    cancelled_ = true;
    released_.notify_all();
  }
  scsi::Address address() const override { return {}; }

  RmEvent* started = rm_event_create(0);
  ~HangingTarget() override { rm_event_destroy(started); }

 private:
  std::mutex mutex_;
  std::condition_variable released_;
  bool cancelled_ = false;
};

SRB_ExecSCSICmd inquiryBlock(uint8_t* buffer, uint32_t bytes, RmEvent* event) {
  SRB_ExecSCSICmd srb{};
  srb.SRB_Cmd = SC_EXEC_SCSI_CMD;
  srb.SRB_Flags = SRB_DIR_IN | (event != nullptr ? SRB_EVENT_NOTIFY : 0);
  srb.SRB_BufLen = bytes;
  srb.SRB_BufPointer = buffer;
  srb.SRB_SenseLen = SENSE_LEN;
  srb.SRB_CDBLen = 6;
  srb.SRB_PostProc = event;
  const uint8_t cdb[6] = {0x12, 0, 0, 0, 36, 0};
  std::memcpy(srb.CDBByte, cdb, sizeof cdb);
  srb.SRB_Status = SS_PENDING;
  return srb;
}

uint8_t status(const SRB_ExecSCSICmd& srb) {
  return std::atomic_ref<const uint8_t>(srb.SRB_Status).load(std::memory_order_acquire);
}

TEST(CommandWorkerTest, CompletesWithDataStatusAndEvent) {
  auto target = std::make_shared<FakeTarget>();
  target->fill = {0x05, 0x80};
  deviceio::TargetChannel channel(target);
  CommandWorker worker(channel);
  RmEvent* event = rm_event_create(0);
  uint8_t data[36] = {};
  SRB_ExecSCSICmd srb = inquiryBlock(data, sizeof data, event);
  worker.submit(&srb);
  ASSERT_EQ(rm_event_wait(event, RM_EVENT_INFINITE), 1);
  EXPECT_EQ(status(srb), SS_COMP);
  EXPECT_EQ(srb.SRB_TargStat, 0);
  EXPECT_EQ(data[0], 0x05);
  EXPECT_EQ(target->lastDataBytes, sizeof data);

  // A rejected command ends in SS_ERR with its sense, found by polling.
  target->answer = FakeTarget::checkCondition(0x05, 0x20, 0x00);
  uint8_t guarded[sizeof(SRB_ExecSCSICmd) + 32];
  std::memset(guarded, 0xEE, sizeof guarded);
  auto* rejected = reinterpret_cast<SRB_ExecSCSICmd*>(guarded);
  *rejected = inquiryBlock(data, sizeof data, nullptr);
  rejected->SRB_SenseLen = 255;  // more than SenseArea holds
  worker.submit(rejected);
  while (status(*rejected) == SS_PENDING) std::this_thread::yield();
  EXPECT_EQ(status(*rejected), SS_ERR);
  EXPECT_EQ(rejected->SRB_TargStat, scsi::kStatusCheckCondition);
  EXPECT_EQ(rejected->SenseArea[2], 0x05);
  EXPECT_EQ(rejected->SenseArea[12], 0x20);
  EXPECT_EQ(guarded[sizeof(SRB_ExecSCSICmd)], 0xEE);  // nothing past the block
  rm_event_destroy(event);
}

TEST(CommandWorkerTest, CommandThatNeverEndsStaysPendingUntilAborted) {
  auto target = std::make_shared<HangingTarget>();
  deviceio::TargetChannel channel(target);
  CommandWorker worker(channel);
  RmEvent* event = rm_event_create(0);
  uint8_t data[36] = {};
  SRB_ExecSCSICmd srb = inquiryBlock(data, sizeof data, event);
  SRB_ExecSCSICmd queued = inquiryBlock(data, sizeof data, nullptr);
  worker.submit(&srb);
  worker.submit(&queued);
  ASSERT_EQ(rm_event_wait(target->started, RM_EVENT_INFINITE), 1);
  EXPECT_EQ(status(srb), SS_PENDING);
  EXPECT_EQ(rm_event_wait(event, 0), 0);

  EXPECT_TRUE(worker.abort(&queued));  // behind the hanging one: never started
  EXPECT_EQ(status(queued), SS_ABORTED);
  EXPECT_EQ(status(srb), SS_PENDING);

  EXPECT_TRUE(worker.abort(&srb));
  ASSERT_EQ(rm_event_wait(event, RM_EVENT_INFINITE), 1);
  EXPECT_EQ(status(srb), SS_ABORTED);
  EXPECT_FALSE(worker.abort(&srb));  // no longer pending
  rm_event_destroy(event);
}

TEST(CommandWorkerTest, StoppingWithACommandInTheDriveLeavesItsBlockAlone) {
  auto target = std::make_shared<HangingTarget>();
  deviceio::TargetChannel channel(target);
  uint8_t data[36] = {};
  SRB_ExecSCSICmd srb = inquiryBlock(data, sizeof data, nullptr);
  {
    CommandWorker worker(channel);
    worker.submit(&srb);
    ASSERT_EQ(rm_event_wait(target->started, RM_EVENT_INFINITE), 1);
  }
  EXPECT_EQ(srb.SRB_Status, SS_PENDING);
}

}  // namespace
}  // namespace platform::aspi
