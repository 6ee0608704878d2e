// The face passes run alone over a model held in a block of its exact size (so that AddressSanitizer sees
// any read past it), for the tests that compare placements of the passes with each other.
#pragma once

#include <string>
#include <vector>

#include "model/ObjReader.h"

struct FacePlacementResult {
  std::vector<Vertex> slots;  // three per counted face slot, placed or not
  std::vector<UINT> faces;    // each material's face count
  size_t placed;
  FacePlacementOutcome outcome;
};

// Counting, vertex data into lists of the counted sizes, then the face passes for the materials, sharing
// their work as the options say.
FacePlacementResult PlaceThrough(const std::string& text, const std::vector<FaceMaterial>& materials,
                                 const FacePlacementOptions& options = kLoaderFacePlacement);

// The same vertices, byte for byte (two empty lists are the same).
bool SameVertices(const std::vector<Vertex>& a, const std::vector<Vertex>& b);
