// LoadMaterialLibrary: the library's two passes over its bytes, with each "map_Kd" texture made on the
// device as soon as the statement is read, once per file name in the library.
#include "model/MaterialLibrary.h"

#include <d3dx11.h>

#include <stdlib.h>
#include <string.h>

#include "model/FileBytes.h"
#include "model/MtlReader.h"
#include "model/NameTable.h"

namespace {

// A texture made for the library, under the file name it was made from. The record holds a reference of
// its own, so that the view outlives a material that names another file later.
struct SharedTexture {
  char file[sizeof(Material::textureFile)];
  ID3D11ShaderResourceView* view;
};

// Textures a library's list and its table of file names make room for before they first grow.
const size_t kFirstTextureCapacity = 16;

// The textures made while one library loads, by file name.
struct LibraryTextures {
  Application* app;
  SharedTexture* made;
  size_t count;
  size_t capacity;
  NameTable names;  // file name -> index in made
  bool shared;      // false when memory for sharing ran out: each texture is then made anew
};

Token FileOfTexture(const void* context, size_t value) {
  const SharedTexture& texture = static_cast<const LibraryTextures*>(context)->made[value];
  return TokenOf(texture.file, strlen(texture.file));
}

// Keeps the material's new texture for the materials after it that name the same file.
void Remember(LibraryTextures& textures, const Material& material, const NamePlace& place) {
  if (textures.count == textures.capacity) {
    size_t capacity = textures.capacity == 0 ? kFirstTextureCapacity : 2 * textures.capacity;
    void* grown = realloc(textures.made, capacity * sizeof(SharedTexture));
    if (grown == NULL) return;
    textures.made = static_cast<SharedTexture*>(grown);
    textures.capacity = capacity;
  }
  if (!AddName(textures.names, place, textures.count)) return;
  SharedTexture& texture = textures.made[textures.count++];
  memcpy(texture.file, material.textureFile, sizeof texture.file);
  texture.view = material.textureView;
  texture.view->AddRef();
}

// A material named twice by "map_Kd" keeps only the later texture; the earlier one is released. A file
// the library named before gives that texture again, with a reference of the material's own.
bool MakeTexture(void* context, Material& material) {
  LibraryTextures& textures = *static_cast<LibraryTextures*>(context);
  if (material.textureView != NULL) {
    material.textureView->Release();
    material.textureView = NULL;
  }
  Token file = TokenOf(material.textureFile, strlen(material.textureFile));
  NamePlace place;
  size_t found = textures.shared ? FindName(textures.names, file, place) : kNoName;
  if (found != kNoName) {
    material.textureView = textures.made[found].view;
    material.textureView->AddRef();
    return true;
  }
  HRESULT hr = D3DX11CreateShaderResourceViewFromFileA(textures.app->device, material.textureFile, NULL, NULL,
                                                       &material.textureView, NULL);
  if (FAILED(hr)) return false;
  if (textures.shared) Remember(textures, material, place);
  return true;
}

void ReleaseLibraryTextures(LibraryTextures& textures) {
  for (size_t i = 0; i < textures.count; ++i) textures.made[i].view->Release();
  free(textures.made);
  if (textures.shared) FreeNameTable(textures.names);
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
  LibraryTextures textures = {};
  textures.app = &app;
  textures.shared = CreateNameTable(textures.names, kFirstTextureCapacity, FileOfTexture, &textures);
  bool read = ReadMaterialProperties(file.data, file.size, materials, mesh.materialCount, MakeTexture, &textures);
  ReleaseLibraryTextures(textures);
  FreeFileBytes(file);
  if (!read) {
    DestroyMaterialArray(materials);
    return E_FAIL;
  }
  if (*materialsOut != NULL) DestroyMaterialArray(*materialsOut);
  *materialsOut = materials;
  return S_OK;
}
