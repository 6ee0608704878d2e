#include "graphics/Device.h"

// Placeholder until the device set-up lands.
HRESULT InitDevice() { return S_OK; }
