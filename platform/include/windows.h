// The Win32 master header: the base types, errors, module and process functions, GDI and USER, and the
// C runtime's bounds-checked functions, as a program that includes only <windows.h> sees them on Windows.
#pragma once

#include <string.h>

#include <windef.h>
#include <winerror.h>
#include <winbase.h>
#include <wingdi.h>
#include <winuser.h>
#include <crt_secure.h>
