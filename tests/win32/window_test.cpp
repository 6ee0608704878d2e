// Window classes and windows: creation, the create parameters, sizes, visibility, titles and destruction.
#include "win32/window.h"

#include <SDL.h>

#include <string>

#include "test_window.h"

namespace {

using ::testing::ElementsAre;

TEST(WindowClassTest, RejectsInvalidAndDuplicateRegistrations) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = DefWindowProcW;
  windowClass.lpszClassName = L"DuplicateCheck";
  EXPECT_NE(RegisterClassExW(&windowClass), 0);

  windowClass.lpszClassName = L"duplicatecheck";  // class names ignore case
  EXPECT_EQ(RegisterClassExW(&windowClass), 0);

  windowClass.lpszClassName = L"WrongSize";
  windowClass.cbSize = sizeof(windowClass) - 8;
  EXPECT_EQ(RegisterClassExW(&windowClass), 0);

  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = nullptr;
  EXPECT_EQ(RegisterClassExW(&windowClass), 0);
  EXPECT_EQ(RegisterClassExW(nullptr), 0);
}

TEST_F(WindowTest, UnknownClassCreatesNothing) {
  EXPECT_EQ(CreateWindowExW(0, L"NeverRegistered", L"x", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480, nullptr, nullptr, nullptr,
                            nullptr),
            nullptr);
  EXPECT_TRUE(g_received.empty());
}

TEST_F(WindowTest, CreationSendsWmCreateFirstWithTheParameterAndOuterSize) {
  int parameter = 0;
  HWND hWnd = CreateHiddenWindow(L"create", &parameter);
  ASSERT_NE(hWnd, nullptr);
  EXPECT_TRUE(IsWindow(hWnd));
  ASSERT_FALSE(g_received.empty());
  EXPECT_EQ(g_received[0].hWnd, hWnd);
  EXPECT_EQ(g_received[0].message, static_cast<UINT>(WM_CREATE));
  EXPECT_EQ(g_lastCreate.lpCreateParams, &parameter);
  EXPECT_EQ(g_lastCreate.cx, 640);
  EXPECT_EQ(g_lastCreate.cy, 480);
  EXPECT_EQ(g_lastCreate.style, static_cast<LONG>(WS_OVERLAPPEDWINDOW));
  EXPECT_EQ(FindWindowW(kRecordingClass, L"create"), hWnd);
  EXPECT_EQ(FindWindowW(L"recordingwindow", L"create"), hWnd);
  EXPECT_EQ(FindWindowW(kRecordingClass, L"Create"), nullptr);  // titles compare exactly
}

LRESULT CALLBACK RefusingProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  RecordingWndProc(hWnd, message, wParam, lParam);
  return message == WM_CREATE ? -1 : 0;
}

TEST_F(WindowTest, CreateAnsweredWithMinusOneLeavesNoWindow) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = RefusingProc;
  windowClass.lpszClassName = L"RefusingWindow";
  ASSERT_NE(RegisterClassExW(&windowClass), 0);
  EXPECT_EQ(CreateWindowExW(0, L"RefusingWindow", L"", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480, nullptr, nullptr, nullptr,
                            nullptr),
            nullptr);
  EXPECT_THAT(ReceivedKinds(), ElementsAre(static_cast<UINT>(WM_CREATE), static_cast<UINT>(WM_DESTROY),
                                           static_cast<UINT>(WM_NCDESTROY)));
  EXPECT_EQ(FindWindowW(L"RefusingWindow", nullptr), nullptr);
}

TEST_F(WindowTest, OuterSizeIncludesTheFrame) {
  HWND hWnd = CreateShownWindow();
  ASSERT_NE(hWnd, nullptr);
  RECT client{-1, -1, -1, -1};
  ASSERT_TRUE(GetClientRect(hWnd, &client));
  // 8-pixel sizing borders and a 23-pixel caption around a 640 x 480 WS_OVERLAPPEDWINDOW.
  EXPECT_EQ(client.left, 0);
  EXPECT_EQ(client.top, 0);
  EXPECT_EQ(client.right, 624);
  EXPECT_EQ(client.bottom, 441);
  EXPECT_FALSE(GetClientRect(nullptr, &client));
}

TEST_F(WindowTest, HiddenUntilShown) {
  HWND hWnd = CreateWindowExW(0, kRecordingClass, L"hidden", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480, nullptr, nullptr,
                              nullptr, nullptr);
  ASSERT_NE(hWnd, nullptr);
  EXPECT_FALSE(SDL_GetWindowFlags(platform::SdlWindowFromHwnd(hWnd)) & SDL_WINDOW_SHOWN);
  EXPECT_FALSE(ShowWindow(hWnd, SW_SHOW));  // it was hidden
  EXPECT_TRUE(ShowWindow(hWnd, SW_SHOW));   // now it was visible
  EXPECT_TRUE(SDL_GetWindowFlags(platform::SdlWindowFromHwnd(hWnd)) & SDL_WINDOW_SHOWN);
  EXPECT_TRUE(SDL_GetWindowFlags(platform::SdlWindowFromHwnd(hWnd)) & SDL_WINDOW_RESIZABLE);
  EXPECT_TRUE(ShowWindow(hWnd, SW_HIDE));
  EXPECT_FALSE(ShowWindow(hWnd, SW_SHOW));
  EXPECT_TRUE(UpdateWindow(hWnd));
  EXPECT_TRUE(DestroyWindow(hWnd));
  EXPECT_FALSE(ShowWindow(hWnd, SW_SHOW));
}

TEST_F(WindowTest, TitleReachesSdlAsUtf8) {
  const wchar_t title[] = L"ミレルーン　WSAD,QEでカメラ移動 ZXでフォグ濃度";
  HWND hWnd = CreateShownWindow(title);
  ASSERT_NE(hWnd, nullptr);
  EXPECT_EQ(std::string(SDL_GetWindowTitle(platform::SdlWindowFromHwnd(hWnd))),
            "\xE3\x83\x9F\xE3\x83\xAC\xE3\x83\xAB\xE3\x83\xBC\xE3\x83\xB3\xE3\x80\x80"  // ミレルーン + U+3000
            "WSAD,QE\xE3\x81\xA7\xE3\x82\xAB\xE3\x83\xA1\xE3\x83\xA9\xE7\xA7\xBB\xE5\x8B\x95"
            " ZX\xE3\x81\xA7\xE3\x83\x95\xE3\x82\xA9\xE3\x82\xB0\xE6\xBF\x83\xE5\xBA\xA6");
  EXPECT_EQ(FindWindowW(kRecordingClass, title), hWnd);
  EXPECT_EQ(FindWindowW(kRecordingClass, L"ミレルーン WSAD,QEでカメラ移動 ZXでフォグ濃度"), nullptr);  // ASCII space
}

TEST_F(WindowTest, DestroySendsDestroyMessagesAndInvalidatesTheHandle) {
  HWND hWnd = CreateShownWindow();
  ASSERT_NE(hWnd, nullptr);
  ASSERT_NE(platform::SdlWindowFromHwnd(hWnd), nullptr);
  g_received.clear();
  EXPECT_TRUE(DestroyWindow(hWnd));
  EXPECT_THAT(ReceivedKinds(), ElementsAre(static_cast<UINT>(WM_DESTROY), static_cast<UINT>(WM_NCDESTROY)));
  EXPECT_FALSE(IsWindow(hWnd));
  EXPECT_EQ(platform::SdlWindowFromHwnd(hWnd), nullptr);
  EXPECT_FALSE(DestroyWindow(hWnd));

  // A later window never reuses the handle.
  HWND next = CreateShownWindow();
  EXPECT_NE(next, hWnd);
  EXPECT_EQ(platform::SdlWindowFromHwnd(nullptr), nullptr);
  EXPECT_EQ(platform::SdlWindowFromHwnd(reinterpret_cast<HWND>(static_cast<ULONG_PTR>(0x1234))), nullptr);
}

}  // namespace
