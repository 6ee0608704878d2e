#include "render/Render.h"

// Placeholder until frame rendering lands.
void RenderFrame(Application&) {}
