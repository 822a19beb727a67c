// The folder of the files the program ships (skin, help, icon), found
// relative to the executable: <prefix>/share/ripmarrow after `cmake
// --install`, the source tree's frontend/data in the build tree.
// QUAVERN_DATA_DIR overrides both.
#pragma once

#include <QString>

namespace quavern {

QString dataFolder();

}  // namespace quavern
