#include "frontend/tfm_about.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSvgRenderer>
#include <QVBoxLayout>

#include "frontend/window_geometry.h"
#include "platform/shell/desktop_opener.h"
#include "platform/version/product_version.h"

namespace quavern {

Tfm_about::Tfm_about(platform::DesktopOpener& opener, const QString& bannerPath, QWidget* parent)
    : QDialog(parent), opener_(opener), bannerPath_(bannerPath) {
  setObjectName("Tfm_about");
  setWindowTitle("About");
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setModal(true);
  QFont font("Arial");
  font.setPixelSize(std::max(11, this->font().pixelSize()));
  if (this->font().pointSizeF() > 0) font.setPointSizeF(this->font().pointSizeF());
  setFont(font);

  banner_ = new QLabel(this);
  banner_->setObjectName("img_banner");
  banner_->setAccessibleName("Ripmarrow banner");
  auto label = [this](const QString& name, const QString& text, bool bold) {
    auto* l = new QLabel(text, this);
    l->setObjectName(name);
    QPalette palette = l->palette();
    palette.setColor(QPalette::WindowText, QColor(24, 55, 97));
    l->setPalette(palette);
    if (bold) {
      QFont f = l->font();
      f.setBold(true);
      f.setPointSizeF(f.pointSizeF() * 1.4);
      l->setFont(f);
    }
    return l;
  };
  QLabel* name = label("lbl_product", "Ripmarrow", true);
  QLabel* version = label("lbl_version", QString("Version:    ") + platform::productVersion(), false);
  QLabel* maker = label("lbl_maker", "Made by Veltrosa Software for Linux desktops.", false);
  auto* line = new QFrame(this);
  line->setObjectName("bevel");
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  btn_contact_ = new QPushButton("Contact us ", this);
  btn_contact_->setObjectName("btn_contact");
  btn_close_ = new QPushButton("Close", this);
  btn_close_->setObjectName("btn_close");
  btn_close_->setDefault(true);

  auto* texts = new QVBoxLayout;
  texts->setContentsMargins(18, 12, 18, 4);
  texts->setSpacing(6);
  texts->addWidget(name);
  texts->addWidget(version);
  texts->addWidget(maker);
  auto* buttons = new QHBoxLayout;
  buttons->setContentsMargins(18, 4, 18, 12);
  buttons->addStretch(1);
  buttons->addWidget(btn_contact_);
  buttons->addWidget(btn_close_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(banner_);
  layout->addLayout(texts);
  layout->addStretch(1);
  auto* lineBox = new QHBoxLayout;
  lineBox->setContentsMargins(12, 0, 12, 0);
  lineBox->addWidget(line);
  layout->addLayout(lineBox);
  layout->addLayout(buttons);

  connect(btn_contact_, &QPushButton::clicked, this, &Tfm_about::btn_contactClick);
  connect(btn_close_, &QPushButton::clicked, this, &QDialog::accept);
  setScale(1.0);
}

void Tfm_about::setScale(double scale) {
  const QSize bannerSize(scaled(314, scale), scaled(90, scale));
  QPixmap picture(bannerSize);
  picture.fill(QColor(24, 55, 97));
  QSvgRenderer renderer(bannerPath_);
  if (renderer.isValid()) {
    QPainter painter(&picture);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(bannerSize)));
  }
  banner_->setPixmap(picture);
  banner_->setFixedSize(bannerSize);
  setFixedSize(QSize(scaled(314, scale), scaled(227, scale)).expandedTo(sizeHint()));
}

void Tfm_about::btn_contactClick() { opener_.open(kSupportMail); }

}  // namespace quavern
