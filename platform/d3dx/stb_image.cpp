// stb_image's implementation, configured for the texture loader (d3dx/image_decode.cpp calls it).
#include <d3d11.h>
#include <stdlib.h>

// Decoding only the formats D3DX's loader is asked for keeps the rest of stb_image out.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_BMP
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_TGA
#define STBI_NO_STDIO
#define STBI_MAX_DIMENSIONS D3D11_REQ_TEXTURE2D_U_OR_V_DIMENSION
// Zeroed allocations: a decoder that skips a short read leaves zeros, never uninitialised memory.
#define STBI_MALLOC(size) calloc(1, size)
#define STBI_REALLOC(pointer, size) realloc(pointer, size)
#define STBI_FREE(pointer) free(pointer)
#if defined(__GNUC__)
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#endif
#include <stb_image.h>
