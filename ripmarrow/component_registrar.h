// Registers the COM servers built with this program (Trackmill2 and the
// outside components) into the registry store of $RIPMARROW_HOME, by
// loading each library and calling its DllRegisterServer, as regsvr32 does.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace ripmarrow {

class ComponentRegistrar {
 public:
  // Libraries to register, in order; those that do not exist are skipped.
  explicit ComponentRegistrar(std::vector<std::string> libraryPaths);
  // The libraries built beside this program.
  static ComponentRegistrar builtComponents();

  // Registers each library, one line per library on `out`. True when every
  // library that exists registered.
  bool registerAll(std::ostream& out) const;

 private:
  std::vector<std::string> libraryPaths_;
};

}  // namespace ripmarrow
