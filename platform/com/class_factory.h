// ClassFactory<T>: the IClassFactory of a class T made with ComObject.
// CreateInstance refuses aggregation (CLASS_E_NOAGGREGATION); LockServer
// holds the module's lock count, which DllCanUnloadNow reads.
#pragma once

#include "platform/com/com_object.h"

namespace com {

template <class T>
class ClassFactory final : public ComObject<ClassFactory<T>, IClassFactory> {
 public:
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) {
    if (ppvObject == nullptr) return E_POINTER;
    *ppvObject = nullptr;
    if (pUnkOuter != nullptr) return CLASS_E_NOAGGREGATION;
    return createInstance<T>(riid, ppvObject);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL fLock) {
    if (fLock) {
      lockModule();
    } else {
      unlockModule();
    }
    return S_OK;
  }
};

}  // namespace com
