// The main window's face: paints a skin around the window's own controls and
// raises the skin's named commands ("RipCD", "Refresh", "FreeDB", "Options",
// "ID3Tag", "Stop", "Play", "Pause Play", "Stop Play", "Browse").
//
// A skin is an SVG file (format: README.md beside this file) drawn over the
// whole face; each command is one of its elements. Every command is a real
// button over its element: it takes the keyboard focus in tab order, shows
// hover, pressed and focus feedback, and is a named button to a screen
// reader. A missing or broken skin gives the plain face: the same commands as
// ordinary buttons on a plain background, never a blank window.
#pragma once

#include <QAbstractButton>
#include <QList>
#include <QRectF>
#include <QString>
#include <QWidget>

class QSvgRenderer;

namespace quavern {

// The commands every face offers, in tab order, with their captions.
struct SkinCommand {
  const char* name;     // what commandClicked reports
  const char* caption;  // what the plain face and screen readers show
};
extern const SkinCommand kSkinCommands[10];

class SkinFace : public QWidget {
  Q_OBJECT

 public:
  // Size of the face at the reference font; a skin's view box has this size.
  static constexpr int kWidth = 469;
  static constexpr int kHeight = 389;

  explicit SkinFace(QWidget* parent = nullptr);
  ~SkinFace() override;

  // Loads a skin file; false (and the plain face) when it is missing or
  // not a skin.
  bool loadSkin(const QString& path);
  bool skinned() const { return renderer_ != nullptr; }
  // The short window title the face shows in its title area.
  void setTitleText(const QString& text);
  // Face units to pixels: the face grows with the platform font.
  void setScale(double scale);
  double scale() const { return scale_; }

  QAbstractButton* commandButton(const QString& name) const;
  // A command that cannot be used now looks disabled, takes no clicks and
  // is said to be unavailable to screen readers; kept across skin loads.
  void setCommandEnabled(const QString& name, bool enabled);

 signals:
  void commandClicked(const QString& name);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void buildButtons();
  void placeButtons();
  QRectF commandBounds(int index) const;

  QSvgRenderer* renderer_ = nullptr;  // owned (child object)
  QList<QAbstractButton*> buttons_;   // children, in kSkinCommands order
  QString titleText_;
  QList<QString> disabled_;  // names of the commands set disabled
  double scale_ = 1.0;
};

}  // namespace quavern
