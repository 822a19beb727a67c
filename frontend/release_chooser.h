// The release chooser: when several MusicBrainz releases name the disc, a
// table of them (album, artist, date, country, labels and catalogue
// numbers, barcode, format, disc N of M, disambiguation) with the best
// preselected. Enter takes the selected row; Escape keeps the titles the
// window had.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

class QTableWidget;

namespace quavern {

class ReleaseChooser : public QDialog {
  Q_OBJECT

 public:
  ReleaseChooser(const std::vector<std::vector<std::string>>& rows, QWidget* parent = nullptr);

  QTableWidget* table() const { return table_; }
  // The row taken; -1 when none is selected.
  int chosenRow() const;

 private:
  QTableWidget* table_ = nullptr;
};

}  // namespace quavern
