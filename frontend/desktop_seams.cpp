#include "frontend/desktop_seams.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>

namespace quavern {

void MessageBoxPrompter::inform(QWidget* owner, const std::string& text) {
  QMessageBox::information(owner != nullptr ? owner : QApplication::activeWindow(), QApplication::applicationDisplayName(),
                           QString::fromStdString(text));
}

bool MessageBoxPrompter::askYesNo(QWidget* owner, const std::string& text) {
  return QMessageBox::question(owner != nullptr ? owner : QApplication::activeWindow(),
                               QApplication::applicationDisplayName(), QString::fromStdString(text),
                               QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

std::vector<std::string> DialogFileChooser::chooseFiles(QWidget* owner, const std::string& caption,
                                                        const std::string& startFolder, const std::string& filter) {
  std::vector<std::string> files;
  for (const QString& file : QFileDialog::getOpenFileNames(owner, QString::fromStdString(caption),
                                                           QString::fromStdString(startFolder),
                                                           QString::fromStdString(filter))) {
    files.push_back(file.toStdString());
  }
  return files;
}

void ProcessRestarter::restart() {
  QStringList arguments = QApplication::arguments();
  arguments.removeFirst();
  QProcess::startDetached(QApplication::applicationFilePath(), arguments);
}

}  // namespace quavern
