// The reference readers. Every file read is a Stream re-read from its start for each pass; every read is a
// format string handed to Scan, a small scanf that follows the loaders' number rules: a number is the
// longest prefix of the text that reads as one (found here by an anchored greedy pattern match), not
// glibc's over-eager scan, and NUL counts as white space.
#include "LiteralReaders.h"

#include <limits.h>
#include <math.h>
#include <regex>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace literal {
namespace {

struct Stream {
  const std::string* data;
  size_t pos;
  bool eof;
};

Stream Open(const FileTable& table, const std::string& name) {
  static const std::string kEmpty;  // a file that cannot be opened reads as an empty one
  auto found = table.files.find(name);
  return Stream{found != table.files.end() ? &found->second : &kEmpty, 0, false};
}

void Rewind(Stream& in) {
  in.pos = 0;
  in.eof = false;
}

bool IsWhite(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' || c == 0; }

int Peek(Stream& in) {
  if (in.pos >= in.data->size()) {
    in.eof = true;
    return EOF;
  }
  return static_cast<unsigned char>((*in.data)[in.pos]);
}

void Advance(Stream& in, size_t count) {
  in.pos += count;
  if (in.pos >= in.data->size()) in.eof = true;
}

void SkipWhite(Stream& in) {
  while (!in.eof && IsWhite(Peek(in)) && Peek(in) != EOF) ++in.pos;
}

// The longest prefix of the characters at the read position that matches pattern; 0 when none does. The
// patterns below are greedy in a way that makes their first match from the start the longest one.
size_t LongestMatch(Stream& in, const char* alphabet, const std::regex& pattern, std::string& text) {
  std::string run;
  for (size_t p = in.pos; p < in.data->size(); ++p) {
    char c = (*in.data)[p];
    if (c == 0 || strchr(alphabet, c) == NULL) break;
    run += c;
  }
  std::smatch match;
  if (!std::regex_search(run, match, pattern, std::regex_constants::match_continuous)) return 0;
  text = match.str(0);
  return text.size();
}

bool ScanString(Stream& in, char* buffer, unsigned size) {
  SkipWhite(in);
  if (in.eof) return false;
  std::string token;
  while (Peek(in) != EOF && !IsWhite(Peek(in))) {
    token += (*in.data)[in.pos];
    Advance(in, 1);
  }
  if (token.size() > size - 1) token.resize(size - 1);  // an over-long token is cut, its rest dropped
  memcpy(buffer, token.c_str(), token.size() + 1);
  return true;
}

// A number: white space, then the longest prefix matching pattern, consumed. False when none matches.
bool ScanNumber(Stream& in, const char* alphabet, const std::regex& pattern, std::string& text) {
  SkipWhite(in);
  if (in.eof) return false;
  size_t length = LongestMatch(in, alphabet, pattern, text);
  if (length == 0) return false;
  Advance(in, length);
  return true;
}

bool ScanFloat(Stream& in, float* value) {
  static const std::regex kFloat("[+-]?([0-9]+[.]?[0-9]*|[.][0-9]+)([eE][+-]?[0-9]+)?");
  std::string text;
  if (!ScanNumber(in, "0123456789+-.eE", kFloat, text)) return false;
  *value = strtof(text.c_str(), NULL);
  return true;
}

bool ScanInt(Stream& in, int* value) {
  static const std::regex kInt("[+-]?[0-9]+");
  std::string text;
  if (!ScanNumber(in, "0123456789+-", kInt, text)) return false;
  long long wide = strtoll(text.c_str(), NULL, 10);
  *value = wide > INT_MAX ? INT_MAX : wide < INT_MIN ? INT_MIN : static_cast<int>(wide);
  return true;
}

bool ScanLiteral(Stream& in, char c) {
  if (in.eof || Peek(in) != static_cast<unsigned char>(c)) return false;
  Advance(in, 1);
  return true;
}

// fscanf_s with %s (buffer and its size), %f, %d, white space and literal characters. Returns the number
// of conversions made; it stops at the first that fails.
int Scan(Stream& in, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int converted = 0;
  for (const char* f = format; *f != 0; ++f) {
    bool ok = true;
    if (IsWhite(*f)) {
      SkipWhite(in);
      continue;
    }
    if (*f == '%' && f[1] == 's') {
      char* buffer = va_arg(args, char*);
      unsigned size = va_arg(args, unsigned);
      ok = ScanString(in, buffer, size);
      ++f;
    } else if (*f == '%' && f[1] == 'f') {
      ok = ScanFloat(in, va_arg(args, float*));
      ++f;
    } else if (*f == '%' && f[1] == 'd') {
      ok = ScanInt(in, va_arg(args, int*));
      ++f;
    } else {
      ok = ScanLiteral(in, *f);
      --converted;
    }
    if (!ok) break;
    ++converted;
  }
  va_end(args);
  return converted;
}

D3DXVECTOR4 Colour(float r, float g, float b) { return D3DXVECTOR4(r, g, b, 1.0f); }

template <typename T>
T Element(const std::vector<T>& list, int reference) {
  if (reference < 1 || static_cast<size_t>(reference) > list.size()) {
    T zero;
    memset(static_cast<void*>(&zero), 0, sizeof zero);
    return zero;
  }
  return list[reference - 1];
}

}  // namespace

bool TextureLoads(const FileTable& table, const char* fileName) {
  if (table.textureLoads != nullptr) return table.textureLoads(fileName);
  auto texture = table.textures.find(fileName);
  return texture != table.textures.end() && texture->second;
}

bool LoadMaterialLibrary(const FileTable& table, MeshRecord& mesh, const std::string& fileName) {
  Stream in = Open(table, fileName);
  char buffer[100] = {0};
  while (!in.eof) {
    Scan(in, "%s ", buffer, 100u);
    if (strcmp(buffer, "newmtl") == 0) mesh.materialCount++;
  }
  const D3DXVECTOR4 zero(0.0f, 0.0f, 0.0f, 0.0f);
  std::vector<MaterialRecord> materials(mesh.materialCount, MaterialRecord{"", zero, zero, zero, "", false, 0});
  Rewind(in);
  float r = 0, g = 0, b = 0;
  long long current = -1;
  while (!in.eof) {
    Scan(in, "%s ", buffer, 100u);
    MaterialRecord* material = current >= 0 && current < static_cast<long long>(materials.size()) ? &materials[current] : NULL;
    if (strcmp(buffer, "newmtl") == 0) {
      Scan(in, "%s", buffer, 100u);
      ++current;
      material = current < static_cast<long long>(materials.size()) ? &materials[current] : NULL;
      if (material != NULL) material->name = buffer;
    }
    if (strcmp(buffer, "Ka") == 0) {
      Scan(in, "%f %f %f", &r, &g, &b);
      if (material != NULL) material->ambient = Colour(r, g, b);
    }
    if (strcmp(buffer, "Kd") == 0) {
      Scan(in, "%f %f %f", &r, &g, &b);
      if (material != NULL) material->diffuse = Colour(r, g, b);
    }
    if (strcmp(buffer, "Ks") == 0) {
      Scan(in, "%f %f %f", &r, &g, &b);
      if (material != NULL) material->specular = Colour(r, g, b);
    }
    if (strcmp(buffer, "map_Kd") == 0) {
      char file[100] = {0};
      if (material != NULL) strcpy(file, material->textureFile.c_str());
      Scan(in, "%s", file, 100u);
      if (material == NULL) continue;
      material->textureFile = file;
      if (!TextureLoads(table, file)) return false;
      material->textured = true;
    }
  }
  mesh.materials = materials;
  mesh.hasMaterials = true;
  return true;
}

void LoadMesh(const FileTable& table, const std::string& fileName, MeshRecord& mesh) {
  mesh.hasVertexBuffer = false;
  mesh.vertices.clear();
  mesh.hasIndexBuffer.clear();
  mesh.indexLists.clear();
  Stream in = Open(table, fileName);
  char buffer[200] = {0};
  UINT normalCount = 0, texcoordCount = 0;

  while (!in.eof) {
    Scan(in, "%s ", buffer, 200u);
    if (strcmp(buffer, "mtllib") == 0) {
      Scan(in, "%s", buffer, 200u);
      if (!LoadMaterialLibrary(table, mesh, buffer)) {  // a failed library leaves the mesh without materials
        mesh.materials.clear();
        mesh.hasMaterials = false;
        mesh.materialCount = 0;
      }
    }
    if (strcmp(buffer, "v") == 0) mesh.positionCount++;
    if (strcmp(buffer, "vn") == 0) normalCount++;
    if (strcmp(buffer, "vt") == 0) texcoordCount++;
    if (strcmp(buffer, "f") == 0) mesh.faceCount++;
  }
  if (!mesh.hasMaterials) mesh.materialCount = 0;

  std::vector<D3DXVECTOR3> positions(mesh.positionCount, D3DXVECTOR3(0, 0, 0));
  std::vector<D3DXVECTOR3> normals(normalCount, D3DXVECTOR3(0, 0, 0));
  std::vector<D3DXVECTOR2> texcoords(texcoordCount, D3DXVECTOR2(0, 0));
  const Vertex blank = {D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 0), D3DXVECTOR2(0, 0)};
  std::vector<Vertex> faceVertices(mesh.faceCount * 3, blank);

  Rewind(in);
  float x = 0, y = 0, z = 0;
  size_t positionIndex = 0, normalIndex = 0, texcoordIndex = 0;
  while (!in.eof) {
    memset(buffer, 0, sizeof buffer);
    Scan(in, "%s ", buffer, 200u);
    if (strcmp(buffer, "v") == 0) {
      Scan(in, "%f %f %f", &x, &y, &z);
      if (positionIndex < positions.size()) positions[positionIndex++] = D3DXVECTOR3(-x, y, z);
    }
    if (strcmp(buffer, "vn") == 0) {
      Scan(in, "%f %f %f", &x, &y, &z);
      if (normalIndex < normals.size()) normals[normalIndex++] = D3DXVECTOR3(-x, y, z);
    }
    if (strcmp(buffer, "vt") == 0) {
      Scan(in, "%f %f", &x, &y);
      if (texcoordIndex < texcoords.size()) texcoords[texcoordIndex++] = D3DXVECTOR2(x, 1.0f - y);
    }
  }

  mesh.hasIndexBuffer.assign(mesh.materialCount, false);
  mesh.indexLists.assign(mesh.materialCount, std::vector<UINT>());
  std::vector<UINT> scratch;
  UINT F = 0;
  bool match = false;
  int p[3] = {0, 0, 0}, t[3] = {0, 0, 0}, n[3] = {0, 0, 0};
  for (UINT i = 0; i < mesh.materialCount; ++i) {
    MaterialRecord& material = mesh.materials[i];
    Rewind(in);
    UINT k = 0;
    scratch.clear();
    while (F < mesh.faceCount) {
      if (in.eof) break;
      memset(buffer, 0, sizeof buffer);
      Scan(in, "%s ", buffer, 200u);
      if (strcmp(buffer, "usemtl") == 0) {
        Scan(in, "%s", buffer, 200u);
        match = strcmp(buffer, material.name.c_str()) == 0;
      }
      if (strcmp(buffer, "f") == 0 && match) {
        if (material.textured)
          Scan(in, "%d/%d/%d %d/%d/%d %d/%d/%d", &p[0], &t[0], &n[0], &p[1], &t[1], &n[1], &p[2], &t[2], &n[2]);
        else
          Scan(in, "%d//%d %d//%d %d//%d", &p[0], &n[0], &p[1], &n[1], &p[2], &n[2]);
        for (int c = 0; c < 3; ++c) {
          Vertex& vertex = faceVertices[3 * F + c];
          vertex.position = Element(positions, p[c]);
          vertex.normal = Element(normals, n[c]);
          if (material.textured) vertex.texcoord = Element(texcoords, t[c]);
          scratch.push_back(3 * F + c);
        }
        ++k;
        ++F;
      }
    }
    material.faceCount = k;
    if (k != 0) {
      mesh.hasIndexBuffer[i] = true;
      mesh.indexLists[i] = scratch;
    }
  }
  mesh.hasVertexBuffer = mesh.faceCount != 0;
  if (mesh.hasVertexBuffer) mesh.vertices = faceVertices;
}

}  // namespace literal
