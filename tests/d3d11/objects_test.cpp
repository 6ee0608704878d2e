// Object lifetimes and argument checking: reference counts, what views and the context keep alive,
// QueryInterface, buffer contents through STAGING copies, several devices at once, and Direct3D's
// answers to invalid arguments (a failure and a null out pointer, never a crash). Arguments the API
// declares _In_ (never null) are not passed null here: what happens then is not Direct3D's to define.
#include <string.h>

#include <functional>

#include "d3d11_test.h"
#include "implementation_gaps.h"

namespace d3d11_test {
namespace {

class Objects : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(CreateHeadlessDevice(device.put(), context.put()), S_OK); }

  Com<ID3D11Texture2D> MakeTexture(UINT bindFlags) {
    D3D11_TEXTURE2D_DESC desc = {4, 4, 1, 1, DXGI_FORMAT_R8G8B8A8_UNORM, {1, 0}, D3D11_USAGE_DEFAULT, bindFlags, 0, 0};
    Com<ID3D11Texture2D> texture;
    EXPECT_EQ(device->CreateTexture2D(&desc, nullptr, texture.put()), S_OK);
    return texture;
  }

  Com<ID3D11Device> device;
  Com<ID3D11DeviceContext> context;
};

// ---- reference counts ----

using ReferenceCounts = Objects;

TEST_F(ReferenceCounts, AddRefAndReleaseReturnTheNewCount) {
  Com<ID3D11Texture2D> texture = MakeTexture(D3D11_BIND_SHADER_RESOURCE);
  EXPECT_EQ(texture->AddRef(), 2u);
  EXPECT_EQ(texture->AddRef(), 3u);
  EXPECT_EQ(texture->Release(), 2u);
  EXPECT_EQ(texture->Release(), 1u);
}

TEST_F(ReferenceCounts, AViewKeepsItsTextureAlive) {
  // Held by hand here, to watch each count.
  ID3D11Texture2D* texture = nullptr;
  D3D11_TEXTURE2D_DESC desc = {4, 4, 1, 1, DXGI_FORMAT_R8G8B8A8_UNORM, {1, 0}, D3D11_USAGE_DEFAULT,
                               D3D11_BIND_SHADER_RESOURCE, 0, 0};
  std::vector<uint32_t> texels(16, 0xff336699u);
  const D3D11_SUBRESOURCE_DATA initial = {texels.data(), 16, 0};
  ASSERT_EQ(device->CreateTexture2D(&desc, &initial, &texture), S_OK);
  ID3D11ShaderResourceView* view = nullptr;
  ASSERT_EQ(device->CreateShaderResourceView(texture, nullptr, &view), S_OK);
  // The view's reference is internal: the count the program sees is its own only (Direct3D's debug layer
  // lists such an object as "Refcount: 0, IntRef: 1").
  EXPECT_EQ(texture->Release(), 0u);
  ID3D11Resource* resource = nullptr;
  view->GetResource(&resource);
  ASSERT_EQ(resource, static_cast<ID3D11Resource*>(texture));
  // Still whole: its contents read back.
  const std::vector<uint8_t> bytes = ReadTexture(device.get(), context.get(), texture);
  ASSERT_EQ(bytes.size(), 64u);
  EXPECT_EQ(memcmp(bytes.data(), texels.data(), 64), 0);
  EXPECT_EQ(resource->Release(), 0u);
  EXPECT_EQ(view->Release(), 0u);  // takes the texture with it
}

// The context's hold on what is bound is internal too: the program's last Release answers 0, and the
// object lives on until it is unbound (a freed view would be used by the unbinding: AddressSanitizer).
TEST_F(ReferenceCounts, TheContextHoldsWhatIsBound) {
  Com<ID3D11Texture2D> texture = MakeTexture(D3D11_BIND_SHADER_RESOURCE);
  ID3D11ShaderResourceView* view = nullptr;
  ASSERT_EQ(device->CreateShaderResourceView(texture.get(), nullptr, &view), S_OK);
  context->PSSetShaderResources(0, 1, &view);
  context->PSSetShaderResources(3, 1, &view);
  EXPECT_EQ(view->AddRef(), 2u);  // ours and this one
  view->Release();
  texture.Reset();
  EXPECT_EQ(view->Release(), 0u);
  ID3D11ShaderResourceView* none[4] = {};
  context->PSSetShaderResources(0, 4, none);
}

TEST_F(ReferenceCounts, ReleasingTheDeviceWhileObjectsLiveIsSafe) {
  Com<ID3D11Texture2D> texture = MakeTexture(D3D11_BIND_RENDER_TARGET);
  Com<ID3D11RenderTargetView> view;
  ASSERT_EQ(device->CreateRenderTargetView(texture.get(), nullptr, view.put()), S_OK);
  context->OMSetRenderTargets(1, view.address(), nullptr);
  context.Reset();
  device.Reset();
  // The objects still work on their own device, which they keep.
  Com<ID3D11Device> owner;
  view->GetDevice(owner.put());
  ASSERT_TRUE(owner);
  Com<ID3D11DeviceContext> ownerContext;
  owner->GetImmediateContext(ownerContext.put());
  const float color[4] = {0, 1, 0, 1};
  ownerContext->ClearRenderTargetView(view.get(), color);
  const std::vector<uint8_t> pixels = ReadTexture(owner.get(), ownerContext.get(), texture.get());
  ASSERT_EQ(pixels.size(), 64u);
  EXPECT_EQ(pixels[0], 0);
  EXPECT_EQ(pixels[1], 255);
}

TEST_F(ReferenceCounts, GetImmediateContextAddsAReferenceToTheContext) {
  const ULONG before = context->AddRef() - 1;
  context->Release();
  Com<ID3D11DeviceContext> again;
  device->GetImmediateContext(again.put());
  EXPECT_EQ(again.get(), context.get());
  EXPECT_EQ(again->AddRef(), before + 2);
  again->Release();
}

TEST_F(ReferenceCounts, QueryInterfaceMovesBetweenATexturesInterfaces) {
  Com<ID3D11Texture2D> texture = MakeTexture(D3D11_BIND_SHADER_RESOURCE);
  Com<ID3D11Resource> resource;
  ASSERT_EQ(texture->QueryInterface(__uuidof(ID3D11Resource), reinterpret_cast<void**>(resource.put())), S_OK);
  Com<ID3D11Texture2D> back;
  ASSERT_EQ(resource->QueryInterface(__uuidof(ID3D11Texture2D), reinterpret_cast<void**>(back.put())), S_OK);
  EXPECT_EQ(back.get(), texture.get());
  EXPECT_EQ(texture->AddRef(), 4u);
  texture->Release();
  void* buffer = &buffer;
  EXPECT_EQ(texture->QueryInterface(__uuidof(ID3D11Buffer), &buffer), E_NOINTERFACE);
  EXPECT_EQ(buffer, nullptr);
}

// ---- buffer contents ----

using BufferContents = Objects;

TEST_F(BufferContents, DefaultBufferCopiesToAStagingBuffer) {
  const uint32_t values[4] = {1, 22, 333, 4444};
  D3D11_BUFFER_DESC desc = {sizeof values, D3D11_USAGE_DEFAULT, D3D11_BIND_VERTEX_BUFFER, 0, 0, 0};
  const D3D11_SUBRESOURCE_DATA initial = {values, 0, 0};
  Com<ID3D11Buffer> source, staging;
  ASSERT_EQ(device->CreateBuffer(&desc, &initial, source.put()), S_OK);
  desc = {sizeof values, D3D11_USAGE_STAGING, 0, D3D11_CPU_ACCESS_READ, 0, 0};
  ASSERT_EQ(device->CreateBuffer(&desc, nullptr, staging.put()), S_OK);
  context->CopyResource(staging.get(), source.get());
  D3D11_MAPPED_SUBRESOURCE mapped;
  ASSERT_EQ(context->Map(staging.get(), 0, D3D11_MAP_READ, 0, &mapped), S_OK);
  EXPECT_EQ(memcmp(mapped.pData, values, sizeof values), 0);
  context->Unmap(staging.get(), 0);
}

TEST_F(BufferContents, DynamicBufferTakesWhatWasWrittenOnUnmap) {
  D3D11_BUFFER_DESC desc = {16, D3D11_USAGE_DYNAMIC, D3D11_BIND_VERTEX_BUFFER, D3D11_CPU_ACCESS_WRITE, 0, 0};
  Com<ID3D11Buffer> dynamic, staging;
  ASSERT_EQ(device->CreateBuffer(&desc, nullptr, dynamic.put()), S_OK);
  desc = {16, D3D11_USAGE_STAGING, 0, D3D11_CPU_ACCESS_READ, 0, 0};
  ASSERT_EQ(device->CreateBuffer(&desc, nullptr, staging.put()), S_OK);
  for (float value : {1.5f, -2.5f}) {
    D3D11_MAPPED_SUBRESOURCE mapped;
    ASSERT_EQ(context->Map(dynamic.get(), 0, D3D11_MAP_WRITE_DISCARD, 0, &mapped), S_OK);
    EXPECT_GE(mapped.RowPitch, 16u);
    for (int i = 0; i < 4; ++i) static_cast<float*>(mapped.pData)[i] = value;
    context->Unmap(dynamic.get(), 0);
    context->CopyResource(staging.get(), dynamic.get());
    ASSERT_EQ(context->Map(staging.get(), 0, D3D11_MAP_READ, 0, &mapped), S_OK);
    EXPECT_EQ(static_cast<const float*>(mapped.pData)[3], value);
    context->Unmap(staging.get(), 0);
  }
}

TEST_F(BufferContents, MismatchedCopiesChangeNothing) {
  const uint32_t values[4] = {7, 7, 7, 7};
  D3D11_BUFFER_DESC desc = {16, D3D11_USAGE_STAGING, 0, D3D11_CPU_ACCESS_READ | D3D11_CPU_ACCESS_WRITE, 0, 0};
  const D3D11_SUBRESOURCE_DATA initial = {values, 0, 0};
  Com<ID3D11Buffer> target, smaller;
  ASSERT_EQ(device->CreateBuffer(&desc, &initial, target.put()), S_OK);
  desc.ByteWidth = 8;
  ASSERT_EQ(device->CreateBuffer(&desc, nullptr, smaller.put()), S_OK);
  Com<ID3D11Texture2D> texture = MakeTexture(D3D11_BIND_SHADER_RESOURCE);
  context->CopyResource(target.get(), smaller.get());
  context->CopyResource(target.get(), texture.get());
  D3D11_MAPPED_SUBRESOURCE mapped;
  ASSERT_EQ(context->Map(target.get(), 0, D3D11_MAP_READ, 0, &mapped), S_OK);
  EXPECT_EQ(memcmp(mapped.pData, values, sizeof values), 0);
  context->Unmap(target.get(), 0);
}

// ---- several devices ----

TEST(SeveralDevices, EachRendersIntoItsOwnTargetsWhenInterleaved) {
  Com<ID3D11Device> devices[2];
  Com<ID3D11DeviceContext> contexts[2];
  Com<ID3D11Texture2D> targets[2];
  Com<ID3D11RenderTargetView> views[2];
  const float colors[2][4] = {{1, 0, 0, 1}, {0, 0, 1, 1}};
  for (int i = 0; i < 2; ++i) {
    ASSERT_EQ(CreateHeadlessDevice(devices[i].put(), contexts[i].put()), S_OK);
    D3D11_TEXTURE2D_DESC desc = {8, 8, 1, 1, DXGI_FORMAT_R8G8B8A8_UNORM, {1, 0}, D3D11_USAGE_DEFAULT,
                                 D3D11_BIND_RENDER_TARGET, 0, 0};
    ASSERT_EQ(devices[i]->CreateTexture2D(&desc, nullptr, targets[i].put()), S_OK);
    ASSERT_EQ(devices[i]->CreateRenderTargetView(targets[i].get(), nullptr, views[i].put()), S_OK);
  }
  for (int i = 0; i < 2; ++i) contexts[i]->ClearRenderTargetView(views[i].get(), colors[i]);
  for (int i = 1; i >= 0; --i) {
    const std::vector<uint8_t> pixels = ReadTexture(devices[i].get(), contexts[i].get(), targets[i].get());
    ASSERT_FALSE(pixels.empty());
    EXPECT_EQ(pixels[0], i == 0 ? 255 : 0) << "device " << i;
    EXPECT_EQ(pixels[2], i == 1 ? 255 : 0) << "device " << i;
  }
}

// ---- invalid arguments ----

// Out pointers start as a recognisable non-null value: a failing call must set them to null.
template <class T>
T* Poisoned() {
  static int marker;
  return reinterpret_cast<T*>(&marker);
}

using InvalidArguments = Objects;

TEST_F(InvalidArguments, Buffers) {
  SKIP_ON_WINE("it creates an IMMUTABLE buffer without initial data and crashes on a STAGING buffer with bind "
               "flags, where Direct3D answers both with E_INVALIDARG");
  ID3D11Buffer* buffer = Poisoned<ID3D11Buffer>();
  D3D11_BUFFER_DESC desc = {0, D3D11_USAGE_DEFAULT, D3D11_BIND_VERTEX_BUFFER, 0, 0, 0};
  EXPECT_EQ(device->CreateBuffer(&desc, nullptr, &buffer), E_INVALIDARG) << "zero size";
  EXPECT_EQ(buffer, nullptr);
  desc = {20, D3D11_USAGE_DYNAMIC, D3D11_BIND_CONSTANT_BUFFER, D3D11_CPU_ACCESS_WRITE, 0, 0};
  EXPECT_EQ(device->CreateBuffer(&desc, nullptr, &buffer), E_INVALIDARG) << "constant buffer not in 16-byte units";
  desc = {16, D3D11_USAGE_DEFAULT, D3D11_BIND_VERTEX_BUFFER, D3D11_CPU_ACCESS_WRITE, 0, 0};
  EXPECT_EQ(device->CreateBuffer(&desc, nullptr, &buffer), E_INVALIDARG) << "CPU access on DEFAULT";
  desc = {16, D3D11_USAGE_IMMUTABLE, D3D11_BIND_VERTEX_BUFFER, 0, 0, 0};
  EXPECT_EQ(device->CreateBuffer(&desc, nullptr, &buffer), E_INVALIDARG) << "IMMUTABLE without data";
  desc = {16, D3D11_USAGE_STAGING, D3D11_BIND_VERTEX_BUFFER, D3D11_CPU_ACCESS_READ, 0, 0};
  EXPECT_EQ(device->CreateBuffer(&desc, nullptr, &buffer), E_INVALIDARG) << "bound STAGING";
  EXPECT_EQ(buffer, nullptr);
  desc = {16, D3D11_USAGE_DEFAULT, D3D11_BIND_VERTEX_BUFFER, 0, 0, 0};
  EXPECT_EQ(device->CreateBuffer(&desc, nullptr, nullptr), S_FALSE) << "a valid description, only checked";
}

TEST_F(InvalidArguments, Textures) {
  SKIP_ON_WINE("it creates textures with more mip levels than the size has, a depth format bound as a shader "
               "resource and initial data whose row pitch is below a row; Direct3D refuses each with E_INVALIDARG");
  ID3D11Texture2D* texture = Poisoned<ID3D11Texture2D>();
  D3D11_TEXTURE2D_DESC desc = {0, 4, 1, 1, DXGI_FORMAT_R8G8B8A8_UNORM, {1, 0}, D3D11_USAGE_DEFAULT,
                               D3D11_BIND_SHADER_RESOURCE, 0, 0};
  EXPECT_EQ(device->CreateTexture2D(&desc, nullptr, &texture), E_INVALIDARG) << "zero width";
  EXPECT_EQ(texture, nullptr);
  desc.Width = 4;
  desc.MipLevels = 4;  // 4 x 4 has three levels
  EXPECT_EQ(device->CreateTexture2D(&desc, nullptr, &texture), E_INVALIDARG) << "too many levels";
  desc.MipLevels = 1;
  desc.Format = DXGI_FORMAT_D32_FLOAT;
  EXPECT_EQ(device->CreateTexture2D(&desc, nullptr, &texture), E_INVALIDARG) << "depth format as shader resource";
  desc.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
  const uint8_t row[4] = {};
  const D3D11_SUBRESOURCE_DATA shortPitch = {row, 4, 0};  // 4 pixels need 16 bytes a row
  EXPECT_EQ(device->CreateTexture2D(&desc, &shortPitch, &texture), E_INVALIDARG) << "pitch below a row";
  EXPECT_EQ(texture, nullptr);
}

TEST_F(InvalidArguments, Views) {
  SKIP_ON_WINE("it makes render-target and depth-stencil views of a texture bound for neither, which Direct3D "
               "refuses (the resource must have been created with that bind flag)");
  Com<ID3D11Texture2D> sampled = MakeTexture(D3D11_BIND_SHADER_RESOURCE);
  ID3D11RenderTargetView* target = Poisoned<ID3D11RenderTargetView>();
  EXPECT_EQ(device->CreateRenderTargetView(sampled.get(), nullptr, &target), E_INVALIDARG) << "not a render target";
  EXPECT_EQ(target, nullptr);
  ID3D11DepthStencilView* depth = Poisoned<ID3D11DepthStencilView>();
  EXPECT_EQ(device->CreateDepthStencilView(sampled.get(), nullptr, &depth), E_INVALIDARG);
  EXPECT_EQ(depth, nullptr);
  ID3D11ShaderResourceView* view = Poisoned<ID3D11ShaderResourceView>();
  D3D11_SHADER_RESOURCE_VIEW_DESC desc = {};
  desc.ViewDimension = D3D11_SRV_DIMENSION_TEXTURE2D;
  desc.Texture2D = {1, 1};  // the texture has one level only
  EXPECT_EQ(device->CreateShaderResourceView(sampled.get(), &desc, &view), E_INVALIDARG);
  EXPECT_EQ(view, nullptr);
}

TEST_F(InvalidArguments, ShaderCode) {
  Com<ID3D10Blob> vs = Compile("pipeline.hlsl", "VSColor", "vs_5_0");
  Com<ID3D10Blob> ps = Compile("pipeline.hlsl", "PSColor", "ps_5_0");
  ASSERT_TRUE(vs && ps);
  ID3D11PixelShader* pixel = Poisoned<ID3D11PixelShader>();
  EXPECT_EQ(device->CreatePixelShader(vs->GetBufferPointer(), vs->GetBufferSize(), nullptr, &pixel), E_INVALIDARG)
      << "vertex code for a pixel shader";
  EXPECT_EQ(pixel, nullptr);
  ID3D11VertexShader* vertex = Poisoned<ID3D11VertexShader>();
  EXPECT_EQ(device->CreateVertexShader(ps->GetBufferPointer(), ps->GetBufferSize(), nullptr, &vertex), E_INVALIDARG);
  EXPECT_EQ(vertex, nullptr);
  const char garbage[] = "DXBC? no, just some bytes that are not shader code at all";
  EXPECT_EQ(device->CreateVertexShader(garbage, sizeof garbage, nullptr, &vertex), E_INVALIDARG);
  EXPECT_EQ(device->CreateVertexShader(vs->GetBufferPointer(), vs->GetBufferSize() / 2, nullptr, &vertex),
            E_INVALIDARG)
      << "truncated";
  EXPECT_EQ(device->CreateVertexShader(nullptr, 0, nullptr, &vertex), E_INVALIDARG);
  EXPECT_EQ(vertex, nullptr);
}

TEST_F(InvalidArguments, InputLayouts) {
  Com<ID3D10Blob> vs = Compile("pipeline.hlsl", "VSColor", "vs_5_0");
  ASSERT_TRUE(vs);
  ID3D11InputLayout* layout = nullptr;
  const D3D11_INPUT_ELEMENT_DESC positionOnly[] = {
      {"POSITION", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 0, D3D11_INPUT_PER_VERTEX_DATA, 0}};
  EXPECT_EQ(device->CreateInputLayout(positionOnly, 1, vs->GetBufferPointer(), vs->GetBufferSize(), &layout),
            E_INVALIDARG)
      << "COLOR is read by the shader but not provided";
  const D3D11_INPUT_ELEMENT_DESC wrongIndex[] = {
      {"POSITION", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 0, D3D11_INPUT_PER_VERTEX_DATA, 0},
      {"COLOR", 1, DXGI_FORMAT_R32G32B32A32_FLOAT, 0, 12, D3D11_INPUT_PER_VERTEX_DATA, 0}};
  EXPECT_EQ(device->CreateInputLayout(wrongIndex, 2, vs->GetBufferPointer(), vs->GetBufferSize(), &layout),
            E_INVALIDARG);
  const D3D11_INPUT_ELEMENT_DESC extra[] = {
      {"POSITION", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 0, D3D11_INPUT_PER_VERTEX_DATA, 0},
      {"COLOR", 0, DXGI_FORMAT_R32G32B32A32_FLOAT, 0, 12, D3D11_INPUT_PER_VERTEX_DATA, 0},
      {"NORMAL", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 28, D3D11_INPUT_PER_VERTEX_DATA, 0}};
  EXPECT_EQ(device->CreateInputLayout(extra, 3, vs->GetBufferPointer(), vs->GetBufferSize(), &layout), S_OK)
      << "elements the shader does not read are allowed";
  ASSERT_NE(layout, nullptr);
  layout->Release();
  const char garbage[] = "not a signature";
  EXPECT_TRUE(FAILED(device->CreateInputLayout(extra, 3, garbage, sizeof garbage, &layout)));
}

TEST_F(InvalidArguments, SamplerWithoutAddressModes) {
  ID3D11SamplerState* sampler = nullptr;
  D3D11_SAMPLER_DESC desc = {};
  desc.Filter = D3D11_FILTER_MIN_MAG_MIP_LINEAR;  // address modes left 0: not a mode
  EXPECT_TRUE(FAILED(device->CreateSamplerState(&desc, &sampler)));
}

// COM's rule for out parameters: a failed call leaves null in them, never what the caller had there.
TEST_F(InvalidArguments, FailedCreationHandsOutNull) {
  SKIP_ON_WINE("a failed CreateBuffer, CreateTexture2D, CreateInputLayout or CreateSamplerState leaves the out "
               "pointer as it was");
  Com<ID3D10Blob> vs = Compile("pipeline.hlsl", "VSColor", "vs_5_0");
  ASSERT_TRUE(vs);
  const D3D11_BUFFER_DESC emptyBuffer = {0, D3D11_USAGE_DEFAULT, D3D11_BIND_VERTEX_BUFFER, 0, 0, 0};
  const D3D11_TEXTURE2D_DESC emptyTexture = {0, 4, 1, 1, DXGI_FORMAT_R8G8B8A8_UNORM, {1, 0}, D3D11_USAGE_DEFAULT,
                                             D3D11_BIND_SHADER_RESOURCE, 0, 0};
  const D3D11_INPUT_ELEMENT_DESC positionOnly[] = {
      {"POSITION", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 0, D3D11_INPUT_PER_VERTEX_DATA, 0}};
  D3D11_SAMPLER_DESC noAddressModes = {};
  noAddressModes.Filter = D3D11_FILTER_MIN_MAG_MIP_POINT;
  void* out = nullptr;
  const struct {
    const char* call;
    std::function<HRESULT()> fail;
  } cases[] = {
      {"CreateBuffer", [&] { return device->CreateBuffer(&emptyBuffer, nullptr, reinterpret_cast<ID3D11Buffer**>(&out)); }},
      {"CreateTexture2D",
       [&] { return device->CreateTexture2D(&emptyTexture, nullptr, reinterpret_cast<ID3D11Texture2D**>(&out)); }},
      {"CreateInputLayout",
       [&] {
         return device->CreateInputLayout(positionOnly, 1, vs->GetBufferPointer(), vs->GetBufferSize(),
                                          reinterpret_cast<ID3D11InputLayout**>(&out));
       }},
      {"CreateSamplerState",
       [&] { return device->CreateSamplerState(&noAddressModes, reinterpret_cast<ID3D11SamplerState**>(&out)); }},
  };
  for (const auto& c : cases) {
    out = Poisoned<void>();
    EXPECT_TRUE(FAILED(c.fail())) << c.call;
    EXPECT_EQ(out, nullptr) << c.call;
  }
}

TEST_F(InvalidArguments, MapOfWhatCannotBeMapped) {
  D3D11_MAPPED_SUBRESOURCE mapped;
  const uint32_t values[4] = {};
  const D3D11_SUBRESOURCE_DATA initial = {values, 0, 0};
  D3D11_BUFFER_DESC desc = {16, D3D11_USAGE_DEFAULT, D3D11_BIND_VERTEX_BUFFER, 0, 0, 0};
  Com<ID3D11Buffer> defaultBuffer, dynamic, staging;
  ASSERT_EQ(device->CreateBuffer(&desc, &initial, defaultBuffer.put()), S_OK);
  mapped.pData = &mapped;
  EXPECT_EQ(context->Map(defaultBuffer.get(), 0, D3D11_MAP_WRITE_DISCARD, 0, &mapped), E_INVALIDARG) << "DEFAULT";
  EXPECT_EQ(mapped.pData, nullptr);
  desc = {16, D3D11_USAGE_DYNAMIC, D3D11_BIND_CONSTANT_BUFFER, D3D11_CPU_ACCESS_WRITE, 0, 0};
  ASSERT_EQ(device->CreateBuffer(&desc, nullptr, dynamic.put()), S_OK);
  EXPECT_EQ(context->Map(dynamic.get(), 0, D3D11_MAP_READ, 0, &mapped), E_INVALIDARG) << "reading DYNAMIC";
  EXPECT_EQ(context->Map(dynamic.get(), 1, D3D11_MAP_WRITE_DISCARD, 0, &mapped), E_INVALIDARG) << "subresource 1";
  desc = {16, D3D11_USAGE_STAGING, 0, D3D11_CPU_ACCESS_READ, 0, 0};
  ASSERT_EQ(device->CreateBuffer(&desc, nullptr, staging.put()), S_OK);
  EXPECT_EQ(context->Map(staging.get(), 0, D3D11_MAP_WRITE_DISCARD, 0, &mapped), E_INVALIDARG) << "discarding STAGING";
  EXPECT_EQ(context->Map(staging.get(), 0, D3D11_MAP_WRITE, 0, &mapped), E_INVALIDARG) << "no CPU write access";
  Com<ID3D11Texture2D> texture = MakeTexture(D3D11_BIND_SHADER_RESOURCE);
  EXPECT_EQ(context->Map(texture.get(), 0, D3D11_MAP_READ, 0, &mapped), E_INVALIDARG) << "DEFAULT texture";
  EXPECT_EQ(mapped.pData, nullptr);
}

TEST_F(InvalidArguments, DeviceCreation) {
  ID3D11Device* created = Poisoned<ID3D11Device>();
  const D3D_FEATURE_LEVEL level = D3D_FEATURE_LEVEL_11_0;
  EXPECT_TRUE(FAILED(D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, &level, 0, D3D11_SDK_VERSION,
                                       &created, nullptr, nullptr)))
      << "an empty list of levels";
  EXPECT_EQ(created, nullptr);
  // The first level of the list the device supports: 11_1 where it has it, else 11_0.
  D3D_FEATURE_LEVEL obtained = D3D_FEATURE_LEVEL_9_1;
  const D3D_FEATURE_LEVEL levels[] = {D3D_FEATURE_LEVEL_11_1, D3D_FEATURE_LEVEL_11_0};
  ASSERT_EQ(D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, levels, 2, D3D11_SDK_VERSION, &created,
                              &obtained, nullptr),
            S_OK);
  EXPECT_TRUE(obtained == D3D_FEATURE_LEVEL_11_1 || obtained == D3D_FEATURE_LEVEL_11_0) << std::hex << obtained;
  EXPECT_EQ(created->GetFeatureLevel(), obtained);
  created->Release();
}

}  // namespace
}  // namespace d3d11_test
