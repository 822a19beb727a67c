// Sizes of the reference layout scaled to the platform font, and dialogs
// centred on their owner.
#pragma once

#include <QWidget>
#include <cmath>

namespace quavern {

inline int scaled(int units, double scale) { return static_cast<int>(std::lround(units * scale)); }

// The scale at which text of the platform font fits a layout made for the
// reference font (8 pt, 13 pixels a line): never below 1.
double fontScale(const QFont& font);

// left = owner left + (owner width - width) / 2, top likewise (truncating).
void centreOn(QWidget* dialog, QWidget* owner);

}  // namespace quavern
