// D3DX 11 shader compilation from a file.
#pragma once

#include <d3d10shader.h>
#include <d3dcommon.h>
#include <d3dx11core.h>

// Compiles the entry point pFunctionName of an HLSL file for the profile pProfile.
//
// Linux: the HLSL goes through glslang to SPIR-V and through SPIRV-Cross to GLSL 4.50 for separable GL
// programs; *ppShader receives that GLSL with its binding reflection (platform/common/shader_code.h), which
// only this layer's CreateVertexShader, CreatePixelShader and CreateInputLayout understand.
// - Profiles: "vs_5_0" and "ps_5_0"; any other fails with E_FAIL and a message saying so.
// - pDefines: macros, terminated by an entry whose Name is null. pInclude: opens #include files (the
//   compiler calls Open and Close); null makes any #include a compile error, as on Windows.
// - Flags1: see d3d10shader.h. Flags2 (effect flags) is ignored.
// - pPump must be null (E_NOTIMPL otherwise): the call always runs synchronously.
// - Failure: *ppShader is null and *ppErrorMsgs (if requested) holds the messages as "file(line): error: ..."
//   text. A missing file fails with a message naming it; an entry point the file lacks fails with
//   "entry point 'X' not found". Warnings of a successful compile are returned in *ppErrorMsgs as well.
// - pHResult, when given, receives the returned value.
// - Without pInclude the compile runs in a compiler process forked from the caller at the first compile and
//   kept for the next ones: glslang crashes on some malformed sources, and such a file then fails with a
//   message saying so instead of ending the program. With pInclude it runs in the caller's process.
// Cbuffers use Direct3D's packing (a float3 may start at offset 4); every cbuffer is flattened into a vec4
// array uniform. Varyings are located by semantic (TEXCOORDn, COLORn and a fixed table), so a vertex and a
// pixel shader compiled separately link as on Direct3D.
#ifdef __cplusplus
extern "C" {
#endif

HRESULT WINAPI D3DX11CompileFromFileW(LPCWSTR pSrcFile, CONST D3D10_SHADER_MACRO* pDefines, LPD3D10INCLUDE pInclude,
                                      LPCSTR pFunctionName, LPCSTR pProfile, UINT Flags1, UINT Flags2,
                                      ID3DX11ThreadPump* pPump, ID3D10Blob** ppShader, ID3D10Blob** ppErrorMsgs,
                                      HRESULT* pHResult);

#ifdef __cplusplus
}
#endif

#ifdef UNICODE
#define D3DX11CompileFromFile D3DX11CompileFromFileW
#endif
