// LoadMaterialLibrary: the library's two passes over its bytes, with each "map_Kd" texture made on the
// device as soon as the statement is read.
#include "model/MeshLoader.h"

#include <d3dx11.h>

#include "model/FileBytes.h"
#include "model/MtlReader.h"

namespace {

// A material named twice by "map_Kd" keeps only the later texture; the earlier one is released.
bool MakeTexture(void* context, Material& material) {
  Application& app = *static_cast<Application*>(context);
  if (material.textureView != NULL) {
    material.textureView->Release();
    material.textureView = NULL;
  }
  HRESULT hr = D3DX11CreateShaderResourceViewFromFileA(app.device, material.textureFile, NULL, NULL,
                                                       &material.textureView, NULL);
  return SUCCEEDED(hr);
}

}  // namespace

// A file that cannot be opened reads as an empty library. The new array is sized by the mesh's whole
// count (what it held before plus this library's "newmtl" statements) and filled from its first record.
// On success it replaces the array in *materialsOut, which is destroyed. On a failed texture the new array
// is destroyed with the textures made so far and *materialsOut is left alone.
HRESULT LoadMaterialLibrary(Application& app, Mesh& mesh, const char* fileName, Material** materialsOut) {
  FileBytes file = ReadFileBytes(fileName);
  mesh.materialCount += CountMaterials(file.data, file.size);
  Material* materials = CreateMaterialArray(mesh.materialCount);
  if (materials == NULL && mesh.materialCount != 0) {
    FreeFileBytes(file);
    return E_OUTOFMEMORY;
  }
  bool read = ReadMaterialProperties(file.data, file.size, materials, mesh.materialCount, MakeTexture, &app);
  FreeFileBytes(file);
  if (!read) {
    DestroyMaterialArray(materials);
    return E_FAIL;
  }
  if (*materialsOut != NULL) DestroyMaterialArray(*materialsOut);
  *materialsOut = materials;
  return S_OK;
}
