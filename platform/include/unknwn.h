// GUIDs, IUnknown and __uuidof.
//
// Interfaces are plain C++ abstract structs with the SDK's vtable order. __uuidof(Interface) names the
// interface's IID, which each header attaches with PLATFORM_DECLARE_UUID (MinGW attaches it with
// __CRT_UUID_DECL; the program only ever writes __uuidof(Type) or IID_Type).
#pragma once

#include <string.h>
#include <windef.h>
#include <winerror.h>

typedef struct _GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
} GUID;
typedef GUID IID;
typedef const GUID& REFGUID;
typedef const IID& REFIID;

inline bool IsEqualGUID(REFGUID a, REFGUID b) { return memcmp(&a, &b, sizeof(GUID)) == 0; }
#define IsEqualIID(a, b) IsEqualGUID((a), (b))
inline bool operator==(REFGUID a, REFGUID b) { return IsEqualGUID(a, b); }
inline bool operator!=(REFGUID a, REFGUID b) { return !IsEqualGUID(a, b); }

template <class Interface>
struct PlatformUuidOf;

#define PLATFORM_DECLARE_UUID(Interface, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8) \
  struct Interface;                                                                 \
  inline constexpr IID IID_##Interface = {l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}}; \
  template <>                                                                       \
  struct PlatformUuidOf<Interface> {                                                \
    static constexpr const IID& value = IID_##Interface;                            \
  }

#define __uuidof(Interface) (PlatformUuidOf<Interface>::value)

PLATFORM_DECLARE_UUID(IUnknown, 0x00000000, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);

struct IUnknown {
  virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) = 0;
  virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
  virtual ULONG STDMETHODCALLTYPE Release() = 0;

 protected:
  // Objects are destroyed by their last Release, never through an interface pointer.
  ~IUnknown() = default;
};
