// One desktop program per home: a second start (a desktop offering the
// program for an inserted audio CD, a user starting it again) hands its
// drive to the program already running, which comes to the front on that
// drive, instead of starting a second engine on the same drives. The link
// is a local socket named for the user and $RIPMARROW_HOME. GUI thread only.
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

namespace quavern {

class InstanceLink : public QObject {
  Q_OBJECT

 public:
  // The socket's name: quavern-<uid>-<hash of the home folder>.
  static QString serverName();
  // Hands `drive` (may be empty: just come forward) to the program running
  // in this home; true when it took it within `timeoutMs` (a program that is
  // still starting answers once its window stands).
  static bool handOver(const QString& drive, int timeoutMs = 10000);

  // Listens for later starts, taking over a socket left by a program that
  // ended without removing it. False when it cannot listen, or when another
  // program of this home listens already.
  bool listen();

 signals:
  // A later start asked for `drive` ("" for none).
  void driveRequested(const QString& drive);

 private:
  QLocalServer server_;
};

}  // namespace quavern
