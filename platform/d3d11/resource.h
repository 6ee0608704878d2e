// Rules shared by buffers and textures: which usage, bind and CPU-access combinations Direct3D accepts,
// and which Map types each usage allows.
#pragma once

#include <d3d11.h>

#include <stdint.h>

namespace platform::d3d11 {

// DEFAULT: no CPU access. IMMUTABLE: no CPU access, initial data required. DYNAMIC: CPU write only, not
// a render target or depth-stencil. STAGING: some CPU access and no bind flags.
bool UsageAllowed(D3D11_USAGE usage, UINT bindFlags, UINT cpuAccessFlags, bool hasInitialData);

// DYNAMIC: WRITE_DISCARD, and WRITE_NO_OVERWRITE where noOverwrite allows it. STAGING: READ, WRITE or
// READ_WRITE as the CPU access flags allow. Nothing else can be mapped.
bool MapAllowed(D3D11_USAGE usage, UINT cpuAccessFlags, D3D11_MAP mapType, bool noOverwrite);

// A value that changes whenever the contents of a CPU-side resource change: unique across the process,
// so "same stamp" means "same buffer, same contents".
uint64_t NextContentStamp();

}  // namespace platform::d3d11
