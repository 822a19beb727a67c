// The Settings dialog's Converter page: how many files the converter
// converts at once ([convert] "files at once", 1 … 16, default the
// machine's cores), read at the start of each conversion, and whether each
// converted file is tagged with its ReplayGain ([convert] "replaygain").
#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <algorithm>
#include <thread>

#include "frontend/conversion_lane.h"
#include "frontend/settings/settings_store.h"
#include "frontend/settings/tfm_set.h"

namespace quavern {

QWidget* Tfm_set::buildConverterPage() {
  auto* page = new QWidget;
  page->setObjectName("tab_converter");
  ud_files_at_once_ = new UpDownField(page, "ud_files_at_once", "edt_files_at_once", 1, kMostFilesAtOnce, 2);
  ud_files_at_once_->setAccessibleName("Files converted at once");
  auto* row = new QHBoxLayout;
  row->addWidget(ud_files_at_once_);
  row->addStretch();
  cb_convert_replaygain_ = new QCheckBox("ReplayGain (measure each converted file; tag its track gain)", page);
  cb_convert_replaygain_->setObjectName("cb_convert_replaygain");
  auto* form = new QFormLayout;
  form->addRow("Files converted at once: ", row);
  auto* hint = new QLabel(QString("Each file converts on a core of its own; this machine has %1. "
                                  "The next conversion takes the new number.")
                              .arg(std::max(1u, std::thread::hardware_concurrency())),
                          page);
  hint->setWordWrap(true);
  auto* layout = new QVBoxLayout(page);
  layout->addLayout(form);
  layout->addWidget(hint);
  layout->addWidget(cb_convert_replaygain_);
  layout->addStretch();
  return page;
}

void Tfm_set::showConverterSettings() {
  ud_files_at_once_->setValue(readFilesAtOnce(settings_));
  cb_convert_replaygain_->setChecked(readConvertReplayGain(settings_));
}

void Tfm_set::writeConverterSettings() {
  settings_.writeInt("convert", "files at once", ud_files_at_once_->value());
  settings_.writeBool("convert", "replaygain", cb_convert_replaygain_->isChecked());
}

void Tfm_set::defaultConverterSettings() {
  ud_files_at_once_->setValue(defaultFilesAtOnce());
  cb_convert_replaygain_->setChecked(false);
}

}  // namespace quavern
