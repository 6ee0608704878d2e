// The shader program from "Fog.hlsl", the input layout and the three constant buffers.
#pragma once

#include "app/Application.h"

HRESULT InitShaders(Application& app);
