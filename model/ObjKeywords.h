// The keywords of the model file and the token buffer of its statement loops, shared by the passes.
#pragma once

#include <stddef.h>

#include "model/TextScanner.h"

const size_t kTokenBufferSize = 200;  // a token or a file name: at most 199 bytes

inline bool IsWord(const Token& token, char first) { return token.length == 1 && token.text[0] == first; }
inline bool IsWord(const Token& token, char first, char second) {
  return token.length == 2 && token.text[0] == first && token.text[1] == second;
}
inline bool IsPosition(const Token& token) { return IsWord(token, 'v'); }
inline bool IsNormal(const Token& token) { return IsWord(token, 'v', 'n'); }
inline bool IsTexcoord(const Token& token) { return IsWord(token, 'v', 't'); }
inline bool IsFace(const Token& token) { return IsWord(token, 'f'); }
inline bool IsSelection(const Token& token) { return TokenIs(token, "usemtl", 6); }
inline bool IsLibrary(const Token& token) { return TokenIs(token, "mtllib", 6); }
