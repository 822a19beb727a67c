// The interfaces the runtime can marshal, each with the method table its
// proxies use. IUnknown and IDispatch are built in; a dual interface is added
// by its class's DispatchTable.
#pragma once

#include <memory>
#include <vector>

#include "platform/com/dispatch_table.h"

namespace com {

// Describes iid. The newest description in force wins, so a library that is
// loaded again describes its interfaces again; owner identifies who
// registered it, and its unregistration removes only its own description.
COMRT_API void registerProxyDescription(const IID& iid, const void* owner,
                                        const std::vector<DispatchMember>& members);
COMRT_API void unregisterProxyDescription(const IID& iid, const void* owner);

namespace detail {
using ProxyVtable = std::vector<void*>;
// The method table of a proxy for iid, or null when iid cannot be marshalled.
std::shared_ptr<const ProxyVtable> proxyVtableFor(const IID& iid);
}  // namespace detail

}  // namespace com
