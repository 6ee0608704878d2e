// The model reader's counting pass (ObjCounting.cpp): the counts of the model's statements, the "mtllib"
// statements handed to the library loader in file order, and the skip lists the later passes use.
#pragma once

#include <stddef.h>

// Called for each "mtllib" statement, in file order, during the counting pass.
typedef void (*LibraryLoader)(void* context, const char* fileName);

// A stretch of the file, token boundary to token boundary, with no "f" or "usemtl" token in it.
struct FaceFreeSpan {
  size_t begin;
  size_t end;
};

// A "usemtl" token: where it stands, and how many faces were counted before it.
struct Selection {
  size_t offset;
  size_t facesBefore;
};

// What the counting pass found, and where the later passes may skip ahead.
struct ObjCounts {
  size_t positionCount;
  size_t normalCount;
  size_t texcoordCount;
  size_t faceCount;
  size_t firstVertexToken;  // offset of the first "v", "vn" or "vt" token; the size when there is none
  Selection* selections;    // the "usemtl" tokens, in file order
  size_t selectionCount;
  FaceFreeSpan* faceFreeSpans;  // the long ones, in file order
  size_t faceFreeSpanCount;
};

// False when memory for the skip lists runs out (counts is then freed and zero).
bool CountObjStatements(const char* text, size_t size, LibraryLoader loadLibrary, void* context,
                        ObjCounts& counts);
void FreeObjCounts(ObjCounts& counts);
