// Text conversions at the layer's edges: Windows' wide strings to the UTF-8 that SDL, stdio and the
// file system take. wchar_t holds UTF-32 on Linux.
#pragma once

#include <string>

namespace platform {

// Invalid code points (surrogates, values past U+10FFFF) become U+FFFD. Null gives "".
std::string WideToUtf8(const wchar_t* text);

}  // namespace platform
