// D3DX 11: the utility library over Direct3D 11 (shader compilation, texture loading).
#pragma once

#include <d3d11.h>
#include <d3dx11core.h>
#include <d3dx11tex.h>
#include <d3dx11async.h>
