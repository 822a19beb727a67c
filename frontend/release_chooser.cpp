#include "frontend/release_chooser.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

namespace quavern {

ReleaseChooser::ReleaseChooser(const std::vector<std::vector<std::string>>& rows, QWidget* parent) : QDialog(parent) {
  setObjectName("fm_release");
  setWindowTitle("Choose the release");
  auto* layout = new QVBoxLayout(this);
  auto* intro = new QLabel("Several releases have this disc. Choose the one you hold:", this);
  layout->addWidget(intro);
  const QStringList headers = {"Album", "Artist", "Date", "Country", "Label and catalogue number",
                               "Barcode", "Format", "Disc", "Disambiguation"};
  table_ = new QTableWidget(static_cast<int>(rows.size()), static_cast<int>(headers.size()), this);
  table_->setObjectName("lv_releases");
  table_->setHorizontalHeaderLabels(headers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->verticalHeader()->setVisible(false);
  for (size_t r = 0; r < rows.size(); ++r) {
    for (size_t c = 0; c < rows[r].size() && c < size_t(headers.size()); ++c) {
      table_->setItem(int(r), int(c), new QTableWidgetItem(QString::fromStdString(rows[r][c])));
    }
  }
  table_->resizeColumnsToContents();
  if (!rows.empty()) table_->selectRow(0);  // the best
  intro->setBuddy(table_);
  layout->addWidget(table_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(table_, &QTableWidget::cellDoubleClicked, this, &QDialog::accept);
  layout->addWidget(buttons);
  table_->setFocus();
  resize(900, 300);
}

int ReleaseChooser::chosenRow() const {
  const auto selected = table_->selectionModel()->selectedRows();
  return selected.isEmpty() ? -1 : selected.front().row();
}

}  // namespace quavern
