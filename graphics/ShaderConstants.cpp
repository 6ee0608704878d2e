// Uploading a constant block.
#include "graphics/ShaderConstants.h"

#include <string.h>

void WriteConstants(ID3D11DeviceContext* context, ID3D11Buffer* buffer, const void* data, size_t size) {
  D3D11_MAPPED_SUBRESOURCE mapped;
  if (FAILED(context->Map(buffer, 0, D3D11_MAP_WRITE_DISCARD, 0, &mapped))) return;
  memcpy_s(mapped.pData, mapped.RowPitch, data, size);
  context->Unmap(buffer, 0);
}
