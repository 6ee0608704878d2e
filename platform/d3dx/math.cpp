// D3DX 10 math in single precision, with the formulas D3DX documents.
#include <d3dx10math.h>

#include <math.h>

namespace {

D3DXVECTOR3 Subtract(const D3DXVECTOR3& a, const D3DXVECTOR3& b) { return D3DXVECTOR3(a.x - b.x, a.y - b.y, a.z - b.z); }

D3DXVECTOR3 Cross(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
  return D3DXVECTOR3(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}

float Dot(const D3DXVECTOR3& a, const D3DXVECTOR3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

D3DXVECTOR3 Normalize(const D3DXVECTOR3& v) {
  const float length = sqrtf(Dot(v, v));
  if (length == 0.0f) return D3DXVECTOR3(0.0f, 0.0f, 0.0f);
  return D3DXVECTOR3(v.x / length, v.y / length, v.z / length);
}

}  // namespace

D3DXMATRIX* WINAPI D3DXMatrixLookAtLH(D3DXMATRIX* pOut, CONST D3DXVECTOR3* pEye, CONST D3DXVECTOR3* pAt,
                                      CONST D3DXVECTOR3* pUp) {
  const D3DXVECTOR3 eye = *pEye;
  const D3DXVECTOR3 z = Normalize(Subtract(*pAt, eye));
  const D3DXVECTOR3 x = Normalize(Cross(*pUp, z));
  const D3DXVECTOR3 y = Cross(z, x);
  *pOut = D3DXMATRIX(x.x, y.x, z.x, 0.0f,  //
                     x.y, y.y, z.y, 0.0f,  //
                     x.z, y.z, z.z, 0.0f,  //
                     -Dot(x, eye), -Dot(y, eye), -Dot(z, eye), 1.0f);
  return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixPerspectiveFovLH(D3DXMATRIX* pOut, FLOAT fovy, FLOAT Aspect, FLOAT zn, FLOAT zf) {
  const float yScale = 1.0f / tanf(fovy / 2.0f);
  const float xScale = yScale / Aspect;
  const float depth = zf / (zf - zn);
  *pOut = D3DXMATRIX(xScale, 0.0f, 0.0f, 0.0f,  //
                     0.0f, yScale, 0.0f, 0.0f,  //
                     0.0f, 0.0f, depth, 1.0f,   //
                     0.0f, 0.0f, -zn * depth, 0.0f);
  return pOut;
}

D3DXVECTOR4* WINAPI D3DXVec4Normalize(D3DXVECTOR4* pOut, CONST D3DXVECTOR4* pV) {
  const D3DXVECTOR4 v = *pV;
  const float length = sqrtf(v.x * v.x + v.y * v.y + v.z * v.z + v.w * v.w);
  if (length == 0.0f)
    *pOut = D3DXVECTOR4(0.0f, 0.0f, 0.0f, 0.0f);
  else
    *pOut = D3DXVECTOR4(v.x / length, v.y / length, v.z / length, v.w / length);
  return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixMultiply(D3DXMATRIX* pOut, CONST D3DXMATRIX* pM1, CONST D3DXMATRIX* pM2) {
  D3DXMATRIX product;
  for (int row = 0; row < 4; ++row)
    for (int col = 0; col < 4; ++col)
      product.m[row][col] = pM1->m[row][0] * pM2->m[0][col] + pM1->m[row][1] * pM2->m[1][col] +
                            pM1->m[row][2] * pM2->m[2][col] + pM1->m[row][3] * pM2->m[3][col];
  *pOut = product;
  return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixTranspose(D3DXMATRIX* pOut, CONST D3DXMATRIX* pM) {
  D3DXMATRIX transposed;
  for (int row = 0; row < 4; ++row)
    for (int col = 0; col < 4; ++col) transposed.m[row][col] = pM->m[col][row];
  *pOut = transposed;
  return pOut;
}
