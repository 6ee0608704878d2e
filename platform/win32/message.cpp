// The thread's message queue and the input that feeds it. Posted messages and input share one queue in
// arrival order; SDL's events are turned into input messages each time the queue is looked at, and
// SendInput puts keys into SDL's event queue, so they arrive as a real key would. The key table follows
// the keyboard messages as they are removed, so GetKeyState reports the state as of the last message
// taken, as on Windows. The program has one thread, so there is one queue.
//
// The queue uses the window family (which window an SDL event belongs to, which one keyboard input goes
// to) and the key table; neither knows of the queue. Messages of a window destroyed since they were
// queued are dropped when the queue is next looked at: window handles are never reused, so such a message
// can never reach a window again.
#include <windows.h>

#include <deque>

#include "win32/keyboard.h"
#include "win32/window.h"

namespace {

struct QueuedMessage {
  MSG msg;
  bool isInput;  // keyboard input updates the key table when taken; posted messages do not
};

struct Queue {
  std::deque<QueuedMessage> messages;
  bool quitPosted = false;
  int exitCode = 0;
};

Queue& TheQueue() {
  static Queue queue;
  return queue;
}

void Enqueue(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam, bool isInput) {
  MSG msg{hWnd, message, wParam, lParam, SDL_GetTicks(), POINT{0, 0}};
  TheQueue().messages.push_back(QueuedMessage{msg, isInput});
}

// lParam of a key message: repeat count 1, bit 30 the previous state, bit 31 set for a release. Bits
// 16-23 (the PC scan code) stay 0: SDL reports USB usage codes.
LPARAM KeyLParam(const SDL_KeyboardEvent& key) {
  if (key.type == SDL_KEYUP) return static_cast<LPARAM>(0xC0000001u);
  return key.repeat ? static_cast<LPARAM>(0x40000001) : 1;
}

void EnqueueKey(const SDL_KeyboardEvent& key) {
  const int virtualKey = platform::VirtualKeyFromSdlKey(key.keysym.sym);
  // Without a focus window (no window manager) SDL leaves the window id 0; keys for a window that is gone
  // are dropped.
  HWND hWnd = key.windowID == 0 ? platform::KeyboardWindow() : platform::HwndFromSdlWindowId(key.windowID);
  if (virtualKey == 0 || hWnd == nullptr) return;
  Enqueue(hWnd, key.type == SDL_KEYDOWN ? WM_KEYDOWN : WM_KEYUP, virtualKey, KeyLParam(key), true);
}

void EnqueueMouseMove(const SDL_MouseMotionEvent& motion) {
  HWND hWnd = platform::HwndFromSdlWindowId(motion.windowID);
  if (hWnd == nullptr) return;
  WPARAM keys = 0;
  if (motion.state & SDL_BUTTON_LMASK) keys |= MK_LBUTTON;
  if (motion.state & SDL_BUTTON_RMASK) keys |= MK_RBUTTON;
  if (motion.state & SDL_BUTTON_MMASK) keys |= MK_MBUTTON;
  if (SDL_GetModState() & KMOD_SHIFT) keys |= MK_SHIFT;
  if (SDL_GetModState() & KMOD_CTRL) keys |= MK_CONTROL;
  Enqueue(hWnd, WM_MOUSEMOVE, keys, MAKELPARAM(motion.x, motion.y), false);
}

// The close button: Windows sends WM_CLOSE from the caption's WM_SYSCOMMAND; here it arrives through the
// queue, which the program's loop dispatches to the same window procedure.
void EnqueueWindowEvent(const SDL_WindowEvent& event) {
  HWND hWnd = platform::HwndFromSdlWindowId(event.windowID);
  if (event.event == SDL_WINDOWEVENT_CLOSE && hWnd != nullptr) Enqueue(hWnd, WM_CLOSE, 0, 0, false);
}

void TakeSdlEvents() {
  if (!SDL_WasInit(SDL_INIT_EVENTS)) return;
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    switch (event.type) {
      case SDL_KEYDOWN:
      case SDL_KEYUP:
        EnqueueKey(event.key);
        break;
      case SDL_MOUSEMOTION:
        EnqueueMouseMove(event.motion);
        break;
      case SDL_WINDOWEVENT:
        EnqueueWindowEvent(event.window);
        break;
      default:
        break;
    }
  }
}

bool Matches(const MSG& msg, HWND hWnd, UINT filterMin, UINT filterMax) {
  if (hWnd != nullptr && msg.hwnd != hWnd) return false;
  return (filterMin == 0 && filterMax == 0) || (msg.message >= filterMin && msg.message <= filterMax);
}

// As Windows does when a window is destroyed, its messages still queued go; thread messages stay.
void DropMessagesOfDestroyedWindows() {
  auto& messages = TheQueue().messages;
  for (auto it = messages.begin(); it != messages.end();) {
    it = it->msg.hwnd != nullptr && !IsWindow(it->msg.hwnd) ? messages.erase(it) : it + 1;
  }
}

}  // namespace

// Never waits. Takes the first message that passes the filters; WM_QUIT, which has no window, comes only
// when nothing else is waiting and hWnd is null. With PM_NOREMOVE the key table is left as it is.
// msg.pt is not tracked and stays (0, 0).
BOOL WINAPI PeekMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg) {
  if (lpMsg == nullptr) return FALSE;
  TakeSdlEvents();
  DropMessagesOfDestroyedWindows();
  Queue& queue = TheQueue();
  for (auto it = queue.messages.begin(); it != queue.messages.end(); ++it) {
    if (!Matches(it->msg, hWnd, wMsgFilterMin, wMsgFilterMax)) continue;
    *lpMsg = it->msg;
    if (wRemoveMsg & PM_REMOVE) {
      if (it->isInput) platform::UpdateKeyTable(it->msg.message, it->msg.wParam);
      queue.messages.erase(it);
    }
    return TRUE;
  }
  MSG quit{nullptr, WM_QUIT, static_cast<WPARAM>(queue.exitCode), 0, SDL_GetTicks(), POINT{0, 0}};
  if (!queue.quitPosted || !Matches(quit, hWnd, wMsgFilterMin, wMsgFilterMax)) return FALSE;
  *lpMsg = quit;
  if (wRemoveMsg & PM_REMOVE) queue.quitPosted = false;
  return TRUE;
}

// No character messages are made (nothing here reads WM_CHAR). As on Windows, the result is nonzero for
// key messages.
BOOL WINAPI TranslateMessage(const MSG* lpMsg) {
  return lpMsg != nullptr && (lpMsg->message == WM_KEYDOWN || lpMsg->message == WM_KEYUP) ? TRUE : FALSE;
}

// Calls the procedure of the message's window; 0 for thread messages and for windows gone since.
LRESULT WINAPI DispatchMessageW(const MSG* lpMsg) {
  if (lpMsg == nullptr || lpMsg->hwnd == nullptr) return 0;
  return SendMessageW(lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
}

// A null hWnd posts a thread message. Posted keyboard messages do not change the key table (as on
// Windows, only input does).
BOOL WINAPI PostMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  if (hWnd != nullptr && !IsWindow(hWnd)) return FALSE;
  Enqueue(hWnd, Msg, wParam, lParam, false);
  return TRUE;
}

void WINAPI PostQuitMessage(int nExitCode) {
  TheQueue().quitPosted = true;
  TheQueue().exitCode = nExitCode;
}

// Keyboard input goes, through SDL's event queue, to the window keyboard input goes to, exactly as a real
// key would. Mouse and hardware input, and keys without a virtual-key code here, are not supported and
// not counted. The result is the number of inputs inserted; 0 for a wrong cbSize.
UINT WINAPI SendInput(UINT cInputs, LPINPUT pInputs, int cbSize) {
  if (pInputs == nullptr || cbSize != static_cast<int>(sizeof(INPUT)) || !SDL_WasInit(SDL_INIT_EVENTS)) return 0;
  HWND target = platform::KeyboardWindow();
  SDL_Window* window = platform::SdlWindowFromHwnd(target);
  UINT inserted = 0;
  for (UINT i = 0; i < cInputs; ++i) {
    const SDL_Keycode key = platform::SdlKeyFromVirtualKey(pInputs[i].ki.wVk);
    if (pInputs[i].type != INPUT_KEYBOARD || key == SDLK_UNKNOWN) continue;
    const bool release = (pInputs[i].ki.dwFlags & KEYEVENTF_KEYUP) != 0;
    SDL_Event event{};
    event.key.type = release ? SDL_KEYUP : SDL_KEYDOWN;
    event.key.timestamp = SDL_GetTicks();
    event.key.windowID = window == nullptr ? 0 : SDL_GetWindowID(window);
    event.key.state = release ? SDL_RELEASED : SDL_PRESSED;
    event.key.keysym.sym = key;
    event.key.keysym.scancode = SDL_GetScancodeFromKey(key);
    if (SDL_PushEvent(&event) == 1) ++inserted;
  }
  return inserted;
}
