// Frame rendering and mesh drawing.
#pragma once

#include "app/Application.h"

void RenderFrame(Application& app);
void DrawMesh(Application& app, Mesh& mesh);
