// The fast readers against the literal reference on any library and model: any difference is a finding.
#include <stdio.h>

#include <string>

#include "../model/ReaderComparison.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 2048) return 0;  // the reference tries every prefix of a number: keep inputs short
  FuzzFiles files = SplitFuzzInput(data, size);
  literal::FileTable table;
  table.textureLoads = TextureNameLoads;
  table.files["lib.mtl"] = std::string(files.library, files.librarySize);
  table.files["model.obj"] = "mtllib lib.mtl\n" + std::string(files.model, files.modelSize);
  std::string difference = CompareLibrary(table, "lib.mtl");
  // The face passes split from the first face on, so that the split and its checks are fuzzed as well.
  const FacePlacementOptions kSplitAlways = {1};
  if (difference.empty()) difference = CompareModel(table, "model.obj", kSplitAlways);
  if (!difference.empty()) {
    fprintf(stderr, "fast and literal readers differ: %s\n", difference.c_str());
    __builtin_trap();
  }
  return 0;
}
