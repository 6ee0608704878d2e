// The Linux entry point: calls the program's WinMain as Windows' start-up code would, with the executable's
// instance handle, no previous instance, the command line after the program name and SW_SHOWDEFAULT.
#include <windows.h>

#include <string>

#include "d3dx/compiler_process.h"

namespace {

// The arguments joined back into one line, quoted where Windows' parser would need quotes to split them
// the same way again.
std::string CommandLineAfterProgramName(int argc, char** argv) {
  std::string commandLine;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (i > 1) commandLine += ' ';
    const bool needsQuotes = argument.empty() || argument.find_first_of(" \t") != std::string::npos;
    commandLine += needsQuotes ? '"' + argument + '"' : argument;
  }
  return commandLine;
}

}  // namespace

int main(int argc, char** argv) {
  platform::StartShaderCompiler();  // warms the HLSL compiler while WinMain creates the window
  std::string commandLine = CommandLineAfterProgramName(argc, argv);
  return WinMain(GetModuleHandleW(nullptr), nullptr, commandLine.data(), SW_SHOWDEFAULT);
}
