// The face passes run alone over a model held in a block of its exact size (so that AddressSanitizer sees
// any read past it), for the tests that compare builds of the passes with each other.
#pragma once

#include <string>
#include <vector>

#include "model/ObjReader.h"

typedef void (*FacePasses)(const char*, size_t, const ObjCounts&, const ObjVertexLists&, const FaceMaterial*, size_t,
                           Vertex*, size_t, UINT*);

struct FacePlacementResult {
  std::vector<Vertex> slots;  // three per counted face slot, placed or not
  std::vector<UINT> faces;    // each material's face count
  size_t placed;
};

// Counting, vertex data into lists of the counted sizes, then the given face passes for the materials.
FacePlacementResult PlaceThrough(const std::string& text, const std::vector<FaceMaterial>& materials,
                                 FacePasses place);

// The same vertices, byte for byte (two empty lists are the same).
bool SameVertices(const std::vector<Vertex>& a, const std::vector<Vertex>& b);
