// The desktop's windows over SDL, as the event source needs them.
#pragma once

#include <SDL.h>

#include <cstdint>

#include "platform/user/WindowHost.h"

extern const WindowHost kSdlWindows;

// The window of an SDL window id, or null.
HWND WindowOfSdlId(Uint32 windowId);
// The desktop may have lost what the window showed (it was exposed, mapped
// again, restored, moved or resized): show the canvas again.
void ShowAgain(HWND hwnd);
// Another client destroyed the desktop's window: never show it again.
void WindowGone(HWND hwnd);
// Shows what waits to be shown where a display frame has passed since the
// last show; returns when the next show is due, UINT64_MAX where none waits.
uint64_t ShowPending(uint64_t now);
