// Sizes of the reference layout scaled to the platform font, and dialogs
// centred on their owner.
#pragma once

#include <QHBoxLayout>
#include <QPushButton>
#include <QWidget>
#include <cmath>

namespace quavern {

inline int scaled(int units, double scale) { return static_cast<int>(std::lround(units * scale)); }

// The scale at which text of the platform font fits a layout made for the
// reference font (8 pt, 13 pixels a line): never below 1.
double fontScale(const QFont& font);

// left = owner left + (owner width - width) / 2, top likewise (truncating).
void centreOn(QWidget* dialog, QWidget* owner);

// A dialog's row of buttons, right-aligned: the default button, the one
// between (Default, Reset) and Cancel, named btn_ok, `middleName` and
// btn_cancel; Enter presses the default one only.
struct DialogButtons {
  QPushButton* ok = nullptr;
  QPushButton* middle = nullptr;
  QPushButton* cancel = nullptr;
  QHBoxLayout* row = nullptr;
};
DialogButtons makeDialogButtons(QWidget* dialog, const QString& okText, const QString& middleText,
                                const QString& middleName);

}  // namespace quavern
