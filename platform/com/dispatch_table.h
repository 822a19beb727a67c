// DispatchTable: a class's IDispatch, declared once as a table of its dual
// interface's members. Each row names a member of the interface, its
// dispatch name and identifier; the argument types come from the member's
// C++ signature (or are given where the type alone does not say, e.g.
// VARIANT_BOOL, which is a SHORT):
//
//   const com::DispatchTable& Engine::dispatchTable() {
//     static const com::DispatchTable table(IID_IEngine, {
//         com::method<&IEngine::Open>("Open", 0x1),
//         com::method<&IEngine::GetInfo>("GetInfo", 0x28, {VT_I4, VT_BOOL}),
//         com::propget<&IEngine::get_trackNum>("trackNum", 0x5a),
//         com::propput<&IEngine::put_trackNum>("trackNum", 0x5a),
//     });
//     return table;
//   }
//
// Invoke matches names without regard to (ASCII) case, converts each
// argument with VariantChangeType to the member's type, passes [out]
// parameters (pointer parameters) by reference (VT_BYREF of the exact type,
// or VT_BYREF|VT_VARIANT), and returns a trailing pointer parameter of a
// method or property get as the result ([retval]; pass lastIsRetval = false
// where the last pointer is an ordinary [out]). Errors: unknown dispid or
// kind DISP_E_MEMBERNOTFOUND, unknown name DISP_E_UNKNOWNNAME, wrong count
// DISP_E_BADPARAMCOUNT, an argument that does not convert
// DISP_E_TYPEMISMATCH (DISP_E_OVERFLOW when out of range, E_INVALIDARG for
// an array of the wrong type) with *puArgErr naming it. A member that fails
// gives DISP_E_EXCEPTION with EXCEPINFO.scode = its HRESULT when the caller
// passed an EXCEPINFO, else the HRESULT itself.
//
// Marshalling: the same table describes the interface to the runtime's
// proxies. Each row's member is forwarded by its vtable slot, so a pointer
// to the interface unmarshalled on another thread calls every listed
// member on the owning thread. List every member of the interface (slots
// not listed answer E_NOTIMPL through a proxy).
#pragma once

#include <array>
#include <bit>
#include <initializer_list>
#include <typeinfo>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/com/oaidl.h"

namespace com {

enum class MemberKind : WORD {
  method = DISPATCH_METHOD,
  propertyGet = DISPATCH_PROPERTYGET,
  propertyPut = DISPATCH_PROPERTYPUT,
};

enum class ParamMode : uint8_t { in, out, retval };

struct ParamDesc {
  VARTYPE vt;
  ParamMode mode;
  const IID* iid;  // an interface parameter of a specific interface: asked for by QueryInterface
};

struct DispatchMember {
  const char* name;
  DISPID id;
  MemberKind kind;
  std::vector<ParamDesc> params;                   // in declaration order
  HRESULT (*call)(void* object, void* const* args);  // args[i] points at parameter i's value
  void* proxyThunk;                                // the proxy's function for this vtable slot
  int slot;                                        // vtable slot in the interface
  const std::type_info* interfaceType;             // heads the proxy's method table, as the C++ ABI lays it out
};

namespace detail {

// The VARIANT type of a parameter type passed by value.
template <class T, class = void>
struct ParamType {
  static constexpr bool supported = false;
};
template <VARTYPE V>
struct Simple {
  static constexpr bool supported = true;
  static constexpr VARTYPE vt = V;
  static constexpr const IID* iid = nullptr;
};
template <> struct ParamType<SHORT> : Simple<VT_I2> {};
template <> struct ParamType<USHORT> : Simple<VT_UI2> {};
template <> struct ParamType<LONG> : Simple<VT_I4> {};
template <> struct ParamType<ULONG> : Simple<VT_UI4> {};
template <> struct ParamType<LONGLONG> : Simple<VT_I8> {};
template <> struct ParamType<ULONGLONG> : Simple<VT_UI8> {};
template <> struct ParamType<BYTE> : Simple<VT_UI1> {};
template <> struct ParamType<float> : Simple<VT_R4> {};
template <> struct ParamType<double> : Simple<VT_R8> {};
template <> struct ParamType<BSTR> : Simple<VT_BSTR> {};
template <> struct ParamType<VARIANT> : Simple<VT_VARIANT> {};
template <> struct ParamType<SAFEARRAY*> : Simple<VT_ARRAY | VT_I2> {};
template <> struct ParamType<IUnknown*> : Simple<VT_UNKNOWN> {};
template <> struct ParamType<IDispatch*> : Simple<VT_DISPATCH> {};
template <class E>
struct ParamType<E, std::enable_if_t<std::is_enum_v<E> && sizeof(E) == 4>> : Simple<VT_I4> {};
template <class I>
struct ParamType<I*, std::enable_if_t<std::is_base_of_v<IUnknown, I> && !std::is_same_v<I, IUnknown> &&
                                      !std::is_same_v<I, IDispatch>>> {
  static constexpr bool supported = true;
  static constexpr VARTYPE vt = std::is_base_of_v<IDispatch, I> ? VT_DISPATCH : VT_UNKNOWN;
  static constexpr const IID* iid = &I::uuid;
};

template <class A, bool Last>
ParamDesc describe(MemberKind kind, bool lastIsRetval) {
  if constexpr (ParamType<A>::supported) {
    return {ParamType<A>::vt, ParamMode::in, ParamType<A>::iid};
  } else {
    static_assert(std::is_pointer_v<A> && ParamType<std::remove_pointer_t<A>>::supported,
                  "parameter type has no VARIANT type");
    using T = std::remove_pointer_t<A>;
    bool retval = Last && lastIsRetval && kind != MemberKind::propertyPut;
    return {ParamType<T>::vt, retval ? ParamMode::retval : ParamMode::out, ParamType<T>::iid};
  }
}

// Runs fn(target, ctx) with the object behind a proxy interface pointer, on
// the object's thread, while the caller waits.
COMRT_API HRESULT forwardCall(void* proxyInterface, HRESULT (*fn)(void* target, void* ctx), void* ctx);

template <auto M>
struct Member;

template <class I, class... A, HRESULT (STDMETHODCALLTYPE I::*M)(A...)>
struct Member<M> {
  using Interface = I;

  static HRESULT call(void* object, void* const* args) {
    (void)args;
    return callWith(object, args, std::index_sequence_for<A...>{});
  }
  template <size_t... K>
  static HRESULT callWith(void* object, void* const* args, std::index_sequence<K...>) {
    (void)args;
    return (static_cast<I*>(object)->*M)(*static_cast<A*>(args[K])...);
  }

  // The proxy's function for this member's slot: `self` is the proxy.
  static HRESULT STDMETHODCALLTYPE thunk(void* self, A... a) {
    auto run = [&](void* target) { return (static_cast<I*>(target)->*M)(a...); };
    return forwardCall(
        self, [](void* target, void* ctx) { return (*static_cast<decltype(run)*>(ctx))(target); }, &run);
  }

  static std::vector<ParamDesc> params(MemberKind kind, bool lastIsRetval) {
    return paramsWith(kind, lastIsRetval, std::index_sequence_for<A...>{});
  }
  template <size_t... K>
  static std::vector<ParamDesc> paramsWith(MemberKind kind, bool lastIsRetval, std::index_sequence<K...>) {
    (void)kind, (void)lastIsRetval;
    return {describe<A, K + 1 == sizeof...(A)>(kind, lastIsRetval)...};
  }

  // Itanium C++ ABI: a pointer to a virtual member holds 1 + the byte offset
  // of its slot in the vtable.
  static int slot() {
    static_assert(sizeof(M) == 2 * sizeof(uintptr_t));
    auto raw = std::bit_cast<std::array<uintptr_t, 2>>(M);
    if ((raw[0] & 1) == 0) return -1;  // not virtual: cannot be an interface member
    return static_cast<int>((raw[0] - 1) / sizeof(void*));
  }
};

COMRT_API DispatchMember makeMember(const char* name, DISPID id, MemberKind kind, std::vector<ParamDesc> params,
                                    std::initializer_list<VARTYPE> types, HRESULT (*call)(void*, void* const*),
                                    void* proxyThunk, int slot, const std::type_info* interfaceType);

template <auto M>
DispatchMember member(const char* name, DISPID id, MemberKind kind, std::initializer_list<VARTYPE> types,
                      bool lastIsRetval) {
  using Info = Member<M>;
  return makeMember(name, id, kind, Info::params(kind, lastIsRetval), types, &Info::call,
                    reinterpret_cast<void*>(&Info::thunk), Info::slot(), &typeid(typename Info::Interface));
}

}  // namespace detail

// A method. `types`, when given, names the VARIANT type of every parameter
// in order (the [retval] included).
template <auto M>
DispatchMember method(const char* name, DISPID id, std::initializer_list<VARTYPE> types = {},
                      bool lastIsRetval = true) {
  return detail::member<M>(name, id, MemberKind::method, types, lastIsRetval);
}
template <auto M>
DispatchMember propget(const char* name, DISPID id, std::initializer_list<VARTYPE> types = {}) {
  return detail::member<M>(name, id, MemberKind::propertyGet, types, true);
}
template <auto M>
DispatchMember propput(const char* name, DISPID id, std::initializer_list<VARTYPE> types = {}) {
  return detail::member<M>(name, id, MemberKind::propertyPut, types, false);
}

class COMRT_API DispatchTable {
 public:
  // Also registers the interface's proxy description (see the top).
  DispatchTable(const IID& iid, std::initializer_list<DispatchMember> members);
  ~DispatchTable();
  DispatchTable(const DispatchTable&) = delete;
  DispatchTable& operator=(const DispatchTable&) = delete;

  const IID& interfaceId() const { return iid_; }
  const std::vector<DispatchMember>& members() const { return members_; }

  HRESULT getIDsOfNames(LPOLESTR* names, UINT count, DISPID* ids) const;
  // object: the object's pointer of the table's interface.
  HRESULT invoke(void* object, DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excepInfo,
                 UINT* argErr) const;

 private:
  const DispatchMember* find(DISPID id, WORD flags) const;

  IID iid_;
  std::vector<DispatchMember> members_;
};

}  // namespace com
