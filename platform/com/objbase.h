// COM library functions: apartments, activation, marshalling between
// threads, GUID text and task memory. C linkage, exported from libcomrt.so.
//
// Apartments. Every thread that calls CoInitialize(Ex) owns an apartment: a
// queue of incoming calls that only that thread runs. (COINIT_MULTITHREADED
// is accepted but gives the thread its own apartment too.) A pointer carried
// to another thread with CoMarshalInterThreadInterfaceInStream /
// CoGetInterfaceAndReleaseStream is a proxy there: each call through it is
// posted to the owning thread as a call object and the caller waits until it
// has run. The owner runs queued calls whenever it pumps: CoPumpCalls, or any
// of the runtime's waits (CoWaitForEvent, com::ComThread::join), or from a
// GUI event loop told by the call-arrived hook. A caller that owns an
// apartment itself keeps running its own incoming calls while it waits, so
// two apartments calling each other never deadlock.
#pragma once

#include "platform/com/objidl.h"
#include "platform/com/oaidl.h"

enum COINIT : DWORD {
  COINIT_MULTITHREADED = 0x0,
  COINIT_APARTMENTTHREADED = 0x2,
  COINIT_DISABLE_OLE1DDE = 0x4,
  COINIT_SPEED_OVER_MEMORY = 0x8,
};

enum CLSCTX : DWORD {
  CLSCTX_INPROC_SERVER = 0x1,
  CLSCTX_INPROC_HANDLER = 0x2,
  CLSCTX_LOCAL_SERVER = 0x4,
  CLSCTX_REMOTE_SERVER = 0x10,
  CLSCTX_INPROC = 0x3,
  CLSCTX_SERVER = 0x15,
  CLSCTX_ALL = 0x17,
};

COMRT_C_API HRESULT CoInitialize(void* pvReserved);
COMRT_C_API HRESULT CoInitializeEx(void* pvReserved, DWORD dwCoInit);
COMRT_C_API void CoUninitialize();

// Activation through the registry store: CLSID\{…}\InprocServer32 names the
// library, which is loaded once (dlopen) and asked with DllGetClassObject.
// Only in-process servers exist; dwClsContext must include
// CLSCTX_INPROC_SERVER. Aggregation is not supported. Objects are created on
// the calling thread whatever their ThreadingModel; marshal them to hand
// them to another thread.
COMRT_C_API HRESULT CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, void* pvReserved, REFIID riid,
                                     void** ppv);
COMRT_C_API HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid,
                                     void** ppv);
COMRT_C_API HRESULT CLSIDFromProgID(LPCOLESTR lpszProgID, LPCLSID lpclsid);
// Unloads each library whose DllCanUnloadNow answers S_OK. The same happens
// at process end; libraries that still have objects stay loaded.
COMRT_C_API void CoFreeUnusedLibraries();

// Marshalling: the stream holds a reference to the object until it is
// unmarshalled (or released). Unmarshalling in the owning apartment gives the
// object itself; elsewhere a proxy. Interfaces that can be marshalled:
// IUnknown, IDispatch and every dual interface whose class declared a
// com::DispatchTable (see platform/com/dispatch_table.h). Interface pointers
// passed as arguments through a proxy are handed over as they are (not
// marshalled in turn); the caller is blocked while the call runs.
COMRT_C_API HRESULT CoMarshalInterThreadInterfaceInStream(REFIID riid, IUnknown* pUnk, IStream** ppStm);
COMRT_C_API HRESULT CoGetInterfaceAndReleaseStream(IStream* pStm, REFIID iid, void** ppv);

// Runs the calling thread's queued incoming calls for at most timeoutMs
// (0: only those already queued; INFINITE: until CoUninitialize). S_OK when
// at least one call ran, S_FALSE when none, CO_E_NOTINITIALIZED when the
// thread has no apartment.
COMRT_C_API HRESULT CoPumpCalls(DWORD timeoutMs);
// Called, on the calling thread, each time a call is queued for the current
// thread's apartment; a GUI loop posts itself an event there that runs
// CoPumpCalls(0). Null fn removes the hook. CO_E_NOTINITIALIZED without an
// apartment.
using PFNCALLARRIVED = void (*)(void* ctx);
COMRT_C_API HRESULT CoSetCallArrivedHook(PFNCALLARRIVED fn, void* ctx);
// Waits until ready(ctx) answers TRUE, running incoming calls meanwhile.
// S_OK when ready, RPC_S_CALLPENDING on time-out. Other threads that make
// the condition true call CoWakeWaiters() so the wait notices at once; the
// wait also re-tests the condition every few milliseconds.
using PFNWAITREADY = BOOL (*)(void* ctx);
COMRT_C_API HRESULT CoWaitUntil(PFNWAITREADY ready, void* ctx, DWORD timeoutMs);
COMRT_C_API void CoWakeWaiters();

// GUID text "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (upper-case hex).
COMRT_C_API int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax);  // chars written incl. NUL, 0 if too small
COMRT_C_API HRESULT StringFromCLSID(REFCLSID rclsid, LPOLESTR* lplpsz);      // CoTaskMemFree the result
COMRT_C_API HRESULT StringFromIID(REFIID rclsid, LPOLESTR* lplpsz);
COMRT_C_API HRESULT CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid);  // CO_E_CLASSSTRING when malformed
COMRT_C_API HRESULT IIDFromString(LPCOLESTR lpsz, IID* lpiid);         // E_INVALIDARG when malformed

COMRT_C_API void* CoTaskMemAlloc(size_t cb);
COMRT_C_API void* CoTaskMemRealloc(void* pv, size_t cb);
COMRT_C_API void CoTaskMemFree(void* pv);
