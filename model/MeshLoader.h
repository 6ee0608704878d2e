// Readers of the OBJ and MTL subsets that fill a Mesh and create its GPU buffers and textures.
//
// Each file is read once into memory; the passes (counting, properties or vertex data, one face pass per
// material) run over that copy with the reading rules of model/TextScanner.h, and give exactly what the
// same passes give re-reading the file with scanf-style formats. The vertex data pass runs on a second
// thread alongside the counting pass, and a large model's face passes are shared by two threads; the
// results are those of the passes run one after another (see model/ObjReader.h).
//
// Where the statement loops leave the outcome open, the readers decide:
// - A model or library file that cannot be opened (or read whole into memory) reads as an empty one; one
//   that another program shortens while it is read gives the bytes read up to its new end.
// - A token, name or file name longer than its buffer (99 bytes in a library, 199 in a model) is cut to
//   that length; the rest of it is dropped, never read as a further token.
// - Library statements before the first "newmtl", and statements after a "newmtl" the counting pass did not
//   see (one glued to a number), are read but change no material and make no texture.
// - Model statements the counting pass did not see ("3vt", "9f") are read, but a list entry or face beyond
//   its counted list is dropped: no write passes a list, a face slot or the index list.
// - A vertex reference outside its list (zero, negative, too large) reads as a zero vector. An integer
//   beyond the int range is read whole and clamps to INT_MAX or INT_MIN, so it is outside every list.
// - A face in the other form than its material takes stops at the first mismatch; the references not read
//   keep the previous face's values (0 before the first face). Unfilled texcoords and unfilled face slots
//   are zero.
// - A texture that cannot be made fails its library: the new array is destroyed with the textures made so
//   far, and the mesh is left without materials (the array of an earlier library is destroyed too,
//   materialCount becomes 0); its faces are counted but never placed.
// - A second "mtllib" adds its count to the mesh's and its array, filled from the first record, replaces
//   the earlier one, which is destroyed. A material named twice by "map_Kd" keeps the later texture.
// - The materials of one library whose "map_Kd" names the same file share one texture view, each holding
//   a reference of its own.
// - Loading into a mesh that already holds a model releases its buffers first; counts and materials add up
//   as the statements say. A model whose counts pass 32 bits, or whose vertex buffer would pass 4 GB, or
//   that runs out of memory, or one of whose buffers the device refuses, gets no new buffers: nothing of
//   it is drawn.
// - A model without faces gets no vertex buffer (the device would refuse a buffer of 0 bytes).
#pragma once

#include "app/Application.h"

// Loads the model fileName into mesh; always returns S_OK (a bad file leaves what could be loaded).
HRESULT LoadMesh(Application& app, const char* fileName, Mesh& mesh);
