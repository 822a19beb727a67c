// Where the running program finds the files installed with it: the private
// library folder (the components, the COM runtime, libwnaspi32.so) and the
// data folder (skin, help, pictures, the demo disc). Both are found from the
// program's own file, as <prefix>/bin/<program> sees them:
//
//   <prefix>/lib/<multiarch>/ripmarrow      <prefix>/share/ripmarrow
//
// so an installed tree runs wherever it is copied. The build tree has the
// same layout around its programs. Test programs, which sit deeper in the
// build tree, find its top through $RIPMARROW_BUILD_DIR instead.
#pragma once

#include <filesystem>

namespace platform::home {

// The folder that holds the running program's file; empty when unknown.
std::filesystem::path programFolder();
// The top of the tree the program runs from ($RIPMARROW_BUILD_DIR when set).
std::filesystem::path installPrefix();
// <prefix>/lib/<multiarch>/ripmarrow (lib/ripmarrow where the system has
// no multiarch folders).
std::filesystem::path privateLibraryFolder();
// <prefix>/share/ripmarrow.
std::filesystem::path dataFolder();

}  // namespace platform::home
