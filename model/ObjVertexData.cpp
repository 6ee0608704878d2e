#include "model/ObjReader.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "model/ObjKeywords.h"
#include "model/TextScanner.h"

namespace {

// "%f %f %f" into the shared floats; the components not read keep their values.
void ReadTriple(TextScanner& scanner, float shared[3]) {
  ReadFloat(scanner, shared[0]) && ReadFloat(scanner, shared[1]) && ReadFloat(scanner, shared[2]);
}

}  // namespace

void ReadObjVertexData(const char* text, size_t size, const ObjCounts& counts, ObjVertexLists& lists) {
  if (counts.firstVertexToken >= size) return;
  // Up to the first vertex statement the data pass reads only tokens, as the counting pass did.
  TextScanner scanner = ScanText(text + counts.firstVertexToken, size - counts.firstVertexToken);
  float shared[3] = {0.0f, 0.0f, 0.0f};  // one set for all three statements, never reset
  size_t positions = 0, normals = 0, texcoords = 0;
  // Once every list is full, all later statements would be dropped: the pass can end there.
  while (!scanner.atEnd && (positions < lists.positionCount || normals < lists.normalCount ||
                            texcoords < lists.texcoordCount)) {
    Token token = {"", 0};
    ReadTokenAndSpace(scanner, kTokenBufferSize, token);
    if (IsPosition(token)) {
      ReadTriple(scanner, shared);
      if (positions < lists.positionCount)
        lists.positions[positions++] = D3DXVECTOR3(-shared[0], shared[1], shared[2]);
    } else if (IsNormal(token)) {
      ReadTriple(scanner, shared);
      if (normals < lists.normalCount) lists.normals[normals++] = D3DXVECTOR3(-shared[0], shared[1], shared[2]);
    } else if (IsTexcoord(token)) {
      ReadFloat(scanner, shared[0]) && ReadFloat(scanner, shared[1]);
      if (texcoords < lists.texcoordCount) lists.texcoords[texcoords++] = D3DXVECTOR2(shared[0], 1.0f - shared[1]);
    }
  }
}
