// The per-draw shaders of the overhead benchmark: a small quad placed and coloured by one cbuffer that
// both stages read, rewritten before every draw.
cbuffer Draw : register(b0)
{
    float4 offset;
    float4 color;
    float4 scale;
    float4 unused;
};

float4 VS(float3 position : POSITION) : SV_Position
{
    return float4(position * scale.xyz + offset.xyz, 1);
}

float4 PS(float4 position : SV_Position) : SV_Target
{
    return color;
}
