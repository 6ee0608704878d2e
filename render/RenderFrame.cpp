// One frame: clear, camera, frame constants, the scene and then the sky, present.
#include "render/Render.h"

#include "graphics/ShaderConstants.h"

static const FLOAT kClearColor[4] = {0.0f, 0.0f, 1.0f, 1.0f};
static const float kFieldOfView = 1.04719758f;  // pi / 3, bits 0x3F860A92
static const float kAspectRatio = 1.33333337f;  // 4 / 3, bits 0x3FAAAAAB
static const float kNearPlane = 0.1f;
static const float kFarPlane = 100.0f;

static void BindConstantBuffers(Application& app) {
  ID3D11Buffer* const buffers[3] = {app.frameConstantBuffer, app.objectConstantBuffer, app.materialConstantBuffer};
  for (UINT slot = 0; slot < 3; ++slot) {
    app.context->VSSetConstantBuffers(slot, 1, &buffers[slot]);
    app.context->PSSetConstantBuffers(slot, 1, &buffers[slot]);
  }
}

// The camera looks along +z, tilted slightly upward; the keys only translate it.
static void UpdateCamera(Application& app) {
  const D3DXVECTOR3 eye = app.cameraPosition;
  const D3DXVECTOR3 lookAt(eye.x, eye.y + 0.01f, eye.z + 0.1f);
  const D3DXVECTOR3 up(0.0f, 1.0f, 0.0f);
  D3DXMatrixLookAtLH(&app.view, &eye, &lookAt, &up);
  D3DXMatrixPerspectiveFovLH(&app.projection, kFieldOfView, kAspectRatio, kNearPlane, kFarPlane);
}

static void WriteFrameConstants(Application& app) {
  FrameConstants constants = {};  // the padding is written as zero
  D3DXVec4Normalize(&constants.lightDirection, &app.lightDirection);
  constants.fogDensity = app.fogDensity;
  constants.eyePosition = D3DXVECTOR4(app.cameraPosition.x, app.cameraPosition.y, app.cameraPosition.z, 0.0f);
  constants.fogColor = D3DXVECTOR4(1.0f, 1.0f, 1.0f, 1.0f);
  constants.sharedTextureWeight = 0.5f;
  WriteConstants(app.context, app.frameConstantBuffer, &constants, sizeof(constants));
}

void RenderFrame(Application& app) {
  app.context->ClearRenderTargetView(app.renderTargetView, kClearColor);
  app.context->ClearDepthStencilView(app.depthStencilView, D3D11_CLEAR_DEPTH, 1.0f, 0);
  BindConstantBuffers(app);
  UpdateCamera(app);
  WriteFrameConstants(app);
  app.context->PSSetShaderResources(1, 1, &app.sharedTexture);

  D3DXMatrixIdentity(&app.sceneMesh.world);
  DrawMesh(app, app.sceneMesh);
  D3DXMatrixIdentity(&app.skyMesh.world);
  DrawMesh(app, app.skyMesh);

  app.swapChain->Present(0, 0);
}
