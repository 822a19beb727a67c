#include "frontend/data_folder.h"

#include "platform/home/install_layout.h"

namespace quavern {

QString dataFolder() {
  const QString forced = qEnvironmentVariable("QUAVERN_DATA_DIR");
  if (!forced.isEmpty()) return forced;
  return QString::fromStdString(platform::home::dataFolder().lexically_normal().string());
}

}  // namespace quavern
