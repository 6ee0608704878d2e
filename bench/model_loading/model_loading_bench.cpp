// Times, on one generated file and in one run: a plain read of the file, LoadMesh's parsing and building
// of the vertex and index data (its CPU half, without the GPU upload), and tinyobjloader. Prints
// milliseconds, MB/s, the ratios and the peak resident memory after the loader's runs.
//
// Then the same for a model of many materials, each selected by one "usemtl" run (goal: under a second).
//
//   model_loading_bench [--small] [--loader-only] [--materials N] [--materials-only] [folder]
//                                                                     (or MODEL_BENCH_SMALL=1)
// --loader-only runs LoadMesh's CPU half once and nothing else, for profilers.
// The large model has 2 M faces (about 210 MB); --small has 20 k faces, for CI. The many-material model
// has 100 k materials and runs (--materials sets the number; --materials-only runs that case alone).
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include <tiny_obj_loader.h>

#include "generate_model.h"
#include "app/Application.h"
#include "model/FileBytes.h"
#include "model/MeshData.h"
#include "model/MeshLoader.h"
#include "model/MtlReader.h"
#include "model/ObjReader.h"

namespace {

const int kRepeats = 3;

// Wall-clock and CPU time of a run: on a shared machine the CPU time is the steadier of the two.
struct Timing {
  double wallMs;
  double cpuMs;
};

double WallNow() {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double CpuNow() {
  timespec now;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

Timing Now() { return Timing{WallNow(), CpuNow()}; }
Timing Since(const Timing& start) {
  Timing now = Now();
  return Timing{now.wallMs - start.wallMs, now.cpuMs - start.cpuMs};
}
Timing Best(const Timing& a, const Timing& b) {
  return Timing{std::min(a.wallMs, b.wallMs), std::min(a.cpuMs, b.cpuMs)};
}
const Timing kNever = {1e30, 1e30};

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
  ReadMaterialProperties(file.data, file.size, library.materials, count, TakeTexture, nullptr);
  FreeFileBytes(file);
}

struct LoaderResult {
  Timing total;  // read + passes + arrays
  Timing passes;
  Timing counting;  // the counting pass, the library read included
  size_t faces;
  size_t placed;
  size_t lastIndex;  // the highest index of the index lists: 3 * placed - 1
  size_t outputBytes;  // face vertices and the index list of the largest material
  size_t listBytes;    // the vertex lists the face passes look references up in
};

LoaderResult RunLoader(const std::string& path) {
  LoaderResult result = {kNever, kNever, kNever, 0, 0, 0, 0, 0};
  Timing start = Now();
  FileBytes file = ReadFileBytes(path.c_str());
  Timing read = Now();
  CpuLibrary library = {nullptr, 0};
  VertexDataJob* job = StartVertexData(file.data, file.size);  // alongside the counting pass, as LoadMesh runs it
  ObjCounts counts;
  CountObjStatements(file.data, file.size, ReadLibraryOnCpu, &library, counts);
  result.counting = Since(read);
  UINT materialCount = library.count;
  std::vector<FaceMaterial> materials(materialCount + 1);
  for (UINT i = 0; i < materialCount; ++i)
    materials[i] = FaceMaterial{library.materials[i].name, library.materials[i].textureFile[0] != 0};
  MeshData data;
  FacePassInput input = {file.data, file.size, &counts, materials.data(), materialCount};
  BuildMeshData(input, job, counts.positionCount, counts.faceCount, kLoaderFacePlacement, data);
  for (UINT i = 0; i < materialCount; ++i) {  // each material's index list, as the upload takes them
    UINT faces = data.materialFaceCounts[i];
    if (faces != 0) result.lastIndex = std::max(result.lastIndex, size_t(MaterialIndices(data, i)[3 * faces - 1]));
  }
  size_t largest = 0;
  for (UINT i = 0; i < materialCount; ++i) largest = std::max(largest, size_t(data.materialFaceCounts[i]));
  result.outputBytes = counts.faceCount * 3 * sizeof(Vertex) + largest * 3 * sizeof(UINT);
  result.listBytes = (counts.positionCount + counts.normalCount) * sizeof(D3DXVECTOR3) +
                     counts.texcoordCount * sizeof(D3DXVECTOR2);
  FreeFileBytes(file);
  result.total = Since(start);
  result.passes = Since(read);
  result.faces = counts.faceCount;
  for (UINT i = 0; i < materialCount; ++i) result.placed += data.materialFaceCounts[i];
  FreeMeshData(data);
  FreeObjCounts(counts);
  DestroyMaterialArray(library.materials);
  return result;
}

// The whole file read into a new block, as a loader that reads before parsing starts.
Timing RunPlainRead(const std::string& path, size_t& bytes) {
  Timing start = Now();
  bytes = 0;
  FILE* file = fopen(path.c_str(), "rb");
  if (file != nullptr && fseek(file, 0, SEEK_END) == 0) {
    long size = ftell(file);
    char* block = size > 0 && fseek(file, 0, SEEK_SET) == 0 ? static_cast<char*>(malloc(size)) : nullptr;
    if (block != nullptr) bytes = fread(block, 1, size, file);
    free(block);
  }
  if (file != nullptr) fclose(file);
  return Since(start);
}

Timing RunTinyObj(const std::string& path, const std::string& folder, size_t& faces) {
  Timing start = Now();
  tinyobj::attrib_t attrib;
  std::vector<tinyobj::shape_t> shapes;
  std::vector<tinyobj::material_t> materials;
  std::string warn, err;
  tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, path.c_str(), (folder + "/").c_str());
  Timing time = Since(start);
  faces = 0;
  for (const tinyobj::shape_t& shape : shapes) faces += shape.mesh.num_face_vertices.size();
  return time;
}

// The whole LoadMesh on a device, upload and textures included, once; false when no device can be made.
bool RunLoadMeshOnDevice(const std::string& path, Timing& time) {
  Application app;
  D3D_FEATURE_LEVEL levels[] = {D3D_FEATURE_LEVEL_11_0};
  D3D_FEATURE_LEVEL level;
  if (FAILED(D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, levels, 1, D3D11_SDK_VERSION, &app.device,
                               &level, &app.context)))
    return false;
  Mesh mesh = Mesh();
  Timing start = Now();
  LoadMesh(app, path.c_str(), mesh);
  time = Since(start);
  ReleaseMeshBuffers(mesh);
  DestroyMaterialArray(mesh.materials);
  app.context->Release();
  app.device->Release();
  return true;
}

long PeakRssMb() {
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

void PrintRow(const char* name, const Timing& time, size_t bytes) {
  printf("  %-42s %8.1f ms %7.1f MB/s   cpu %8.1f ms %7.1f MB/s\n", name, time.wallMs, bytes / 1e3 / time.wallMs,
         time.cpuMs, bytes / 1e3 / time.cpuMs);
}

void PrintRatio(const char* name, double wall, double cpu, const char* goal) {
  printf("ratio %-40s %6.2fx wall %6.2fx cpu   (goal %s)\n", name, wall, cpu, goal);
}

// The many-material model: LoadMesh's CPU half (best of the runs) and the whole LoadMesh on a device.
void RunManyMaterials(const std::string& folder, size_t materials) {
  GeneratedModel model = GenerateManyMaterialModel(folder, "bench_materials", materials);
  printf("model %s: %.1f MB, %zu materials each selected by one usemtl run of one face\n", model.modelPath.c_str(),
         model.bytes / 1e6, materials);
  Timing loader = kNever;
  LoaderResult run = {};
  for (int i = 0; i < kRepeats; ++i) {
    run = RunLoader(model.modelPath);
    loader = Best(loader, run.total);
  }
  PrintRow("LoadMesh CPU half: file, passes, arrays", loader, model.bytes);
  Timing withUpload;
  if (RunLoadMeshOnDevice(model.modelPath, withUpload)) {
    PrintRow("LoadMesh with the GPU upload (once)", withUpload, model.bytes);
  }
  printf("faces: loader counted %zu, placed %zu; peak RSS %ld MB (goal: LoadMesh under 1000 ms)\n", run.faces,
         run.placed, PeakRssMb());
}

// The best of the loader's runs, each after a plain read of the file, whose best goes to plainRead.
LoaderResult RunLoaderAndPlainRead(const std::string& path, Timing& plainRead, size_t& bytes) {
  LoaderResult loader = {kNever, kNever, kNever, 0, 0, 0, 0, 0};
  for (int i = 0; i < kRepeats; ++i) {
    plainRead = Best(plainRead, RunPlainRead(path, bytes));
    LoaderResult run = RunLoader(path);
    loader.total = Best(loader.total, run.total);
    loader.passes = Best(loader.passes, run.passes);
    loader.counting = Best(loader.counting, run.counting);
    loader.faces = run.faces;
    loader.placed = run.placed;
    loader.lastIndex = run.lastIndex;
    loader.outputBytes = run.outputBytes;
    loader.listBytes = run.listBytes;
  }
  return loader;
}

struct BenchOptions {
  bool small;
  bool loaderOnly;
  bool materialsOnly;
  size_t manyMaterials;
  std::string folder;
};

BenchOptions ParseOptions(int argc, char** argv) {
  const char* small = getenv("MODEL_BENCH_SMALL");
  BenchOptions options = {small != nullptr && strcmp(small, "0") != 0, false, false, 100000, BENCH_DATA_DIR};
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "--small") == 0) options.small = true;
    else if (strcmp(argv[i], "--loader-only") == 0) options.loaderOnly = true;
    else if (strcmp(argv[i], "--materials-only") == 0) options.materialsOnly = true;
    else if (strcmp(argv[i], "--materials") == 0 && i + 1 < argc) options.manyMaterials = strtoul(argv[++i], nullptr, 10);
    else options.folder = argv[i];
  }
  return options;
}

}  // namespace

int main(int argc, char** argv) {
  long baselinePeak = PeakRssMb();
  const BenchOptions options = ParseOptions(argc, argv);
  const bool small = options.small, loaderOnly = options.loaderOnly;
  const std::string& folder = options.folder;
  // The files are named relative to the models' folder, as to the viewer's working directory.
  if (options.materialsOnly) {
    if (chdir(folder.c_str()) != 0) return 1;
    RunManyMaterials(".", options.manyMaterials);
    return 0;
  }
  GeneratedModel model = GenerateModel(folder, small ? "bench_small" : "bench_large", small ? 20000 : 2000000);
  if (chdir(folder.c_str()) != 0) return 1;
  printf("model %s: %.1f MB, %zu faces, best of %d runs\n", model.modelPath.c_str(), model.bytes / 1e6, model.faces,
         kRepeats);

  if (loaderOnly) {
    LoaderResult run = RunLoader(model.modelPath);
    PrintRow("LoadMesh CPU half: file, passes, arrays", run.total, model.bytes);
    return 0;
  }
  size_t bytes = 0;
  Timing plainRead = kNever;
  LoaderResult loader = RunLoaderAndPlainRead(model.modelPath, plainRead, bytes);
  long loaderPeak = PeakRssMb();
  Timing tinyobj = kNever;
  size_t tinyobjFaces = 0;
  for (int i = 0; i < kRepeats; ++i) tinyobj = Best(tinyobj, RunTinyObj(model.modelPath, folder, tinyobjFaces));

  PrintRow("plain read of the file (fopen + fread)", plainRead, bytes);
  PrintRow("LoadMesh CPU half: file, passes, arrays", loader.total, bytes);
  PrintRow("  of which the passes and arrays", loader.passes, bytes);
  PrintRow("    of which the counting pass", loader.counting, bytes);
  PrintRow("tinyobjloader LoadObj", tinyobj, bytes);
  Timing withUpload;
  if (RunLoadMeshOnDevice(model.modelPath, withUpload)) PrintRow("LoadMesh with the GPU upload (once)", withUpload, bytes);
  printf("faces: loader counted %zu, placed %zu (highest index %zu); tinyobjloader %zu\n", loader.faces, loader.placed,
         loader.lastIndex, tinyobjFaces);
  PrintRatio("tinyobjloader / LoadMesh CPU half", tinyobj.wallMs / loader.total.wallMs,
             tinyobj.cpuMs / loader.total.cpuMs, ">= 4.5x");
  PrintRatio("LoadMesh CPU half / plain read", loader.total.wallMs / plainRead.wallMs,
             loader.total.cpuMs / plainRead.cpuMs, "<= 2x");
  const double MB = 1048576.0;
  printf("peak RSS after the loader's runs: %ld MB, %ld MB over the %ld MB at start "
         "(file %.0f MB + face vertices and largest index list %.0f MB = %.0f MB; vertex lists %.0f MB)\n",
         loaderPeak, loaderPeak - baselinePeak, baselinePeak, bytes / MB, loader.outputBytes / MB,
         (bytes + loader.outputBytes) / MB, loader.listBytes / MB);
  RunManyMaterials(".", options.manyMaterials);
  return 0;
}
