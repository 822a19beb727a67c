// Runs one drive's ASPI commands, one at a time and in order, on its own
// thread, and completes their request blocks. A command that the drive never
// finishes stays pending (and holds up the commands behind it) until it is
// aborted.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/aspi/wnaspi32.h"
#include "platform/deviceio/device_channel.h"

namespace platform::aspi {

class CommandWorker {
 public:
  // The channel belongs to the worker's owner and must outlive the worker.
  explicit CommandWorker(deviceio::DeviceChannel& channel);
  // Stops the thread: the running command is cancelled, queued ones are
  // dropped, and none of their blocks is written again.
  ~CommandWorker();
  CommandWorker(const CommandWorker&) = delete;
  CommandWorker& operator=(const CommandWorker&) = delete;

  // Queues a checked block whose SRB_Status is already SS_PENDING. The block
  // is the caller's; the worker writes it once, when the command ends.
  void submit(SRB_ExecSCSICmd* srb);
  // Ends a pending block with SS_ABORTED (cancelling it when it is running).
  // False when the block is not pending here.
  bool abort(const SRB_ExecSCSICmd* srb);

 private:
  // Everything the command needs, taken from the block at submission, so the
  // block is only written, and only once, at completion.
  struct Job {
    SRB_ExecSCSICmd* srb = nullptr;
    uint8_t flags = 0;
    uint8_t senseBytesWanted = 0;
    uint8_t cdbBytes = 0;
    uint8_t cdb[16] = {};
    uint8_t* buffer = nullptr;
    uint32_t bufferBytes = 0;
    void* event = nullptr;  // RmEvent* with SRB_EVENT_NOTIFY
  };

  void run();
  void execute(const Job& job);
  // Writes the block's results, SRB_Status last, then signals its event.
  static void complete(const Job& job, uint8_t status, uint8_t hostStatus, const deviceio::Outcome* outcome);

  deviceio::DeviceChannel& channel_;
  std::mutex mutex_;  // guards the fields below
  std::condition_variable wake_;
  std::deque<Job> queue_;
  const SRB_ExecSCSICmd* running_ = nullptr;  // the block being executed, if any
  bool abortRunning_ = false;                 // the running block was aborted
  bool stopping_ = false;
  std::thread thread_;  // started last, after the fields it reads
};

}  // namespace platform::aspi
