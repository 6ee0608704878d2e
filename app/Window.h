// The window, its procedure and the main loop with the key controls.
#pragma once

#include <windows.h>

HRESULT InitWindow(HINSTANCE hInstance);
LRESULT CALLBACK WndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
void MessageLoop();
