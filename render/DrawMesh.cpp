// One mesh, material by material, with its object and material constants.
#include "render/Render.h"

#include "graphics/ShaderConstants.h"

static const UINT kVertexStride = sizeof(Vertex);

static void WriteObjectConstants(Application& app, const Mesh& mesh) {
  D3DXMATRIX worldView, worldViewProjection, worldProjection, worldProjectionBias;
  D3DXMatrixMultiply(&worldView, &mesh.world, &app.view);
  D3DXMatrixMultiply(&worldViewProjection, &worldView, &app.projection);
  D3DXMatrixMultiply(&worldProjection, &mesh.world, &app.projection);
  D3DXMatrixMultiply(&worldProjectionBias, &worldProjection, &app.textureBias);

  ObjectConstants constants;
  D3DXMatrixTranspose(&constants.world, &mesh.world);
  D3DXMatrixTranspose(&constants.worldViewProjection, &worldViewProjection);
  D3DXMatrixTranspose(&constants.worldProjectionBias, &worldProjectionBias);
  WriteConstants(app.context, app.objectConstantBuffer, &constants, sizeof(constants));
}

static void BindVertexInput(Application& app, Mesh& mesh) {
  const UINT offset = 0;
  app.context->IASetInputLayout(app.inputLayout);
  app.context->IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
  app.context->IASetVertexBuffers(0, 1, &mesh.vertexBuffer, &kVertexStride, &offset);
}

// A material without a texture binds nothing: t0 keeps the texture of the last textured material drawn.
static void DrawMaterial(Application& app, Mesh& mesh, UINT index) {
  Material& material = mesh.materials[index];
  app.context->IASetIndexBuffer(mesh.indexBuffers[index], DXGI_FORMAT_R32_UINT, 0);
  WriteConstants(app.context, app.materialConstantBuffer, &material.ambient, sizeof(MaterialConstants));
  if (material.textureFile[0] != '\0') {
    app.context->PSSetSamplers(0, 1, &app.samplerState);
    app.context->PSSetShaderResources(0, 1, &material.textureView);
  }
  app.context->DrawIndexed(material.faceCount * 3, 0, 0);
}

// Nothing to draw without a vertex buffer (a model without faces, or buffers the device refused), nor
// without the material array (a library whose texture failed to load leaves a count without one).
void DrawMesh(Application& app, Mesh& mesh) {
  if (mesh.vertexBuffer == NULL || mesh.indexBuffers == NULL || mesh.materials == NULL) return;
  app.context->VSSetShader(app.vertexShader, NULL, 0);
  app.context->PSSetShader(app.pixelShader, NULL, 0);
  WriteObjectConstants(app, mesh);
  BindVertexInput(app, mesh);
  for (UINT i = 0; i < mesh.materialCount; ++i) {
    if (mesh.materials[i].faceCount != 0) DrawMaterial(app, mesh, i);
  }
}
