#include "stand_ins.h"

#include "graphics/Device.h"
#include "render/Render.h"

StandIns g_standIns;

HRESULT InitDevice() {
  ++g_standIns.initDeviceCalls;
  return g_standIns.initDeviceResult;
}

void RenderFrame(Application& app) {
  ++g_standIns.framesRendered;
  if (g_standIns.onFrame) g_standIns.onFrame(app, g_standIns.framesRendered);
}
