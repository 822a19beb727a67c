// The Settings dialog's fields for the proof of a rip: [cd] "test and copy"
// (each track read twice, the two reads' CRCs compared) and [accuraterip]
// "server" (HOST[:PORT], or "none" not to ask the database), and [ctdb]
// "server", the CUETools database (http[s]://HOST[:PORT][/PATH], HOST[:PORT] or
// "none"); and beside test and copy on the CD Setting page [replaygain]
// "enabled" (on by default).
#include <QBoxLayout>
#include <QCheckBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>

#include "client/accuraterip_lookup.h"
#include "client/ctdb_lookup.h"
#include "client/proof_recorder.h"
#include "frontend/seams.h"
#include "frontend/settings/settings_store.h"
#include "frontend/settings/tfm_set.h"

namespace quavern {

namespace {
constexpr const char* kBadAccurateRipServer =
    "The AccurateRip server must be a host name, optionally with \":port\" (for example www.accuraterip.com or "
    "localhost:8080), or \"none\" not to ask the database.";
constexpr const char* kBadCtdbServer =
    "The CUETools database server must be http[s]://HOST[:PORT][/PATH] or HOST[:PORT] (for example "
    "http://db.cuetools.net or localhost:8080), or \"none\" not to ask the database";
}

void Tfm_set::addTestAndCopy(QBoxLayout* cdPage) {
  cb_test_copy_ = new QCheckBox("Test and copy (read each track twice and compare the two reads)");
  cb_test_copy_->setObjectName("cb_test_copy");
  cdPage->addWidget(cb_test_copy_);
}

void Tfm_set::addReplayGain(QBoxLayout* cdPage) {
  cb_replaygain_ = new QCheckBox("ReplayGain (measure each track while ripping; tag track and album gain)");
  cb_replaygain_->setObjectName("cb_replaygain");
  cdPage->addWidget(cb_replaygain_);
}

void Tfm_set::addAccurateRipFields(QFormLayout* onlinePage) {
  edt_accuraterip_ = new QLineEdit;
  edt_accuraterip_->setObjectName("edt_accuraterip");
  edt_accuraterip_->setAccessibleName("AccurateRip server");
  edt_accuraterip_->setPlaceholderText("none");
  onlinePage->addRow("AccurateRip server: ", edt_accuraterip_);
  auto* hint = new QLabel("After each rip the disc's checksums are compared with the AccurateRip database. "
                          "Enter none not to ask it.");
  hint->setWordWrap(true);
  onlinePage->addRow(hint);
  edt_ctdb_ = new QLineEdit;
  edt_ctdb_->setObjectName("edt_ctdb");
  edt_ctdb_->setAccessibleName("CUETools database server");
  edt_ctdb_->setPlaceholderText("none");
  onlinePage->addRow("CTDB server: ", edt_ctdb_);
  auto* ctdbHint = new QLabel("The CUETools database also confirms each track, whatever the drive's read offset. "
                              "Enter none not to ask it.");
  ctdbHint->setWordWrap(true);
  onlinePage->addRow(ctdbHint);
}

void Tfm_set::showProofSettings() {
  cb_test_copy_->setChecked(settings_.readBool("cd", "test and copy", false));
  cb_replaygain_->setChecked(settings_.readBool("replaygain", "enabled", true));
  edt_accuraterip_->setText(
      QString::fromStdString(settings_.readText("accuraterip", "server", client::DefaultAccurateRipServer())));
  edt_ctdb_->setText(QString::fromStdString(settings_.readText("ctdb", "server", client::DefaultCtdbServer())));
}

bool Tfm_set::checkProofSettings() {
  std::optional<client::HttpServer> server;
  const std::string text = edt_accuraterip_->text().trimmed().toStdString();
  QLineEdit* bad = nullptr;
  std::string told;
  if (text.empty() || !client::ParseAccurateRipServer(text, server)) {
    bad = edt_accuraterip_;
    told = kBadAccurateRipServer;
  } else {
    std::string why;
    const std::string ctdb = edt_ctdb_->text().trimmed().toStdString();
    if (ctdb.empty() || !client::ParseCtdbServer(ctdb, why)) {
      bad = edt_ctdb_;
      told = std::string(kBadCtdbServer) + (why.empty() ? "." : " (" + why + ").");
    }
  }
  if (bad == nullptr) return true;
  prompter_.inform(this, told);
  pc_->setCurrentWidget(bad->parentWidget());
  bad->setFocus();
  bad->selectAll();
  return false;
}

void Tfm_set::writeProofSettings() {
  settings_.writeBool("cd", "test and copy", cb_test_copy_->isChecked());
  settings_.writeBool("replaygain", "enabled", cb_replaygain_->isChecked());
  settings_.writeText("accuraterip", "server", edt_accuraterip_->text().trimmed().toStdString());
  settings_.writeText("ctdb", "server", edt_ctdb_->text().trimmed().toStdString());
}

void Tfm_set::defaultProofSettings() {
  cb_test_copy_->setChecked(false);
  cb_replaygain_->setChecked(true);
  edt_accuraterip_->setText(QString::fromStdString(client::DefaultAccurateRipServer()));
  edt_ctdb_->setText(QString::fromStdString(client::DefaultCtdbServer()));
}

}  // namespace quavern
