// The viewer's default scene as plain data for a raw OpenGL reference: the layer's compiled shader code
// for Fog.hlsl, the meshes' vertex and index bytes as the viewer's buffers hold them, every texture's mip
// chain, and the constants of a frame. Written to a file and read back, so that a separate small
// program can draw the same first frame without parsing models or compiling HLSL.
#pragma once

#include <windows.h>
#include <d3d11.h>

#include <string>
#include <vector>

#include "graphics/ShaderConstants.h"

// Ends the program with a message naming it.
[[noreturn]] void BenchFail(const std::string& message);

struct Image {
  int width = 0;
  int height = 0;
  DXGI_FORMAT format = DXGI_FORMAT_UNKNOWN;
  std::vector<unsigned char> pixels;  // top row first, 4 bytes a pixel, no padding
};

// The constant blocks of one frame: b0, and b1 (the same for both meshes, whose world is the identity).
struct RawFrame {
  FrameConstants frame;
  ObjectConstants object;
};

struct RawSceneDraw {
  std::vector<unsigned char> indices;  // 32-bit indices
  MaterialConstants colours = {};
  int texture = -1;  // into RawScene::textures; -1 keeps the previous binding of t0, as the viewer does
};

struct RawSceneMesh {
  std::vector<unsigned char> vertices;  // Vertex records
  std::vector<RawSceneDraw> draws;
};

struct RawScene {
  int clientWidth = 0;
  int clientHeight = 0;
  std::vector<unsigned char> vertexCode;  // D3DX11CompileFromFileW's blobs of VS and PS
  std::vector<unsigned char> pixelCode;
  std::vector<std::vector<Image>> textures;  // each a mip chain, the largest level first
  std::vector<RawSceneMesh> meshes;          // the scene, then the sky
  int sharedTexture = -1;                    // t1
  RawFrame firstFrame = {};
};

void WriteRawScene(const RawScene& scene, const std::string& path);
RawScene ReadRawScene(const std::string& path);
