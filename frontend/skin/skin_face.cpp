#include "frontend/skin/skin_face.h"

#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QSvgRenderer>

#include <cmath>

namespace quavern {

const SkinCommand kSkinCommands[10] = {
    {"RipCD", "Rip CD"},      {"Refresh", "Refresh"}, {"FreeDB", "Free DB"},    {"Options", "Options"},
    {"ID3Tag", "ID3 Tag"},    {"Play", "Play"},       {"Pause Play", "Pause"},  {"Stop Play", "Stop"},
    {"Stop", "Stop Rip"},     {"Browse", "Browse"},
};

namespace {

// Where the plain face puts the commands, in face units (same order).
const QRectF kPlainBounds[10] = {
    {196, 10, 52, 27}, {250, 10, 52, 27}, {304, 10, 52, 27}, {358, 10, 52, 27}, {412, 10, 52, 27},
    {18, 357, 44, 23}, {64, 357, 44, 23}, {110, 357, 44, 23}, {160, 357, 62, 23}, {390, 357, 62, 23},
};

// The element of a command in a skin: "cmd-" and the name, blanks as "_".
QString elementId(const char* name) { return "cmd-" + QString(name).replace(' ', '_'); }

// A command over its skin element, or a plain push button on the plain face.
class SkinButton : public QAbstractButton {
 public:
  SkinButton(const SkinCommand& command, bool plain, QWidget* parent)
      : QAbstractButton(parent), plain_(plain) {
    setObjectName(QString("skin_") + QString(command.name).replace(' ', '_'));
    setText(command.caption);
    setAccessibleName(command.caption);
    setToolTip(command.caption);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    if (plain_) {
      QStylePainter painter(this);
      QStyleOptionButton option;
      option.initFrom(this);
      option.text = text();
      if (isDown()) option.state |= QStyle::State_Sunken;
      painter.drawControl(QStyle::CE_PushButton, option);
      return;
    }
    // The skin shows the command itself; the button adds the feedback.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect()).adjusted(1, 1, -1, -1);
    const double radius = std::min(box.height(), box.width()) * 0.22;
    if (!isEnabled()) {
      // Greyed out: the skin's drawing shows through, faded.
      painter.setPen(Qt::NoPen);
      painter.setBrush(QColor(40, 44, 52, 165));
      painter.drawRoundedRect(QRectF(rect()), radius, radius);
      return;
    }
    if (isDown()) {
      painter.setPen(Qt::NoPen);
      painter.setBrush(QColor(0, 0, 0, 70));
      painter.drawRoundedRect(box, radius, radius);
    } else if (underMouse()) {
      painter.setPen(QPen(QColor(255, 255, 255, 150), 1));
      painter.setBrush(QColor(255, 255, 255, 45));
      painter.drawRoundedRect(box, radius, radius);
    }
    if (hasFocus()) {
      painter.setPen(QPen(QColor(255, 214, 102), 2));
      painter.setBrush(Qt::NoBrush);
      painter.drawRoundedRect(box.adjusted(1, 1, -1, -1), radius, radius);
    }
  }

 private:
  bool plain_;
};

}  // namespace

SkinFace::SkinFace(QWidget* parent) : QWidget(parent) {
  setObjectName("Skin");
  setAutoFillBackground(false);
  buildButtons();
}

SkinFace::~SkinFace() = default;

bool SkinFace::loadSkin(const QString& path) {
  delete renderer_;
  renderer_ = new QSvgRenderer(path, this);
  bool complete = renderer_->isValid();
  for (const SkinCommand& command : kSkinCommands) {
    complete = complete && renderer_->elementExists(elementId(command.name));
  }
  if (!complete) {
    delete renderer_;
    renderer_ = nullptr;
  }
  buildButtons();
  update();
  return renderer_ != nullptr;
}

void SkinFace::setTitleText(const QString& text) {
  titleText_ = text;
  update();
}

void SkinFace::setScale(double scale) {
  scale_ = scale;
  placeButtons();
  update();
}

void SkinFace::setCommandEnabled(const QString& name, bool enabled) {
  disabled_.removeAll(name);
  if (!enabled) disabled_.append(name);
  if (QAbstractButton* button = commandButton(name)) button->setEnabled(enabled);
}

QAbstractButton* SkinFace::commandButton(const QString& name) const {
  for (int i = 0; i < buttons_.size(); ++i) {
    if (name == kSkinCommands[i].name) return buttons_[i];
  }
  return nullptr;
}

void SkinFace::buildButtons() {
  qDeleteAll(buttons_);
  buttons_.clear();
  for (const SkinCommand& command : kSkinCommands) {
    auto* button = new SkinButton(command, renderer_ == nullptr, this);
    const QString name = command.name;
    connect(button, &QAbstractButton::clicked, this, [this, name] { emit commandClicked(name); });
    button->setEnabled(!disabled_.contains(name));
    buttons_.append(button);
    button->show();
  }
  buttons_.back()->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_B));  // Browse: nowhere else
  placeButtons();
}

QRectF SkinFace::commandBounds(int index) const {
  if (renderer_ == nullptr) return kPlainBounds[index];
  const QString id = elementId(kSkinCommands[index].name);
  const QRectF box = renderer_->transformForElement(id).mapRect(renderer_->boundsOnElement(id));
  const QRectF view = renderer_->viewBoxF();
  return {(box.x() - view.x()) * kWidth / view.width(), (box.y() - view.y()) * kHeight / view.height(),
          box.width() * kWidth / view.width(), box.height() * kHeight / view.height()};
}

void SkinFace::placeButtons() {
  for (int i = 0; i < buttons_.size(); ++i) {
    const QRectF b = commandBounds(i);
    buttons_[i]->setGeometry(QRect(static_cast<int>(std::lround(b.x() * scale_)),
                                   static_cast<int>(std::lround(b.y() * scale_)),
                                   static_cast<int>(std::lround(b.width() * scale_)),
                                   static_cast<int>(std::lround(b.height() * scale_))));
  }
}

void SkinFace::resizeEvent(QResizeEvent*) { placeButtons(); }

void SkinFace::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF whole(0, 0, kWidth * scale_, kHeight * scale_);
  QRectF titleArea(12 * scale_, 0, 180 * scale_, 47 * scale_);
  if (renderer_ != nullptr) {
    renderer_->render(&painter, whole);
    if (renderer_->elementExists("title")) {
      const QRectF box = renderer_->transformForElement("title").mapRect(renderer_->boundsOnElement("title"));
      const QRectF view = renderer_->viewBoxF();
      const double sx = whole.width() / view.width(), sy = whole.height() / view.height();
      titleArea = QRectF((box.x() - view.x()) * sx, (box.y() - view.y()) * sy, box.width() * sx, box.height() * sy);
    }
    painter.setPen(QColor(240, 246, 255));
  } else {
    painter.fillRect(rect(), palette().window());
    painter.setPen(palette().windowText().color());
  }
  QFont font = this->font();
  font.setBold(true);
  font.setPointSizeF(font.pointSizeF() * 1.35);
  painter.setFont(font);
  painter.drawText(titleArea, Qt::AlignLeft | Qt::AlignVCenter, titleText_);
}

}  // namespace quavern
