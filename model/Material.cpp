// Material arrays: one block of zero-filled records, destroyed last to first.
#include "model/Material.h"

#include <new>

Material::~Material() {
  if (textureView != NULL) {
    textureView->Release();
    textureView = NULL;
  }
}

// Value-initialisation zero-fills each record: Material has no constructor of its own.
Material* CreateMaterialArray(UINT count) { return new (std::nothrow) Material[count](); }

void DestroyMaterialArray(Material* materials) { delete[] materials; }
