// Reference counting shared by every object the layer hands out.
//
// Direct3D semantics: an object is created with one reference, AddRef and Release return the new count,
// and the last Release destroys it. QueryInterface succeeds for IUnknown and for the interfaces listed in
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
    if (count == 0) delete this;
    return count;
  }

 protected:
  ComObject() = default;
  virtual ~ComObject() = default;
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

 private:
  ULONG refCount_ = 1;
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
