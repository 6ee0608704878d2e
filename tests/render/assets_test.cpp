// The committed data files: what the generator writes, and the conventions the loaders rely on.
#include <gtest/gtest.h>
#include <math.h>
#include <stdlib.h>

#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const fs::path kAssets = fs::path(VIEWER_SOURCE_DIR) / "assets";

TEST(AssetsTest, GeneratorReproducesTheCommittedFiles) {
  const fs::path out = fs::temp_directory_path() / ("viewer-assets-" + std::to_string(getpid()));
  fs::create_directories(out);
  ASSERT_EQ(system((std::string(GENERATE_ASSETS) + " " + out.string()).c_str()), 0);
  size_t files = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(out)) {
    ++files;
    EXPECT_EQ(ReadFile(entry.path()), ReadFile(kAssets / entry.path().filename()))
        << entry.path().filename() << " differs from assets/: run the regenerate_assets target";
  }
  EXPECT_EQ(files, size_t(std::distance(fs::directory_iterator(kAssets), fs::directory_iterator())));
  fs::remove_all(out);
}

// A model as the loaders see it: a stream of whitespace-separated tokens.
struct Model {
  std::vector<std::array<double, 3>> positions;
  size_t texcoords = 0, normals = 0;
  std::map<std::string, std::string> textureOf;  // material name -> "map_Kd" file ("" for none)
  std::map<std::string, size_t> facesOf;
};

void ReadLibrary(const fs::path& path, Model& model) {
  std::istringstream in(ReadFile(path));
  ASSERT_FALSE(in.str().empty()) << path;
  std::string token, current;
  while (in >> token) {
    if (token == "newmtl") in >> current, model.textureOf[current] = "";
    if (token == "map_Kd") in >> model.textureOf[current];
  }
}

// Reads a model and checks every face: three references, in the form its material takes, within the lists.
Model ReadModel(const fs::path& path) {
  Model model;
  std::istringstream in(ReadFile(path));
  std::string token, material;
  while (in >> token) {
    if (token == "mtllib") in >> token, ReadLibrary(path.parent_path() / token, model);
    if (token == "v") {
      std::array<double, 3> p;
      in >> p[0] >> p[1] >> p[2];
      model.positions.push_back(p);
    }
    if (token == "vt") ++model.texcoords;
    if (token == "vn") ++model.normals;
    if (token == "usemtl") in >> material;
    if (token != "f") continue;
    EXPECT_EQ(model.textureOf.count(material), 1u) << "usemtl " << material << " names no material";
    const bool textured = !model.textureOf[material].empty();
    ++model.facesOf[material];
    std::string line;
    std::getline(in, line);
    std::istringstream refs(line);
    int count = 0;
    for (std::string ref; refs >> ref; ++count) {
      size_t p = 0, t = 0, n = 0;
      char s1 = 0, s2 = 0;
      std::istringstream parts(ref);
      if (textured)
        parts >> p >> s1 >> t >> s2 >> n;
      else
        parts >> p >> s1 >> s2 >> n;
      EXPECT_TRUE(parts && s1 == '/' && s2 == '/' && parts.peek() == EOF) << ref << " in material " << material;
      EXPECT_TRUE(p >= 1 && n >= 1 && (!textured || t >= 1)) << ref;
      EXPECT_TRUE(p <= model.positions.size() && t <= model.texcoords && n <= model.normals)
          << ref << ": references come after the lists they index";
    }
    EXPECT_EQ(count, 3) << "f" << line;
  }
  return model;
}

TEST(AssetsTest, SceneHasTexturedAndPlainMaterialsAtSeveralDepths) {
  Model scene = ReadModel(kAssets / "test.obj");
  size_t textured = 0;
  for (const auto& [name, texture] : scene.textureOf) {
    EXPECT_GT(scene.facesOf[name], 0u) << name << " draws nothing";
    if (texture.empty()) continue;
    ++textured;
    EXPECT_TRUE(fs::exists(kAssets / texture)) << texture;
  }
  EXPECT_GE(scene.textureOf.size(), 3u);
  EXPECT_GE(textured, 1u);
  EXPECT_GE(scene.textureOf.size() - textured, 1u);

  double nearest = 1e9, farthest = -1e9;
  for (const auto& p : scene.positions) {
    if (p[1] <= 0) continue;  // the ground
    nearest = std::min(nearest, p[2]), farthest = std::max(farthest, p[2]);
  }
  EXPECT_LT(nearest, 0.6) << "something within reach of the starting camera at z = -0.1";
  EXPECT_GT(farthest, 7.5) << "something deep in the fog";
}

TEST(AssetsTest, SkyIsATexturedSphereOfRadiusTen) {
  Model sky = ReadModel(kAssets / "Sky_Sphere_R10.obj");
  ASSERT_EQ(sky.textureOf.size(), 1u);
  EXPECT_TRUE(fs::exists(kAssets / sky.textureOf.begin()->second));
  EXPECT_GT(sky.facesOf.begin()->second, 200u);
  for (const auto& p : sky.positions) EXPECT_NEAR(sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]), 10.0, 1e-3);
}

}  // namespace
