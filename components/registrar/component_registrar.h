// Registers the COM servers installed with the product (Trackmill2 and the
// outside components) into the registry store of $RIPMARROW_HOME, by
// loading each library and calling its DllRegisterServer, as regsvr32 does.
// Shared by `ripmarrow register` and the desktop program's first start.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace ripmarrow {

class ComponentRegistrar {
 public:
  // Libraries to register, in order; those that do not exist are skipped.
  explicit ComponentRegistrar(std::vector<std::string> libraryPaths);
  // The libraries in the private library folder of the tree the program
  // runs from (platform/home/install_layout.h): the installed ones, or
  // those of the build tree.
  static ComponentRegistrar installed();
  // The libraries as installed into one folder (libtrackmill2.so, ...).
  static ComponentRegistrar installedIn(const std::string& libraryFolder);
  static std::vector<std::string> libraryNames() { return {"libtrackmill2.so", "libwavesmith2.so", "libtonemeter2.so"}; }

  // Registers each library, one line per library on `out`. True when every
  // library that exists registered.
  bool registerAll(std::ostream& out) const;

 private:
  std::vector<std::string> libraryPaths_;
};

}  // namespace ripmarrow
