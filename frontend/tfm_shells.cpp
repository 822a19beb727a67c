#include "frontend/tfm_shells.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace quavern {

namespace {

void shell(QDialog* dialog, const char* name, const char* caption) {
  dialog->setObjectName(name);
  dialog->setWindowTitle(caption);
  dialog->setModal(true);
}

QDialogButtonBox* closeButton(QDialog* dialog) {
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  return buttons;
}

}  // namespace

Tfm_converter::Tfm_converter(QWidget* parent) : QDialog(parent) {
  shell(this, "Tfm_converter", "Converter");
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel("Converting audio files comes with a later version.", this));
  layout->addWidget(closeButton(this));
}

}  // namespace quavern
