// The model reader's vertex data pass (ObjVertexData.cpp): the "v", "vn" and "vt" statements into the
// vertex lists, in the loading thread or on a thread of its own alongside the counting pass.
#pragma once

#include <stddef.h>

#include "model/Mesh.h"
#include "model/ObjCounting.h"

// The vertex lists, sized by the counts; entries the data pass does not reach stay zero.
struct ObjVertexLists {
  D3DXVECTOR3* positions;
  size_t positionCount;
  D3DXVECTOR3* normals;
  size_t normalCount;
  D3DXVECTOR2* texcoords;
  size_t texcoordCount;
};

// How many entries each vertex list has (or, while a list grows, may have).
struct VertexCounts {
  size_t positionCount;
  size_t normalCount;
  size_t texcoordCount;
};

// The sizes of the model's own lists, as the counting pass found them.
VertexCounts CountedVertices(const ObjCounts& counts);

// Data pass into lists allocated by the caller. Statements beyond a list's size are read but dropped.
void ReadObjVertexData(const char* text, size_t size, const ObjCounts& counts, ObjVertexLists& lists);

// The data pass needs the counts only to know where its lists end, so it runs on a thread of its own
// while the counting pass runs: into lists that grow as they fill, until it is handed the counts and
// every list is full, or the data ends. FinishVertexData hands it the counts (the positions' may be the
// mesh's whole count), waits for it, and fits its lists to them: entries past a count are dropped,
// entries the pass did not reach are zero, exactly as ReadObjVertexData leaves lists of those sizes.
// When no thread can be made the pass runs in FinishVertexData; when the job or its lists run out of
// memory, FinishVertexData reads into lists of the counted sizes instead. Its lists are freed with
// FreeObjVertexLists; false (and no lists) only when those cannot be had either.
struct VertexDataJob;
VertexDataJob* StartVertexData(const char* text, size_t size);  // null when out of memory
bool FinishVertexData(VertexDataJob* job, const char* text, size_t size, const VertexCounts& counts,
                      ObjVertexLists& lists);
// The counts, handed over before FinishVertexData (which takes the same ones) so that the job can stop
// as soon as its lists are full while the caller does something else.
void HandOverCounts(VertexDataJob* job, const VertexCounts& counts);
// True while the job's pass runs on its thread.
bool VertexDataRunning(const VertexDataJob* job);
// Stops a job whose lists are not wanted (the counting pass failed) and frees it.
void CancelVertexData(VertexDataJob* job);
void FreeObjVertexLists(ObjVertexLists& lists);
