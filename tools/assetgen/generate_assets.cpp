// Writes the viewer's data files into the folder named on the command line: the scene "test.obj" with
// "test.mtl", the sky "Sky_Sphere_R10.obj" with "Sky_Sphere_R10.mtl", their textures and the projector
// picture "t3.bmp". The output is deterministic; the committed assets/ folder is its result.
//
// Geometry is built in the viewer's left-handed world (x right, y up, z forward, image v downward) and
// written in the file conventions the loader undoes: x of positions and normals negated, v flipped.
// Triangles are ordered counter-clockwise on screen when seen from the side their normal points to.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

struct Vec3 {
  double x, y, z;
};
Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 operator*(Vec3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
double Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 Cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }

struct Color {
  double r, g, b;
};

double Clamp01(double v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }
double Mix(double a, double b, double t) { return a + (b - a) * t; }
Color Mix(Color a, Color b, double t) { return {Mix(a.r, b.r, t), Mix(a.g, b.g, t), Mix(a.b, b.b, t)}; }
double SmoothStep(double e0, double e1, double x) {
  double t = Clamp01((x - e0) / (e1 - e0));
  return t * t * (3 - 2 * t);
}

// Fixed-point text without exponents or negative zeros, so every reader takes the numbers alike.
std::string Number(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.5f", v);
  std::string s = text;
  while (s.back() == '0') s.pop_back();
  if (s.back() == '.') s.pop_back();
  return s == "-0" ? "0" : s;
}

// ---- Images: 24-bit uncompressed BMP, rows stored bottom-up and padded to 4 bytes.

using Shader = std::function<Color(int x, int y)>;

bool WriteBmp(const std::string& path, int width, int height, const Shader& shade) {
  const int rowSize = (width * 3 + 3) & ~3;
  const uint32_t pixelBytes = uint32_t(rowSize) * uint32_t(height);
  std::vector<uint8_t> file(54 + pixelBytes, 0);
  auto put16 = [&](size_t at, uint32_t v) { file[at] = v & 0xFF, file[at + 1] = (v >> 8) & 0xFF; };
  auto put32 = [&](size_t at, uint32_t v) { put16(at, v & 0xFFFF), put16(at + 2, v >> 16); };
  file[0] = 'B', file[1] = 'M';
  put32(2, uint32_t(file.size()));
  put32(10, 54);  // pixel data offset
  put32(14, 40);  // BITMAPINFOHEADER
  put32(18, uint32_t(width));
  put32(22, uint32_t(height));
  put16(26, 1);   // planes
  put16(28, 24);  // bits per pixel
  put32(34, pixelBytes);
  put32(38, 2835), put32(42, 2835);  // 72 dpi
  for (int y = 0; y < height; ++y) {
    uint8_t* row = &file[54 + size_t(height - 1 - y) * rowSize];
    for (int x = 0; x < width; ++x) {
      Color c = shade(x, y);
      row[x * 3 + 0] = uint8_t(std::lround(Clamp01(c.b) * 255));
      row[x * 3 + 1] = uint8_t(std::lround(Clamp01(c.g) * 255));
      row[x * 3 + 2] = uint8_t(std::lround(Clamp01(c.r) * 255));
    }
  }
  FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) return false;
  bool ok = std::fwrite(file.data(), 1, file.size(), out) == file.size();
  return std::fclose(out) == 0 && ok;
}

// Grey and white squares, 8 by 8 per tile.
Color Checker(int x, int y) {
  bool light = ((x / 8) + (y / 8)) % 2 == 0;
  return light ? Color{0.92, 0.92, 0.88} : Color{0.38, 0.40, 0.42};
}

// Courses of 32 x 16 texel bricks in running bond, with mortar along every tile edge, so that all four
// corner texels (what a face without texture coordinates samples at (0, 0)) are mortar.
Color Bricks(int x, int y) {
  const Color mortar{0.86, 0.84, 0.80};
  int course = y / 16;
  int inCourse = y % 16;
  int along = (x + (course % 2) * 16) % 32;
  if (inCourse == 0 || inCourse == 15 || along == 0 || along == 31) return mortar;
  int brick = (x + (course % 2) * 16) / 32 + course * 7;
  double shade = 0.85 + 0.15 * ((brick * 37) % 11) / 10.0;
  return Color{0.70 * shade, 0.28 * shade, 0.20 * shade};
}

// Sky around the sphere: v = 0 is straight up, 0.5 the horizon, 1 straight down.
Color SkyGradient(int, int y, int height) {
  const double v = (y + 0.5) / height;
  const Color zenith{0.18, 0.38, 0.82}, horizon{0.78, 0.86, 0.95}, ground{0.46, 0.50, 0.40}, nadir{0.28, 0.30, 0.24};
  if (v < 0.5) return Mix(zenith, horizon, std::pow(v / 0.5, 1.6));
  return Mix(ground, nadir, (v - 0.5) / 0.5);
}

// The projector's picture: a warm spot with soft rings on mid grey. Mid grey leaves the lit colour as it
// is, so the picture fades out before its edges and the projector's frame never shows.
Color Projector(int x, int y, int size) {
  const double dx = (x + 0.5) / size - 0.5, dy = (y + 0.5) / size - 0.5;
  const double r = std::sqrt(dx * dx + dy * dy) * 2;  // 0 at the centre, 1 at the middle of an edge
  const double spot = 1 - SmoothStep(0.1, 0.95, r);
  const double light = spot * (0.35 + 0.1 * std::cos(r * 20));
  return Color{0.5 + light, 0.5 + light * 0.9, 0.5 + light * 0.6};
}

// ---- Models.

struct Material {
  std::string name;
  Color ambient, diffuse, specular;
  std::string texture;  // empty: faces are written as position//normal
};

struct Corner {
  Vec3 position;
  Vec3 normal;
  double u, v;  // image convention: v grows downward
};

class ObjWriter {
 public:
  explicit ObjWriter(std::vector<Material> materials) : materials_(std::move(materials)), faces_(materials_.size()) {}

  // One triangle of material m; the corners are reordered to face their normals.
  void Triangle(size_t m, Corner a, Corner b, Corner c) {
    Vec3 normal = a.normal + b.normal + c.normal;
    if (Dot(Cross(b.position - a.position, c.position - a.position), normal) > 0) std::swap(b, c);
    std::string face = "f";
    for (const Corner* corner : {&a, &b, &c}) {
      size_t p = Add(positions_, Vec3{-corner->position.x, corner->position.y, corner->position.z});
      size_t n = Add(normals_, Vec3{-corner->normal.x, corner->normal.y, corner->normal.z});
      face += " " + std::to_string(p) + "/";
      if (!materials_[m].texture.empty()) face += std::to_string(Add(texcoords_, Vec3{corner->u, 1 - corner->v, 0}));
      face += "/" + std::to_string(n);
    }
    faces_[m].push_back(face);
  }

  void Quad(size_t m, Corner a, Corner b, Corner c, Corner d) {
    Triangle(m, a, b, c);
    Triangle(m, a, c, d);
  }

  bool Write(const std::string& folder, const std::string& objName, const std::string& mtlName) const {
    std::string obj = "# " + objName + "\nmtllib " + mtlName + "\n";
    for (const Vec3& p : positions_) obj += "v " + Number(p.x) + " " + Number(p.y) + " " + Number(p.z) + "\n";
    for (const Vec3& t : texcoords_) obj += "vt " + Number(t.x) + " " + Number(t.y) + "\n";
    for (const Vec3& n : normals_) obj += "vn " + Number(n.x) + " " + Number(n.y) + " " + Number(n.z) + "\n";
    for (size_t m = 0; m < materials_.size(); ++m) {
      if (faces_[m].empty()) continue;
      obj += "usemtl " + materials_[m].name + "\n";
      for (const std::string& face : faces_[m]) obj += face + "\n";
    }
    std::string mtl = "# " + mtlName + "\n";
    for (const Material& m : materials_) {
      auto color = [](const char* key, Color c) {
        return std::string(key) + " " + Number(c.r) + " " + Number(c.g) + " " + Number(c.b) + "\n";
      };
      mtl += "\nnewmtl " + m.name + "\n" + color("Ka", m.ambient) + color("Kd", m.diffuse) + color("Ks", m.specular);
      if (!m.texture.empty()) mtl += "map_Kd " + m.texture + "\n";
    }
    return WriteText(folder + "/" + objName, obj) && WriteText(folder + "/" + mtlName, mtl);
  }

 private:
  // 1-based index of v in list, adding it when no equal entry exists yet.
  static size_t Add(std::vector<Vec3>& list, Vec3 v) {
    auto same = [](double a, double b) { return Number(a) == Number(b); };
    for (size_t i = 0; i < list.size(); ++i)
      if (same(list[i].x, v.x) && same(list[i].y, v.y) && same(list[i].z, v.z)) return i + 1;
    list.push_back(v);
    return list.size();
  }

  static bool WriteText(const std::string& path, const std::string& text) {
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    return std::fclose(out) == 0 && ok;
  }

  std::vector<Material> materials_;
  std::vector<std::vector<std::string>> faces_;
  std::vector<Vec3> positions_, normals_, texcoords_;
};

// An axis-aligned box; textured faces repeat the texture once per textureSize units.
void Box(ObjWriter& obj, size_t m, Vec3 center, Vec3 size, double textureSize) {
  const Vec3 half = size * 0.5;
  // For each face: its normal and the two in-plane axes that run along u (rightward) and v (downward).
  const Vec3 faces[6][3] = {
      {{0, 0, -1}, {1, 0, 0}, {0, -1, 0}},  {{0, 0, 1}, {-1, 0, 0}, {0, -1, 0}}, {{-1, 0, 0}, {0, 0, -1}, {0, -1, 0}},
      {{1, 0, 0}, {0, 0, 1}, {0, -1, 0}},   {{0, 1, 0}, {1, 0, 0}, {0, 0, -1}},  {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}},
  };
  for (const auto& face : faces) {
    const Vec3 n = face[0], uAxis = face[1], vAxis = face[2];
    const double uHalf = std::fabs(Dot(uAxis, half)), vHalf = std::fabs(Dot(vAxis, half));
    const Vec3 faceCenter = center + Vec3{n.x * half.x, n.y * half.y, n.z * half.z};
    auto corner = [&](double su, double sv) {
      Vec3 p = faceCenter + uAxis * (su * uHalf) + vAxis * (sv * vHalf);
      return Corner{p, n, (su + 1) * uHalf / textureSize, (sv + 1) * vHalf / textureSize};
    };
    obj.Quad(m, corner(-1, -1), corner(1, -1), corner(1, 1), corner(-1, 1));
  }
}

// A UV sphere; inward turns the normals (and so the visible side) towards the centre.
void Sphere(ObjWriter& obj, size_t m, Vec3 center, double radius, int segments, int rings, bool inward) {
  const double pi = 3.14159265358979323846;
  auto corner = [&](int s, int r) {
    const double theta = pi * r / rings, phi = 2 * pi * s / segments;
    const Vec3 out{std::sin(theta) * std::cos(phi), std::cos(theta), std::sin(theta) * std::sin(phi)};
    return Corner{center + out * radius, inward ? out * -1 : out, double(s) / segments, double(r) / rings};
  };
  for (int r = 0; r < rings; ++r) {
    for (int s = 0; s < segments; ++s) {
      Corner a = corner(s, r), b = corner(s + 1, r), c = corner(s + 1, r + 1), d = corner(s, r + 1);
      if (r == 0) {
        a.u = (s + 0.5) / segments;  // the pole: one triangle per segment
        obj.Triangle(m, a, c, d);
      } else if (r == rings - 1) {
        c.u = (s + 0.5) / segments;
        obj.Triangle(m, a, b, c);
      } else {
        obj.Quad(m, a, b, c, d);
      }
    }
  }
}

bool WriteScene(const std::string& folder) {
  enum { kGround, kBrick, kRed, kGreen, kYellow };
  // Textured materials come first: the untextured ones are drawn after them and sample the brick
  // texture's mortar at (0, 0), a near-white that leaves their colours almost as they are.
  ObjWriter obj({
      {"Ground", {0.35, 0.35, 0.35}, {0.65, 0.65, 0.65}, {0.1, 0.1, 0.1}, "checker.bmp"},
      {"Brick", {0.4, 0.4, 0.4}, {0.6, 0.6, 0.6}, {0.05, 0.05, 0.05}, "bricks.bmp"},
      {"Red", {0.45, 0.05, 0.05}, {0.8, 0.1, 0.1}, {0.5, 0.5, 0.5}, ""},
      {"Green", {0.05, 0.35, 0.1}, {0.1, 0.7, 0.2}, {0.6, 0.6, 0.6}, ""},
      {"Yellow", {0.45, 0.4, 0.05}, {0.9, 0.8, 0.1}, {0.3, 0.3, 0.3}, ""},
  });
  // The ground: one tile of the checker texture per 2 units; it runs on under the sky sphere.
  const double x0 = -8, x1 = 8, z0 = -2, z1 = 12, tile = 2;
  auto ground = [&](double x, double z) { return Corner{{x, 0, z}, {0, 1, 0}, x / tile, -z / tile}; };
  obj.Quad(kGround, ground(x0, z0), ground(x1, z0), ground(x1, z1), ground(x0, z1));
  // From near to far, left and right of the view, so the fog shows on each in turn.
  Box(obj, kBrick, {-0.2, 0.07, 0.6}, {0.14, 0.14, 0.14}, 0.14);
  Box(obj, kRed, {0.35, 0.15, 1.5}, {0.3, 0.3, 0.3}, 1);
  Sphere(obj, kGreen, {-0.7, 0.35, 2.8}, 0.35, 16, 8, false);
  Box(obj, kBrick, {1.2, 0.5, 4.5}, {1.4, 1.0, 0.3}, 0.5);
  Box(obj, kYellow, {-1.6, 1.0, 7.5}, {0.5, 2.0, 0.5}, 1);
  Box(obj, kRed, {-3.2, 0.4, 8.0}, {0.8, 0.8, 0.8}, 1);
  return obj.Write(folder, "test.obj", "test.mtl");
}

bool WriteSky(const std::string& folder) {
  // Lit by its ambient colour alone, so the light direction leaves the sky as painted.
  ObjWriter obj({{"Sky", {1, 1, 1}, {0, 0, 0}, {0, 0, 0}, "sky.bmp"}});
  Sphere(obj, 0, {0, 0, 0}, 10, 24, 12, true);
  return obj.Write(folder, "Sky_Sphere_R10.obj", "Sky_Sphere_R10.mtl");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
    return 2;
  }
  const std::string folder = argv[1];
  bool ok = WriteScene(folder) && WriteSky(folder) && WriteBmp(folder + "/checker.bmp", 64, 64, Checker) &&
            WriteBmp(folder + "/bricks.bmp", 128, 64, Bricks) &&
            WriteBmp(folder + "/sky.bmp", 128, 64, [](int x, int y) { return SkyGradient(x, y, 64); }) &&
            WriteBmp(folder + "/t3.bmp", 128, 128, [](int x, int y) { return Projector(x, y, 128); });
  if (!ok) std::fprintf(stderr, "%s: cannot write the data files into %s\n", argv[0], folder.c_str());
  return ok ? 0 : 1;
}
