// First use in a new home just works: the product's COM servers are
// registered into the registry store of $RIPMARROW_HOME on first use, and
// again when the store names another copy of them (a build tree, an older
// installation, a copy moved elsewhere), so no `ripmarrow register` step
// is needed. Both programs call it before they create the engine.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace client {

// The components whose registration does not name this tree's copy
// ("libtrackmill2.so", ...); empty when every one does. Components missing
// from this tree are passed over.
std::vector<std::string> componentsRegisteredElsewhere();

// Registers this tree's components when componentsRegisteredElsewhere()
// names any; the registrar's lines go to `log`. True when every component
// of the tree is registered from it afterwards.
bool ensureComponentsRegistered(std::ostream& log);

}  // namespace client
