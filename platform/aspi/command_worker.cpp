#include "platform/aspi/command_worker.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "platform/deviceio/win_device.h"
#include "platform/sync/event_c.h"

namespace platform::aspi {

CommandWorker::CommandWorker(deviceio::DeviceChannel& channel) : channel_(channel), thread_([this] { run(); }) {}

CommandWorker::~CommandWorker() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    queue_.clear();
  }
  wake_.notify_all();
  channel_.cancelPending();
  thread_.join();
}

void CommandWorker::submit(SRB_ExecSCSICmd* srb) {
  Job job;
  job.srb = srb;
  job.flags = srb->SRB_Flags;
  job.senseBytesWanted = std::min<uint8_t>(srb->SRB_SenseLen, sizeof srb->SenseArea);
  job.cdbBytes = srb->SRB_CDBLen;
  std::memcpy(job.cdb, srb->CDBByte, job.cdbBytes);
  job.buffer = srb->SRB_BufPointer;
  job.bufferBytes = srb->SRB_BufLen;
  job.event = (srb->SRB_Flags & SRB_EVENT_NOTIFY) != 0 ? srb->SRB_PostProc : nullptr;
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(job);
  }
  wake_.notify_one();
}

bool CommandWorker::abort(const SRB_ExecSCSICmd* srb) {
  std::unique_lock lock(mutex_);
  const auto queued = std::find_if(queue_.begin(), queue_.end(), [srb](const Job& job) { return job.srb == srb; });
  if (queued != queue_.end()) {
    const Job job = *queued;
    queue_.erase(queued);
    lock.unlock();
    complete(job, SS_ABORTED, HASTAT_OK, nullptr);
    return true;
  }
  if (running_ != srb || srb == nullptr || abortRunning_) return false;
  abortRunning_ = true;
  lock.unlock();
  // The worker completes the block when the drive lets go of the command.
  channel_.cancelPending();
  return true;
}

void CommandWorker::run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (stopping_) return;
    const Job job = queue_.front();
    queue_.pop_front();
    running_ = job.srb;
    abortRunning_ = false;
    lock.unlock();
    execute(job);
    lock.lock();
  }
}

void CommandWorker::execute(const Job& job) {
  scsi::Command command;
  command.cdb = std::span<const uint8_t>(job.cdb, job.cdbBytes);
  // ASPI has no time-out of its own: a command runs until the drive ends it.
  command.timeoutMs = 0;
  if ((job.flags & SRB_DIR_IN) != 0) {
    command.direction = scsi::Direction::In;
  } else if ((job.flags & SRB_DIR_OUT) != 0) {
    command.direction = scsi::Direction::Out;
  }
  if (command.direction != scsi::Direction::None && job.bufferBytes != 0)
    command.data = std::span<uint8_t>(job.buffer, job.bufferBytes);

  deviceio::Outcome outcome;
  DWORD error = ERROR_SUCCESS;
  const bool carried = channel_.execute(command, outcome, error);

  std::unique_lock lock(mutex_);
  if (stopping_) return;  // the library is going away; the caller's block may be too
  const bool aborted = abortRunning_;
  running_ = nullptr;  // from here on the block can no longer be aborted
  lock.unlock();
  if (aborted) {
    complete(job, SS_ABORTED, HASTAT_OK, nullptr);
  } else if (!carried) {
    complete(job, SS_ERR, error == static_cast<DWORD>(ERROR_SEM_TIMEOUT) ? HASTAT_COMMAND_TIMEOUT : HASTAT_SEL_TO, nullptr);
  } else {
    complete(job, outcome.status == scsi::kStatusGood ? SS_COMP : SS_ERR, HASTAT_OK, &outcome);
  }
}

void CommandWorker::complete(const Job& job, uint8_t status, uint8_t hostStatus, const deviceio::Outcome* outcome) {
  SRB_ExecSCSICmd* srb = job.srb;
  srb->SRB_HaStat = hostStatus;
  if (outcome != nullptr) {
    srb->SRB_TargStat = outcome->status;
    if (outcome->status != scsi::kStatusGood) {
      const size_t senseBytes = std::min<size_t>(job.senseBytesWanted, outcome->senseBytes);
      std::memcpy(srb->SenseArea, outcome->sense.data(), senseBytes);
    }
    if ((job.flags & SRB_ENABLE_RESIDUAL_COUNT) != 0 && job.buffer != nullptr)
      srb->SRB_BufLen = job.bufferBytes - static_cast<uint32_t>(std::min<size_t>(outcome->transferredBytes, job.bufferBytes));
  }
  // A caller polling SRB_Status sees every other result once it sees this.
  std::atomic_ref<uint8_t>(srb->SRB_Status).store(status, std::memory_order_release);
  if (job.event != nullptr) rm_event_set(static_cast<RmEvent*>(job.event));
}

}  // namespace platform::aspi
