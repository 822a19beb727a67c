#include "frontend/application_events.h"

#include <QEvent>
#include <QPointer>
#include <QSocketNotifier>

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/com/objbase.h"

namespace quavern {

QuavernApplication::QuavernApplication(int& argc, char** argv) : QApplication(argc, argv) {}

void QuavernApplication::setHooks(MessageHook message, ExceptionHook exception) {
  message_ = std::move(message);
  exception_ = std::move(exception);
}

bool QuavernApplication::notify(QObject* receiver, QEvent* event) {
  try {
    if (message_ && (event->type() == QEvent::KeyPress || event->type() == QEvent::MouseButtonPress) &&
        message_(receiver, event)) {
      return true;
    }
    return QApplication::notify(receiver, event);
  } catch (...) {
    if (exception_) {
      exception_();
    } else {
      quit();
    }
    return false;
  }
}

namespace {

// Lives in the GUI thread; each posted event runs the calls queued so far.
class PumpTarget : public QObject {
 public:
  static constexpr QEvent::Type kPumpEvent = static_cast<QEvent::Type>(QEvent::User + 17);

  bool event(QEvent* e) override {
    if (e->type() != kPumpEvent) return QObject::event(e);
    CoPumpCalls(0);
    return true;
  }
};

PumpTarget* pumpTarget = nullptr;  // GUI thread; read by the hook on any thread while set

void callArrived(void* context) {
  // Any thread: postEvent is the one Qt call that is safe there.
  QCoreApplication::postEvent(static_cast<PumpTarget*>(context), new QEvent(PumpTarget::kPumpEvent));
}

}  // namespace

ComCallPump::ComCallPump() {
  pumpTarget = new PumpTarget;
  CoSetCallArrivedHook(&callArrived, pumpTarget);
}

ComCallPump::~ComCallPump() {
  CoSetCallArrivedHook(nullptr, nullptr);
  delete pumpTarget;  // pending pump events go with it
  pumpTarget = nullptr;
}

namespace {

int terminationPipe[2] = {-1, -1};  // written by the signal handler, read on the GUI thread

void onTermination(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = write(terminationPipe[0], &byte, 1);
}

}  // namespace

void closeOnTermination(QWidget* window) {
  if (terminationPipe[0] < 0 && socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, terminationPipe) != 0) return;
  auto* notifier = new QSocketNotifier(terminationPipe[1], QSocketNotifier::Read, window);
  QObject::connect(notifier, &QSocketNotifier::activated, window, [window] {
    char byte = 0;
    [[maybe_unused]] const ssize_t got = read(terminationPipe[1], &byte, 1);
    window->close();
  });
  struct sigaction action = {};
  action.sa_handler = &onTermination;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

}  // namespace quavern
