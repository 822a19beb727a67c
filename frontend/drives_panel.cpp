#include "frontend/drives_panel.h"

#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QStyle>
#include <QVBoxLayout>

#include "frontend/window_geometry.h"

namespace quavern {

namespace {

// A one-line label that shows "…" where its text does not fit; screen
// readers get the whole text (QLabel's own).
class ElidedLabel : public QLabel {
 public:
  using QLabel::QLabel;
  QSize minimumSizeHint() const override { return {10, QLabel::minimumSizeHint().height()}; }
  QSize sizeHint() const override { return {10, QLabel::sizeHint().height()}; }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    const QRect area = contentsRect();
    painter.drawText(area, static_cast<int>(alignment()),
                     fontMetrics().elidedText(text(), Qt::ElideRight, area.width()));
  }
};

// The face's colours: its navy bands and their pale text.
constexpr const char* kStyle = R"(
QFrame#drives { background: #e9f1fb; border-left: 1px solid #0d2240; }
QLabel#lb_drives { background: #0d2240; color: #eef4fc; font-weight: bold; padding: 0 10px; }
QScrollArea, QScrollArea > QWidget > QWidget { background: transparent; border: none; }
QFrame[card="true"] { background: white; border: 1px solid #a9c3e4; border-radius: 6px; }
QFrame[card="true"][active="true"] { border: 1px solid #4f77ab; }
QLabel[badge="true"] { background: #183761; color: #eef4fc; font-weight: bold; border-radius: 4px; }
QLabel[role="name"] { color: #0d2240; font-weight: bold; }
QLabel[role="state"] { color: #0d2240; }
QLabel[role="state"][kind="failed"] { color: #8e2f2f; font-weight: bold; }
QLabel[role="state"][kind="done"] { color: #2b4f7e; font-weight: bold; }
QLabel[role="detail"] { color: #5b6b80; }
QProgressBar[role="bar"] { background: #eef4fc; border: 1px solid #a9c3e4; border-radius: 3px; }
QProgressBar[role="bar"]::chunk { background: #44699c; border-radius: 2px; }
)";

QString q(const std::string& text) { return QString::fromStdString(text); }

const char* kindName(DriveState::Kind kind) {
  switch (kind) {
    case DriveState::Kind::kFailed: return "failed";
    case DriveState::Kind::kDone: return "done";
    case DriveState::Kind::kRipping:
    case DriveState::Kind::kStopping: return "busy";
    default: return "idle";
  }
}

void restyle(QWidget* widget) {
  widget->style()->unpolish(widget);
  widget->style()->polish(widget);
  widget->update();
}

}  // namespace

DrivesPanel::DrivesPanel(QWidget* parent) : QFrame(parent) {
  setObjectName("drives");
  setAccessibleName("Drives");
  setStyleSheet(kStyle);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);
  header_ = new QLabel("Drives", this);
  header_->setObjectName("lb_drives");
  outer->addWidget(header_);
  auto* scroll = new QScrollArea(this);
  scroll->setWidgetResizable(true);
  scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scroll->setFocusPolicy(Qt::NoFocus);
  auto* inner = new QWidget(scroll);
  list_ = new QVBoxLayout(inner);
  list_->addStretch(1);
  scroll->setWidget(inner);
  outer->addWidget(scroll, 1);
  hide();
}

void DrivesPanel::setScale(double scale) {
  scale_ = scale;
  header_->setFixedHeight(scaled(30, scale));
  list_->setContentsMargins(scaled(7, scale), scaled(7, scale), scaled(7, scale), scaled(7, scale));
  list_->setSpacing(scaled(6, scale));
  for (Card& card : cards_) {
    card.letter->setFixedSize(scaled(24, scale), scaled(20, scale));
    card.bar->setFixedHeight(scaled(7, scale));
  }
  setFixedWidth(scaled(200, scale));
}

void DrivesPanel::showDrives(const std::vector<std::string>& drives, int windowDrive) {
  windowDrive_ = windowDrive;
  for (Card& card : cards_) delete card.frame;
  cards_.clear();
  cards_.resize(drives.size());
  for (size_t i = 0; i < drives.size(); ++i) {
    Card& card = cards_[i];
    // "(E:\)NAME", as the drive box lists the engine's drives.
    const std::string& entry = drives[i];
    const size_t close = entry.find(')');
    std::string letter = std::to_string(i + 1);
    std::string name = entry;
    if (!entry.empty() && entry[0] == '(' && close != std::string::npos) {
      letter = entry.substr(1, close - 1);
      while (!letter.empty() && (letter.back() == ':' || letter.back() == '\\' || letter.back() == ' ')) letter.pop_back();
      // The name as the drive says it, its runs of spaces made one.
      name.clear();
      for (const char c : entry.substr(close + 1)) {
        if (c != ' ' || (!name.empty() && name.back() != ' ')) name += c;
      }
    }
    card.driveName = letter + ":";
    const int index = static_cast<int>(i);

    card.frame = new QFrame;
    card.frame->setObjectName(q("drive_" + letter));
    card.frame->setProperty("card", true);
    card.frame->setAccessibleName(q("Drive " + card.driveName + " " + name));
    auto* grid = new QGridLayout(card.frame);
    grid->setContentsMargins(scaled(7, scale_), scaled(6, scale_), scaled(7, scale_), scaled(6, scale_));
    grid->setHorizontalSpacing(scaled(6, scale_));
    grid->setVerticalSpacing(scaled(3, scale_));
    card.letter = new QLabel(q(card.driveName), card.frame);
    card.letter->setProperty("badge", true);
    card.letter->setAlignment(Qt::AlignCenter);
    card.letter->setFixedSize(scaled(24, scale_), scaled(20, scale_));
    card.letter->setAccessibleName(q("Drive " + card.driveName));
    card.name = new ElidedLabel(q(name), card.frame);
    card.name->setProperty("role", "name");
    card.name->setToolTip(q(name));
    card.state = new ElidedLabel(card.frame);
    card.state->setObjectName(q("lb_drive_state_" + letter));
    card.state->setProperty("role", "state");
    card.detail = new ElidedLabel(card.frame);
    card.detail->setObjectName(q("lb_drive_detail_" + letter));
    card.detail->setProperty("role", "detail");
    QFont small = card.detail->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    card.detail->setFont(small);
    card.bar = new QProgressBar(card.frame);
    card.bar->setObjectName(q("pb_drive_" + letter));
    card.bar->setProperty("role", "bar");
    card.bar->setRange(0, 100);
    card.bar->setTextVisible(false);
    card.bar->setFixedHeight(scaled(7, scale_));
    QSizePolicy keep = card.bar->sizePolicy();
    keep.setRetainSizeWhenHidden(true);  // the card keeps its height when the bar goes
    card.bar->setSizePolicy(keep);
    card.button = new QPushButton("Rip", card.frame);
    card.button->setObjectName(q("btn_drive_" + letter));
    card.button->setAutoDefault(false);
    connect(card.button, &QPushButton::clicked, this, [this, index] {
      Card& c = cards_[static_cast<size_t>(index)];
      if (c.stopping) {
        if (onStop) onStop(index);
      } else if (onRip) {
        onRip(index);
      }
    });
    grid->addWidget(card.letter, 0, 0);
    grid->addWidget(card.name, 0, 1, 1, 2);
    grid->addWidget(card.state, 1, 0, 1, 3);
    grid->addWidget(card.bar, 2, 0, 1, 2, Qt::AlignVCenter);
    grid->addWidget(card.button, 2, 2, Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(card.detail, 3, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    list_->insertWidget(static_cast<int>(i), card.frame);
    DriveState starting;
    starting.text = index == windowDrive ? "" : "Looking at the drive\u2026";
    card.shown.text = "-";  // differs: the first state is applied
    apply(card, starting);
  }
  setVisible(drives.size() > 1);
}

void DrivesPanel::showDriveState(int drive, const DriveState& state) {
  if (drive < 0 || drive >= static_cast<int>(cards_.size()) || drive == windowDrive_) return;
  apply(cards_[static_cast<size_t>(drive)], state);
}

void DrivesPanel::showWindowDriveState(const DriveState& state) {
  if (windowDrive_ < 0 || windowDrive_ >= static_cast<int>(cards_.size())) return;
  DriveState shown = state;
  if (shown.detail.empty()) shown.detail = "In the track list";
  apply(cards_[static_cast<size_t>(windowDrive_)], shown);
}

void DrivesPanel::apply(Card& card, const DriveState& state) {
  if (card.shown == state) return;
  card.shown = state;
  const QString drive = q(card.driveName);
  card.state->setText(q(state.text));
  card.state->setToolTip(q(state.text));
  card.state->setAccessibleName("Drive " + drive + " " + q(state.text));
  card.state->setProperty("kind", kindName(state.kind));
  restyle(card.state);
  card.detail->setText(q(state.detail));
  card.detail->setToolTip(q(state.detail));
  card.detail->setAccessibleName("Drive " + drive + " " + q(state.detail));
  card.bar->setValue(state.percent < 0 ? 0 : state.percent);
  card.bar->setAccessibleName("Drive " + drive + " progress");
  card.bar->setVisible(state.kind == DriveState::Kind::kRipping || state.kind == DriveState::Kind::kStopping);
  const bool busy = state.kind == DriveState::Kind::kRipping || state.kind == DriveState::Kind::kStopping;
  card.frame->setProperty("active", busy);
  restyle(card.frame);
  card.stopping = busy;
  card.button->setText(busy ? "Stop" : "Rip");
  card.button->setAccessibleName(busy ? "Stop drive " + drive : "Rip the disc in drive " + drive);
  card.button->setEnabled(busy ? state.canStop : state.canRip);
}

}  // namespace quavern
