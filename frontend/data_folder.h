// The folder of the files the program ships (skin, help, icon): the data
// folder of the tree the program runs from, <prefix>/share/ripmarrow, in
// the build tree (which links it to frontend/data) and after installation
// alike (platform/home/install_layout.h). QUAVERN_DATA_DIR overrides it.
#pragma once

#include <QString>

namespace quavern {

QString dataFolder();

}  // namespace quavern
