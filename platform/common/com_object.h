// Reference counting shared by every object the layer hands out.
//
// Direct3D semantics: an object is created with one reference, AddRef and Release return the new count,
// and the last Release destroys it. What the layer itself holds (a view on its resource, the context on
// what is bound to it) are internal references: they keep the object alive but are not in the count
// AddRef and Release report, as in Direct3D, where a texture held only by its view has an external count
// of zero (the debug layer lists such objects as "Refcount: 0, IntRef: 1"). The object is destroyed once
// both counts are zero. QueryInterface succeeds for IUnknown and for the interfaces listed in
// the template arguments (each with its base chain), adding a reference; anything else gives
// E_NOINTERFACE and a null pointer. The counts are not atomic: Direct3D's immediate context and this layer
// are single-threaded.
#pragma once

#include <unknwn.h>

namespace platform {

template <class Interface>
bool InterfaceMatches(REFIID riid) {
  return riid == __uuidof(Interface);
}

template <class Primary, class... Also>
class ComObject : public Primary {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override {
    if (!ppvObject) return E_POINTER;
    if (riid == __uuidof(IUnknown) || InterfaceMatches<Primary>(riid) || (InterfaceMatches<Also>(riid) || ...)) {
      AddRef();
      *ppvObject = static_cast<Primary*>(this);
      return S_OK;
    }
    *ppvObject = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refCount_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG count = --refCount_;
    if (count == 0 && internalCount_ == 0) delete this;
    return count;
  }
  void AddInternalRef() { ++internalCount_; }
  void ReleaseInternalRef() {
    if (--internalCount_ == 0 && refCount_ == 0) delete this;
  }

 protected:
  ComObject() = default;
  virtual ~ComObject() = default;
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

 private:
  ULONG refCount_ = 1;
  ULONG internalCount_ = 0;
};

// Releases a pointer the layer holds internally and sets it to null.
template <class T>
void SafeRelease(T*& object) {
  if (object) {
    object->Release();
    object = nullptr;
  }
}

}  // namespace platform
