// Layer-internal: the message queue's hooks for the window family.
#pragma once

#include <windows.h>

namespace platform {

// Drops the messages still queued for a window that is being destroyed.
void DiscardMessagesFor(HWND hWnd);

}  // namespace platform
