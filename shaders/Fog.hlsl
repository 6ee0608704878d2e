// The viewer's shaders: "VS" (vs_5_0) and "PS" (ps_5_0).
//
// Every surface is lit by one directional light with the material's ambient, diffuse and specular colours,
// textured with the material's texture (t0), tinted by the shared texture (t1) projected from the origin
// along +z like a slide projector, and faded into the fog colour with its distance from the eye.

cbuffer FrameConstants : register(b0)
{
    float4 lightDirection;       // normalised direction towards the light, w = 0
    float  fogDensity;           // 0 or less: no fog; each step up thickens the fog at every distance
    float3 frameUnused0;
    float4 eyePosition;          // camera position in world space, w = 0: view vector and fog distance
    float4 fogColor;             // the colour distant surfaces fade into
    float  sharedTextureWeight;  // how far the projected texture darkens or brightens the lit colour
    float3 frameUnused1;
};

cbuffer ObjectConstants : register(b1)
{
    float4x4 world;                // model to world space: positions and normals
    float4x4 worldViewProjection;  // model to clip space: the rasterised position
    float4x4 worldProjectionBias;  // model to the projector's texture space (no view): the shared texture
};

cbuffer MaterialConstants : register(b2)
{
    float4 ambient;   // lit regardless of the light direction
    float4 diffuse;   // scaled by the cosine between normal and light
    float4 specular;  // highlight colour towards the mirrored light
};

Texture2D materialTexture : register(t0);  // the material's "map_Kd"; untextured materials keep the last one
Texture2D sharedTexture : register(t1);    // "t3.bmp", the projector's picture
SamplerState linearSampler : register(s0);

// Fog distance per unit of fogDensity: at density 1 a surface 8 units away keeps about half its colour.
static const float kFogScale = 0.1;
static const float kSpecularPower = 32.0;

struct VSInput
{
    float3 position : POSITION;
    float3 normal   : NORMAL;
    float2 texcoord : TEXCOORD0;
};

struct PSInput
{
    float4 position      : SV_POSITION;
    float3 worldPosition : TEXCOORD0;
    float3 normal        : TEXCOORD1;
    float2 texcoord      : TEXCOORD2;
    float4 projected     : TEXCOORD3;  // homogeneous coordinates in the shared texture
};

PSInput VS(VSInput input)
{
    float4 position = float4(input.position, 1.0);
    PSInput output;
    output.position = mul(position, worldViewProjection);
    output.worldPosition = mul(position, world).xyz;
    output.normal = mul(float4(input.normal, 0.0), world).xyz;
    output.texcoord = input.texcoord;
    output.projected = mul(position, worldProjectionBias);
    return output;
}

// 1 leaves the colour alone; the projector's picture moves it by up to sharedTextureWeight either way.
// Points behind the projector or outside its picture are not tinted.
float3 ProjectorTint(float4 projected)
{
    float w = max(projected.w, 1e-6);
    float2 uv = projected.xy / w;
    float inside = step(1e-6, projected.w) * step(0.0, uv.x) * step(uv.x, 1.0) * step(0.0, uv.y) * step(uv.y, 1.0);
    float3 picture = sharedTexture.SampleLevel(linearSampler, uv, 0).rgb;
    return 1.0 + inside * sharedTextureWeight * (2.0 * picture - 1.0);
}

// Squared exponential fog: near surfaces stay clear, far ones fade quickly.
float FogVisibility(float distance)
{
    float thickness = max(fogDensity, 0.0) * distance * kFogScale;
    return exp(-thickness * thickness);
}

float4 PS(PSInput input) : SV_TARGET
{
    float3 toEye = eyePosition.xyz - input.worldPosition;
    float distance = length(toEye);
    toEye /= max(distance, 1e-6);

    // Both faces of every triangle are drawn: light the side that faces the eye.
    float3 normal = normalize(input.normal);
    normal = dot(normal, toEye) < 0.0 ? -normal : normal;

    float3 toLight = lightDirection.xyz;
    float diffuseTerm = saturate(dot(normal, toLight));
    float3 halfway = normalize(toLight + toEye);
    float specularTerm = diffuseTerm > 0.0 ? pow(saturate(dot(normal, halfway)), kSpecularPower) : 0.0;

    float3 texel = materialTexture.Sample(linearSampler, input.texcoord).rgb;
    float3 color = (ambient.rgb + diffuse.rgb * diffuseTerm) * texel + specular.rgb * specularTerm;
    color *= ProjectorTint(input.projected);

    return float4(lerp(fogColor.rgb, color, FogVisibility(distance)), 1.0);
}
