// How Direct3D's register classes cross from the HLSL front end to the GLSL back end. glslang's binding
// shifts keep each class's own numbers: cbuffer b<n> becomes binding n, texture t<n> binding
// kTextureShift + n, sampler s<n> binding kSamplerShift + n. The back end takes the shifts off again.
#pragma once

namespace platform {

constexpr unsigned kTextureShift = 1000;
constexpr unsigned kSamplerShift = 2000;

}  // namespace platform
