#include "frontend/window_geometry.h"

#include <QFontMetrics>

#include <algorithm>

namespace quavern {

DialogButtons makeDialogButtons(QWidget* dialog, const QString& okText, const QString& middleText,
                                const QString& middleName) {
  DialogButtons b;
  auto make = [dialog](const QString& text, const QString& name) {
    auto* button = new QPushButton(text, dialog);
    button->setObjectName(name);
    return button;
  };
  b.ok = make(okText, "btn_ok");
  b.ok->setDefault(true);
  b.middle = make(middleText, middleName);
  b.middle->setAutoDefault(false);
  b.cancel = make("Cancel", "btn_cancel");
  b.cancel->setAutoDefault(false);
  b.row = new QHBoxLayout;
  b.row->addStretch();
  b.row->addWidget(b.ok);
  b.row->addWidget(b.middle);
  b.row->addWidget(b.cancel);
  return b;
}

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
