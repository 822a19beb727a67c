#include "frontend/window_geometry.h"

#include <QFontMetrics>

#include <algorithm>

namespace quavern {

double fontScale(const QFont& font) {
  const QFontMetrics metrics(font);
  // The reference font: 13 pixels a line, "Unknown Artist" in 70 pixels.
  const double byHeight = metrics.height() / 13.0;
  const double byWidth = metrics.horizontalAdvance("Unknown Artist") / 70.0;
  return std::max({1.0, byHeight, byWidth});
}

void centreOn(QWidget* dialog, QWidget* owner) {
  if (owner == nullptr) return;
  QWidget* window = owner->window();
  const QRect outer = window->frameGeometry();
  const QSize size = dialog->frameGeometry().size();
  dialog->move(outer.left() + (outer.width() - size.width()) / 2, outer.top() + (outer.height() - size.height()) / 2);
}

}  // namespace quavern
