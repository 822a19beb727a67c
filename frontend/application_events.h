// The application-wide event hook: every event of the program's thread
// passes here before it is dispatched (keys and clicks go to the main
// window's ApplicationEventsMessage), and an exception that escapes a
// handler becomes the main window's ApplicationEventsException (the restart
// question) instead of ending the program.
#pragma once

#include <QApplication>
#include <QWidget>
#include <functional>

namespace quavern {

class QuavernApplication : public QApplication {
 public:
  QuavernApplication(int& argc, char** argv);

  using MessageHook = std::function<bool(QObject*, QEvent*)>;
  using ExceptionHook = std::function<void()>;
  // Both empty until the main window exists.
  void setHooks(MessageHook message, ExceptionHook exception);

  bool notify(QObject* receiver, QEvent* event) override;

 private:
  MessageHook message_;
  ExceptionHook exception_;
};

// Engine events reach the GUI thread: the COM runtime's call-arrived hook
// posts an event to this thread's Qt loop, which then runs the queued calls
// (also inside modal dialogs and message boxes, which run the loop too).
class ComCallPump {
 public:
  ComCallPump();   // on the GUI thread, after CoInitialize
  ~ComCallPump();  // removes the hook
  ComCallPump(const ComCallPump&) = delete;
  ComCallPump& operator=(const ComCallPump&) = delete;
};

// SIGTERM and SIGINT (a session that ends, Ctrl+C in a terminal) close the
// window as "Exit" does, so the engine is closed and the settings kept.
void closeOnTermination(QWidget* window);

}  // namespace quavern
