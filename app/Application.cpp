// The application record, the program's entry point and its shutdown.
#include "app/Application.h"

#include <new>

#include "app/Window.h"
#include "graphics/Device.h"

Application* g_app = NULL;

Application::Application() {
  ZeroMemory((void*)this, sizeof(Application));
  lightDirection = D3DXVECTOR4(0.0f, 1.0f, 0.0f, 0.0f);
  cameraPosition = D3DXVECTOR3(0.0f, 0.3f, -0.1f);
  fogDensity = 1.0f;
  textureBias = D3DXMATRIX(0.5f, 0.0f, 0.0f, 0.0f,
                           0.0f, -0.5f, 0.0f, 0.0f,
                           0.0f, 0.0f, 1.0f, 0.0f,
                           0.5f, 0.5f, 0.0f, 1.0f);
}

namespace {

template <typename T>
void SafeRelease(T*& object) {
  if (object != NULL) {
    object->Release();
    object = NULL;
  }
}

void DestroyMaterials(Mesh& mesh) {
  if (mesh.materials != NULL) {
    DestroyMaterialArray(mesh.materials);
    mesh.materials = NULL;
  }
}

}  // namespace

void Cleanup() {
  SafeRelease(g_app->sharedTexture);
  SafeRelease(g_app->rasterizerState);
  SafeRelease(g_app->frameConstantBuffer);
  SafeRelease(g_app->objectConstantBuffer);
  SafeRelease(g_app->materialConstantBuffer);
  SafeRelease(g_app->vertexShader);
  SafeRelease(g_app->pixelShader);
  SafeRelease(g_app->inputLayout);
  SafeRelease(g_app->swapChain);
  SafeRelease(g_app->renderTargetView);
  SafeRelease(g_app->depthStencilView);
  SafeRelease(g_app->depthStencilTexture);
  SafeRelease(g_app->device);
  SafeRelease(g_app->samplerState);
  DestroyMaterials(g_app->sceneMesh);
  DestroyMaterials(g_app->skyMesh);

  // Not strictly needed before the process ends, but it leaves nothing behind.
  SafeRelease(g_app->context);
  ReleaseMeshBuffers(g_app->sceneMesh);
  ReleaseMeshBuffers(g_app->skyMesh);
}

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow) {
  UNREFERENCED_PARAMETER(hPrevInstance);
  UNREFERENCED_PARAMETER(lpCmdLine);
  UNREFERENCED_PARAMETER(nCmdShow);

  g_app = new (std::nothrow) Application();
  if (g_app == NULL) return 0;

  if (SUCCEEDED(InitWindow(hInstance)) && SUCCEEDED(InitDevice())) MessageLoop();
  Cleanup();

  delete g_app;
  g_app = NULL;
  return 0;
}
