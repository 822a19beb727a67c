#include "frontend/data_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace quavern {

QString dataFolder() {
  const QString forced = qEnvironmentVariable("QUAVERN_DATA_DIR");
  if (!forced.isEmpty()) return forced;
  const QString installed = QDir(QCoreApplication::applicationDirPath()).filePath("../share/ripmarrow");
  if (QFileInfo(installed + "/skin").isDir()) return QDir::cleanPath(installed);
  return QStringLiteral(QUAVERN_SOURCE_DATA_DIR);
}

}  // namespace quavern
