// Tfm_about: the product's name, version and maker, with a way to write to
// the maker's support.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace platform {
class DesktopOpener;
}

namespace quavern {

inline constexpr const char* kSupportMail = "mailto:support@veltrosa.example?subject=Ripmarrow%201.12";
inline constexpr const char* kWebsite = "https://www.veltrosa.example/ripmarrow/";

class Tfm_about : public QDialog {
  Q_OBJECT

 public:
  Tfm_about(platform::DesktopOpener& opener, const QString& bannerPath, QWidget* parent = nullptr);
  void btn_contactClick();
  void setScale(double scale);

 private:
  platform::DesktopOpener& opener_;
  QLabel* banner_;
  QPushButton* btn_contact_;
  QPushButton* btn_close_;
  QString bannerPath_;
};

}  // namespace quavern
