#include "RawScene.h"

#include <errno.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <type_traits>

void BenchFail(const std::string& message) {
  fprintf(stderr, "%s: %s\n", program_invocation_short_name, message.c_str());
  exit(1);
}

namespace {

class Writer {
 public:
  template <class T>
  void Value(const T& value) {
    static_assert(std::is_trivially_copyable_v<T>, "written as bytes");
    const auto* p = reinterpret_cast<const unsigned char*>(&value);
    bytes.insert(bytes.end(), p, p + sizeof value);
  }
  void Bytes(const std::vector<unsigned char>& data) {
    Value(uint64_t{data.size()});
    bytes.insert(bytes.end(), data.begin(), data.end());
  }
  std::vector<unsigned char> bytes;
};

class Reader {
 public:
  explicit Reader(std::vector<unsigned char> data) : data_(std::move(data)) {}
  template <class T>
  T Value() {
    T value;
    Take(&value, sizeof value);
    return value;
  }
  std::vector<unsigned char> Bytes() {
    const uint64_t size = Value<uint64_t>();
    if (size > data_.size() - at_) BenchFail("the scene file is truncated");
    std::vector<unsigned char> out(data_.begin() + at_, data_.begin() + at_ + size);
    at_ += size;
    return out;
  }
  // A count of records that each take at least one byte, checked against what is left.
  size_t Count() {
    const uint64_t count = Value<uint64_t>();
    if (count > data_.size() - at_) BenchFail("the scene file is truncated");
    return count;
  }

 private:
  void Take(void* out, size_t size) {
    if (size > data_.size() - at_) BenchFail("the scene file is truncated");
    memcpy(out, data_.data() + at_, size);
    at_ += size;
  }
  std::vector<unsigned char> data_;
  size_t at_ = 0;
};

}  // namespace

void WriteRawScene(const RawScene& scene, const std::string& path) {
  Writer w;
  w.Value(scene.clientWidth);
  w.Value(scene.clientHeight);
  w.Bytes(scene.vertexCode);
  w.Bytes(scene.pixelCode);
  w.Value(uint64_t{scene.textures.size()});
  for (const std::vector<Image>& levels : scene.textures) {
    w.Value(uint64_t{levels.size()});
    for (const Image& image : levels) {
      w.Value(image.width);
      w.Value(image.height);
      w.Value(image.format);
      w.Bytes(image.pixels);
    }
  }
  w.Value(uint64_t{scene.meshes.size()});
  for (const RawSceneMesh& mesh : scene.meshes) {
    w.Bytes(mesh.vertices);
    w.Value(uint64_t{mesh.draws.size()});
    for (const RawSceneDraw& draw : mesh.draws) {
      w.Bytes(draw.indices);
      w.Value(draw.colours);
      w.Value(draw.texture);
    }
  }
  w.Value(scene.sharedTexture);
  w.Value(scene.firstFrame);
  FILE* file = fopen(path.c_str(), "wb");
  if (!file || fwrite(w.bytes.data(), 1, w.bytes.size(), file) != w.bytes.size() || fclose(file) != 0)
    BenchFail("cannot write the scene file " + path);
}

RawScene ReadRawScene(const std::string& path) {
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) BenchFail("cannot open the scene file " + path);
  std::vector<unsigned char> data;
  unsigned char buffer[65536];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, file)) > 0;) data.insert(data.end(), buffer, buffer + n);
  fclose(file);
  Reader r(std::move(data));
  RawScene scene;
  scene.clientWidth = r.Value<int>();
  scene.clientHeight = r.Value<int>();
  scene.vertexCode = r.Bytes();
  scene.pixelCode = r.Bytes();
  scene.textures.resize(r.Count());
  for (std::vector<Image>& levels : scene.textures) {
    levels.resize(r.Count());
    for (Image& image : levels) {
      image.width = r.Value<int>();
      image.height = r.Value<int>();
      image.format = r.Value<DXGI_FORMAT>();
      image.pixels = r.Bytes();
      if (image.width <= 0 || image.height <= 0 || image.pixels.size() != size_t(image.width) * image.height * 4)
        BenchFail("the scene file has an image of the wrong size");
    }
  }
  scene.meshes.resize(r.Count());
  for (RawSceneMesh& mesh : scene.meshes) {
    mesh.vertices = r.Bytes();
    mesh.draws.resize(r.Count());
    for (RawSceneDraw& draw : mesh.draws) {
      draw.indices = r.Bytes();
      draw.colours = r.Value<MaterialConstants>();
      draw.texture = r.Value<int>();
      if (draw.texture < -1 || draw.texture >= int(scene.textures.size()))
        BenchFail("the scene file names a texture it lacks");
    }
  }
  scene.sharedTexture = r.Value<int>();
  if (scene.sharedTexture < -1 || scene.sharedTexture >= int(scene.textures.size()))
    BenchFail("the scene file names a shared texture it lacks");
  scene.firstFrame = r.Value<RawFrame>();
  return scene;
}
