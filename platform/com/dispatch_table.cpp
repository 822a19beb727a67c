#include "platform/com/dispatch_table.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/com/oleauto.h"
#include "platform/com/proxy_registry.h"

namespace com {

namespace {

// Bytes a VARIANT of this type keeps in its value field.
size_t storageBytes(VARTYPE vt) {
  if (vt & VT_ARRAY) return sizeof(void*);
  switch (vt) {
    case VT_I1: case VT_UI1: return 1;
    case VT_I2: case VT_UI2: case VT_BOOL: return 2;
    case VT_I4: case VT_UI4: case VT_INT: case VT_UINT: case VT_R4: case VT_ERROR: return 4;
    case VT_VARIANT: return sizeof(VARIANT);
    default: return 8;
  }
}

[[noreturn]] void badTable(const char* name, const char* why) {
  std::fprintf(stderr, "dispatch table: member %s: %s\n", name, why);
  std::abort();
}

bool sameNameNoCase(const char* ascii, const OLECHAR* name) {
  size_t i = 0;
  for (; ascii[i] != 0; ++i) {
    OLECHAR c = name[i];
    if (c == 0 || c > 0x7F) return false;
    auto fold = [](int x) { return x >= 'A' && x <= 'Z' ? x + 32 : x; };
    if (fold(static_cast<unsigned char>(ascii[i])) != fold(c)) return false;
  }
  return name[i] == 0;
}

// One argument on its way to the member: the converted value, and the
// pointer a pointer parameter receives.
struct ArgSlot {
  VARIANT value;
  void* pointer = nullptr;
  VARIANT* writeBack = nullptr;  // a VT_BYREF|VT_VARIANT argument that receives value after the call
};

HRESULT fail(HRESULT hr, EXCEPINFO* excepInfo) {
  if (excepInfo == nullptr) return hr;
  std::memset(excepInfo, 0, sizeof *excepInfo);
  excepInfo->scode = hr;
  return DISP_E_EXCEPTION;
}

// Converts one [in] argument; on failure says which one through argErr.
HRESULT convertIn(const ParamDesc& p, VARIANT* arg, ArgSlot* slot) {
  VariantInit(&slot->value);
  if (p.vt == VT_VARIANT) return VariantCopyInd(&slot->value, arg);
  HRESULT hr = VariantChangeType(&slot->value, arg, 0, p.vt);
  if (FAILED(hr)) {
    return (hr == DISP_E_OVERFLOW || hr == E_INVALIDARG || hr == E_OUTOFMEMORY) ? hr : DISP_E_TYPEMISMATCH;
  }
  if (p.iid != nullptr && slot->value.punkVal != nullptr) {
    void* wanted = nullptr;
    hr = slot->value.punkVal->QueryInterface(*p.iid, &wanted);
    if (FAILED(hr)) return DISP_E_TYPEMISMATCH;
    slot->value.punkVal->Release();
    slot->value.punkVal = static_cast<IUnknown*>(wanted);  // same VARIANT type, the wanted interface
  }
  return S_OK;
}

// Prepares an [out] argument passed by reference.
HRESULT prepareOut(const ParamDesc& p, VARIANT* arg, ArgSlot* slot) {
  VariantInit(&slot->value);
  if (arg->vt == (VT_BYREF | p.vt) && arg->byref != nullptr) {
    slot->pointer = arg->byref;
    return S_OK;
  }
  if (arg->vt == (VT_BYREF | VT_VARIANT) && arg->pvarVal != nullptr) {
    slot->value.vt = p.vt == VT_VARIANT ? VT_EMPTY : p.vt;
    slot->pointer = p.vt == VT_VARIANT ? static_cast<void*>(&slot->value) : static_cast<void*>(&slot->value.llVal);
    slot->writeBack = arg->pvarVal;
    return S_OK;
  }
  return DISP_E_TYPEMISMATCH;
}

}  // namespace

namespace detail {

DispatchMember makeMember(const char* name, DISPID id, MemberKind kind, std::vector<ParamDesc> params,
                          std::initializer_list<VARTYPE> types, HRESULT (*call)(void*, void* const*),
                          void* proxyThunk, int slot, const std::type_info* interfaceType) {
  if (slot < 0) badTable(name, "not a virtual member of an interface");
  if (types.size() != 0) {
    if (types.size() != params.size()) badTable(name, "the type list does not match the parameter count");
    size_t i = 0;
    for (VARTYPE vt : types) {
      if (storageBytes(vt) != storageBytes(params[i].vt)) badTable(name, "a listed type does not fit its parameter");
      params[i++].vt = vt;
    }
  }
  if (kind == MemberKind::propertyPut &&
      (params.size() != 1 || params[0].mode != ParamMode::in))
    badTable(name, "a property put takes exactly one value");
  return DispatchMember{name, id, kind, std::move(params), call, proxyThunk, slot, interfaceType};
}

}  // namespace detail

DispatchTable::DispatchTable(const IID& iid, std::initializer_list<DispatchMember> members)
    : iid_(iid), members_(members) {
  registerProxyDescription(iid_, this, members_);
}

DispatchTable::~DispatchTable() { unregisterProxyDescription(iid_, this); }

HRESULT DispatchTable::getIDsOfNames(LPOLESTR* names, UINT count, DISPID* ids) const {
  if (names == nullptr || ids == nullptr) return E_POINTER;
  if (count == 0) return S_OK;
  HRESULT hr = S_OK;
  ids[0] = DISPID_UNKNOWN;
  for (const DispatchMember& m : members_) {
    if (names[0] != nullptr && sameNameNoCase(m.name, names[0])) {
      ids[0] = m.id;
      break;
    }
  }
  if (ids[0] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
  // The members carry no parameter names, so named arguments are unknown.
  for (UINT i = 1; i < count; ++i) {
    ids[i] = DISPID_UNKNOWN;
    hr = DISP_E_UNKNOWNNAME;
  }
  return hr;
}

const DispatchMember* DispatchTable::find(DISPID id, WORD flags) const {
  // A put is asked for explicitly; otherwise a method wins over a get when
  // the caller allows both (as scripting callers do).
  static constexpr WORD order[] = {DISPATCH_PROPERTYPUT, DISPATCH_METHOD, DISPATCH_PROPERTYGET};
  for (WORD kind : order) {
    if ((flags & kind) == 0) continue;
    for (const DispatchMember& m : members_) {
      if (m.id == id && static_cast<WORD>(m.kind) == kind) return &m;
    }
  }
  return nullptr;
}

HRESULT DispatchTable::invoke(void* object, DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                              EXCEPINFO* excepInfo, UINT* argErr) const {
  if (object == nullptr || params == nullptr) return E_INVALIDARG;
  if (flags & DISPATCH_PROPERTYPUTREF) flags |= DISPATCH_PROPERTYPUT;
  const DispatchMember* m = find(id, flags);
  if (m == nullptr) return DISP_E_MEMBERNOTFOUND;
  if (params->cArgs > 0 && params->rgvarg == nullptr) return E_INVALIDARG;
  if (params->cNamedArgs > 0) {
    bool putValue = m->kind == MemberKind::propertyPut && params->cNamedArgs == 1 &&
                    params->rgdispidNamedArgs != nullptr && params->rgdispidNamedArgs[0] == DISPID_PROPERTYPUT;
    if (!putValue) return DISP_E_NONAMEDARGS;
  }

  size_t expected = 0;
  for (const ParamDesc& p : m->params) expected += p.mode != ParamMode::retval;
  if (params->cArgs != expected) return DISP_E_BADPARAMCOUNT;

  const size_t n = m->params.size();
  std::vector<ArgSlot> slots(n);
  std::vector<void*> args(n);
  for (ArgSlot& s : slots) VariantInit(&s.value);
  auto cleanup = [&] {
    for (ArgSlot& s : slots) VariantClear(&s.value);
  };

  UINT argIndex = params->cArgs;  // rgvarg runs backwards: the first parameter is the last element
  for (size_t i = 0; i < n; ++i) {
    const ParamDesc& p = m->params[i];
    ArgSlot& s = slots[i];
    HRESULT hr = S_OK;
    if (p.mode == ParamMode::retval) {
      s.value.vt = p.vt == VT_VARIANT ? VT_EMPTY : p.vt;
      s.pointer = p.vt == VT_VARIANT ? static_cast<void*>(&s.value) : static_cast<void*>(&s.value.llVal);
      args[i] = &s.pointer;
      continue;
    }
    --argIndex;
    VARIANT* arg = &params->rgvarg[argIndex];
    if (p.mode == ParamMode::in) {
      hr = convertIn(p, arg, &s);
      args[i] = p.vt == VT_VARIANT ? static_cast<void*>(&s.value) : static_cast<void*>(&s.value.llVal);
    } else {
      hr = prepareOut(p, arg, &s);
      args[i] = &s.pointer;
    }
    if (FAILED(hr)) {
      if (argErr != nullptr) *argErr = argIndex;
      cleanup();
      return hr;
    }
  }

  HRESULT hr = m->call(object, args.data());
  if (FAILED(hr)) {
    cleanup();
    return fail(hr, excepInfo);
  }
  for (size_t i = 0; i < n; ++i) {
    const ParamDesc& p = m->params[i];
    ArgSlot& s = slots[i];
    if (p.mode == ParamMode::retval && result != nullptr) {
      *result = s.value;  // the caller's result holds nothing yet (it may not even be initialised)
      VariantInit(&s.value);
    } else if (p.mode == ParamMode::out && s.writeBack != nullptr) {
      VariantClear(s.writeBack);
      *s.writeBack = s.value;
      VariantInit(&s.value);
    }
  }
  cleanup();
  return hr;
}

}  // namespace com
