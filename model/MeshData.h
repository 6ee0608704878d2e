// The CPU half of LoadMesh: the arrays uploaded to the device, filled from the model's bytes after the
// counting pass.
#pragma once

#include <stddef.h>

#include "model/ObjReader.h"

struct MeshData {
  Vertex* faceVertices;      // three per face slot; slots no face reaches stay zero
  size_t faceCount;
  UINT* indices;             // one material's index list at a time, sized for the largest (see MaterialIndices)
  UINT* materialFaceCounts;  // k of each material
  size_t* facesBefore;       // per material: the faces of the materials before it
  size_t materialCount;
};

// Finishes the data pass job (null: runs the data pass here), allocates the arrays (positionCount and
// faceCount are the mesh's whole counts) and runs the face passes over the vertex lists, which are freed
// before the index list is made, so that the two are never held at once. The job is finished whatever
// the outcome. False when memory runs out; data is then freed.
bool BuildMeshData(const FacePassInput& input, VertexDataJob* job, size_t positionCount, size_t faceCount,
                   const FacePlacementOptions& options, MeshData& data);
void FreeMeshData(MeshData& data);

// Material i's index list, 3 * its face count long, written into data.indices: its faces' vertices follow
// those of the materials before it, so its list runs from 3 * (faces before it) upwards. Valid until the
// next call.
const UINT* MaterialIndices(MeshData& data, size_t material);
