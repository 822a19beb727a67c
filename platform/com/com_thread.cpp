#include "platform/com/com_thread.h"

#include <utility>

namespace com {

ComThread::ComThread(std::function<void()> body) : finished_(std::make_shared<std::atomic<bool>>(false)) {
  thread_ = std::thread([finished = finished_, body = std::move(body)] {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    body();
    CoUninitialize();
    finished->store(true);
    CoWakeWaiters();
  });
}

ComThread::~ComThread() {
  if (thread_.joinable()) join(INFINITE);
}

ComThread::ComThread(ComThread&& other) noexcept
    : finished_(std::move(other.finished_)), thread_(std::move(other.thread_)) {}

ComThread& ComThread::operator=(ComThread&& other) noexcept {
  if (this != &other) {
    if (thread_.joinable()) join(INFINITE);
    finished_ = std::move(other.finished_);
    thread_ = std::move(other.thread_);
  }
  return *this;
}

bool ComThread::finished() const { return finished_ && finished_->load(); }

HRESULT ComThread::join(DWORD timeoutMs) {
  if (!thread_.joinable()) return S_OK;
  HRESULT hr = CoWaitUntil([](void* f) -> BOOL { return static_cast<std::atomic<bool>*>(f)->load() ? TRUE : FALSE; },
                           finished_.get(), timeoutMs);
  if (hr != S_OK) return hr;
  thread_.join();
  return S_OK;
}

}  // namespace com
