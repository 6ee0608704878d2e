// DXGI: the swap chain, the subset the program uses.
//
// A windowed swap chain here is the OpenGL default framebuffer of the SDL window behind the HWND plus one
// back-buffer texture of the described size. Present stretches the back buffer over the whole client area
// (DXGI_SWAP_EFFECT_DISCARD with no DXGI_MODE_SCALING preference) and swaps; the back buffer keeps its
// size when the window is resized.
#pragma once

#include <dxgitype.h>
#include <unknwn.h>

typedef UINT DXGI_USAGE;
#define DXGI_USAGE_SHADER_INPUT 0x00000010UL
#define DXGI_USAGE_RENDER_TARGET_OUTPUT 0x00000020UL

typedef enum DXGI_SWAP_EFFECT {
  DXGI_SWAP_EFFECT_DISCARD = 0,
  DXGI_SWAP_EFFECT_SEQUENTIAL = 1,
  DXGI_SWAP_EFFECT_FLIP_SEQUENTIAL = 3,
  DXGI_SWAP_EFFECT_FLIP_DISCARD = 4
} DXGI_SWAP_EFFECT;

typedef struct DXGI_SWAP_CHAIN_DESC {
  DXGI_MODE_DESC BufferDesc;
  DXGI_SAMPLE_DESC SampleDesc;
  DXGI_USAGE BufferUsage;
  UINT BufferCount;
  HWND OutputWindow;
  BOOL Windowed;
  DXGI_SWAP_EFFECT SwapEffect;
  UINT Flags;
} DXGI_SWAP_CHAIN_DESC;

// Adapters are never enumerated: the only adapter is the default one, passed as null.
struct IDXGIAdapter;

PLATFORM_DECLARE_UUID(IDXGIObject, 0xaec22fb8, 0x76f3, 0x4639, 0x9b, 0xe0, 0x28, 0xeb, 0x43, 0xa6, 0x7a, 0x2e);
struct IDXGIObject : public IUnknown {
 protected:
  ~IDXGIObject() = default;
};

PLATFORM_DECLARE_UUID(IDXGIDeviceSubObject, 0x3d3e0379, 0xf9de, 0x4d58, 0xbb, 0x6c, 0x18, 0xd6, 0x29, 0x92, 0xf1,
                      0xa6);
struct IDXGIDeviceSubObject : public IDXGIObject {
 protected:
  ~IDXGIDeviceSubObject() = default;
};

PLATFORM_DECLARE_UUID(IDXGISwapChain, 0x310d36a0, 0xd2e7, 0x4c0a, 0xaa, 0x04, 0x6a, 0x9d, 0x23, 0xb8, 0x88, 0x6a);
struct IDXGISwapChain : public IDXGIDeviceSubObject {
  // Blits the back buffer onto the window (flipped: OpenGL's window origin is bottom-left) and swaps.
  // SyncInterval 0 swaps without waiting for vertical blank, 1..4 wait for that many; Flags must be 0.
  virtual HRESULT STDMETHODCALLTYPE Present(UINT SyncInterval, UINT Flags) = 0;
  // Buffer 0 is the back buffer; riid may name ID3D11Texture2D, ID3D11Resource or IUnknown.
  virtual HRESULT STDMETHODCALLTYPE GetBuffer(UINT Buffer, REFIID riid, void** ppSurface) = 0;

 protected:
  ~IDXGISwapChain() = default;
};
