// Message boxes: SDL's simple message box, which blocks until the user closes it. The text is also
// written to standard error ("caption: text"), so that runs without anyone watching still show it; with
// no display that is all that happens, and the result is IDOK as if the user had pressed OK.
#include <stdio.h>

#include "common/text.h"
#include "win32/window.h"

namespace {

Uint32 SdlMessageBoxFlags(UINT type) {
  switch (type & 0xF0) {
    case MB_ICONERROR:
      return SDL_MESSAGEBOX_ERROR;
    case MB_ICONWARNING:
      return SDL_MESSAGEBOX_WARNING;
    default:
      return SDL_MESSAGEBOX_INFORMATION;
  }
}

}  // namespace

// Only OK boxes: every type returns IDOK. A null caption reads "Error", as on Windows.
int WINAPI MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType) {
  const std::string text = platform::WideToUtf8(lpText);
  const std::string caption = lpCaption == nullptr ? "Error" : platform::WideToUtf8(lpCaption);
  fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  fflush(stderr);
  if (platform::EnsureSdlVideo()) {
    SDL_ShowSimpleMessageBox(SdlMessageBoxFlags(uType), caption.c_str(), text.c_str(),
                             platform::SdlWindowFromHwnd(hWnd));
  }
  return IDOK;
}
