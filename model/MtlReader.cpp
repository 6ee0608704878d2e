#include "model/MtlReader.h"

#include "model/TextScanner.h"

namespace {

const size_t kTokenBufferSize = 100;  // a token, a name or a texture file name: at most 99 bytes

// "%f %f %f" into the shared floats: the components not read keep the values of the previous statement.
void ReadColour(TextScanner& scanner, float shared[3]) {
  ReadFloat(scanner, shared[0]) && ReadFloat(scanner, shared[1]) && ReadFloat(scanner, shared[2]);
}

void StoreColour(D3DXVECTOR4& colour, const float shared[3]) {
  colour = D3DXVECTOR4(shared[0], shared[1], shared[2], 1.0f);
}

}  // namespace

UINT CountMaterials(const char* text, size_t size) {
  TextScanner scanner = ScanText(text, size);
  Token token = TokenOf("", 0);
  UINT count = 0;
  while (!scanner.atEnd) {
    ReadTokenAndSpace(scanner, kTokenBufferSize, token);
    if (TokenIs(token, "newmtl", 6)) ++count;
  }
  return count;
}

bool ReadMaterialProperties(const char* text, size_t size, Material* materials, UINT count,
                            TextureMaker makeTexture, void* context) {
  TextScanner scanner = ScanText(text, size);
  Token token = TokenOf("", 0);
  float shared[3] = {0.0f, 0.0f, 0.0f};
  size_t started = 0;  // "newmtl" statements met; the current material is started - 1
  Material* current = NULL;
  while (!scanner.atEnd) {
    ReadTokenAndSpace(scanner, kTokenBufferSize, token);
    // The tests run one after another on the same buffer: after "newmtl" its name stands there.
    if (TokenIs(token, "newmtl", 6)) {
      ReadToken(scanner, kTokenBufferSize, token);
      ++started;
      current = started <= count ? &materials[started - 1] : NULL;
      if (current != NULL) CopyToken(token, current->name);
    }
    if (TokenIs(token, "Ka", 2)) {
      ReadColour(scanner, shared);
      if (current != NULL) StoreColour(current->ambient, shared);
    }
    if (TokenIs(token, "Kd", 2)) {
      ReadColour(scanner, shared);
      if (current != NULL) StoreColour(current->diffuse, shared);
    }
    if (TokenIs(token, "Ks", 2)) {
      ReadColour(scanner, shared);
      if (current != NULL) StoreColour(current->specular, shared);
    }
    if (TokenIs(token, "map_Kd", 6)) {
      Token file;
      bool read = ReadToken(scanner, kTokenBufferSize, file);
      if (current == NULL) continue;
      if (read) CopyToken(file, current->textureFile);  // at the end of the file the name stays as it was
      if (!makeTexture(context, *current)) return false;
    }
  }
  return true;
}
