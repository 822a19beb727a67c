// How the desktop program meets the desktop: a later start (an inserted
// audio CD, the user starting it again) handed over to the running window,
// which comes forward on the drive asked for; CD devices the user may not
// open said once with the remedy.
#include <fcntl.h>

#include <QTableWidget>
#include <QtTest>

#include <atomic>
#include <filesystem>
#include <iostream>
#include <thread>

#include "frontend/instance_link.h"
#include "frontend/tests/quavern_test_support.h"
#include "platform/sys/sys.h"
#include "vdrive/demo_disc.h"

using quavern_testing::ProgramUnderTest;
using quavern_testing::ScratchHome;

namespace {

// Root opens any device whatever its mode: the kernel's refusal is played
// through the system-call wrapper.
int refuseSr0(const char* path, int flags, mode_t mode) {
  if (std::filesystem::path(path).filename() == "sr0") {
    errno = EACCES;
    return -1;
  }
  return platform::sys::realSysCalls().open(path, flags, mode);
}

}  // namespace

class DesktopStartTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<ScratchHome> home_;
  std::unique_ptr<ProgramUnderTest> program_;

  // The demo disc in two virtual drives, V: and W: (drives 1 and 2: the
  // engine lists them in the order of their SCSI addresses).
  void startOnTwoDrives() {
    const std::string image = std::string(RIPMARROW_DEMO_DIR) + "/demo.cue";
    home_->write("vdrives.ini", "[V]\nimage=" + image + "\naddress=0:0:5:0\n[W]\nimage=" + image + "\naddress=0:0:6:0\n");
    QVERIFY(quavern::ensureComponentsRegistered(std::cerr));
    program_ = std::make_unique<ProgramUnderTest>(*application());
    program_->show();
  }
  static quavern::QuavernApplication* application() {
    return static_cast<quavern::QuavernApplication*>(QCoreApplication::instance());
  }
  // A later start's hand-over, on a thread of its own while this one runs
  // the running program's loop.
  bool handOver(const QString& drive) {
    std::atomic<int> result{-1};
    std::thread start([&] { result = quavern::InstanceLink::handOver(drive) ? 1 : 0; });
    for (int waited = 0; result == -1 && waited < 15000; waited += 10) QTest::qWait(10);
    start.join();
    return result == 1;
  }

 private slots:
  void init() { home_ = std::make_unique<ScratchHome>(); }
  void cleanup() {
    program_.reset();
    home_.reset();
  }

  void aLaterStartBringsTheRunningWindowForwardOnItsDrive() {
    startOnTwoDrives();
    QCOMPARE(program_->settings.readInt("cd", "cd rom", 0), 0);
    quavern::InstanceLink link;
    QVERIFY(link.listen());
    QObject::connect(&link, &quavern::InstanceLink::driveRequested, &program_->window(),
                     [this](const QString& drive) { program_->program->showDrive(drive.toStdString()); });
    // A second program of the same home does not listen beside the first.
    quavern::InstanceLink second;
    QVERIFY(!second.listen());

    QVERIFY(handOver("W:"));
    QTRY_COMPARE(program_->settings.readInt("cd", "cd rom", 0), 1);
    QVERIFY(handOver("1"));
    QTRY_COMPARE(program_->settings.readInt("cd", "cd rom", 0), 0);
    QVERIFY(handOver(""));  // only forward
    QVERIFY(handOver("Q:"));
    QTRY_VERIFY(!program_->prompter.messages.empty());
    QCOMPARE(program_->prompter.messages.back(), std::string("There is no drive Q:."));
    QCOMPARE(program_->settings.readInt("cd", "cd rom", 0), 0);
    QCOMPARE(program_->find<QTableWidget>("lv")->rowCount(), 4);
  }

  void withoutARunningProgramNothingIsHandedOver() {
    QVERIFY(!quavern::InstanceLink::handOver("W:", 500));
  }

  void drivesThatMayNotBeOpenedAreSaidOnceWithTheRemedy() {
    home_->write("sr0", "");
    platform::sys::ScopedSysCall open(&platform::sys::SysCalls::open, refuseSr0);
    startOnTwoDrives();
    program_->program->sayRefusedDrives();
    program_->program->sayRefusedDrives();
    QCOMPARE(program_->prompter.messages.size(), size_t{1});
    QCOMPARE(program_->prompter.messages.front(),
             "Cannot open " + home_->path() + "/sr0: permission denied.\n"
             "To use the CD drives, add your user to the group `cdrom`, then log in again.\n");
  }
};

int main(int argc, char** argv) { return quavern_testing::runQuavernTest<DesktopStartTest>(argc, argv); }

#include "desktop_start_test.moc"
