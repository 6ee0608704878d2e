// The compiler process of D3DX11CompileFromFileW.
//
// glslang crashes on some malformed sources (a declaration like "float k[2 = 1.0;" is one), and a broken
// shader file must fail its compile, not end the program. Compiles therefore run in a compiler process
// forked on first use, which keeps glslang's tables of built-ins warm from one compile to the next and
// answers over a socket. When it dies, or takes longer than its time limit, that compile fails with a
// message saying so, and the next compile forks a new one.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "d3dx/hlsl_front_end.h"

namespace platform {

struct CompileResult {
  HRESULT hr = E_FAIL;
  std::string messages;
  std::vector<unsigned char> code;  // SerializeShaderCode's bytes
};

// Front end and back end in the calling process.
CompileResult CompileInProcess(const HlslSource& source);

// The same in the compiler process, started if there is none; in the calling process when no process can
// be forked. The source's include handler is not called there: a source with one compiles in process.
CompileResult CompileInCompilerProcess(const HlslSource& source);

// Starts the compiler process now, and has it build glslang's tables of HLSL built-ins while the caller
// goes on, so that the first D3DX11CompileFromFileW does not wait for them. The viewer's entry point calls
// it before WinMain, while the process has no other threads (it forks) and before the window and device
// take their time. Without it the process starts on the first compile, cold.
void StartShaderCompiler();

}  // namespace platform
