#include "frontend/settings/musicbrainz_settings_page.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "client/musicbrainz_lookup.h"
#include "frontend/settings/settings_store.h"

namespace quavern {
namespace {

QLineEdit* Field(QWidget* page, const char* name) {
  auto* field = new QLineEdit(page);
  field->setObjectName(name);
  return field;
}

}  // namespace

MusicBrainzSettingsPage::MusicBrainzSettingsPage(QWidget* parent) : QWidget(parent) {
  setObjectName("musicbrainz_page");
  cb_musicbrainz_ = new QCheckBox("Look titles up in MusicBrainz", this);
  cb_musicbrainz_->setObjectName("cb_musicbrainz");
  edt_musicbrainz_server_ = Field(this, "edt_musicbrainz_server");
  edt_country_ = Field(this, "edt_country");
  edt_country_->setMaxLength(2);
  cb_cover_art_ = new QCheckBox("Fetch the cover art", this);
  cb_cover_art_->setObjectName("cb_cover_art");
  edt_coverart_server_ = Field(this, "edt_coverart_server");
  auto* form = new QFormLayout;
  form->addRow(cb_musicbrainz_);
  form->addRow("MusicBrainz server:", edt_musicbrainz_server_);
  form->addRow("Preferred country (e.g. GB):", edt_country_);
  form->addRow(cb_cover_art_);
  form->addRow("Cover art server:", edt_coverart_server_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  auto* note = new QLabel("A server is http[s]://HOST[:PORT][/PATH], HOST[:PORT], or none.", this);
  note->setWordWrap(true);
  layout->addWidget(note);
  layout->addStretch();
}

void MusicBrainzSettingsPage::load(const SettingsStore& s) {
  cb_musicbrainz_->setChecked(s.readInt("musicbrainz", "enabled", 1) != 0);
  edt_musicbrainz_server_->setText(
      QString::fromStdString(s.readText("musicbrainz", "server", client::kDefaultMusicBrainzServer)));
  edt_country_->setText(QString::fromStdString(s.readText("musicbrainz", "country", "")));
  cb_cover_art_->setChecked(s.readInt("musicbrainz", "cover art", 1) != 0);
  edt_coverart_server_->setText(
      QString::fromStdString(s.readText("musicbrainz", "coverart server", client::kDefaultCoverArtServer)));
}

void MusicBrainzSettingsPage::setDefaults() {
  cb_musicbrainz_->setChecked(true);
  edt_musicbrainz_server_->setText(client::kDefaultMusicBrainzServer);
  edt_country_->clear();
  cb_cover_art_->setChecked(true);
  edt_coverart_server_->setText(client::kDefaultCoverArtServer);
}

std::string MusicBrainzSettingsPage::check() {
  for (QLineEdit* field : {edt_musicbrainz_server_, edt_coverart_server_}) {
    if (!client::ParseServiceServer(field->text().trimmed().toStdString())) {
      field->setFocus();
      field->selectAll();
      return "The server must be http[s]://HOST[:PORT][/PATH], HOST[:PORT] or none.";
    }
  }
  const QString country = edt_country_->text().trimmed();
  if (!country.isEmpty() && (country.size() != 2 || !country[0].isLetter() || !country[1].isLetter())) {
    edt_country_->setFocus();
    return "The country is two letters, such as GB, or nothing.";
  }
  return "";
}

void MusicBrainzSettingsPage::save(SettingsStore& s) const {
  s.writeInt("musicbrainz", "enabled", cb_musicbrainz_->isChecked() ? 1 : 0);
  s.writeText("musicbrainz", "server", edt_musicbrainz_server_->text().trimmed().toStdString());
  s.writeText("musicbrainz", "country", edt_country_->text().trimmed().toUpper().toStdString());
  s.writeInt("musicbrainz", "cover art", cb_cover_art_->isChecked() ? 1 : 0);
  s.writeText("musicbrainz", "coverart server", edt_coverart_server_->text().trimmed().toStdString());
}

}  // namespace quavern
