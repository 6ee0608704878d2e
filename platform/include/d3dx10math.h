// D3DX 10 math: vectors and 4 x 4 matrices in the row-vector convention (a point is multiplied on the left,
// v' = v M), left-handed, with projections mapping depth to [0, 1]. Same layout and formulas as on Windows.
#pragma once

#include <windef.h>

#ifndef D3DVECTOR_DEFINED
typedef struct _D3DVECTOR {
  float x;
  float y;
  float z;
} D3DVECTOR;
#define D3DVECTOR_DEFINED
#endif

#ifndef D3DMATRIX_DEFINED
typedef struct _D3DMATRIX {
  union {
    struct {
      float _11, _12, _13, _14;
      float _21, _22, _23, _24;
      float _31, _32, _33, _34;
      float _41, _42, _43, _44;
    };
    float m[4][4];
  };
} D3DMATRIX;
#define D3DMATRIX_DEFINED
#endif

typedef struct D3DXVECTOR2 {
  D3DXVECTOR2() {}
  D3DXVECTOR2(CONST FLOAT* pf) : x(pf[0]), y(pf[1]) {}
  D3DXVECTOR2(FLOAT fx, FLOAT fy) : x(fx), y(fy) {}
  operator FLOAT*() { return &x; }
  operator CONST FLOAT*() const { return &x; }

  FLOAT x, y;
} D3DXVECTOR2, *LPD3DXVECTOR2;

typedef struct D3DXVECTOR3 : public D3DVECTOR {
  D3DXVECTOR3() {}
  D3DXVECTOR3(CONST FLOAT* pf) {
    x = pf[0];
    y = pf[1];
    z = pf[2];
  }
  D3DXVECTOR3(FLOAT fx, FLOAT fy, FLOAT fz) {
    x = fx;
    y = fy;
    z = fz;
  }
  operator FLOAT*() { return &x; }
  operator CONST FLOAT*() const { return &x; }
} D3DXVECTOR3, *LPD3DXVECTOR3;

typedef struct D3DXVECTOR4 {
  D3DXVECTOR4() {}
  D3DXVECTOR4(CONST FLOAT* pf) : x(pf[0]), y(pf[1]), z(pf[2]), w(pf[3]) {}
  D3DXVECTOR4(FLOAT fx, FLOAT fy, FLOAT fz, FLOAT fw) : x(fx), y(fy), z(fz), w(fw) {}
  operator FLOAT*() { return &x; }
  operator CONST FLOAT*() const { return &x; }

  FLOAT x, y, z, w;
} D3DXVECTOR4, *LPD3DXVECTOR4;

// The default constructor leaves the elements uninitialised, as on Windows.
typedef struct D3DXMATRIX : public D3DMATRIX {
  D3DXMATRIX() {}
  D3DXMATRIX(CONST FLOAT* pf) {
    for (int i = 0; i < 16; ++i) (&_11)[i] = pf[i];
  }
  D3DXMATRIX(FLOAT f11, FLOAT f12, FLOAT f13, FLOAT f14, FLOAT f21, FLOAT f22, FLOAT f23, FLOAT f24, FLOAT f31,
             FLOAT f32, FLOAT f33, FLOAT f34, FLOAT f41, FLOAT f42, FLOAT f43, FLOAT f44) {
    _11 = f11; _12 = f12; _13 = f13; _14 = f14;
    _21 = f21; _22 = f22; _23 = f23; _24 = f24;
    _31 = f31; _32 = f32; _33 = f33; _34 = f34;
    _41 = f41; _42 = f42; _43 = f43; _44 = f44;
  }

  FLOAT& operator()(UINT Row, UINT Col) { return m[Row][Col]; }
  FLOAT operator()(UINT Row, UINT Col) const { return m[Row][Col]; }
  operator FLOAT*() { return &_11; }
  operator CONST FLOAT*() const { return &_11; }

  // Exact element-wise comparison.
  BOOL operator==(CONST D3DXMATRIX& other) const {
    for (int i = 0; i < 16; ++i)
      if ((&_11)[i] != (&other._11)[i]) return FALSE;
    return TRUE;
  }
  BOOL operator!=(CONST D3DXMATRIX& other) const { return !(*this == other); }
} D3DXMATRIX, *LPD3DXMATRIX;

inline D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* pOut) {
  pOut->_12 = pOut->_13 = pOut->_14 = pOut->_21 = pOut->_23 = pOut->_24 = 0.0f;
  pOut->_31 = pOut->_32 = pOut->_34 = pOut->_41 = pOut->_42 = pOut->_43 = 0.0f;
  pOut->_11 = pOut->_22 = pOut->_33 = pOut->_44 = 1.0f;
  return pOut;
}

#ifdef __cplusplus
extern "C" {
#endif

// Each function writes *pOut and returns pOut. pOut may be one of the inputs.

// View matrix looking from pEye towards pAt: z = normalize(At - Eye), x = normalize(Up x z), y = z x x;
// rows x, y, z hold the axes as columns and the last row is (-x.Eye, -y.Eye, -z.Eye, 1).
D3DXMATRIX* WINAPI D3DXMatrixLookAtLH(D3DXMATRIX* pOut, CONST D3DXVECTOR3* pEye, CONST D3DXVECTOR3* pAt,
                                      CONST D3DXVECTOR3* pUp);
// Projection with vertical field of view fovy (radians): yScale = cot(fovy / 2), xScale = yScale / Aspect,
// _33 = zf / (zf - zn), _34 = 1, _43 = -zn zf / (zf - zn); depth runs from 0 at zn to 1 at zf.
D3DXMATRIX* WINAPI D3DXMatrixPerspectiveFovLH(D3DXMATRIX* pOut, FLOAT fovy, FLOAT Aspect, FLOAT zn, FLOAT zf);
// pV divided by its length; a zero vector gives a zero vector.
D3DXVECTOR4* WINAPI D3DXVec4Normalize(D3DXVECTOR4* pOut, CONST D3DXVECTOR4* pV);
// pM1 x pM2: the transformation of pM1 followed by that of pM2.
D3DXMATRIX* WINAPI D3DXMatrixMultiply(D3DXMATRIX* pOut, CONST D3DXMATRIX* pM1, CONST D3DXMATRIX* pM2);
D3DXMATRIX* WINAPI D3DXMatrixTranspose(D3DXMATRIX* pOut, CONST D3DXMATRIX* pM);

#ifdef __cplusplus
}
#endif
