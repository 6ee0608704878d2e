#include "FacePasses.h"

#include <gtest/gtest.h>

#include <string.h>

FacePlacementResult PlaceThrough(const std::string& text, const std::vector<FaceMaterial>& materials,
                                 const FacePlacementOptions& options) {
  std::vector<char> model(text.begin(), text.end());
  ObjCounts counts;
  EXPECT_TRUE(CountObjStatements(model.data(), model.size(), [](void*, const char*) {}, NULL, counts));
  std::vector<D3DXVECTOR3> positions(counts.positionCount + 1), normals(counts.normalCount + 1);
  std::vector<D3DXVECTOR2> texcoords(counts.texcoordCount + 1);
  ObjVertexLists lists = {positions.data(), counts.positionCount, normals.data(), counts.normalCount,
                          texcoords.data(), counts.texcoordCount};
  ReadObjVertexData(model.data(), model.size(), counts, lists);
  FacePlacementResult result;
  result.slots.resize(3 * counts.faceCount + 1);
  memset(static_cast<void*>(result.slots.data()), 0, result.slots.size() * sizeof(Vertex));
  result.faces.assign(materials.size() + 1, 0);
  FacePassInput input = {model.data(), model.size(), &counts, materials.data(), materials.size()};
  FaceSlots slots = {result.slots.data(), counts.faceCount, result.faces.data()};
  result.outcome = PlaceObjFaces(input, lists, slots, options);
  EXPECT_NE(kFacesNotPlaced, result.outcome);
  result.placed = 0;
  for (UINT count : result.faces) result.placed += count;
  FreeObjCounts(counts);
  return result;
}

bool SameVertices(const std::vector<Vertex>& a, const std::vector<Vertex>& b) {
  return a.size() == b.size() && (a.empty() || memcmp(a.data(), b.data(), a.size() * sizeof(Vertex)) == 0);
}
