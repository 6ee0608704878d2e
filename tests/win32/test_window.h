// A window class whose procedure records every message, and a fixture that leaves the queue, the key
// table and the set of windows as it found them.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "test_input.h"

struct ReceivedMessage {
  HWND hWnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

inline std::vector<ReceivedMessage> g_received;
inline CREATESTRUCTW g_lastCreate;  // as WM_CREATE brought it (its strings are not kept)

inline LRESULT CALLBACK RecordingWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  g_received.push_back(ReceivedMessage{hWnd, message, wParam, lParam});
  if (message == WM_CREATE) g_lastCreate = *reinterpret_cast<const CREATESTRUCTW*>(lParam);
  return DefWindowProcW(hWnd, message, wParam, lParam);
}

inline const wchar_t kRecordingClass[] = L"RecordingWindow";

inline void RegisterRecordingClass() {
  static bool registered = false;
  if (registered) return;
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = RecordingWndProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = kRecordingClass;
  registered = RegisterClassExW(&windowClass) != 0;
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterRecordingClass();
    DrainQueue();
    g_received.clear();
  }

  void TearDown() override {
    for (HWND hWnd : windows_) DestroyWindow(hWnd);
    DrainQueue();
    g_received.clear();
  }

  // A shown window may receive pointer input (the pointer may lie inside it); a hidden one receives only
  // what is posted to it.
  HWND CreateShownWindow(const wchar_t* title = L"test") {
    HWND hWnd = CreateHiddenWindow(title);
    if (hWnd != nullptr) ShowWindow(hWnd, SW_SHOW);
    return hWnd;
  }

  HWND CreateHiddenWindow(const wchar_t* title = L"test", LPVOID parameter = nullptr) {
    HWND hWnd = CreateWindowExW(0, kRecordingClass, title, WS_OVERLAPPEDWINDOW, 0, 0, 640, 480, nullptr, nullptr,
                                GetModuleHandleW(nullptr), parameter);
    if (hWnd != nullptr) windows_.push_back(hWnd);
    return hWnd;
  }

  // The messages the recording procedure saw, in order.
  static std::vector<UINT> ReceivedKinds() {
    std::vector<UINT> kinds;
    for (const ReceivedMessage& received : g_received) kinds.push_back(received.message);
    return kinds;
  }

 private:
  std::vector<HWND> windows_;
};
