// The main window's face, the folder chooser and the About box: the default
// skin and the plain face of a broken one, the commands from the keyboard,
// the folder choice and its sub-folder setting, and screenshots of the three
// windows saved under the build tree.
#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTreeView>

#include <iostream>

#include "frontend/data_folder.h"
#include "frontend/skin/skin_face.h"
#include "frontend/tests/quavern_test_support.h"
#include "frontend/tfm_about.h"
#include "frontend/tfm_dir.h"
#include "frontend/window_geometry.h"
#include "platform/version/product_version.h"
#include "vdrive/demo_disc.h"

using namespace quavern_testing;

namespace {

void save(QWidget* window, const QString& name) {
  QDir().mkpath(QUAVERN_SCREENSHOT_DIR);
  const QString path = QString(QUAVERN_SCREENSHOT_DIR) + "/" + name + ".png";
  QVERIFY(window->grab().save(path));
  std::cerr << "screenshot: " << path.toStdString() << "\n";
}

}  // namespace

class WindowsTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<ScratchHome> home_;
  std::unique_ptr<ProgramUnderTest> program_;

  void startOnDemoDisc() {
    home_->write("vdrives.ini", "[V]\nimage=" + std::string(RIPMARROW_DEMO_DIR) + "/demo.cue\naddress=0:0:7:0\n");
    std::filesystem::copy_file(std::string(RIPMARROW_DEMO_DIR) + "/cdplayer.ini", home_->path() + "/cdplayer.ini");
    QVERIFY(quavern::ensureComponentsRegistered(std::cerr));
    program_ = std::make_unique<ProgramUnderTest>(*application());
    program_->show();
  }
  quavern::Tfm_dir* dir() const { return program_->window().findChild<quavern::Tfm_dir*>("Tfm_dir"); }

 private slots:
  void init() {
    home_ = std::make_unique<ScratchHome>();
    qunsetenv("QUAVERN_DATA_DIR");
  }
  void cleanup() {
    program_.reset();
    home_.reset();
  }

  void theDefaultSkinOffersEveryCommandFromTheKeyboard() {
    startOnDemoDisc();
    auto* face = program_->window().findChild<quavern::SkinFace*>("Skin");
    QVERIFY(face->skinned());
    QSignalSpy clicks(face, &quavern::SkinFace::commandClicked);
    // Tab from the first command reaches all ten.
    QAbstractButton* first = face->commandButton("RipCD");
    first->setFocus();
    QSet<QString> reached;
    QWidget* focus = first;
    for (int i = 0; i < 20; ++i) {
      if (auto* button = qobject_cast<QAbstractButton*>(focus)) reached.insert(button->objectName());
      focus = focus->nextInFocusChain();
      while (!focus->isVisible() || !(focus->focusPolicy() & Qt::TabFocus)) focus = focus->nextInFocusChain();
    }
    for (const quavern::SkinCommand& command : quavern::kSkinCommands) {
      QAbstractButton* button = face->commandButton(command.name);
      QVERIFY2(reached.contains(button->objectName()), command.name);
      QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(button);
      QVERIFY(accessible != nullptr);
      QCOMPARE(accessible->role(), QAccessible::Button);
      QCOMPARE(accessible->text(QAccessible::Name), QString(command.caption));
      QVERIFY(button->width() > 10 && button->height() > 10);
    }
    // Space on a focused command raises it; Ctrl+B is Browse.
    face->commandButton("Refresh")->setFocus();
    QTest::keyClick(face->commandButton("Refresh"), Qt::Key_Space);
    QCOMPARE(clicks.size(), 1);
    QCOMPARE(clicks.back().front().toString(), QString("Refresh"));
    program_->folders.answer = home_->path();
    QAbstractButton* browse = face->commandButton("Browse");
    QCOMPARE(browse->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_B));
    browse->setFocus();
    QTest::keyClick(browse, Qt::Key_Space);
    QCOMPARE(clicks.back().front().toString(), QString("Browse"));
    QCOMPARE(program_->find<QLineEdit>("edt_dir")->toolTip().toStdString(), home_->path());
  }

  void aBrokenSkinGivesThePlainFaceWithTheSameCommands() {
    const QString folder = QString::fromStdString(home_->path()) + "/data";
    QDir().mkpath(folder + "/skin");
    QFile file(folder + "/skin/default.svg");
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("<svg xmlns=\"http://www.w3.org/2000/svg\"><rect id=\"cmd-Play\"");  // cut short
    file.close();
    qputenv("QUAVERN_DATA_DIR", folder.toUtf8());
    startOnDemoDisc();
    auto* face = program_->window().findChild<quavern::SkinFace*>("Skin");
    QVERIFY(!face->skinned());
    QSignalSpy clicks(face, &quavern::SkinFace::commandClicked);
    for (const quavern::SkinCommand& command : quavern::kSkinCommands) {
      QAbstractButton* button = face->commandButton(command.name);
      QVERIFY(button->isVisible());
      QCOMPARE(button->text(), QString(command.caption));
    }
    QTest::mouseClick(face->commandButton("Refresh"), Qt::LeftButton);
    QCOMPARE(clicks.back().front().toString(), QString("Refresh"));
    QCOMPARE(program_->find<QTableWidget>("lv")->rowCount(), 4);
    save(&program_->window(), "main_window_plain");
  }

  void aMissingSkinGivesThePlainFace() {
    qputenv("QUAVERN_DATA_DIR", QByteArray::fromStdString(home_->path() + "/nothing"));
    startOnDemoDisc();
    QVERIFY(!program_->window().findChild<quavern::SkinFace*>("Skin")->skinned());
  }

  void theFolderChooserKeepsItsSubfolderSetting() {
    startOnDemoDisc();
    quavern::Tfm_dir* chooser = dir();
    auto* box = chooser->findChild<QCheckBox*>("cbx_sub");
    program_->settings.writeBool("basic", "enable sub dir", false);
    // Cancel after changing the box: the setting stays.
    chooser->prepare({"Open Folder", "Pick a folder", true});
    QVERIFY(!box->isHidden());
    QVERIFY(!box->isChecked());
    box->setChecked(true);
    chooser->btn_cancelClick();
    QVERIFY(chooser->chosenFolder().isEmpty());
    QVERIFY(!program_->settings.readBool("basic", "enable sub dir", true));
    QVERIFY(box->isHidden());  // hidden again for the next caller
    // OK with a folder: the folder, and the (hidden) box stored again.
    chooser->prepare({"Output Directory", "Please select the folder you want to save your files.", false});
    QVERIFY(box->isHidden());
    QCOMPARE(chooser->findChild<QLabel*>("lbl_action")->text(),
             QString("Please select the folder you want to save your files."));
    QCOMPARE(chooser->windowTitle(), QString("Output Directory"));
    chooser->selectFolder(QString::fromStdString(home_->path()));
    chooser->btn_okClick();
    QCOMPARE(chooser->chosenFolder().toStdString(), home_->path());
    QCOMPARE(program_->settings.readText("basic", "enable sub dir", ""), std::string("0"));
    // The file system root is one choice away.
    chooser->selectFolder("/");
    QCOMPARE(chooser->findChild<QComboBox*>("cb_place")->currentIndex(), 1);
    chooser->btn_okClick();
    QCOMPARE(chooser->chosenFolder(), QString("/"));
    // OK with nothing selected: no choice.
    chooser->prepare({"Output Directory", "", false});
    chooser->btn_okClick();
    QVERIFY(chooser->chosenFolder().isEmpty());
  }

  void aboutBoxContactGoesToTheDesktop() {
    startOnDemoDisc();
    auto* about = program_->window().findChild<quavern::Tfm_about*>("Tfm_about");
    QCOMPARE(about->windowTitle(), QString("About"));
    QCOMPARE(about->findChild<QLabel*>("lbl_version")->text(), QString("Version:    ") + platform::productVersion());
    QCOMPARE(about->findChild<QPushButton*>("btn_contact")->text(), QString("Contact us "));
    QTest::mouseClick(about->findChild<QPushButton*>("btn_contact"), Qt::LeftButton);
    QCOMPARE(program_->opener.opened.size(), size_t(1));
    QVERIFY(program_->opener.opened[0].starts_with("mailto:"));
  }

  void aLargerFontGrowsTheWindowInProportion() {
    const QFont old = QApplication::font();
    QFont large = old;
    large.setPixelSize(20);
    QApplication::setFont(large);
    startOnDemoDisc();
    quavern::Tfm_main& window = program_->window();
    const double scale = window.scale();
    QVERIFY2(scale > 1.4, qPrintable(QString::number(scale)));
    auto* face = window.findChild<quavern::SkinFace*>("Skin");
    QCOMPARE(face->size(), QSize(quavern::scaled(469, scale), quavern::scaled(389, scale)));
    auto* lv = program_->find<QTableWidget>("lv");
    QCOMPARE(lv->geometry(), QRect(0, quavern::scaled(47, scale), quavern::scaled(469, scale), quavern::scaled(271, scale)));
    QVERIFY(lv->columnWidth(1) > lv->fontMetrics().horizontalAdvance("Unknown Artist"));
    QVERIFY(lv->columnWidth(4) > lv->fontMetrics().horizontalAdvance("Unconverted"));
    auto* format = program_->find<QComboBox>("cb_format");
    QVERIFY2(format->width() >= format->minimumSizeHint().width(),
             qPrintable(QString("%1 < %2").arg(format->width()).arg(format->minimumSizeHint().width())));
    save(&window, "main_window_large_font");
    program_.reset();
    QApplication::setFont(old);
  }

  void screenshots() {
    // A home of a user with the usual folders.
    for (const char* folder : {"Documents", "Music/Ripmarrow", "Music/Live", "Pictures", "Videos", "Downloads"})
      QDir().mkpath(QString::fromStdString(home_->path()) + "/user/" + folder);
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", QByteArray::fromStdString(home_->path() + "/user"));
    startOnDemoDisc();
    auto* lv = program_->find<QTableWidget>("lv");
    lv->selectRow(1);
    QTest::qWait(50);
    save(&program_->window(), "main_window");
    auto* about = program_->window().findChild<quavern::Tfm_about*>("Tfm_about");
    about->show();
    QTest::qWait(50);
    save(about, "about");
    about->hide();
    quavern::Tfm_dir* chooser = dir();
    chooser->prepare({"Output Directory", "Please select the folder you want to save your files.", true});
    chooser->show();
    chooser->selectFolder(QDir::homePath() + "/Music/Ripmarrow");
    QTest::qWait(500);  // the tree fills in the background
    chooser->selectFolder(QDir::homePath() + "/Music/Ripmarrow");
    QTest::qWait(200);
    save(chooser, "folder_chooser");
    chooser->hide();
    qputenv("HOME", oldHome);
  }
};

int main(int argc, char** argv) { return quavern_testing::runQuavernTest<WindowsTest>(argc, argv); }

#include "windows_test.moc"
