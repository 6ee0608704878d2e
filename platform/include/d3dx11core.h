// D3DX 11 core declarations: the thread pump that asynchronous D3DX calls may take.
//
// Linux: there is no thread pump; every D3DX11 call runs synchronously and takes a null pPump only.
#pragma once

#include <unknwn.h>

struct ID3DX11ThreadPump;
