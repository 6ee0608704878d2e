#include "d3d11/resource.h"

namespace platform::d3d11 {

bool UsageAllowed(D3D11_USAGE usage, UINT bindFlags, UINT cpuAccessFlags, bool hasInitialData) {
  const UINT cpuMask = D3D11_CPU_ACCESS_READ | D3D11_CPU_ACCESS_WRITE;
  if (cpuAccessFlags & ~cpuMask) return false;
  switch (usage) {
    case D3D11_USAGE_DEFAULT: return cpuAccessFlags == 0;
    case D3D11_USAGE_IMMUTABLE: return cpuAccessFlags == 0 && hasInitialData;
    case D3D11_USAGE_DYNAMIC:
      return cpuAccessFlags == D3D11_CPU_ACCESS_WRITE &&
             !(bindFlags & (D3D11_BIND_RENDER_TARGET | D3D11_BIND_DEPTH_STENCIL | D3D11_BIND_UNORDERED_ACCESS));
    case D3D11_USAGE_STAGING: return cpuAccessFlags != 0 && bindFlags == 0;
    default: return false;
  }
}

bool MapAllowed(D3D11_USAGE usage, UINT cpuAccessFlags, D3D11_MAP mapType, bool noOverwrite) {
  const bool read = cpuAccessFlags & D3D11_CPU_ACCESS_READ;
  const bool write = cpuAccessFlags & D3D11_CPU_ACCESS_WRITE;
  if (usage == D3D11_USAGE_DYNAMIC)
    return mapType == D3D11_MAP_WRITE_DISCARD || (noOverwrite && mapType == D3D11_MAP_WRITE_NO_OVERWRITE);
  if (usage != D3D11_USAGE_STAGING) return false;
  switch (mapType) {
    case D3D11_MAP_READ: return read;
    case D3D11_MAP_WRITE: return write;
    case D3D11_MAP_READ_WRITE: return read && write;
    default: return false;
  }
}

uint64_t NextContentStamp() {
  static uint64_t stamp = 0;
  return ++stamp;
}

}  // namespace platform::d3d11
