// GDI stock objects: handles that identify the stock brushes.
#include <windows.h>

namespace {

HBRUSH__ g_stockBrushes[NULL_BRUSH + 1];

}  // namespace

HGDIOBJ WINAPI GetStockObject(int i) {
  if (i < WHITE_BRUSH || i > NULL_BRUSH) return nullptr;
  return &g_stockBrushes[i];
}
