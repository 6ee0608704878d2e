// Readers of the OBJ and MTL subsets that fill a Mesh and create its GPU buffers and textures.
#pragma once

#include "app/Application.h"

// Loads the material library fileName for mesh; on success stores the new array through materialsOut.
HRESULT LoadMaterialLibrary(Application& app, Mesh& mesh, const char* fileName, Material** materialsOut);
// Loads the model fileName into mesh; always returns S_OK (a bad file leaves what could be loaded).
HRESULT LoadMesh(Application& app, const char* fileName, Mesh& mesh);
