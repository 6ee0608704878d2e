// The window, its procedure, and the main loop that renders whenever no message is waiting.
#include "app/Window.h"

#include "app/Application.h"
#include "render/Render.h"

namespace {

// Class name and title. The character after the first word is an ideographic space (U+3000).
const wchar_t kWindowText[] = L"ミレルーン　WSAD,QEでカメラ移動 ZXでフォグ濃度";
const int kWindowWidth = 640;
const int kWindowHeight = 480;

enum ControlledValue { kCameraX, kCameraY, kCameraZ, kFogDensity };

struct KeyControl {
  int virtualKey;
  ControlledValue target;
  double step;
};

// Tested in this order, each on its own, so opposite keys held together cancel.
const KeyControl kKeyControls[] = {
    {'W', kCameraZ, +0.0001},
    {'S', kCameraZ, -0.0001},
    {'A', kCameraX, -0.0001},
    {'D', kCameraX, +0.0001},
    {'Q', kCameraY, -0.0001},
    {'E', kCameraY, +0.0001},
    {'Z', kFogDensity, +0.0003},
    {'X', kFogDensity, -0.0003},
};

float& Value(Application& app, ControlledValue target) {
  switch (target) {
    case kCameraX:
      return app.cameraPosition.x;
    case kCameraY:
      return app.cameraPosition.y;
    case kCameraZ:
      return app.cameraPosition.z;
    default:
      return app.fogDensity;
  }
}

void ApplyHeldKeys(Application& app) {
  for (const KeyControl& control : kKeyControls) {
    if (GetKeyState(control.virtualKey) & 0x80) {
      float& value = Value(app, control.target);
      value = static_cast<float>(value + control.step);  // the step is added in double precision
    }
  }
}

}  // namespace

HRESULT InitWindow(HINSTANCE hInstance) {
  WNDCLASSEXW windowClass;
  ZeroMemory(&windowClass, sizeof(windowClass));
  windowClass.cbSize = sizeof(WNDCLASSEXW);
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = WndProc;
  windowClass.hInstance = hInstance;
  windowClass.hIcon = LoadIconW(NULL, IDI_APPLICATION);
  windowClass.hCursor = LoadCursorW(NULL, IDC_ARROW);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
  windowClass.lpszClassName = kWindowText;
  windowClass.hIconSm = LoadIconW(NULL, IDI_APPLICATION);
  RegisterClassExW(&windowClass);

  g_app->hWnd = CreateWindowExW(0, kWindowText, kWindowText, WS_OVERLAPPEDWINDOW, 0, 0, kWindowWidth,
                                kWindowHeight, NULL, NULL, hInstance, NULL);
  if (g_app->hWnd == NULL) return E_FAIL;

  ShowWindow(g_app->hWnd, SW_SHOW);
  UpdateWindow(g_app->hWnd);
  return S_OK;
}

// Escape ends the program without destroying the window first.
LRESULT CALLBACK WndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY || (message == WM_KEYDOWN && wParam == VK_ESCAPE)) PostQuitMessage(0);
  return DefWindowProcW(hWnd, message, wParam, lParam);
}

// Each pass either hands one message on or, with the queue empty, moves the camera and draws a frame.
void MessageLoop() {
  MSG msg;
  ZeroMemory(&msg, sizeof(msg));
  while (msg.message != WM_QUIT) {
    if (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    } else {
      ApplyHeldKeys(*g_app);
      RenderFrame(*g_app);
    }
  }
}
