// Direct3D 11 set-up for the window, then everything the frame needs.
#pragma once

#include <windows.h>

HRESULT InitDevice();
