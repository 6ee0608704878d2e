// Times, on one generated file and in one run: a plain read of the file, LoadMesh's parsing and building
// of the vertex and index data (its CPU half, without the GPU upload), and tinyobjloader. Prints
// milliseconds, MB/s, the ratios and the peak resident memory after the loader's runs.
//
//   model_loading_bench [--small] [folder]      (or MODEL_BENCH_SMALL=1)
// The large model has 2 M faces (about 210 MB); --small has 20 k faces, for CI.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>

#include <tiny_obj_loader.h>

#include "GenerateModel.h"
#include "model/FileBytes.h"
#include "model/MeshData.h"
#include "model/MtlReader.h"
#include "model/ObjReader.h"

namespace {

const int kRepeats = 3;

double Now() {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The library as LoadMaterialLibrary reads it, with every texture taken as made.
struct CpuLibrary {
  Material* materials;
  UINT count;
};

bool TakeTexture(void*, Material&) { return true; }

void ReadLibraryOnCpu(void* context, const char* fileName) {
  CpuLibrary& library = *static_cast<CpuLibrary*>(context);
  FileBytes file = ReadFileBytes(fileName);
  UINT count = CountMaterials(file.data, file.size);
  DestroyMaterialArray(library.materials);
  library.materials = CreateMaterialArray(count);
  library.count = count;
  ReadMaterialProperties(file.data, file.size, library.materials, count, TakeTexture, NULL);
  FreeFileBytes(file);
}

struct LoaderResult {
  double totalMs;  // read + passes + arrays
  double passesMs;
  size_t faces;
  size_t placed;
};

LoaderResult RunLoader(const std::string& path) {
  LoaderResult result = {0, 0, 0, 0};
  double start = Now();
  FileBytes file = ReadFileBytes(path.c_str());
  double read = Now();
  CpuLibrary library = {NULL, 0};
  ObjCounts counts;
  CountObjStatements(file.data, file.size, ReadLibraryOnCpu, &library, counts);
  FaceMaterial materials[64];
  UINT materialCount = std::min<UINT>(library.count, 64);
  for (UINT i = 0; i < materialCount; ++i)
    materials[i] = FaceMaterial{library.materials[i].name, library.materials[i].textureFile[0] != 0};
  MeshData data;
  BuildMeshData(file.data, file.size, counts, counts.positionCount, counts.faceCount, materials, materialCount, data);
  FreeFileBytes(file);
  double end = Now();
  result.totalMs = end - start;
  result.passesMs = end - read;
  result.faces = counts.faceCount;
  for (UINT i = 0; i < materialCount; ++i) result.placed += data.materialFaceCounts[i];
  FreeMeshData(data);
  FreeObjCounts(counts);
  DestroyMaterialArray(library.materials);
  return result;
}

double RunPlainRead(const std::string& path, size_t& bytes) {
  double start = Now();
  FileBytes file = ReadFileBytes(path.c_str());
  bytes = file.size;
  FreeFileBytes(file);
  return Now() - start;
}

double RunTinyObj(const std::string& path, const std::string& folder, size_t& faces) {
  double start = Now();
  tinyobj::attrib_t attrib;
  std::vector<tinyobj::shape_t> shapes;
  std::vector<tinyobj::material_t> materials;
  std::string warn, err;
  tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, path.c_str(), (folder + "/").c_str());
  double end = Now();
  faces = 0;
  for (const tinyobj::shape_t& shape : shapes) faces += shape.mesh.num_face_vertices.size();
  return end - start;
}

long PeakRssMb() {
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

void PrintRow(const char* name, double ms, size_t bytes) {
  printf("  %-44s %9.1f ms %9.1f MB/s\n", name, ms, bytes / 1e6 / (ms / 1e3));
}

}  // namespace

int main(int argc, char** argv) {
  bool small = getenv("MODEL_BENCH_SMALL") != NULL && strcmp(getenv("MODEL_BENCH_SMALL"), "0") != 0;
  std::string folder = BENCH_DATA_DIR;
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "--small") == 0) small = true;
    else folder = argv[i];
  }
  GeneratedModel model = GenerateModel(folder, small ? "bench_small" : "bench_large", small ? 20000 : 2000000);
  // The library and textures are named relative to the model's folder, as the viewer's working directory.
  if (chdir(folder.c_str()) != 0) return 1;
  printf("model %s: %.1f MB, %zu faces, best of %d runs\n", model.modelPath.c_str(), model.bytes / 1e6, model.faces,
         kRepeats);

  size_t bytes = 0;
  double plainRead = 1e30;
  LoaderResult loader = {1e30, 1e30, 0, 0};
  for (int i = 0; i < kRepeats; ++i) {
    plainRead = std::min(plainRead, RunPlainRead(model.modelPath, bytes));
    LoaderResult run = RunLoader(model.modelPath);
    if (run.totalMs < loader.totalMs) loader = run;
  }
  long loaderPeak = PeakRssMb();
  double tinyobj = 1e30;
  size_t tinyobjFaces = 0;
  for (int i = 0; i < kRepeats; ++i) tinyobj = std::min(tinyobj, RunTinyObj(model.modelPath, folder, tinyobjFaces));

  PrintRow("plain read of the file (fopen_s + fread)", plainRead, bytes);
  PrintRow("LoadMesh CPU half: read, passes, arrays", loader.totalMs, bytes);
  PrintRow("  of which the passes and arrays", loader.passesMs, bytes);
  PrintRow("tinyobjloader LoadObj", tinyobj, bytes);
  printf("faces: loader counted %zu, placed %zu; tinyobjloader %zu\n", loader.faces, loader.placed, tinyobjFaces);
  printf("ratio tinyobjloader / LoadMesh CPU half:   %.2fx (goal >= 4.5x)\n", tinyobj / loader.totalMs);
  printf("ratio LoadMesh CPU half / plain read:      %.2fx (goal <= 2x)\n", loader.totalMs / plainRead);
  size_t outputs = loader.faces * (3 * sizeof(Vertex) + 3 * sizeof(UINT));
  printf("peak RSS after the loader's runs: %ld MB (file %.0f MB + face vertices and indices %.0f MB = %.0f MB)\n",
         loaderPeak, bytes / 1048576.0, outputs / 1048576.0, (bytes + outputs) / 1048576.0);
  return 0;
}
