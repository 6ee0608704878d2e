// LoadMesh: the model's passes over its bytes, then one index buffer per material with faces and one
// vertex buffer of three vertices per counted face.
#include "model/MeshLoader.h"

#include <limits.h>
#include <new>

#include "model/FileBytes.h"
#include "model/MaterialLibrary.h"
#include "model/MeshData.h"

namespace {

const size_t kMaxFaces = UINT_MAX / (3 * sizeof(Vertex));  // the most faces a buffer's byte width can hold

struct LibraryTarget {
  Application* app;
  Mesh* mesh;
};

// A library that fails leaves the mesh without materials, also without those of an earlier library.
void LoadLibraryOfMesh(void* context, const char* fileName) {
  LibraryTarget& target = *static_cast<LibraryTarget*>(context);
  Mesh& mesh = *target.mesh;
  if (SUCCEEDED(LoadMaterialLibrary(*target.app, mesh, fileName, &mesh.materials))) return;
  DestroyMaterialArray(mesh.materials);
  mesh.materials = NULL;
  mesh.materialCount = 0;
}

// The counts of this file are added to those the mesh holds; false when they would pass 32 bits or more
// faces than one vertex buffer holds.
bool AddCounts(Mesh& mesh, const ObjCounts& counts) {
  if (counts.positionCount > UINT_MAX - mesh.positionCount) return false;
  if (counts.faceCount > kMaxFaces - (mesh.faceCount < kMaxFaces ? mesh.faceCount : kMaxFaces)) return false;
  mesh.positionCount += static_cast<UINT>(counts.positionCount);
  mesh.faceCount += static_cast<UINT>(counts.faceCount);
  return true;
}

FaceMaterial* DescribeMaterials(const Mesh& mesh) {
  FaceMaterial* materials = new (std::nothrow) FaceMaterial[mesh.materialCount + 1];
  if (materials == NULL) return NULL;
  for (UINT i = 0; i < mesh.materialCount; ++i) {
    materials[i].name = mesh.materials[i].name;
    materials[i].textured = mesh.materials[i].textureView != NULL;
  }
  return materials;
}

HRESULT CreateBuffer(Application& app, UINT byteWidth, UINT bindFlags, const void* data, ID3D11Buffer** buffer) {
  D3D11_BUFFER_DESC desc = {};
  desc.ByteWidth = byteWidth;
  desc.Usage = D3D11_USAGE_DEFAULT;
  desc.BindFlags = bindFlags;
  desc.CPUAccessFlags = 0;
  desc.MiscFlags = 0;
  D3D11_SUBRESOURCE_DATA initialData = {};
  initialData.pSysMem = data;
  return app.device->CreateBuffer(&desc, &initialData, buffer);
}

// Material i's indices follow those of the materials before it. A failed buffer ends the upload: that
// material and the later ones keep the face counts they had.
bool CreateIndexBuffers(Application& app, Mesh& mesh, MeshData& data) {
  mesh.indexBuffers = new (std::nothrow) ID3D11Buffer*[mesh.materialCount + 1]();
  if (mesh.indexBuffers == NULL) return false;
  for (UINT i = 0; i < mesh.materialCount; ++i) {
    UINT faces = data.materialFaceCounts[i];
    if (faces != 0) {
      HRESULT hr = CreateBuffer(app, faces * 3 * sizeof(UINT), D3D11_BIND_INDEX_BUFFER, MaterialIndices(data, i),
                                &mesh.indexBuffers[i]);
      if (FAILED(hr)) return false;
    }
    mesh.materials[i].faceCount = faces;
  }
  return true;
}

// A model without faces asks for no vertex buffer: the device would refuse zero bytes anyway.
HRESULT CreateVertexBuffer(Application& app, Mesh& mesh, const MeshData& data) {
  if (mesh.faceCount == 0) return S_OK;
  return CreateBuffer(app, mesh.faceCount * 3 * sizeof(Vertex), D3D11_BIND_VERTEX_BUFFER, data.faceVertices,
                      &mesh.vertexBuffer);
}

// Every buffer or none: index buffers without their vertex buffer would draw from nothing.
void UploadMesh(Application& app, Mesh& mesh, MeshData& data) {
  if (!CreateIndexBuffers(app, mesh, data) || FAILED(CreateVertexBuffer(app, mesh, data))) ReleaseMeshBuffers(mesh);
}

// The passes over memory, the data pass alongside the counting pass; false when the model cannot be
// built (nothing to upload).
bool BuildMesh(Application& app, Mesh& mesh, const FileBytes& file, MeshData& data) {
  VertexDataJob* job = StartVertexData(file.data, file.size);
  ObjCounts counts;
  LibraryTarget target;
  target.app = &app;
  target.mesh = &mesh;
  if (!CountObjStatements(file.data, file.size, LoadLibraryOfMesh, &target, counts)) {
    CancelVertexData(job);
    return false;
  }
  if (mesh.materials == NULL) mesh.materialCount = 0;  // no library, or one that failed
  FaceMaterial* materials = AddCounts(mesh, counts) ? DescribeMaterials(mesh) : NULL;
  FacePassInput input;
  input.text = file.data;
  input.size = file.size;
  input.counts = &counts;
  input.materials = materials;
  input.materialCount = mesh.materialCount;
  bool built = materials != NULL &&
               BuildMeshData(input, job, mesh.positionCount, mesh.faceCount, kLoaderFacePlacement, data);
  if (materials == NULL) CancelVertexData(job);
  delete[] materials;
  FreeObjCounts(counts);
  return built;
}

}  // namespace

// A file that cannot be opened reads as an empty model. Counts add to those the mesh already holds, as do
// the materials of its libraries; running out of memory, or a buffer the device refuses, leaves the mesh
// without buffers.
HRESULT LoadMesh(Application& app, const char* fileName, Mesh& mesh) {
  ReleaseMeshBuffers(mesh);  // those of an earlier load into the same mesh
  FileBytes file = ReadFileBytes(fileName);
  MeshData data = {};
  bool built = BuildMesh(app, mesh, file, data);
  FreeFileBytes(file);
  if (built) UploadMesh(app, mesh, data);
  FreeMeshData(data);
  return S_OK;
}
