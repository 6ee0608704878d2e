// The material library reader with the device (MaterialLibrary.cpp): the library's passes, with each
// "map_Kd" texture made as soon as its statement is read. Its contract is the readers' (model/MeshLoader.h).
#pragma once

#include "app/Application.h"

// Loads the material library fileName for mesh; on success stores the new array through materialsOut.
HRESULT LoadMaterialLibrary(Application& app, Mesh& mesh, const char* fileName, Material** materialsOut);
