// Layer-internal control of the HLSL compiler behind D3DX11CompileFromFileW.
#pragma once

namespace platform {

// Starts the compiler process now, and has it build glslang's tables of HLSL built-ins while the caller
// goes on, so that the first D3DX11CompileFromFileW does not wait for them. The viewer's entry point calls
// it before WinMain, while the process has no other threads (it forks) and before the window and device
// take their time. Without it the process starts on the first compile, cold.
void StartShaderCompiler();

}  // namespace platform
