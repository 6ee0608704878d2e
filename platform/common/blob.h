// ID3D10Blob: an immutable byte buffer, used for compiled shader code and compiler messages.
#pragma once

#include <d3dcommon.h>

#include <string>

namespace platform {

// Returns a new blob (one reference) holding a copy of the bytes, or null when memory runs out.
ID3D10Blob* CreateBlob(const void* data, size_t size);
// A blob holding the text followed by a terminating NUL, as the compiler's error messages are.
ID3D10Blob* CreateTextBlob(const std::string& text);

}  // namespace platform
