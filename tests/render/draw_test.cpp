// Drawing order and bindings, seen in pixels: scenes of flat-coloured squares drawn with a shader that
// paints ambient colour times the t0 texel, so every expected colour is exact.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "model/MeshLoader.h"
#include "render/Render.h"
#include "tests/render/render_test_support.h"

namespace {

const Rgb kClear{0, 0, 255};
const Rgb kRed{255, 0, 0};
const Rgb kGreen{0, 255, 0};
const Rgb kBlack{0, 0, 0};

// A data folder with the flat shader, a green texture, and scene and sky models written by each test.
class FlatSceneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_.Write("Fog.hlsl", kFlatShader);
    folder_.Write("green.bmp", SolidBmp(4, 4, 0, 255, 0));
    WriteModel("Sky_Sphere_R10", "", ModelText("Sky_Sphere_R10.mtl"));
  }

  void WriteModel(const std::string& name, const std::string& library, const ModelText& model) {
    folder_.Write(name + ".mtl", library);
    folder_.Write(name + ".obj", model.Text());
  }

  // The scene mesh: one red square straight ahead of the starting camera.
  void WriteRedSquareScene(float z, float halfSize) {
    ModelText model("test.mtl");
    model.Square("Red", false, 0, 0.3f, z, halfSize);
    WriteModel("test", "newmtl Red\nKd 1 0 0\n", model);
  }

  // Starts a viewer in the folder and returns the back buffer after `frames` frames.
  Image Render(int frames = 1) {
    ViewerSession viewer;
    EXPECT_EQ(viewer.Start(), S_OK);
    if (g_app->swapChain == nullptr) return Image();
    for (int i = 0; i < frames; ++i) RenderFrame(viewer.App());
    return ReadBackBuffer(viewer.App());
  }

  DataFolder folder_;
};

struct Span {
  size_t count = 0;
  double centreX = 0;
};

// How many pixels have the colour, and the mean x of them.
Span Find(const Image& image, Rgb colour) {
  Span span;
  for (UINT y = 0; y < image.height; ++y)
    for (UINT x = 0; x < image.width; ++x) {
      Rgb p = image.At(x, y);
      if (p.r == colour.r && p.g == colour.g && p.b == colour.b) ++span.count, span.centreX += x;
    }
  if (span.count) span.centreX /= span.count;
  return span;
}

const char kTexturedThenPlain[] = "newmtl Tex\nKa 1 1 1\nmap_Kd green.bmp\nnewmtl Plain\nKa 1 1 1\n";
const char kPlainThenTextured[] = "newmtl Plain\nKa 1 1 1\nnewmtl Tex\nKa 1 1 1\nmap_Kd green.bmp\n";

ModelText TexturedAndPlainSquares() {
  ModelText model("test.mtl");
  model.Square("Tex", true, -0.4f, 0.3f, 2.0f, 0.3f);
  model.Square("Plain", false, 0.4f, 0.3f, 2.0f, 0.3f);
  return model;
}

TEST_F(FlatSceneTest, UntexturedMaterialSamplesTheTextureBoundBeforeIt) {
  // Drawn after the textured material of the same mesh: t0 still holds the green texture.
  WriteModel("test", kTexturedThenPlain, TexturedAndPlainSquares());
  Image image = Render();
  ASSERT_EQ(image.width, 640u);
  Span green = Find(image, kGreen);
  EXPECT_GT(green.count, 2u * 5000u) << "both squares green";
  EXPECT_NEAR(green.centreX, 320, 20) << "the squares lie left and right of the centre alike";
  EXPECT_EQ(Find(image, kBlack).count, 0u);
}

TEST_F(FlatSceneTest, UntexturedMaterialDrawnFirstKeepsLastFramesTexture) {
  // In the first frame nothing is bound at t0 yet, which samples as zero; from the second frame on the
  // texture bound by the previous frame's textured material is still there.
  WriteModel("test", kPlainThenTextured, TexturedAndPlainSquares());
  Image first = Render(1);
  Span black = Find(first, kBlack);
  EXPECT_GT(black.count, 5000u);
  EXPECT_GT(black.centreX, 320) << "the plain square is the right one";

  Image second = Render(2);
  EXPECT_EQ(Find(second, kBlack).count, 0u);
  EXPECT_NEAR(Find(second, kGreen).count, 2.0 * Find(first, kGreen).count, 200);
}

TEST_F(FlatSceneTest, SceneIsDrawnBeforeSkyWithDepthTest) {
  WriteRedSquareScene(2.0f, 0.3f);
  const std::string skyLibrary = "newmtl Green\nKd 0 1 0\n";
  struct Case {
    float skyDepth;
    Rgb expected;
    const char* why;
  } cases[] = {
      {2.0f, kRed, "same depth: the sky, drawn second, fails the LESS test"},
      {1.5f, kGreen, "sky nearer: it covers the scene"},
      {3.0f, kRed, "sky farther: the scene stays in front"},
  };
  for (const Case& c : cases) {
    ModelText sky("Sky_Sphere_R10.mtl");
    sky.Square("Green", false, 0, 0.3f, c.skyDepth, 0.3f);
    WriteModel("Sky_Sphere_R10", skyLibrary, sky);
    Image image = Render();
    ASSERT_EQ(image.height, 480u);
    Rgb centre = image.At(320, 260);  // the squares sit just below the centre: the camera looks up a little
    EXPECT_TRUE(centre.r == c.expected.r && centre.g == c.expected.g && centre.b == c.expected.b)
        << c.why << ": (" << centre.r << ", " << centre.g << ", " << centre.b << ")";
    EXPECT_GT(image.Count(kClear, 0), 100000u) << "the clear colour shows around the squares";
  }
}

TEST_F(FlatSceneTest, CameraMovesTheView) {
  WriteRedSquareScene(1.0f, 0.1f);
  ViewerSession viewer;
  ASSERT_EQ(viewer.Start(), S_OK);
  Application& app = viewer.App();
  RenderFrame(app);
  Span start = Find(ReadBackBuffer(app), kRed);

  app.cameraPosition.z += 0.4f;  // 1.1 to 0.7 units away: the area grows by (1.1 / 0.7)^2
  RenderFrame(app);
  Span nearer = Find(ReadBackBuffer(app), kRed);
  EXPECT_NEAR(double(nearer.count) / start.count, (1.1 * 1.1) / (0.7 * 0.7), 0.25);
  EXPECT_NEAR(nearer.centreX, 320, 2);

  app.cameraPosition.x += 0.1f;  // stepping right moves the square left
  RenderFrame(app);
  Span right = Find(ReadBackBuffer(app), kRed);
  EXPECT_LT(right.centreX, 320 - 50);
}

TEST_F(FlatSceneTest, MaterialBlockHoldsTheLastDrawnMaterialsColours) {
  WriteRedSquareScene(2.0f, 0.3f);
  ModelText sky("Sky_Sphere_R10.mtl");
  sky.Square("Sky", false, 0, 0.3f, 5.0f, 0.3f);
  // No "Ks": the specular colour stays (0, 0, 0, 0), alpha included.
  WriteModel("Sky_Sphere_R10", "newmtl Sky\nKa 0.25 0.5 0.75\nKd 0.125 0.375 0.625\n", sky);
  ViewerSession viewer;
  ASSERT_EQ(viewer.Start(), S_OK);
  RenderFrame(viewer.App());
  std::vector<float> block = ReadFloats(viewer.App(), viewer.App().materialConstantBuffer);
  const std::vector<float> expected = {0.25f, 0.5f, 0.75f, 1, 0.125f, 0.375f, 0.625f, 1, 0, 0, 0, 0};
  EXPECT_EQ(block, expected);
}

TEST_F(FlatSceneTest, MeshWithoutItsMaterialArrayDrawsNothing) {
  WriteRedSquareScene(2.0f, 0.3f);
  {
    // The state a failed material library leaves: a count, but no array.
    ViewerSession viewer;
    ASSERT_EQ(viewer.Start(), S_OK);
    RenderFrame(viewer.App());
    EXPECT_GT(Find(ReadBackBuffer(viewer.App()), kRed).count, 5000u) << "with its materials the square shows";
    Mesh& mesh = viewer.App().sceneMesh;
    ASSERT_EQ(mesh.materialCount, 1u);
    Material* materials = mesh.materials;
    mesh.materials = nullptr;
    RenderFrame(viewer.App());
    EXPECT_EQ(ReadBackBuffer(viewer.App()).Count(kClear, 0), 640u * 480u);
    mesh.materials = materials;
  }
  // The same through the files: the library names a texture that is not there.
  folder_.Write("test.mtl", "newmtl Red\nKd 1 0 0\nmap_Kd missing.bmp\n");
  Image image = Render();
  EXPECT_EQ(image.Count(kClear, 0), 640u * 480u);
}

// Passes every call on to a real device but refuses vertex buffers, as a device short of memory would. It
// keeps a reference to each buffer it makes, so that a test can tell when nothing else holds them.
class VertexBufferRefusingDevice : public ID3D11Device {
 public:
  explicit VertexBufferRefusingDevice(ID3D11Device* device) : device_(device) {}
  std::vector<ID3D11Buffer*> made;

  HRESULT STDMETHODCALLTYPE CreateBuffer(const D3D11_BUFFER_DESC* desc, const D3D11_SUBRESOURCE_DATA* data,
                                         ID3D11Buffer** buffer) override {
    *buffer = nullptr;
    if (desc->BindFlags & D3D11_BIND_VERTEX_BUFFER) return E_OUTOFMEMORY;
    const HRESULT hr = device_->CreateBuffer(desc, data, buffer);
    if (SUCCEEDED(hr)) made.push_back(*buffer), (*buffer)->AddRef();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
    return device_->QueryInterface(id, object);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return device_->AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return device_->Release(); }
  HRESULT STDMETHODCALLTYPE CreateTexture2D(const D3D11_TEXTURE2D_DESC* desc, const D3D11_SUBRESOURCE_DATA* data,
                                            ID3D11Texture2D** texture) override {
    return device_->CreateTexture2D(desc, data, texture);
  }
  HRESULT STDMETHODCALLTYPE CreateShaderResourceView(ID3D11Resource* resource,
                                                     const D3D11_SHADER_RESOURCE_VIEW_DESC* desc,
                                                     ID3D11ShaderResourceView** view) override {
    return device_->CreateShaderResourceView(resource, desc, view);
  }
  HRESULT STDMETHODCALLTYPE CreateRenderTargetView(ID3D11Resource* resource, const D3D11_RENDER_TARGET_VIEW_DESC* desc,
                                                   ID3D11RenderTargetView** view) override {
    return device_->CreateRenderTargetView(resource, desc, view);
  }
  HRESULT STDMETHODCALLTYPE CreateDepthStencilView(ID3D11Resource* resource, const D3D11_DEPTH_STENCIL_VIEW_DESC* desc,
                                                   ID3D11DepthStencilView** view) override {
    return device_->CreateDepthStencilView(resource, desc, view);
  }
  HRESULT STDMETHODCALLTYPE CreateInputLayout(const D3D11_INPUT_ELEMENT_DESC* elements, UINT count, const void* code,
                                              SIZE_T length, ID3D11InputLayout** layout) override {
    return device_->CreateInputLayout(elements, count, code, length, layout);
  }
  HRESULT STDMETHODCALLTYPE CreateVertexShader(const void* code, SIZE_T length, ID3D11ClassLinkage* linkage,
                                               ID3D11VertexShader** shader) override {
    return device_->CreateVertexShader(code, length, linkage, shader);
  }
  HRESULT STDMETHODCALLTYPE CreatePixelShader(const void* code, SIZE_T length, ID3D11ClassLinkage* linkage,
                                              ID3D11PixelShader** shader) override {
    return device_->CreatePixelShader(code, length, linkage, shader);
  }
  HRESULT STDMETHODCALLTYPE CreateRasterizerState(const D3D11_RASTERIZER_DESC* desc,
                                                  ID3D11RasterizerState** state) override {
    return device_->CreateRasterizerState(desc, state);
  }
  HRESULT STDMETHODCALLTYPE CreateSamplerState(const D3D11_SAMPLER_DESC* desc, ID3D11SamplerState** state) override {
    return device_->CreateSamplerState(desc, state);
  }
  D3D_FEATURE_LEVEL STDMETHODCALLTYPE GetFeatureLevel() override { return device_->GetFeatureLevel(); }
  void STDMETHODCALLTYPE GetImmediateContext(ID3D11DeviceContext** context) override {
    device_->GetImmediateContext(context);
  }

 private:
  ID3D11Device* device_;
};

TEST_F(FlatSceneTest, MeshWhoseVertexBufferIsRefusedDrawsNothing) {
  WriteRedSquareScene(2.0f, 0.3f);
  ModelText sky("Sky_Sphere_R10.mtl");
  sky.Square("Sky", false, 0, 0.3f, 5.0f, 0.3f);
  WriteModel("Sky_Sphere_R10", "newmtl Sky\nKa 0.25 0.5 0.75\nKd 0 1 0\n", sky);
  std::vector<ID3D11Buffer*> made;
  {
    ViewerSession viewer;
    ASSERT_EQ(viewer.Start(), S_OK);
    Application& app = viewer.App();
    // The sky loaded again, into an empty mesh, through a device that refuses its vertex buffer. That
    // mesh takes the sky's place and is left to Cleanup.
    VertexBufferRefusingDevice refusing(app.device);
    ID3D11Device* device = app.device;
    Mesh refused = Mesh();
    app.device = &refusing;
    EXPECT_EQ(LoadMesh(app, "Sky_Sphere_R10.obj", refused), S_OK);
    app.device = device;
    made = refusing.made;
    EXPECT_EQ(refused.vertexBuffer, nullptr);
    EXPECT_EQ(refused.materialCount, 1u) << "only the buffers failed";
    std::swap(app.skyMesh, refused);
    ReleaseMeshBuffers(refused);
    DestroyMaterialArray(refused.materials);

    RenderFrame(app);
    const std::vector<float> red = {0, 0, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0};
    EXPECT_EQ(ReadFloats(app, app.materialConstantBuffer), red) << "the scene's material was the last drawn";
    Image image = ReadBackBuffer(app);
    EXPECT_GT(Find(image, kRed).count, 5000u);
    EXPECT_EQ(Find(image, kGreen).count, 0u);
  }
  EXPECT_FALSE(made.empty()) << "the index buffer was made";
  for (ID3D11Buffer* buffer : made) EXPECT_EQ(buffer->Release(), 0u) << "a buffer of the mesh outlived Cleanup";
}

}  // namespace
