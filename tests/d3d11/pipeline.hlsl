// Shaders for the Direct3D 11 pipeline tests: coloured geometry, constant buffers and texture sampling.

cbuffer Placement : register(b0)
{
    float4 offset;  // added to every position
    float4 tint;    // the colour drawn by VSPlaced
};

struct ColorVertex
{
    float3 position : POSITION;
    float4 color : COLOR;
};

struct ColorPixel
{
    float4 position : SV_Position;
    float4 color : COLOR0;
};

ColorPixel VSColor(ColorVertex input)
{
    ColorPixel output;
    output.position = float4(input.position, 1);
    output.color = input.color;
    return output;
}

ColorPixel VSPlaced(ColorVertex input)
{
    ColorPixel output;
    output.position = float4(input.position + offset.xyz, 1);
    output.color = tint;
    return output;
}

float4 PSColor(ColorPixel input) : SV_Target
{
    return input.color;
}

struct TexturedVertex
{
    float3 position : POSITION;
    float2 uv : TEXCOORD0;
};

struct TexturedPixel
{
    float4 position : SV_Position;
    float2 uv : TEXCOORD0;
};

Texture2D first : register(t0);
Texture2D second : register(t1);
SamplerState sampler0 : register(s0);

TexturedPixel VSTextured(TexturedVertex input)
{
    TexturedPixel output;
    output.position = float4(input.position, 1);
    output.uv = input.uv;
    return output;
}

// t0 on the left half of the quad, t1 on the right half. One return at the end: a compiler that drops a
// return inside if would otherwise show t1 on both halves.
float4 PSTwoTextures(TexturedPixel input) : SV_Target
{
    float4 color = second.Sample(sampler0, input.uv);
    if (input.uv.x < 0.5)
        color = first.Sample(sampler0, input.uv);
    return color;
}

float4 PSFirstTexture(TexturedPixel input) : SV_Target
{
    return first.Sample(sampler0, input.uv);
}
