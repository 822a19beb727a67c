#include "frontend/application_events.h"

#include <QEvent>
#include <QPointer>

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

}  // namespace quavern
