// D3DX math against references computed in double precision from the documented formulas, and camera
// matrices applied to points whose images are known.
#include <d3dx10math.h>
#include <gtest/gtest.h>

#include <math.h>

#include <array>

namespace {

using Matrix = std::array<std::array<double, 4>, 4>;
using Vector = std::array<double, 4>;

D3DXMATRIX Sample(float seed) {
  D3DXMATRIX m;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) m.m[r][c] = seed + 0.5f * r - 0.25f * c + (r == c ? 2.0f : 0.0f) + 0.125f * r * c;
  return m;
}

Matrix ToDouble(const D3DXMATRIX& m) {
  Matrix d;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) d[r][c] = m.m[r][c];
  return d;
}

void ExpectNear(const Matrix& expected, const D3DXMATRIX& actual, double tolerance) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(expected[r][c], actual.m[r][c], tolerance) << "element " << r << "," << c;
}

// Row vector times matrix, then the perspective divide.
Vector Transform(const Vector& v, const D3DXMATRIX& m) {
  Vector out = {0, 0, 0, 0};
  for (int c = 0; c < 4; ++c)
    for (int k = 0; k < 4; ++k) out[c] += v[k] * m.m[k][c];
  return out;
}

Vector Project(const Vector& point, const D3DXMATRIX& m) {
  Vector clip = Transform(point, m);
  return {clip[0] / clip[3], clip[1] / clip[3], clip[2] / clip[3], 1.0};
}

// ---- D3DXMATRIX layout -------------------------------------------------------------------------------------

TEST(D3DXMatrixType, ElementsAreRowMajorThroughEveryAccessor) {
  const D3DXMATRIX m(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
  EXPECT_EQ(m._12, 2.0f);
  EXPECT_EQ(m._21, 5.0f);
  EXPECT_EQ(m._43, 15.0f);
  EXPECT_EQ(m.m[1][0], 5.0f);
  EXPECT_EQ(m(3, 2), 15.0f);
  const FLOAT* flat = m;
  for (int i = 0; i < 16; ++i) EXPECT_EQ(flat[i], float(i + 1));
  EXPECT_EQ(sizeof(D3DXMATRIX), 16 * sizeof(float));

  D3DXMATRIX copy(flat);
  copy(2, 1) = 99.0f;
  EXPECT_EQ(copy._32, 99.0f);
}

// ---- Identity, multiply, transpose -------------------------------------------------------------------------

TEST(D3DXMatrixOps, IdentityHasOnesOnTheDiagonalOnly) {
  D3DXMATRIX m = Sample(7.0f);
  EXPECT_EQ(D3DXMatrixIdentity(&m), &m);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_EQ(m.m[r][c], r == c ? 1.0f : 0.0f);
}

TEST(D3DXMatrixOps, MultiplyMatchesTheRowByColumnProduct) {
  const D3DXMATRIX a = Sample(0.5f), b = Sample(-1.5f);
  Matrix expected = {};
  const Matrix da = ToDouble(a), db = ToDouble(b);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c)
      for (int k = 0; k < 4; ++k) expected[r][c] += da[r][k] * db[k][c];
  D3DXMATRIX out;
  EXPECT_EQ(D3DXMatrixMultiply(&out, &a, &b), &out);
  ExpectNear(expected, out, 1e-4);

  // The product applies a first: a point through a, then through b.
  const Vector point = {1, -2, 3, 1};
  const Vector twoSteps = Transform(Transform(point, a), b);
  const Vector oneStep = Transform(point, out);
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(twoSteps[i], oneStep[i], 1e-3);
}

TEST(D3DXMatrixOps, MultiplyWorksWhenTheOutputIsAnInput) {
  const D3DXMATRIX a = Sample(0.5f), b = Sample(-1.5f);
  D3DXMATRIX expected;
  D3DXMatrixMultiply(&expected, &a, &b);

  D3DXMATRIX left = a;
  EXPECT_EQ(D3DXMatrixMultiply(&left, &left, &b), &left);
  EXPECT_TRUE(left == expected);
  D3DXMATRIX right = b;
  D3DXMatrixMultiply(&right, &a, &right);
  EXPECT_TRUE(right == expected);
  D3DXMATRIX both = a;
  D3DXMATRIX square;
  D3DXMatrixMultiply(&square, &a, &a);
  D3DXMatrixMultiply(&both, &both, &both);
  EXPECT_TRUE(both == square);
}

TEST(D3DXMatrixOps, TransposeSwapsRowsAndColumnsAlsoInPlace) {
  const D3DXMATRIX a = Sample(2.0f);
  D3DXMATRIX out;
  EXPECT_EQ(D3DXMatrixTranspose(&out, &a), &out);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_EQ(out.m[r][c], a.m[c][r]);
  D3DXMATRIX inPlace = a;
  D3DXMatrixTranspose(&inPlace, &inPlace);
  EXPECT_TRUE(inPlace == out);
}

// ---- Camera matrices ---------------------------------------------------------------------------------------

Matrix LookAtReference(const Vector& eye, const Vector& at, const Vector& up) {
  auto sub = [](const Vector& a, const Vector& b) { return Vector{a[0] - b[0], a[1] - b[1], a[2] - b[2], 0}; };
  auto dot = [](const Vector& a, const Vector& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; };
  auto cross = [](const Vector& a, const Vector& b) {
    return Vector{a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0], 0};
  };
  auto normal = [&](const Vector& v) {
    const double l = sqrt(dot(v, v));
    return Vector{v[0] / l, v[1] / l, v[2] / l, 0};
  };
  const Vector z = normal(sub(at, eye)), x = normal(cross(up, z)), y = cross(z, x);
  return {{{x[0], y[0], z[0], 0}, {x[1], y[1], z[1], 0}, {x[2], y[2], z[2], 0},
           {-dot(x, eye), -dot(y, eye), -dot(z, eye), 1}}};
}

TEST(D3DXCamera, LookAtMatchesTheDocumentedFormula) {
  const struct {
    Vector eye, at, up;
  } cases[] = {{{0, 0.3, -0.1, 0}, {0, 0.31, 0.0, 0}, {0, 1, 0, 0}},
               {{3, -2, 5, 0}, {-1, 4, 0.5, 0}, {0, 1, 0, 0}},
               {{1, 1, 1, 0}, {0, 0, 0, 0}, {0, 0, 1, 0}}};
  for (const auto& c : cases) {
    const D3DXVECTOR3 eye(float(c.eye[0]), float(c.eye[1]), float(c.eye[2]));
    const D3DXVECTOR3 at(float(c.at[0]), float(c.at[1]), float(c.at[2]));
    const D3DXVECTOR3 up(float(c.up[0]), float(c.up[1]), float(c.up[2]));
    D3DXMATRIX view;
    EXPECT_EQ(D3DXMatrixLookAtLH(&view, &eye, &at, &up), &view);
    ExpectNear(LookAtReference(c.eye, c.at, c.up), view, 1e-5);
  }
}

TEST(D3DXCamera, LookAtPutsTheEyeAtTheOriginLookingDownPlusZ) {
  const D3DXVECTOR3 eye(0.0f, 0.3f, -0.1f), at(0.0f, 0.31f, 0.0f), up(0.0f, 1.0f, 0.0f);
  D3DXMATRIX view;
  D3DXMatrixLookAtLH(&view, &eye, &at, &up);
  const Vector eyeSeen = Transform({0, 0.3, -0.1, 1}, view);
  const Vector atSeen = Transform({0, 0.31, 0.0, 1}, view);
  EXPECT_NEAR(eyeSeen[0], 0, 1e-6);
  EXPECT_NEAR(eyeSeen[1], 0, 1e-6);
  EXPECT_NEAR(eyeSeen[2], 0, 1e-6);
  EXPECT_NEAR(atSeen[0], 0, 1e-6);
  EXPECT_NEAR(atSeen[1], 0, 1e-6);
  EXPECT_NEAR(atSeen[2], sqrt(0.01 * 0.01 + 0.1 * 0.1), 1e-6);
  // Left-handed, y up: +x in the world is to the right, and a point above the line of sight is above.
  EXPECT_GT(Transform({1, 0.3, 1, 1}, view)[0], 0);
  EXPECT_GT(Transform({0, 1.3, 1, 1}, view)[1], 0);
}

TEST(D3DXCamera, PerspectiveMatchesTheDocumentedFormula) {
  const double fov = 3.14159265358979 / 3, aspect = 4.0 / 3, zn = 0.1, zf = 100.0;
  D3DXMATRIX projection;
  EXPECT_EQ(D3DXMatrixPerspectiveFovLH(&projection, float(fov), float(aspect), float(zn), float(zf)), &projection);
  const double yScale = 1 / tan(fov / 2), xScale = yScale / aspect;
  const Matrix expected = {{{xScale, 0, 0, 0}, {0, yScale, 0, 0}, {0, 0, zf / (zf - zn), 1},
                            {0, 0, -zn * zf / (zf - zn), 0}}};
  ExpectNear(expected, projection, 1e-5);
}

TEST(D3DXCamera, PerspectiveMapsTheFrustumToTheDirect3DClipVolume) {
  const float fov = 3.14159265f / 3, aspect = 4.0f / 3, zn = 0.1f, zf = 100.0f;
  D3DXMATRIX projection;
  D3DXMatrixPerspectiveFovLH(&projection, fov, aspect, zn, zf);
  EXPECT_NEAR(Project({0, 0, zn, 1}, projection)[2], 0.0, 1e-6);
  EXPECT_NEAR(Project({0, 0, zf, 1}, projection)[2], 1.0, 1e-6);
  const double z = 10, halfHeight = z * tan(fov / 2.0), halfWidth = halfHeight * aspect;
  const Vector topRight = Project({halfWidth, halfHeight, z, 1}, projection);
  EXPECT_NEAR(topRight[0], 1.0, 1e-5);
  EXPECT_NEAR(topRight[1], 1.0, 1e-5);
  EXPECT_GT(topRight[2], 0.0);
  EXPECT_LT(topRight[2], 1.0);
  // A point behind the camera has w < 0: it is clipped.
  EXPECT_LT(Transform({0, 0, -1, 1}, projection)[3], 0.0);
}

// ---- Vec4Normalize ------------------------------------------------------------------------------------------

TEST(D3DXVec4Normalize, DividesByTheFourComponentLength) {
  const D3DXVECTOR4 cases[] = {{0, 1, 0, 0}, {3, 0, 4, 0}, {1, -2, 3, -4}, {0.001f, 0.002f, 0, 0.002f}};
  for (const D3DXVECTOR4& v : cases) {
    const double length = sqrt(double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z + double(v.w) * v.w);
    D3DXVECTOR4 out;
    EXPECT_EQ(D3DXVec4Normalize(&out, &v), &out);
    EXPECT_NEAR(out.x, v.x / length, 1e-6);
    EXPECT_NEAR(out.y, v.y / length, 1e-6);
    EXPECT_NEAR(out.z, v.z / length, 1e-6);
    EXPECT_NEAR(out.w, v.w / length, 1e-6);
  }
  D3DXVECTOR4 inPlace(3, 0, 4, 0);
  D3DXVec4Normalize(&inPlace, &inPlace);
  EXPECT_NEAR(inPlace.x, 0.6, 1e-6);
  EXPECT_NEAR(inPlace.z, 0.8, 1e-6);
}

}  // namespace
