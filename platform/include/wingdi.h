// GDI: the stock objects a window class can name for its background.
#pragma once

#include <windef.h>

#define WHITE_BRUSH 0
#define LTGRAY_BRUSH 1
#define GRAY_BRUSH 2
#define DKGRAY_BRUSH 3
#define BLACK_BRUSH 4
#define NULL_BRUSH 5

// A stock brush. The handle only identifies it: windows here are drawn by OpenGL, so the class background
// is never painted. Indexes other than the brushes above give null.
HGDIOBJ WINAPI GetStockObject(int i);
