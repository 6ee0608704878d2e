#include "implementation_gaps.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace d3d11_test {

#ifdef _WIN32

const char* WineVersion() {
  using Version = const char*(CDECL*)();
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  auto version = ntdll ? reinterpret_cast<Version>(reinterpret_cast<void*>(GetProcAddress(ntdll, "wine_get_version"))) : nullptr;
  return version ? version() : nullptr;
}

namespace {

// Raised by an entry point that is exported but not implemented (Wine's stubs).
constexpr DWORD kUnimplementedEntryPoint = 0x80000100;

void* g_resume[5];  // __builtin_setjmp's buffer
bool g_guarding = false;
DWORD g_caught = 0;

LONG CALLBACK OnException(EXCEPTION_POINTERS* exception) {
  if (!g_guarding || exception->ExceptionRecord->ExceptionCode != kUnimplementedEntryPoint)
    return EXCEPTION_CONTINUE_SEARCH;
  g_guarding = false;
  g_caught = exception->ExceptionRecord->ExceptionCode;
  __builtin_longjmp(g_resume, 1);  // back into CallReturns: the call never returns by itself
}

}  // namespace

__attribute__((noinline)) bool CallReturns(void (*call)(void*), void* argument, unsigned long* exceptionCode) {
  PVOID handler = AddVectoredExceptionHandler(1, OnException);
  bool returned = false;
  if (__builtin_setjmp(g_resume) == 0) {
    g_guarding = true;
    call(argument);
    g_guarding = false;
    returned = true;
  }
  RemoveVectoredExceptionHandler(handler);
  *exceptionCode = returned ? 0 : g_caught;
  return returned;
}

#else

const char* WineVersion() { return nullptr; }

bool CallReturns(void (*call)(void*), void* argument, unsigned long* exceptionCode) {
  call(argument);
  *exceptionCode = 0;
  return true;
}

#endif

std::string NotImplementedConstruct(const std::string& errors) {
  for (size_t start = 0; start < errors.size();) {
    size_t end = errors.find('\n', start);
    if (end == std::string::npos) end = errors.size();
    const std::string line = errors.substr(start, end - start);
    if (line.find("not implemented") != std::string::npos || line.find("not yet implemented") != std::string::npos)
      return line;
    start = end + 1;
  }
  return "";
}

}  // namespace d3d11_test
