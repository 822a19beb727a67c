// $RIPMARROW_HOME: the one folder where every stand-in keeps its files (the
// registry store, profile files named without a folder, virtual drives). It
// stands where Windows code expects "the Windows directory". The variable is
// read at each call, so a test that points it at a fresh folder gets its own
// files; unset or empty, it is ~/.config/Ripmarrow.
#pragma once

#include <filesystem>
#include <string_view>

namespace platform::home {

// The folder, not created.
std::filesystem::path homeDir();

// Creates the folder (and its parents) when missing; false when it cannot.
bool ensureHomeDir();

// A bare file name ("cdplayer.ini", no '/') names a file in the home folder,
// which is created on demand; any other name is a path used as it stands.
std::filesystem::path resolveFile(std::string_view fileName);

}  // namespace platform::home
