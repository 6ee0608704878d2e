// Direct3D 11: the device, the immediate context, resources, views, shaders and states the program and
// its tests use, with the SDK's names, types, values and IIDs. Implemented over OpenGL 4.5.
//
// Semantics kept where OpenGL differs (details at each call):
// - Clip space z is [0, 1] and the origin is top-left: row 0 of a render target is the top row, both when
//   rendering and when read back through a staging copy. Only Present flips, onto the window.
// - Unbound state has Direct3D's defaults: no rasterizer state = solid, cull back, clockwise front, depth
//   clip on; no depth-stencil state = depth test LESS with writes; no blend state = no blending; a null
//   shader-resource slot samples (0, 0, 0, 0); a null sampler slot samples linear min/mag/mip with clamp.
// - Every object is reference counted: creation gives one reference, AddRef/Release return the new count
//   and the last Release destroys the object. Views keep their resource alive, the immediate context keeps
//   what is bound to it, and every object keeps the OpenGL context it lives in.
// - Bad arguments give E_INVALIDARG and set the out pointer to null; nothing is created.
#pragma once

#include <d3dcommon.h>
#include <dxgi.h>

#define D3D11_SDK_VERSION (7)
#define D3D11_APPEND_ALIGNED_ELEMENT (0xffffffff)
#define D3D11_FLOAT32_MAX (3.402823466e+38f)
#define D3D11_DEFAULT_MAX_ANISOTROPY (16)
#define D3D11_COMMONSHADER_CONSTANT_BUFFER_API_SLOT_COUNT (14)
#define D3D11_COMMONSHADER_INPUT_RESOURCE_SLOT_COUNT (128)
#define D3D11_COMMONSHADER_SAMPLER_SLOT_COUNT (16)
#define D3D11_IA_VERTEX_INPUT_RESOURCE_SLOT_COUNT (32)
#define D3D11_SIMULTANEOUS_RENDER_TARGET_COUNT (8)
#define D3D11_VIEWPORT_AND_SCISSORRECT_OBJECT_COUNT_PER_PIPELINE (16)
#define D3D11_REQ_CONSTANT_BUFFER_ELEMENT_COUNT (4096)
#define D3D11_REQ_TEXTURE2D_U_OR_V_DIMENSION (16384)
#define D3D11_REQ_MIP_LEVELS (15)

typedef D3D_PRIMITIVE_TOPOLOGY D3D11_PRIMITIVE_TOPOLOGY;
constexpr D3D_PRIMITIVE_TOPOLOGY D3D11_PRIMITIVE_TOPOLOGY_UNDEFINED = D3D_PRIMITIVE_TOPOLOGY_UNDEFINED;
constexpr D3D_PRIMITIVE_TOPOLOGY D3D11_PRIMITIVE_TOPOLOGY_POINTLIST = D3D_PRIMITIVE_TOPOLOGY_POINTLIST;
constexpr D3D_PRIMITIVE_TOPOLOGY D3D11_PRIMITIVE_TOPOLOGY_LINELIST = D3D_PRIMITIVE_TOPOLOGY_LINELIST;
constexpr D3D_PRIMITIVE_TOPOLOGY D3D11_PRIMITIVE_TOPOLOGY_LINESTRIP = D3D_PRIMITIVE_TOPOLOGY_LINESTRIP;
constexpr D3D_PRIMITIVE_TOPOLOGY D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST = D3D_PRIMITIVE_TOPOLOGY_TRIANGLELIST;
constexpr D3D_PRIMITIVE_TOPOLOGY D3D11_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP = D3D_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP;

typedef enum D3D11_CREATE_DEVICE_FLAG {
  D3D11_CREATE_DEVICE_SINGLETHREADED = 0x1,
  D3D11_CREATE_DEVICE_DEBUG = 0x2,
  D3D11_CREATE_DEVICE_BGRA_SUPPORT = 0x20,
} D3D11_CREATE_DEVICE_FLAG;

typedef enum D3D11_USAGE {
  D3D11_USAGE_DEFAULT = 0,
  D3D11_USAGE_IMMUTABLE = 1,
  D3D11_USAGE_DYNAMIC = 2,
  D3D11_USAGE_STAGING = 3,
} D3D11_USAGE;

typedef enum D3D11_BIND_FLAG {
  D3D11_BIND_VERTEX_BUFFER = 0x1,
  D3D11_BIND_INDEX_BUFFER = 0x2,
  D3D11_BIND_CONSTANT_BUFFER = 0x4,
  D3D11_BIND_SHADER_RESOURCE = 0x8,
  D3D11_BIND_STREAM_OUTPUT = 0x10,
  D3D11_BIND_RENDER_TARGET = 0x20,
  D3D11_BIND_DEPTH_STENCIL = 0x40,
  D3D11_BIND_UNORDERED_ACCESS = 0x80,
} D3D11_BIND_FLAG;

typedef enum D3D11_CPU_ACCESS_FLAG {
  D3D11_CPU_ACCESS_WRITE = 0x10000,
  D3D11_CPU_ACCESS_READ = 0x20000,
} D3D11_CPU_ACCESS_FLAG;

typedef enum D3D11_RESOURCE_MISC_FLAG {
  D3D11_RESOURCE_MISC_GENERATE_MIPS = 0x1,
  D3D11_RESOURCE_MISC_TEXTURECUBE = 0x4,
} D3D11_RESOURCE_MISC_FLAG;

typedef enum D3D11_MAP {
  D3D11_MAP_READ = 1,
  D3D11_MAP_WRITE = 2,
  D3D11_MAP_READ_WRITE = 3,
  D3D11_MAP_WRITE_DISCARD = 4,
  D3D11_MAP_WRITE_NO_OVERWRITE = 5,
} D3D11_MAP;

typedef enum D3D11_CLEAR_FLAG {
  D3D11_CLEAR_DEPTH = 0x1,
  D3D11_CLEAR_STENCIL = 0x2,
} D3D11_CLEAR_FLAG;

typedef enum D3D11_RESOURCE_DIMENSION {
  D3D11_RESOURCE_DIMENSION_UNKNOWN = 0,
  D3D11_RESOURCE_DIMENSION_BUFFER = 1,
  D3D11_RESOURCE_DIMENSION_TEXTURE1D = 2,
  D3D11_RESOURCE_DIMENSION_TEXTURE2D = 3,
  D3D11_RESOURCE_DIMENSION_TEXTURE3D = 4,
} D3D11_RESOURCE_DIMENSION;

typedef struct D3D11_BUFFER_DESC {
  UINT ByteWidth;
  D3D11_USAGE Usage;
  UINT BindFlags;
  UINT CPUAccessFlags;
  UINT MiscFlags;
  UINT StructureByteStride;
} D3D11_BUFFER_DESC;

typedef struct D3D11_TEXTURE2D_DESC {
  UINT Width;
  UINT Height;
  UINT MipLevels;  // 0 = the full chain down to 1 x 1
  UINT ArraySize;  // only 1
  DXGI_FORMAT Format;
  DXGI_SAMPLE_DESC SampleDesc;  // only (1, 0)
  D3D11_USAGE Usage;
  UINT BindFlags;
  UINT CPUAccessFlags;
  UINT MiscFlags;
} D3D11_TEXTURE2D_DESC;

// Initial data: one entry per subresource (mip level), each SysMemPitch bytes per row, top row first.
typedef struct D3D11_SUBRESOURCE_DATA {
  const void* pSysMem;
  UINT SysMemPitch;
  UINT SysMemSlicePitch;
} D3D11_SUBRESOURCE_DATA;

typedef struct D3D11_MAPPED_SUBRESOURCE {
  void* pData;
  UINT RowPitch;
  UINT DepthPitch;
} D3D11_MAPPED_SUBRESOURCE;

typedef enum D3D11_RTV_DIMENSION {
  D3D11_RTV_DIMENSION_UNKNOWN = 0,
  D3D11_RTV_DIMENSION_TEXTURE2D = 4,
} D3D11_RTV_DIMENSION;

typedef struct D3D11_TEX2D_RTV {
  UINT MipSlice;
} D3D11_TEX2D_RTV;

typedef struct D3D11_RENDER_TARGET_VIEW_DESC {
  DXGI_FORMAT Format;
  D3D11_RTV_DIMENSION ViewDimension;
  union {
    D3D11_TEX2D_RTV Texture2D;
  };
} D3D11_RENDER_TARGET_VIEW_DESC;

typedef enum D3D11_DSV_DIMENSION {
  D3D11_DSV_DIMENSION_UNKNOWN = 0,
  D3D11_DSV_DIMENSION_TEXTURE2D = 3,
} D3D11_DSV_DIMENSION;

typedef struct D3D11_TEX2D_DSV {
  UINT MipSlice;
} D3D11_TEX2D_DSV;

typedef struct D3D11_DEPTH_STENCIL_VIEW_DESC {
  DXGI_FORMAT Format;
  D3D11_DSV_DIMENSION ViewDimension;
  UINT Flags;
  union {
    D3D11_TEX2D_DSV Texture2D;
  };
} D3D11_DEPTH_STENCIL_VIEW_DESC;

typedef D3D_SRV_DIMENSION D3D11_SRV_DIMENSION;

typedef struct D3D11_TEX2D_SRV {
  UINT MostDetailedMip;
  UINT MipLevels;  // (UINT)-1 = every level from MostDetailedMip down
} D3D11_TEX2D_SRV;

typedef struct D3D11_SHADER_RESOURCE_VIEW_DESC {
  DXGI_FORMAT Format;
  D3D11_SRV_DIMENSION ViewDimension;
  union {
    D3D11_TEX2D_SRV Texture2D;
  };
} D3D11_SHADER_RESOURCE_VIEW_DESC;

typedef enum D3D11_INPUT_CLASSIFICATION {
  D3D11_INPUT_PER_VERTEX_DATA = 0,
  D3D11_INPUT_PER_INSTANCE_DATA = 1,
} D3D11_INPUT_CLASSIFICATION;

typedef struct D3D11_INPUT_ELEMENT_DESC {
  LPCSTR SemanticName;
  UINT SemanticIndex;
  DXGI_FORMAT Format;
  UINT InputSlot;
  UINT AlignedByteOffset;
  D3D11_INPUT_CLASSIFICATION InputSlotClass;
  UINT InstanceDataStepRate;
} D3D11_INPUT_ELEMENT_DESC;

// TopLeftX/Y measure from the top-left corner of the render target.
typedef struct D3D11_VIEWPORT {
  FLOAT TopLeftX;
  FLOAT TopLeftY;
  FLOAT Width;
  FLOAT Height;
  FLOAT MinDepth;
  FLOAT MaxDepth;
} D3D11_VIEWPORT;

typedef enum D3D11_FILL_MODE {
  D3D11_FILL_WIREFRAME = 2,
  D3D11_FILL_SOLID = 3,
} D3D11_FILL_MODE;

typedef enum D3D11_CULL_MODE {
  D3D11_CULL_NONE = 1,
  D3D11_CULL_FRONT = 2,
  D3D11_CULL_BACK = 3,
} D3D11_CULL_MODE;

// FrontCounterClockwise refers to the winding as seen on the render target (y down). DepthClipEnable
// FALSE clamps depth instead of clipping. ScissorEnable, MultisampleEnable and AntialiasedLineEnable are
// accepted and have no effect (no scissor rectangles, no multisampled targets).
typedef struct D3D11_RASTERIZER_DESC {
  D3D11_FILL_MODE FillMode;
  D3D11_CULL_MODE CullMode;
  BOOL FrontCounterClockwise;
  INT DepthBias;
  FLOAT DepthBiasClamp;
  FLOAT SlopeScaledDepthBias;
  BOOL DepthClipEnable;
  BOOL ScissorEnable;
  BOOL MultisampleEnable;
  BOOL AntialiasedLineEnable;
} D3D11_RASTERIZER_DESC;

typedef enum D3D11_FILTER {
  D3D11_FILTER_MIN_MAG_MIP_POINT = 0,
  D3D11_FILTER_MIN_MAG_POINT_MIP_LINEAR = 0x1,
  D3D11_FILTER_MIN_POINT_MAG_LINEAR_MIP_POINT = 0x4,
  D3D11_FILTER_MIN_POINT_MAG_MIP_LINEAR = 0x5,
  D3D11_FILTER_MIN_LINEAR_MAG_MIP_POINT = 0x10,
  D3D11_FILTER_MIN_LINEAR_MAG_POINT_MIP_LINEAR = 0x11,
  D3D11_FILTER_MIN_MAG_LINEAR_MIP_POINT = 0x14,
  D3D11_FILTER_MIN_MAG_MIP_LINEAR = 0x15,
  D3D11_FILTER_ANISOTROPIC = 0x55,
} D3D11_FILTER;

typedef enum D3D11_TEXTURE_ADDRESS_MODE {
  D3D11_TEXTURE_ADDRESS_WRAP = 1,
  D3D11_TEXTURE_ADDRESS_MIRROR = 2,
  D3D11_TEXTURE_ADDRESS_CLAMP = 3,
  D3D11_TEXTURE_ADDRESS_BORDER = 4,
  D3D11_TEXTURE_ADDRESS_MIRROR_ONCE = 5,
} D3D11_TEXTURE_ADDRESS_MODE;

typedef enum D3D11_COMPARISON_FUNC {
  D3D11_COMPARISON_NEVER = 1,
  D3D11_COMPARISON_LESS = 2,
  D3D11_COMPARISON_EQUAL = 3,
  D3D11_COMPARISON_LESS_EQUAL = 4,
  D3D11_COMPARISON_GREATER = 5,
  D3D11_COMPARISON_NOT_EQUAL = 6,
  D3D11_COMPARISON_GREATER_EQUAL = 7,
  D3D11_COMPARISON_ALWAYS = 8,
} D3D11_COMPARISON_FUNC;

// MinLOD/MaxLOD clamp the mip level sampled: MaxLOD 0 samples only the top level.
typedef struct D3D11_SAMPLER_DESC {
  D3D11_FILTER Filter;
  D3D11_TEXTURE_ADDRESS_MODE AddressU;
  D3D11_TEXTURE_ADDRESS_MODE AddressV;
  D3D11_TEXTURE_ADDRESS_MODE AddressW;
  FLOAT MipLODBias;
  UINT MaxAnisotropy;
  D3D11_COMPARISON_FUNC ComparisonFunc;
  FLOAT BorderColor[4];
  FLOAT MinLOD;
  FLOAT MaxLOD;
} D3D11_SAMPLER_DESC;

struct ID3D11Device;

PLATFORM_DECLARE_UUID(ID3D11DeviceChild, 0x1841e5c8, 0x16b0, 0x489b, 0xbc, 0xc8, 0x44, 0xcf, 0xb0, 0xd5, 0xde, 0xae);
struct ID3D11DeviceChild : public IUnknown {
  // Adds a reference to the device that created this object.
  virtual void STDMETHODCALLTYPE GetDevice(ID3D11Device** ppDevice) = 0;

 protected:
  ~ID3D11DeviceChild() = default;
};

PLATFORM_DECLARE_UUID(ID3D11Resource, 0xdc8e63f3, 0xd12b, 0x4952, 0xb4, 0x7b, 0x5e, 0x45, 0x02, 0x6a, 0x86, 0x2d);
struct ID3D11Resource : public ID3D11DeviceChild {
  virtual void STDMETHODCALLTYPE GetType(D3D11_RESOURCE_DIMENSION* pResourceDimension) = 0;

 protected:
  ~ID3D11Resource() = default;
};

PLATFORM_DECLARE_UUID(ID3D11Buffer, 0x48570b85, 0xd1ee, 0x4fcd, 0xa2, 0x50, 0xeb, 0x35, 0x07, 0x22, 0xb0, 0x37);
struct ID3D11Buffer : public ID3D11Resource {
  virtual void STDMETHODCALLTYPE GetDesc(D3D11_BUFFER_DESC* pDesc) = 0;

 protected:
  ~ID3D11Buffer() = default;
};

PLATFORM_DECLARE_UUID(ID3D11Texture2D, 0x6f15aaf2, 0xd208, 0x4e89, 0x9a, 0xb4, 0x48, 0x95, 0x35, 0xd3, 0x4f, 0x9c);
struct ID3D11Texture2D : public ID3D11Resource {
  // MipLevels is the actual count (never 0).
  virtual void STDMETHODCALLTYPE GetDesc(D3D11_TEXTURE2D_DESC* pDesc) = 0;

 protected:
  ~ID3D11Texture2D() = default;
};

PLATFORM_DECLARE_UUID(ID3D11View, 0x839d1216, 0xbb2e, 0x412b, 0xb7, 0xf4, 0xa9, 0xdb, 0xeb, 0xe0, 0x8e, 0xd1);
struct ID3D11View : public ID3D11DeviceChild {
  // Adds a reference to the viewed resource.
  virtual void STDMETHODCALLTYPE GetResource(ID3D11Resource** ppResource) = 0;

 protected:
  ~ID3D11View() = default;
};

PLATFORM_DECLARE_UUID(ID3D11ShaderResourceView, 0xb0e06fe0, 0x8192, 0x4e1a, 0xb1, 0xca, 0x36, 0xd7, 0x41, 0x47, 0x10,
                      0xb2);
struct ID3D11ShaderResourceView : public ID3D11View {
 protected:
  ~ID3D11ShaderResourceView() = default;
};

PLATFORM_DECLARE_UUID(ID3D11RenderTargetView, 0xdfdba067, 0x0b8d, 0x4865, 0x87, 0x5b, 0xd7, 0xb4, 0x51, 0x6c, 0xc1,
                      0x64);
struct ID3D11RenderTargetView : public ID3D11View {
 protected:
  ~ID3D11RenderTargetView() = default;
};

PLATFORM_DECLARE_UUID(ID3D11DepthStencilView, 0x9fdac92a, 0x1876, 0x48c3, 0xaf, 0xad, 0x25, 0xb9, 0x4f, 0x84, 0xa9,
                      0xb6);
struct ID3D11DepthStencilView : public ID3D11View {
 protected:
  ~ID3D11DepthStencilView() = default;
};

PLATFORM_DECLARE_UUID(ID3D11VertexShader, 0x3b301d64, 0xd678, 0x4289, 0x88, 0x97, 0x22, 0xf8, 0x92, 0x8b, 0x72, 0xf3);
struct ID3D11VertexShader : public ID3D11DeviceChild {
 protected:
  ~ID3D11VertexShader() = default;
};

PLATFORM_DECLARE_UUID(ID3D11PixelShader, 0xea82e40d, 0x51dc, 0x4f33, 0x93, 0xd4, 0xdb, 0x7c, 0x91, 0x25, 0xae, 0x8c);
struct ID3D11PixelShader : public ID3D11DeviceChild {
 protected:
  ~ID3D11PixelShader() = default;
};

PLATFORM_DECLARE_UUID(ID3D11InputLayout, 0xe4819ddc, 0x4cf0, 0x4025, 0xbd, 0x26, 0x5d, 0xe8, 0x2a, 0x3e, 0x07, 0xb7);
struct ID3D11InputLayout : public ID3D11DeviceChild {
 protected:
  ~ID3D11InputLayout() = default;
};

PLATFORM_DECLARE_UUID(ID3D11RasterizerState, 0x9bb4ab81, 0xab1a, 0x4d8f, 0xb5, 0x06, 0xfc, 0x04, 0x20, 0x0b, 0x6e,
                      0xe7);
struct ID3D11RasterizerState : public ID3D11DeviceChild {
  virtual void STDMETHODCALLTYPE GetDesc(D3D11_RASTERIZER_DESC* pDesc) = 0;

 protected:
  ~ID3D11RasterizerState() = default;
};

PLATFORM_DECLARE_UUID(ID3D11SamplerState, 0xda6fea51, 0x564c, 0x4487, 0x98, 0x10, 0xf0, 0xd0, 0xf9, 0xb4, 0xe3, 0xa5);
struct ID3D11SamplerState : public ID3D11DeviceChild {
  virtual void STDMETHODCALLTYPE GetDesc(D3D11_SAMPLER_DESC* pDesc) = 0;

 protected:
  ~ID3D11SamplerState() = default;
};

// Dynamic shader linkage is not supported: these are only ever null.
PLATFORM_DECLARE_UUID(ID3D11ClassInstance, 0xa6cd7faa, 0xb0b7, 0x4a2f, 0x94, 0x36, 0x86, 0x62, 0xa6, 0x57, 0x97, 0xcb);
struct ID3D11ClassInstance;
PLATFORM_DECLARE_UUID(ID3D11ClassLinkage, 0xddf57cba, 0x9543, 0x46e4, 0xa1, 0x2b, 0xf2, 0x07, 0xa0, 0xfe, 0x7f, 0xed);
struct ID3D11ClassLinkage;

// The immediate context. Its reference count is the device's: GetImmediateContext adds a reference to the
// device, and releasing the context releases the device. Everything bound stays referenced until it is
// replaced or the device goes away. Calls with out-of-range slots are ignored, as the runtime does.
PLATFORM_DECLARE_UUID(ID3D11DeviceContext, 0xc0bfa96c, 0xe089, 0x44fb, 0x8e, 0xaf, 0x26, 0xf8, 0x79, 0x61, 0x90,
                      0xda);
struct ID3D11DeviceContext : public ID3D11DeviceChild {
  // Constant buffers are read when drawing: the contents at the time of each draw are what it sees.
  virtual void STDMETHODCALLTYPE VSSetConstantBuffers(UINT StartSlot, UINT NumBuffers,
                                                      ID3D11Buffer* const* ppConstantBuffers) = 0;
  virtual void STDMETHODCALLTYPE PSSetShaderResources(UINT StartSlot, UINT NumViews,
                                                      ID3D11ShaderResourceView* const* ppShaderResourceViews) = 0;
  virtual void STDMETHODCALLTYPE PSSetShader(ID3D11PixelShader* pPixelShader,
                                             ID3D11ClassInstance* const* ppClassInstances, UINT NumClassInstances) = 0;
  virtual void STDMETHODCALLTYPE PSSetSamplers(UINT StartSlot, UINT NumSamplers,
                                               ID3D11SamplerState* const* ppSamplers) = 0;
  virtual void STDMETHODCALLTYPE VSSetShader(ID3D11VertexShader* pVertexShader,
                                             ID3D11ClassInstance* const* ppClassInstances, UINT NumClassInstances) = 0;
  // Draws nothing without a vertex shader, an input layout that the shader needs, or an index buffer.
  virtual void STDMETHODCALLTYPE DrawIndexed(UINT IndexCount, UINT StartIndexLocation, INT BaseVertexLocation) = 0;
  // DYNAMIC resources: D3D11_MAP_WRITE_DISCARD gives fresh memory whose contents are undefined (the whole
  // resource must be rewritten). STAGING resources: READ, WRITE, READ_WRITE as their CPU access flags
  // allow; a texture's RowPitch is the byte distance between rows. Anything else: E_INVALIDARG.
  virtual HRESULT STDMETHODCALLTYPE Map(ID3D11Resource* pResource, UINT Subresource, D3D11_MAP MapType,
                                        UINT MapFlags, D3D11_MAPPED_SUBRESOURCE* pMappedResource) = 0;
  virtual void STDMETHODCALLTYPE Unmap(ID3D11Resource* pResource, UINT Subresource) = 0;
  virtual void STDMETHODCALLTYPE PSSetConstantBuffers(UINT StartSlot, UINT NumBuffers,
                                                      ID3D11Buffer* const* ppConstantBuffers) = 0;
  virtual void STDMETHODCALLTYPE IASetInputLayout(ID3D11InputLayout* pInputLayout) = 0;
  virtual void STDMETHODCALLTYPE IASetVertexBuffers(UINT StartSlot, UINT NumBuffers,
                                                    ID3D11Buffer* const* ppVertexBuffers, const UINT* pStrides,
                                                    const UINT* pOffsets) = 0;
  // Format is DXGI_FORMAT_R16_UINT or DXGI_FORMAT_R32_UINT.
  virtual void STDMETHODCALLTYPE IASetIndexBuffer(ID3D11Buffer* pIndexBuffer, DXGI_FORMAT Format, UINT Offset) = 0;
  virtual void STDMETHODCALLTYPE IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY Topology) = 0;
  virtual void STDMETHODCALLTYPE OMSetRenderTargets(UINT NumViews,
                                                    ID3D11RenderTargetView* const* ppRenderTargetViews,
                                                    ID3D11DepthStencilView* pDepthStencilView) = 0;
  // A null state restores the default rasterizer state.
  virtual void STDMETHODCALLTYPE RSSetState(ID3D11RasterizerState* pRasterizerState) = 0;
  virtual void STDMETHODCALLTYPE RSSetViewports(UINT NumViewports, const D3D11_VIEWPORT* pViewports) = 0;
  // Copies every subresource; both resources must have the same type, size and format, else nothing
  // happens. A copy into a STAGING resource is complete when the call returns.
  virtual void STDMETHODCALLTYPE CopyResource(ID3D11Resource* pDstResource, ID3D11Resource* pSrcResource) = 0;
  // Clears the whole view, whatever the viewport.
  virtual void STDMETHODCALLTYPE ClearRenderTargetView(ID3D11RenderTargetView* pRenderTargetView,
                                                       const FLOAT ColorRGBA[4]) = 0;
  virtual void STDMETHODCALLTYPE ClearDepthStencilView(ID3D11DepthStencilView* pDepthStencilView, UINT ClearFlags,
                                                       FLOAT Depth, UINT8 Stencil) = 0;

 protected:
  ~ID3D11DeviceContext() = default;
};

PLATFORM_DECLARE_UUID(ID3D11Device, 0xdb6f6ddb, 0xac77, 0x4e88, 0x82, 0x53, 0x81, 0x9d, 0xf9, 0xbb, 0xf1, 0x40);
struct ID3D11Device : public IUnknown {
  // ByteWidth 0, a constant buffer whose size is not a multiple of 16 or is larger than 64 KiB, or usage
  // and CPU access flags that do not go together: E_INVALIDARG. IMMUTABLE needs initial data.
  virtual HRESULT STDMETHODCALLTYPE CreateBuffer(const D3D11_BUFFER_DESC* pDesc,
                                                 const D3D11_SUBRESOURCE_DATA* pInitialData,
                                                 ID3D11Buffer** ppBuffer) = 0;
  // pInitialData, when given, holds one entry per mip level.
  virtual HRESULT STDMETHODCALLTYPE CreateTexture2D(const D3D11_TEXTURE2D_DESC* pDesc,
                                                    const D3D11_SUBRESOURCE_DATA* pInitialData,
                                                    ID3D11Texture2D** ppTexture2D) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateShaderResourceView(ID3D11Resource* pResource,
                                                             const D3D11_SHADER_RESOURCE_VIEW_DESC* pDesc,
                                                             ID3D11ShaderResourceView** ppSRView) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateRenderTargetView(ID3D11Resource* pResource,
                                                           const D3D11_RENDER_TARGET_VIEW_DESC* pDesc,
                                                           ID3D11RenderTargetView** ppRTView) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateDepthStencilView(ID3D11Resource* pResource,
                                                           const D3D11_DEPTH_STENCIL_VIEW_DESC* pDesc,
                                                           ID3D11DepthStencilView** ppDepthStencilView) = 0;
  // Every input of the vertex shader whose code is given must be matched by an element of the same
  // semantic name (case-insensitive) and index; elements the shader does not read are allowed.
  virtual HRESULT STDMETHODCALLTYPE CreateInputLayout(const D3D11_INPUT_ELEMENT_DESC* pInputElementDescs,
                                                      UINT NumElements, const void* pShaderBytecodeWithInputSignature,
                                                      SIZE_T BytecodeLength, ID3D11InputLayout** ppInputLayout) = 0;
  // The code is what D3DX11CompileFromFile produced for the matching stage; pClassLinkage must be null.
  virtual HRESULT STDMETHODCALLTYPE CreateVertexShader(const void* pShaderBytecode, SIZE_T BytecodeLength,
                                                       ID3D11ClassLinkage* pClassLinkage,
                                                       ID3D11VertexShader** ppVertexShader) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreatePixelShader(const void* pShaderBytecode, SIZE_T BytecodeLength,
                                                      ID3D11ClassLinkage* pClassLinkage,
                                                      ID3D11PixelShader** ppPixelShader) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateRasterizerState(const D3D11_RASTERIZER_DESC* pRasterizerDesc,
                                                          ID3D11RasterizerState** ppRasterizerState) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateSamplerState(const D3D11_SAMPLER_DESC* pSamplerDesc,
                                                       ID3D11SamplerState** ppSamplerState) = 0;
  virtual D3D_FEATURE_LEVEL STDMETHODCALLTYPE GetFeatureLevel() = 0;
  virtual void STDMETHODCALLTYPE GetImmediateContext(ID3D11DeviceContext** ppImmediateContext) = 0;

 protected:
  ~ID3D11Device() = default;
};

// A device without a window, rendering only into textures (a headless EGL OpenGL 4.5 context: surfaceless,
// else EGL_EXT_platform_device, else the default display with a pbuffer).
// pAdapter must be null and DriverType D3D_DRIVER_TYPE_HARDWARE; the feature levels asked for must include
// D3D_FEATURE_LEVEL_11_0 or lower (null asks for the default list), which is the level given. Without an
// OpenGL 4.5 core context the call fails with DXGI_ERROR_UNSUPPORTED and creates nothing. With neither
// ppDevice nor ppImmediateContext it only checks that a device could be made and returns S_FALSE.
STDAPI D3D11CreateDevice(IDXGIAdapter* pAdapter, D3D_DRIVER_TYPE DriverType, HMODULE Software, UINT Flags,
                         const D3D_FEATURE_LEVEL* pFeatureLevels, UINT FeatureLevels, UINT SDKVersion,
                         ID3D11Device** ppDevice, D3D_FEATURE_LEVEL* pFeatureLevel,
                         ID3D11DeviceContext** ppImmediateContext);

// The same, with the device's OpenGL context made on the window behind pSwapChainDesc->OutputWindow and a
// windowed swap chain presenting onto it. A zero buffer width or height takes the client area's.
STDAPI D3D11CreateDeviceAndSwapChain(IDXGIAdapter* pAdapter, D3D_DRIVER_TYPE DriverType, HMODULE Software,
                                     UINT Flags, const D3D_FEATURE_LEVEL* pFeatureLevels, UINT FeatureLevels,
                                     UINT SDKVersion, const DXGI_SWAP_CHAIN_DESC* pSwapChainDesc,
                                     IDXGISwapChain** ppSwapChain, ID3D11Device** ppDevice,
                                     D3D_FEATURE_LEVEL* pFeatureLevel, ID3D11DeviceContext** ppImmediateContext);
