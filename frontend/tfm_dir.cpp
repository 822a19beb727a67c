#include "frontend/tfm_dir.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "frontend/settings/settings_store.h"
#include "frontend/window_geometry.h"

namespace quavern {

Tfm_dir::Tfm_dir(SettingsStore& settings, QWidget* parent) : QDialog(parent), settings_(settings) {
  setObjectName("Tfm_dir");
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setModal(true);

  lbl_action_ = new QLabel(this);
  lbl_action_->setObjectName("lbl_action");
  lbl_action_->setWordWrap(true);

  cb_place_ = new QComboBox(this);
  cb_place_->setObjectName("cb_place");
  cb_place_->addItem("Home folder", QDir::homePath());
  cb_place_->addItem("File system", QDir::rootPath());
  cb_place_->setAccessibleName("Show folders of");

  model_ = new QFileSystemModel(this);
  model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
  model_->setRootPath(QDir::rootPath());
  model_->setReadOnly(true);
  stview_selectdir_ = new QTreeView(this);
  stview_selectdir_->setObjectName("stview_selectdir");
  stview_selectdir_->setModel(model_);
  for (int column = 1; column < model_->columnCount(); ++column) stview_selectdir_->hideColumn(column);
  stview_selectdir_->header()->hide();
  stview_selectdir_->setRootIsDecorated(true);
  stview_selectdir_->setSelectionMode(QAbstractItemView::SingleSelection);
  stview_selectdir_->setAccessibleName("Folders");

  cbx_sub_ = new QCheckBox("Include Sub-folders", this);
  cbx_sub_->setObjectName("cbx_sub");
  cbx_sub_->hide();

  btn_ok_ = new QPushButton("OK", this);
  btn_ok_->setObjectName("btn_ok");
  btn_ok_->setDefault(true);
  btn_cancel_ = new QPushButton("Cancel", this);
  btn_cancel_->setObjectName("btn_cancel");

  auto* top = new QHBoxLayout;
  top->addWidget(lbl_action_, 1);
  top->addWidget(cb_place_);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(btn_ok_);
  buttons->addWidget(btn_cancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(stview_selectdir_, 1);
  layout->addWidget(cbx_sub_);
  layout->addLayout(buttons);

  connect(cb_place_, &QComboBox::currentIndexChanged, this, &Tfm_dir::showPlace);
  connect(btn_ok_, &QPushButton::clicked, this, &Tfm_dir::btn_okClick);
  connect(btn_cancel_, &QPushButton::clicked, this, &Tfm_dir::btn_cancelClick);
  showPlace(0);
  setScale(1.0);
}

void Tfm_dir::setScale(double scale) {
  setMinimumWidth(scaled(150, scale));
  resize(scaled(302, scale), scaled(284, scale));
}

void Tfm_dir::showPlace(int index) {
  const QString root = cb_place_->itemData(index).toString();
  stview_selectdir_->setRootIndex(index == 0 ? model_->index(root) : QModelIndex());
  if (index == 1) stview_selectdir_->expand(model_->index(QDir::rootPath()));
}

void Tfm_dir::prepare(const FolderRequest& request) {
  setWindowTitle(QString::fromStdString(request.caption));
  lbl_action_->setText(QString::fromStdString(request.prompt));
  cbx_sub_->setVisible(request.offerSubfolders);
  FormShow();
}

void Tfm_dir::FormShow() {
  chosenFolder_.clear();
  cbx_sub_->setChecked(settings_.readBool("basic", "enable sub dir", true));
  stview_selectdir_->clearSelection();
  stview_selectdir_->setCurrentIndex(QModelIndex());
}

void Tfm_dir::selectFolder(const QString& path) {
  if (!QDir::cleanPath(path).startsWith(QDir::homePath())) cb_place_->setCurrentIndex(1);
  const QModelIndex index = model_->index(path);
  stview_selectdir_->setCurrentIndex(index);
  stview_selectdir_->scrollTo(index);
}

void Tfm_dir::btn_okClick() {
  const QModelIndexList selected = stview_selectdir_->selectionModel()->selectedIndexes();
  chosenFolder_ = selected.isEmpty() ? QString() : model_->filePath(selected.first());
  includeSubfolders_ = cbx_sub_->isChecked();
  settings_.writeBool("basic", "enable sub dir", includeSubfolders_);
  accept();
}

void Tfm_dir::btn_cancelClick() {
  chosenFolder_.clear();
  reject();
}

void Tfm_dir::done(int result) {
  if (result != Accepted) chosenFolder_.clear();
  FormClose();
  QDialog::done(result);
}

void Tfm_dir::closeEvent(QCloseEvent* event) {
  chosenFolder_.clear();
  QDialog::closeEvent(event);
}

void Tfm_dir::FormClose() { cbx_sub_->hide(); }

FolderChoice Tfm_dir::choose(QWidget* owner, const FolderRequest& request, const std::string& startFolder) {
  prepare(request);
  // Opens where the caller's folder is, shown but not chosen: OK without a
  // choice answers no choice, and the caller keeps what it had.
  QString start = QString::fromStdString(startFolder);
  if (start.isEmpty() || !QFileInfo(start).isDir()) start = QDir::homePath();
  start = QDir::cleanPath(QFileInfo(start).absoluteFilePath());
  if (!start.startsWith(QDir::homePath())) cb_place_->setCurrentIndex(1);
  const QModelIndex index = model_->index(start);
  stview_selectdir_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
  stview_selectdir_->expand(index);
  stview_selectdir_->scrollTo(index);
  centreOn(this, owner);
  exec();
  return {chosenFolder_.toStdString(), includeSubfolders_};
}

}  // namespace quavern
