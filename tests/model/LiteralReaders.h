// A deliberately literal reference of the two readers: the passes exactly as the loaders' description
// gives them, each pass re-reading a rewound file with scanf-style formats, over files held in a table.
// Slow and simple on purpose; the fast readers must give the same records for every input.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "model/Mesh.h"

namespace literal {

// Named files; a name not in the table cannot be opened. A texture loads when its name is in textures
// with true, or, when textureLoads is set, when it says so.
struct FileTable {
  std::map<std::string, std::string> files;
  std::map<std::string, bool> textures;
  bool (*textureLoads)(const char* fileName) = nullptr;
};

bool TextureLoads(const FileTable& table, const char* fileName);

struct MaterialRecord {
  std::string name;
  D3DXVECTOR4 ambient, diffuse, specular;
  std::string textureFile;
  bool textured;
  UINT faceCount;
};

struct MeshRecord {
  UINT positionCount = 0;
  UINT faceCount = 0;
  UINT materialCount = 0;
  bool hasMaterials = false;
  std::vector<MaterialRecord> materials;
  bool hasVertexBuffer = false;
  std::vector<Vertex> vertices;               // faceCount * 3
  std::vector<bool> hasIndexBuffer;           // one per material
  std::vector<std::vector<UINT>> indexLists;  // one per material
};

// The library reader; materials receives the array on success (true), as materialsOut would.
bool LoadMaterialLibrary(const FileTable& table, MeshRecord& mesh, const std::string& fileName);
// The model reader, with the same decisions as the program's (see the .cpp).
void LoadMesh(const FileTable& table, const std::string& fileName, MeshRecord& mesh);

}  // namespace literal
