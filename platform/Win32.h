// The Win32 names the program uses. On Windows they are the platform's own;
// elsewhere a small layer of ours provides them with the same types,
// constants and behaviour that the program relies on.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include "platform/Gdi.h"
#include "platform/User.h"
#endif
