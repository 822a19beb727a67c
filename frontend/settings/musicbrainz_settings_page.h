// The MusicBrainz and cover art fields of the Settings dialog's "Online"
// page, kept in [musicbrainz] of quavern.ini: the look-up on or off, its
// server, the preferred country for choosing among releases, cover art on
// or off and its server. Servers are http[s]://HOST[:PORT][/PATH],
// HOST[:PORT] or "none".
#pragma once

#include <QWidget>
#include <string>

class QCheckBox;
class QLineEdit;

namespace quavern {

class SettingsStore;

class MusicBrainzSettingsPage : public QWidget {
  Q_OBJECT

 public:
  explicit MusicBrainzSettingsPage(QWidget* parent = nullptr);

  void load(const SettingsStore& settings);
  void setDefaults();
  // "" when every field holds a value it may store; else what is wrong (the
  // field in question has the focus).
  std::string check();
  void save(SettingsStore& settings) const;

 private:
  QCheckBox* cb_musicbrainz_ = nullptr;
  QLineEdit* edt_musicbrainz_server_ = nullptr;
  QLineEdit* edt_country_ = nullptr;
  QCheckBox* cb_cover_art_ = nullptr;
  QLineEdit* edt_coverart_server_ = nullptr;
};

}  // namespace quavern
