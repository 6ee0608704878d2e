// D3DX 10 math for the MinGW-w64 build, which lacks this header. D3DX 10 keeps D3DX 9's matrix and
// vector types and function names, and d3dx10_43 exports those functions, so MinGW's d3dx9math.h
// declares exactly what is linked from d3dx10_43.
#pragma once

#include <d3dx9math.h>
