// The windows that later versions fill: the Settings dialog and the file
// converter. They are created in the start-up order
// and shown modally by the main window; the Settings dialog already holds
// the drive box the main window fills at start-up.
#pragma once

#include <QDialog>

class QComboBox;

namespace quavern {

class Tfm_converter : public QDialog {
  Q_OBJECT

 public:
  explicit Tfm_converter(QWidget* parent = nullptr);
};

}  // namespace quavern
