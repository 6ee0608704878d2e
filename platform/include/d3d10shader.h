// Shader compile flags of Direct3D 10, taken by D3DX11CompileFromFileW (Flags1).
//
// Linux: the HLSL compiler accepts every flag and keeps its behaviour: D3D10_SHADER_DEBUG adds no debug
// information and D3D10_SHADER_SKIP_OPTIMIZATION still runs the SPIR-V optimiser, whose legalisation the
// GLSL translation needs.
#pragma once

#include <d3dcommon.h>

#define D3D10_SHADER_DEBUG (1 << 0)
#define D3D10_SHADER_SKIP_VALIDATION (1 << 1)
#define D3D10_SHADER_SKIP_OPTIMIZATION (1 << 2)
