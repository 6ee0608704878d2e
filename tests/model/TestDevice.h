// A hardware device for the loader tests, GPU buffers read back through STAGING copies, small BMP files
// and a scratch folder the tests run in (the loaders open files relative to the working directory).
#pragma once

#include <windows.h>
#include <d3d11.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/Application.h"

// Creates app.device and app.context; false when no device can be made.
bool CreateTestDevice(Application& app);
void ReleaseTestDevice(Application& app);
// Releases the mesh's buffers and materials and zeroes it.
void ReleaseMesh(Mesh& mesh);

// The buffer's bytes, copied to a STAGING buffer and mapped for reading.
std::vector<unsigned char> ReadBuffer(Application& app, ID3D11Buffer* buffer);
UINT BufferByteWidth(ID3D11Buffer* buffer);

// Enters a fresh scratch folder for the life of the object, and leaves and removes it afterwards.
struct ScratchFolder {
  ScratchFolder();
  ~ScratchFolder();
  std::string path;
  std::string previous;
};

void WriteFile(const std::string& name, const std::string& contents);
// A 2 x 2, 24-bit BMP image.
std::string SmallBmp();

std::vector<Vertex> ReadVertices(Application& app, const Mesh& mesh);
std::vector<UINT> ReadIndices(Application& app, ID3D11Buffer* buffer);

// A device, an empty mesh and a scratch folder for each test.
class DeviceTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(CreateTestDevice(app)); }
  void TearDown() override {
    ReleaseMesh(mesh);
    ReleaseTestDevice(app);
  }

  Application app;
  Mesh mesh = Mesh();
  ScratchFolder folder;
};
