// The passes of the model reader over the model's bytes, without the device: counting, vertex data and
// the placing of faces by material. LoadMesh runs them and uploads the result; the benchmark and the
// fuzzers run them alone. Counting, vertex data and faces live in ObjCounting.cpp, ObjVertexData.cpp and
// ObjFaces.cpp, each declared in the header of its name (the passes themselves in MaterialPasses.cpp,
// over the selections grouped by name in SelectionGroups.cpp).
#pragma once

#include "model/FacePassInput.h"
#include "model/ObjCounting.h"
#include "model/ObjFaces.h"
#include "model/ObjVertexData.h"
